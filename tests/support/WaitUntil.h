// A bounded wait for a condition that another thread or process brings
// about, for tests without an event loop (Qt tests use QTest::qWaitFor).
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace tunrax::test {

// True as soon as done() holds; false when it still does not after limit.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace tunrax::test
