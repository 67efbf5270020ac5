#include "io/FdOutBuf.h"

#include <cerrno>
#include <cstring>

#include "io/FileDescriptor.h"

namespace tunrax {

TFdOutBuf::TFdOutBuf(TBorrowedFd fd, size_t bufferSize)
    : FFd(fd.Get()), FSize(bufferSize), FBuffer(new char[bufferSize]) {
    setp(FBuffer.get(), FBuffer.get() + FSize);
}

TFdOutBuf::int_type TFdOutBuf::overflow(int_type c) {
    if (!Drain())
        return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

std::streamsize TFdOutBuf::xsputn(const char* data, std::streamsize count) {
    if (static_cast<size_t>(count) >= FSize / 2) {
        if (!Drain() || !Write(data, static_cast<size_t>(count)))
            return 0;
        return count;
    }
    if (count > epptr() - pptr() && !Drain())
        return 0;
    std::memcpy(pptr(), data, static_cast<size_t>(count));
    pbump(static_cast<int>(count));
    return count;
}

int TFdOutBuf::Finish(std::ostream& out) {
    out.flush();
    if (FFailure != 0)
        return FFailure;
    return out ? 0 : EIO;
}

int TFdOutBuf::sync() {
    return Drain() ? 0 : -1;
}

bool TFdOutBuf::Drain() {
    const bool written = Write(pbase(), static_cast<size_t>(pptr() - pbase()));
    setp(FBuffer.get(), FBuffer.get() + FSize);
    return written;
}

bool TFdOutBuf::Write(const char* data, size_t size) {
    if (FFailure == 0 && size > FLimit - FWritten)
        FFailure = EFBIG;
    if (FFailure == 0)
        FFailure = WriteAll(TBorrowedFd(FFd), data, size);
    if (FFailure == 0)
        FWritten += size;
    return FFailure == 0;
}

}  // namespace tunrax
