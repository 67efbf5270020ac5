// The main window as a remote control sees it (TMediaControl): the desktop's
// media keys, its sound menu, a command such as playerctl. Each command goes
// to the playback controller, as the window's own controls go there.
//
// The window makes it before the controller and attaches the controller once
// made; detached (a second instance, an ended program) nothing plays and
// every command does nothing. Raising the window and ending the program are
// the window's: it passes them in. Nothing here throws but what the
// controller throws.
#pragma once

#include <functional>

#include "app/MediaControl.h"

namespace tunrax {

class TPlaybackController;
class TSourceOwner;

class TPlaybackRemote : public TMediaControl {
public:
    // source: whether there is anything to play from. events: the
    // controller's news, told to the remote control. raise, quit: what
    // MediaRaise and MediaQuit do.
    TPlaybackRemote(const TSourceOwner& source, TPlaybackEvents& events,
                    std::function<void()> raise, std::function<void()> quit);

    // The controller that carries the commands out; nullptr detaches it.
    void Attach(TPlaybackController* playback) { FPlayback = playback; }

    void MediaPlay() override;
    void MediaPause() override;
    void MediaPlayPause() override;
    void MediaStop() override;
    void MediaNext() override;
    void MediaPrevious() override;
    void MediaRaise() override;
    void MediaQuit() override;
    TPlaybackStatus MediaStatus() const override;
    TMediaTrack MediaTrack() const override;
    bool MediaCanGoNext() const override;
    bool MediaCanGoPrevious() const override;
    bool MediaCanPlay() const override;
    int64_t MediaPosition() override;
    bool MediaSeek(int64_t position) override;
    double MediaVolume() const override;
    void MediaSetVolume(double volume) override;
    TPlaybackEvents& MediaEvents() override { return FEvents; }

private:
    // Carries a command out on the controller; detached, it does nothing.
    void Command(void (TPlaybackController::*command)());

    const TSourceOwner& FSource;
    TPlaybackEvents& FEvents;
    std::function<void()> FRaise, FQuit;
    TPlaybackController* FPlayback = nullptr;
};

}  // namespace tunrax
