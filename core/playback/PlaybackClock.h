// The clock that drives playing: a tick every 100 ms while it runs, and a
// call made soon, after the caller in hand has had its answer. The playback
// controller starts it when a tick can change something and stops it when
// none can; the window gives it a timer of the event loop, tests give the
// ticks themselves. Implementations do not throw.
#pragma once

#include <functional>

namespace tunrax {

class TPlaybackClock {
public:
    virtual ~TPlaybackClock() = default;
    // Ticks from now on (on), or no more (off).
    virtual void Run(bool on) = 0;
    // Calls call once, as soon as the current event is done.
    virtual void CallSoon(std::function<void()> call) = 0;
};

}  // namespace tunrax
