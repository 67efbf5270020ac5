// Fuzz target for the scrambling of the stored FTP password.
//
// DecodePassword must take any text (it may throw tunrax::Error, nothing
// else). The input without its zero bytes, taken as a password, must come
// back from EncodePassword then DecodePassword, with the program's key and
// with a key made from the input; the scrambled text is upper-case
// hexadecimal pairs, and a given start value gives the same text every time.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "io/Error.h"
#include "settings/PasswordScrambling.h"

namespace {

void Check(bool ok, const char* what, const std::string& detail = std::string()) {
    if (ok)
        return;
    std::fprintf(stderr, "fuzz_password: %s [%s]\n", what, detail.c_str());
    std::abort();
}

bool IsUpperHexPairs(const std::string& s) {
    if (s.size() % 2 != 0)
        return false;
    for (char c : s) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

std::string RoundTrip(const std::string& password, const std::string& key) {
    const std::string scrambled = tunrax::EncodePassword(password, key);
    Check(IsUpperHexPairs(scrambled), "EncodePassword gave no upper-case hex pairs", scrambled);
    Check(password.empty() == scrambled.empty(), "EncodePassword: empty iff the password is",
          scrambled);
    return tunrax::DecodePassword(scrambled, key);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string key = tunrax::PasswordKey;

    try {
        (void)tunrax::DecodePassword(input, key);
    } catch (const tunrax::Error&) {
        // Not a scrambled password: a message for the user, as intended.
    }

    std::string password;
    for (char c : input) {
        if (c != '\0')
            password.push_back(c);
    }
    try {
        Check(RoundTrip(password, key) == password, "round trip with the program's key failed",
              password);

        const int start = size > 0 ? data[0] % 255 : 0;
        const std::string once = tunrax::EncodePasswordWithStart(password, key, start);
        Check(once == tunrax::EncodePasswordWithStart(password, key, start),
              "EncodePasswordWithStart is not repeatable", password);
        Check(tunrax::DecodePassword(once, key) == password,
              "round trip with a given start value failed", password);

        // Any non-empty key must work as well: the second half of the input.
        const std::string otherKey = password.substr(password.size() / 2);
        if (!otherKey.empty()) {
            Check(RoundTrip(password, otherKey) == password, "round trip with another key failed",
                  otherKey);
        }
    } catch (const tunrax::Error& e) {
        Check(false, "a password without zero bytes was refused", e.what());
    }
    return 0;
}
