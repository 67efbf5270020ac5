#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>

#include "io/Error.h"
#include "settings/PasswordScrambling.h"

using namespace tunrax;

TEST(Password, ScrambledFormAndRoundTrip) {
    EXPECT_EQ(std::strlen(PasswordKey), 13u);
    EXPECT_EQ(EncodePassword("", PasswordKey), "");
    EXPECT_EQ(DecodePassword("", PasswordKey), "");
    // Longer than the key, so the key index wraps; the leading 0xFF is the byte
    // that the modulo-255 sum can mistake for 0.
    const std::string clear = "\xFFgeheim\x01 Passwort \xE4\xF6\xFC mit Zeichen!";
    std::set<std::string> seen;
    for (int i = 0; i < 2000; ++i) {
        const std::string scrambled = EncodePassword(clear, PasswordKey);
        seen.insert(scrambled);
        ASSERT_EQ(scrambled.size(), 2 + 2 * clear.size());
        ASSERT_EQ(scrambled.find_first_not_of("0123456789ABCDEF"), std::string::npos) << scrambled;
        ASSERT_EQ(DecodePassword(scrambled, PasswordKey), clear) << scrambled;
    }
    EXPECT_GT(seen.size(), 100u) << "the start value is not random";
}

TEST(Password, EveryByteAndStartValueRoundTrips) {
    int failures = 0;
    std::string firstFailure;
    for (int start = 0; start <= 254; ++start) {
        for (int byte = 1; byte <= 255; ++byte) {
            const std::string clear = {static_cast<char>(byte), static_cast<char>(256 - byte)};
            const std::string scrambled = EncodePasswordWithStart(clear, PasswordKey, start);
            if (DecodePassword(scrambled, PasswordKey) != clear) {
                if (failures++ == 0)
                    firstFailure =
                        std::to_string(start) + "/" + std::to_string(byte) + ": " + scrambled;
            }
        }
    }
    EXPECT_EQ(failures, 0) << "first (start/byte): " << firstFailure;
}

TEST(Password, BadInput) {
    EXPECT_THROW(EncodePassword(std::string("a\0b", 3), PasswordKey), Error);
    for (const char* bad : {"AB", "ABC", "A", "GG12", "12ZZ", "12 4", "0x12"}) {
        EXPECT_THROW(DecodePassword(bad, PasswordKey), Error) << bad;
    }
    const std::string scrambled = EncodePasswordWithStart("Passwort!", PasswordKey, 0xA7);
    std::string lower = scrambled;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(DecodePassword(scrambled + "F", PasswordKey), "Passwort!");
    EXPECT_EQ(DecodePassword(lower, PasswordKey), "Passwort!");
}
