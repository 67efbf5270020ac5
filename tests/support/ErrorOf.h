// The message a transfer ends with, for tests that expect a failure.
#pragma once

#include <functional>
#include <string>

#include "io/Error.h"
#include "sources/TransferControl.h"

namespace tunrax::test {

// The message of the error that action ends with; "abgebrochen" for a cancel.
inline std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const TransferCancelled&) {
        return "abgebrochen";
    } catch (const Error& e) {
        return e.what();
    }
    return "kein Fehler";
}

}  // namespace tunrax::test
