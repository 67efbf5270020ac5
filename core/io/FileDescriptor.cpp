#include "io/FileDescriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "io/Error.h"

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

namespace {

std::string TooLarge(off_t maxSize) {
    const std::string size = maxSize >= (off_t{1} << 20) && maxSize % (off_t{1} << 20) == 0
                                 ? std::to_string(maxSize >> 20) + " MB"
                                 : std::to_string(maxSize) + " Bytes";
    return "ist größer als " + size + " und wird nicht gelesen";
}

}  // namespace

TFileDescriptor TFileDescriptor::OpenRegularForReading(const std::string& path, off_t maxSize,
                                                       struct stat* st) {
    // O_NOCTTY: a terminal given as a file must not become ours.
    TFileDescriptor fd = Open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    struct stat own;
    struct stat& status = st ? *st : own;
    if (::fstat(fd.Get(), &status) != 0)
        throw SystemError(errno);
    if (S_ISDIR(status.st_mode))
        throw SystemError(EISDIR);
    if (!S_ISREG(status.st_mode))
        throw RefusedFileError(path, "ist keine gewöhnliche Datei");
    if (maxSize >= 0 && status.st_size > maxSize)
        throw RefusedFileError(path, TooLarge(maxSize));
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        throw SystemError(errno);
    return fd;
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

int WriteAll(TBorrowedFd fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd.Get(), data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

namespace {

// Reads to the end or until more than limit bytes are there.
std::string ReadUpTo(int fd, uint64_t limit) {
    std::string text;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        text.reserve(
            static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(st.st_size), limit)));
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
        if (text.size() > limit)
            return text;
    }
}

}  // namespace

std::string ReadAll(TBorrowedFd fd) {
    return ReadUpTo(fd.Get(), UINT64_MAX);
}

std::string ReadRegularFile(const std::string& path, off_t maxSize) {
    const TFileDescriptor fd = TFileDescriptor::OpenRegularForReading(path, maxSize);
    std::string text = ReadUpTo(fd.Get(), static_cast<uint64_t>(maxSize));
    if (text.size() > static_cast<uint64_t>(maxSize))
        throw RefusedFileError(path, TooLarge(maxSize));
    return text;
}

}  // namespace tunrax
