// The scrambling of the FTP password stored in the settings file: not
// encryption, only kept from being read at a glance, in the stored form
// that earlier settings files carry.
#pragma once

#include <string>

namespace tunrax {

// The fixed key of the password scrambling (13 characters).
extern const char* const PasswordKey;

// Scrambles a password (bytes 1..255) into upper-case hexadecimal pairs with a
// random start value; "" for "". Throws tunrax::Error for a zero byte, which
// the scrambling cannot carry.
std::string EncodePassword(const std::string& clearText, const std::string& key);
// The same with a given start value (0..255): repeatable, for tests.
std::string EncodePasswordWithStart(const std::string& clearText, const std::string& key,
                                    int startValue);
// Reverses EncodePassword; "" for "". A trailing single character of an odd
// length is ignored. Throws tunrax::Error for a text too short to hold a
// character or with a pair that is not hexadecimal.
std::string DecodePassword(const std::string& scrambled, const std::string& key);

}  // namespace tunrax
