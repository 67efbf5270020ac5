// What an FTP server sends on the control and the listing connection: any
// bytes, in pieces of any size, give replies and names within their bounds
// or a tunrax::Error, never a crash; no kept name could break a command.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "io/Error.h"
#include "sources/FtpProtocol.h"

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

void Replies(const char* data, size_t size, size_t step) {
    tunrax::TFtpReplyReader reader;
    try {
        for (size_t pos = 0; pos < size;) {
            const size_t piece = std::min(step, size - pos);
            const size_t used = reader.Feed(data + pos, piece);
            if (used == 0 || used > piece)
                std::abort();
            pos += used;
            if (!reader.Done())
                continue;
            const tunrax::TFtpReply reply = reader.Take();
            if (reply.Code < 100 || reply.Code > 999 || reply.Text.size() > tunrax::kFtpMaxReply ||
                reply.Text.size() < 3 || !IsDigit(reply.Text[0]) ||
                reply.Text.compare(0, 3, std::to_string(reply.Code)) != 0)
                std::abort();
            if (reply.Summary().find('\n') != std::string::npos)
                std::abort();
        }
    } catch (const tunrax::Error&) {
    }
}

void Listing(const char* data, size_t size, size_t step) {
    std::vector<std::string> names;
    try {
        tunrax::TFtpListReader reader(names, 4096);
        for (size_t pos = 0; pos < size; pos += step)
            reader.Feed(data + pos, std::min(step, size - pos));
        reader.Finish();
    } catch (const tunrax::Error&) {
    }
    size_t total = 0;
    for (const std::string& name : names) {
        if (name.empty() || name.size() > tunrax::kFtpMaxLine || !tunrax::FtpSafeArgument(name))
            std::abort();
        total += name.size();
    }
    if (total > size)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte chooses the size of the pieces the rest arrives in.
    const size_t step = data[0] % 16 + 1;
    const char* text = reinterpret_cast<const char*>(data + 1);
    Replies(text, size - 1, step);
    Listing(text, size - 1, step);
    const std::string reply(text, size - 1);
    if (tunrax::ParseEpsvPort(reply) == uint16_t{0} || tunrax::ParsePasvPort(reply) == uint16_t{0})
        std::abort();
    return 0;
}
