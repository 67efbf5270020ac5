// A buffered output stream buffer straight over a file descriptor (not owned)
// that remembers the first write error, so that a message can say why a
// stream failed rather than only that.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <streambuf>

#include "io/FileDescriptor.h"

namespace tunrax {

class TFdOutBuf : public std::streambuf {
public:
    // Songs are written in blocks of 64 to 128 KB: far fewer system calls
    // than the stream's default, while blocks of 1 MB made writing 2.5 GB
    // three times slower under the kernel's dirty-page throttling.
    static constexpr size_t kDefaultSize = 128 << 10;

    // Blocks handed over that are at least half of bufferSize long go to the
    // file without a copy.
    explicit TFdOutBuf(TBorrowedFd fd, size_t bufferSize = kDefaultSize);
    TFdOutBuf(const TFdOutBuf&) = delete;
    TFdOutBuf& operator=(const TFdOutBuf&) = delete;

    // The errno of the first failed write; 0 while none failed. After a
    // failure nothing more is written.
    int Failure() const { return FFailure; }
    // At most maxBytes are written in all; a write beyond fails with EFBIG
    // and writes nothing of itself. No bound by default.
    void SetLimit(uint64_t maxBytes) { FLimit = maxBytes; }
    uint64_t Written() const { return FWritten; }
    // Flushes out, a stream over this buffer: 0 when all of it was written,
    // else the errno why not (EIO when the stream failed otherwise).
    int Finish(std::ostream& out);

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* data, std::streamsize count) override;
    int sync() override;

private:
    bool Drain();
    bool Write(const char* data, size_t size);

    int FFd;
    size_t FSize;
    std::unique_ptr<char[]> FBuffer;
    int FFailure = 0;
    uint64_t FWritten = 0;
    uint64_t FLimit = UINT64_MAX;
};

}  // namespace tunrax
