// The owner of an open file descriptor and the read and write loops over one.
// A descriptor is closed exactly once: by Close() or when its owner goes.
// Failures are thrown as tunrax::SystemError carrying the errno.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>

#include "io/Error.h"

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
    // Opens a file the program reads: only a regular file of at most maxSize
    // bytes (-1: any size). A FIFO would block the open and a device never
    // ends, so the open does not wait (O_NONBLOCK, cleared again for the
    // reads) and anything else is refused with RefusedFileError. A failed
    // open throws SystemError, a folder EISDIR. st, when given, receives the
    // file's status.
    static TFileDescriptor OpenRegularForReading(const std::string& path, off_t maxSize = -1,
                                                 struct stat* st = nullptr);

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

// A descriptor lent for the length of a call: whoever receives it uses it and
// never closes it; its owner (a TFileDescriptor, or the caller) keeps it open
// meanwhile. It keeps the two kinds apart in signatures: a bare int could be
// either.
class TBorrowedFd {
public:
    explicit TBorrowedFd(int fd) noexcept : FFd(fd) {}
    // Lends the owner's descriptor (implicit: an owner can be passed as is).
    TBorrowedFd(const TFileDescriptor& owner) noexcept : FFd(owner.Get()) {}
    int Get() const { return FFd; }

private:
    int FFd;
};

// A file that is there but is not read: not a regular file, or larger than
// its reader takes. The text names the file; Reason() is the German reason
// alone ("ist keine gewöhnliche Datei").
class RefusedFileError : public Error {
public:
    RefusedFileError(const std::string& path, const std::string& reason)
        : Error("Datei \"" + path + "\" " + reason + "."), FReason(reason) {}
    const std::string& Reason() const { return FReason; }

private:
    std::string FReason;
};

// Writes all of data, again after an interrupted or short write; 0 or the
// errno of the failure (EIO when the file takes no byte at all).
int WriteAll(TBorrowedFd fd, const char* data, size_t size);

// The rest of the file from the current position; throws SystemError for a
// read error.
std::string ReadAll(TBorrowedFd fd);

// The whole of a regular file of at most maxSize bytes, opened as
// OpenRegularForReading does; a file that grows past maxSize while it is read
// is refused as well.
std::string ReadRegularFile(const std::string& path, off_t maxSize);

}  // namespace tunrax
