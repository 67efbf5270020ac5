// Scrambling of the stored FTP password: a random start value, then each
// character added (modulo 255) and XOR-ed with the key, as hexadecimal pairs.
#include <random>
#include <string>

#include "io/Error.h"
#include "settings/PasswordScrambling.h"

namespace tunrax {

const char* const PasswordKey = "Kq4#tV9m!Rz2p";

namespace {

const char kHex[] = "0123456789ABCDEF";

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

void AppendHex(std::string& text, unsigned value) {
    text += kHex[(value >> 4) & 0xF];
    text += kHex[value & 0xF];
}

Error InvalidPassword() {
    return Error(
        "Das gespeicherte FTP-Passwort ist ungültig. Bitte in den Einstellungen neu "
        "eingeben.");
}

unsigned PairAt(const std::string& text, size_t pos) {
    int high = HexValue(text[pos]), low = HexValue(text[pos + 1]);
    if (high < 0 || low < 0)
        throw InvalidPassword();
    return static_cast<unsigned>(high * 16 + low);
}

}  // namespace

std::string EncodePasswordWithStart(const std::string& clearText, const std::string& key,
                                    int startValue) {
    if (clearText.empty())
        return "";
    if (clearText.find('\0') != std::string::npos)
        throw Error("Ein Passwort darf kein Nullzeichen enthalten.");
    unsigned a = static_cast<unsigned>(startValue) & 0xFF;
    std::string result;
    result.reserve(2 + 2 * clearText.size());
    AppendHex(result, a);
    size_t j = 0;
    for (char ch : clearText) {
        a = (a + static_cast<unsigned char>(ch)) % 255;
        j = j < key.size() ? j + 1 : 1;
        if (!key.empty())
            a ^= static_cast<unsigned char>(key[j - 1]);
        AppendHex(result, a);
    }
    return result;
}

std::string EncodePassword(const std::string& clearText, const std::string& key) {
    static std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<int> start(0, 255);
    return EncodePasswordWithStart(clearText, key, start(generator));
}

std::string DecodePassword(const std::string& scrambled, const std::string& key) {
    if (scrambled.empty())
        return "";
    // Pairs only: a trailing single character is ignored, and a text without
    // a second pair holds no character at all.
    size_t usable = scrambled.size() & ~static_cast<size_t>(1);
    if (usable < 4)
        throw InvalidPassword();
    unsigned a = PairAt(scrambled, 0);
    std::string result;
    size_t j = 0;
    for (size_t p = 2; p < usable; p += 2) {
        unsigned b = PairAt(scrambled, p);
        j = j < key.size() ? j + 1 : 1;
        unsigned c = key.empty() ? b : b ^ static_cast<unsigned char>(key[j - 1]);
        unsigned code = a < c ? c - a : c + 255 - a;
        // Sums are kept modulo 255, so 0 and 255 look alike; after a state of
        // 255 a character 255 would come out as 0. Passwords hold no zero
        // byte, so 0 always means 255.
        if (code == 0)
            code = 255;
        result += static_cast<char>(code);
        a = b;
    }
    return result;
}

}  // namespace tunrax
