#include "collection/songfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ostream>
#include <streambuf>

#include "settings/Error.h"
#include "sources/transfer.h"

namespace tunrax {

namespace {

// An output buffer over a file descriptor that remembers the first error.
class FdBuffer : public std::streambuf {
public:
    explicit FdBuffer(int fd) : FFd(fd) { setp(FBuffer, FBuffer + sizeof FBuffer); }
    int Error() const { return FError; }
    bool Flush() { return sync() == 0; }

protected:
    int_type overflow(int_type c) override {
        if (!Flush())
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override {
        const char* data = pbase();
        while (data < pptr()) {
            ssize_t n = ::write(FFd, data, static_cast<size_t>(pptr() - data));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                FError = errno;
                return -1;
            }
            data += n;
        }
        setp(FBuffer, FBuffer + sizeof FBuffer);
        return 0;
    }

private:
    int FFd;
    int FError = 0;
    char FBuffer[1 << 16];
};

}  // namespace

void FetchSong(TCustomTransfer& source, const std::string& songPath, const std::string& fileName) {
    int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        throw Error("Datei \"" + fileName + "\" kann nicht erstellt werden. " +
                    SystemErrorText(errno));
    auto writeError = [&](int errorNumber) {
        return Error("Datei \"" + fileName +
                     "\" kann nicht geschrieben werden: " + SystemErrorText(errorNumber));
    };
    try {
        FdBuffer buffer(fd);
        std::ostream out(&buffer);
        source.GetFile(out, songPath);
        if (!buffer.Flush())
            throw writeError(buffer.Error());
        if (!out)
            throw writeError(buffer.Error() ? buffer.Error() : EIO);
    } catch (...) {
        ::close(fd);
        ::unlink(fileName.c_str());
        throw;
    }
    if (::close(fd) != 0) {
        int errorNumber = errno;
        ::unlink(fileName.c_str());
        throw writeError(errorNumber);
    }
}

}  // namespace tunrax
