#include "io/FileDescriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "settings/Error.h"

namespace tunrax {

TFileDescriptor::~TFileDescriptor() {
    if (FFd >= 0)
        ::close(FFd);
}

TFileDescriptor& TFileDescriptor::operator=(TFileDescriptor&& other) noexcept {
    if (this != &other) {
        if (FFd >= 0)
            ::close(FFd);
        FFd = other.Release();
    }
    return *this;
}

TFileDescriptor TFileDescriptor::Open(const std::string& path, int flags, mode_t mode) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    if (fd < 0)
        throw SystemError(errno);
    return TFileDescriptor(fd);
}

int TFileDescriptor::Release() noexcept {
    const int fd = FFd;
    FFd = -1;
    return fd;
}

void TFileDescriptor::Close() {
    // Linux frees the descriptor even when close reports an error, so it is
    // never closed a second time.
    if (FFd >= 0 && ::close(Release()) != 0)
        throw SystemError(errno);
}

int WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

std::string ReadAll(int fd) {
    std::string text;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        text.reserve(static_cast<size_t>(st.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw SystemError(errno);
        if (n == 0)
            return text;
        text.append(buffer, static_cast<size_t>(n));
    }
}

}  // namespace tunrax
