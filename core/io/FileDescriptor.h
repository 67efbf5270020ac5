// The owner of an open file descriptor and the read and write loops over one.
// A descriptor is closed exactly once: by Close() or when its owner goes.
// Failures are thrown as tunrax::SystemError carrying the errno.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace tunrax {

class TFileDescriptor {
public:
    TFileDescriptor() = default;
    // Takes over fd (a negative one means none).
    explicit TFileDescriptor(int fd) noexcept : FFd(fd) {}
    ~TFileDescriptor();
    TFileDescriptor(TFileDescriptor&& other) noexcept : FFd(other.Release()) {}
    TFileDescriptor& operator=(TFileDescriptor&& other) noexcept;
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;

    // open(2) with O_CLOEXEC added; throws SystemError when it fails.
    static TFileDescriptor Open(const std::string& path, int flags, mode_t mode = 0);

    int Get() const { return FFd; }
    bool IsOpen() const { return FFd >= 0; }
    // Gives the descriptor up without closing it.
    int Release() noexcept;
    // Closes now; throws SystemError for a failed close (a delayed write
    // error on some file systems). The descriptor is gone either way.
    void Close();

private:
    int FFd = -1;
};

// Writes all of data, again after an interrupted or short write; 0 or the
// errno of the failure (EIO when the file takes no byte at all).
int WriteAll(int fd, const char* data, size_t size);

// The rest of the file from the current position; throws SystemError for a
// read error.
std::string ReadAll(int fd);

}  // namespace tunrax
