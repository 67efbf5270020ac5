// The one exception type of Tunrax. Every failure that a user can meet is
// raised as a tunrax::Error whose text is a complete German message; the
// application shows that text as it is.
#pragma once

#include <cerrno>
#include <stdexcept>
#include <string>

namespace tunrax {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// German text for an errno value, for messages that name a file.
std::string SystemErrorText(int errorNumber);

// A failure of the operating system: the German text is context followed by
// SystemErrorText(code); callers decide by Code(), never by the text.
class SystemError : public Error {
public:
    explicit SystemError(int code, const std::string& context = std::string())
        : Error(context + SystemErrorText(code)), FCode(code) {}
    int Code() const { return FCode; }
    // Nothing of that name (ENOENT).
    bool IsNotFound() const { return FCode == ENOENT; }
    // A part of the path is a file where a folder is needed (ENOTDIR).
    bool IsNotAFolder() const { return FCode == ENOTDIR; }
    // The user may not (EACCES, EPERM).
    bool IsAccessDenied() const { return FCode == EACCES || FCode == EPERM; }

private:
    int FCode;
};

// Runs action and gives back its result; a SystemError leaves it with context
// in front of the reason (in place of any context it had).
template <typename Action>
decltype(auto) WithErrorContext(const std::string& context, Action&& action) {
    try {
        return action();
    } catch (const SystemError& e) {
        throw SystemError(e.Code(), context);
    }
}

}  // namespace tunrax
