#include "settings/PasswordStore.h"

#include <cctype>
#include <cstring>

namespace tunrax {

namespace {

// Percent-encodes every byte but letters, digits, "-._~" and those in keep;
// "%" itself always, so that two names never meet in one key.
std::string Encoded(const std::string& bytes, const char* keep) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string result;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte < 0x80 && std::isalnum(byte)) || c == '-' || c == '.' ||
                           c == '_' || c == '~' || (c != '\0' && std::strchr(keep, c));
        if (plain) {
            result += c;
        } else {
            result += '%';
            result += kHex[byte >> 4];
            result += kHex[byte & 0xF];
        }
    }
    return result;
}

}  // namespace

std::string FtpPasswordKey(const std::string& user, const std::string& address) {
    // The address keeps a port's ":" and an IPv6 address's brackets readable;
    // the user's "@" and ":" are encoded, so the key splits one way only.
    return "ftp://" + Encoded(user, "") + "@" + Encoded(address, ":[]");
}

}  // namespace tunrax
