// An input stream that can only be read forward, as one over a pipe: its
// start cannot be found again (seekg fails).
#pragma once

#include <istream>
#include <streambuf>
#include <string>
#include <utility>

namespace tunrax::test {

class ForwardOnlyStream : public std::istream {
public:
    explicit ForwardOnlyStream(std::string bytes)
        : std::istream(&FBuffer), FBuffer(std::move(bytes)) {}

private:
    class Buffer : public std::streambuf {
    public:
        explicit Buffer(std::string bytes) : FBytes(std::move(bytes)) {
            setg(FBytes.data(), FBytes.data(), FBytes.data() + FBytes.size());
        }

    private:
        std::string FBytes;
    } FBuffer;
};

}  // namespace tunrax::test
