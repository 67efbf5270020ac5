// The playback clock of the main window (TPlaybackClock) on a timer of the
// event loop, named "mmStart": a tick every 100 ms while the controller
// wants ticks, kept to one grid, so that a clock started again ticks as if it
// had run all along; and calls posted to the event loop.
//
// The owner passes what a tick does and whether a posted call may run now (a
// call that may not is dropped, as a tick during a transfer is). Once halted
// (the program ends) it never runs again. Nothing here throws; a tick's or a
// call's error is shown where it happened.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <functional>

#include "playback/PlaybackClock.h"

class QTimer;

namespace tunrax {

class TPlaybackTimer : public QObject, public TPlaybackClock {
public:
    TPlaybackTimer(QObject* owner, std::function<void()> tick, std::function<bool()> mayCall);

    // The ticks come only from the caller (tests that count them): the timer
    // no longer runs by itself.
    void GiveTicksByHand();
    // Stops the timer for good.
    void Halt();

    void Run(bool on) override;
    void CallSoon(std::function<void()> call) override;

private:
    void OnTimeout();

    QTimer* FTimer;
    std::function<void()> FTick;
    std::function<bool()> FMayCall;
    // The grid of the ticks.
    QElapsedTimer FGrid;
    bool FByHand = false;
    bool FHalted = false;
};

}  // namespace tunrax
