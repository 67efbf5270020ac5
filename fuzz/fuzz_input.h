// Fuzz targets whose readers only take file names: the input goes into one
// scratch file for the whole run, its name removed at once and the file
// reached through its descriptor, so that nothing is left behind however the
// run ends.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace tunrax::fuzz {

inline int InputFd() {
    static const int fd = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz-input-XXXXXX";
        const int created = ::mkstemp(pattern.data());
        if (created < 0)
            std::abort();
        ::unlink(pattern.c_str());
        return created;
    }();
    return fd;
}

// The input as the content of the scratch file; its name.
inline std::string WriteInput(const uint8_t* data, size_t size) {
    const int fd = InputFd();
    if (::ftruncate(fd, 0) != 0 ||
        (size > 0 && ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)))
        std::abort();
    return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace tunrax::fuzz
