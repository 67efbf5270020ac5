// An output stream that keeps what a transfer writes and lets another thread
// see how much has arrived so far, so that a test calls a transfer off once
// its body is running rather than after a guessed time. Arrived() may be read
// from any thread; Text() only once the transfer is over.
#pragma once

#include <atomic>
#include <cstddef>
#include <ostream>
#include <streambuf>
#include <string>

namespace tunrax::test {

class ArrivingStream : public std::ostream {
public:
    ArrivingStream() : std::ostream(&FBuffer) {}

    size_t Arrived() const { return FBuffer.Count.load(); }
    const std::string& Text() const { return FBuffer.Bytes; }

private:
    class Buffer : public std::streambuf {
    public:
        std::string Bytes;
        std::atomic<size_t> Count{0};

    protected:
        int_type overflow(int_type c) override {
            if (traits_type::eq_int_type(c, traits_type::eof()))
                return traits_type::not_eof(c);
            Bytes += traits_type::to_char_type(c);
            ++Count;
            return c;
        }
        std::streamsize xsputn(const char* bytes, std::streamsize count) override {
            Bytes.append(bytes, static_cast<size_t>(count));
            Count += static_cast<size_t>(count);
            return count;
        }
    } FBuffer;
};

}  // namespace tunrax::test
