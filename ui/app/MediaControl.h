// What a remote control (the desktop's media keys, its sound menu, a command
// such as playerctl) may do with the player and know of it. The main window
// carries it out through the playback controller, as its own controls do.
#pragma once

#include <QString>
#include <cstdint>

#include "playback/PlaybackStatus.h"

namespace tunrax {

class TPlaybackEvents;

// The song under way; Serial changes with every song started. Length in
// microseconds, -1 while not known.
struct TMediaTrack {
    int Serial = 0;
    QString Title, Artist, Album;
    int64_t Length = -1;
};

class TMediaControl {
public:
    virtual ~TMediaControl() = default;

    virtual void MediaPlay() = 0;
    virtual void MediaPause() = 0;
    virtual void MediaPlayPause() = 0;
    virtual void MediaStop() = 0;
    virtual void MediaNext() = 0;
    virtual void MediaPrevious() = 0;
    virtual void MediaRaise() = 0;
    virtual void MediaQuit() = 0;

    virtual TPlaybackStatus MediaStatus() const = 0;
    virtual TMediaTrack MediaTrack() const = 0;
    virtual bool MediaCanGoNext() const = 0;
    virtual bool MediaCanGoPrevious() const = 0;
    virtual bool MediaCanPlay() const = 0;

    // The song heard: where it stands, in microseconds (-1: not known,
    // nothing plays), and a move within it (false when it cannot be moved).
    virtual int64_t MediaPosition() = 0;
    virtual bool MediaSeek(int64_t position) = 0;
    // The player's volume, 0.0 to 1.0.
    virtual double MediaVolume() const = 0;
    virtual void MediaSetVolume(double volume) = 0;

    // Tells of every change of the above as it happens.
    virtual TPlaybackEvents& MediaEvents() = 0;
};

}  // namespace tunrax
