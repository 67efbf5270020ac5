#include "settings/DisplayText.h"

#include <cstdint>

namespace tunrax {

namespace {

// Windows-1252 code points of the bytes 0x80..0x9F; the five bytes the code
// page leaves undefined keep their own number (C1 control characters).
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Length of the valid UTF-8 sequence starting at s[i], or 0 when there is
// none (overlong forms, surrogates and code points above U+10FFFF included).
size_t Utf8SequenceLength(const std::string& s, size_t i) {
    const auto byte = [&s](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;  // overlong
        else if (lead == 0xED)
            high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;  // overlong
        else if (lead == 0xF4)
            high = 0x8F;  // above U+10FFFF
    } else {
        return 0;
    }
    if (s.size() - i < length)
        return 0;
    if (byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (size_t k = 2; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    return length;
}

// Windows-1252 code points never lie above U+FFFF: three bytes at most.
void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char32_t Cp1252CodePoint(unsigned char c) {
    return c < 0x80 || c >= 0xA0 ? char32_t{c} : char32_t{kCp1252High[c - 0x80]};
}

// The Windows-1252 byte of a code point; -1 when there is none.
int Cp1252Byte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<int>(c);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c)
            return 0x80 + i;
    return -1;
}

}  // namespace

std::string DisplayText(const std::string& bytes) {
    const size_t end = bytes.find('\0');
    const std::string text = end == std::string::npos ? bytes : bytes.substr(0, end);
    if (IsValidUtf8(text))
        return text;
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8SequenceLength(text, i);
        if (length > 0) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        AppendUtf8(out, Cp1252CodePoint(static_cast<unsigned char>(text[i++])));
    }
    return out;
}

bool IsValidUtf8(const std::string& bytes) {
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = Utf8SequenceLength(bytes, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

size_t DisplayLength(const std::string& bytes) {
    size_t count = 0;
    for (size_t i = 0; i < bytes.size() && bytes[i] != '\0'; ++count) {
        // A byte outside a valid UTF-8 sequence is one Windows-1252 character.
        const size_t length = Utf8SequenceLength(bytes, i);
        i += length > 0 ? length : 1;
    }
    return count;
}

std::string Cp1252ToUtf8(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes)
        AppendUtf8(out, Cp1252CodePoint(c));
    return out;
}

std::optional<std::string> Utf8ToCp1252(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = length == 1   ? lead
                     : length == 2 ? lead & 0x1F
                     : length == 3 ? lead & 0x0F
                                   : lead & 0x07;
        for (size_t k = 1; k < length && i + k < utf8.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        const int byte = Cp1252Byte(c);
        if (byte < 0)
            return std::nullopt;
        out += static_cast<char>(byte);
        i += length;
    }
    return out;
}

}  // namespace tunrax
