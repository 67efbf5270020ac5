#include "sources/UrlEncode.h"

namespace tunrax {

namespace {

bool NeedsEncoding(unsigned char c) {
    switch (c) {
        case ' ':
        case '#':
        case '%':
        case '&':
        case '?':
        // PHP reads a raw "+" in a query as a space.
        case '+': return true;
        // The built-in PHP server drops queries with raw bytes from 0x80 up;
        // control bytes do not belong in a request line.
        default: return c < 0x20 || c >= 0x80;
    }
}

}  // namespace

std::string UrlEncode(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(text.size());
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (NeedsEncoding(c)) {
            result += '%';
            result += hex[c >> 4];
            result += hex[c & 0x0F];
        } else {
            result += ch;
        }
    }
    return result;
}

}  // namespace tunrax
