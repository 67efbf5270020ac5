// The display text of names: UTF-8 kept, other bytes read as Windows-1252.
#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include <memory>
#include <optional>
#include <string>

#include "settings/DisplayText.h"

using namespace tunrax;

TEST(DisplayText, KeepsUtf8AndReadsOtherBytesAsWindows1252) {
    const struct {
        const char* what;
        std::string bytes;
        std::string shown;
    } cases[] = {
        {"ASCII", "Artist - Album (1999)", "Artist - Album (1999)"},
        {"UTF-8 umlauts",
         "Gr\xC3\xBC\xC3\x9F"
         "e \xC3\x84",
         "Gr\xC3\xBC\xC3\x9F"
         "e \xC3\x84"},
        {"four-byte UTF-8", "\xF0\x9F\x8E\xB5", "\xF0\x9F\x8E\xB5"},
        {"Windows-1252 umlaut", "K\xE4se", "K\xC3\xA4se"},
        {"mixed in one name", "K\xC3\xBCnstler \xFC\x80", "K\xC3\xBCnstler \xC3\xBC\xE2\x82\xAC"},
        {"zero byte ends the text", std::string("ab\0\xE4", 4), "ab"},
        {"zero byte first", std::string("\0ab", 3), ""},
        {"overlong slash", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
        {"overlong three bytes", "\xE0\x80\xAF", "\xC3\xA0\xE2\x82\xAC\xC2\xAF"},
        {"surrogate", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},
        {"cut off at the end", "ab\xC3", "ab\xC3\x83"},
        {"lead byte before ASCII", "\xC3x", "\xC3\x83x"},
        {"undefined byte 0x81", "\x81", "\xC2\x81"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DisplayText(c.bytes), c.shown);
        EXPECT_TRUE(IsValidUtf8(DisplayText(c.bytes)));
        EXPECT_EQ(DisplayLength(c.bytes),
                  static_cast<size_t>(icu::UnicodeString::fromUTF8(c.shown).countChar32()));
    }
    EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF"));
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_FALSE(IsValidUtf8("a\xE4"));
    EXPECT_FALSE(IsValidUtf8("\xED\xBF\xBF"));
}

TEST(DisplayText, EverySingleByteAgreesWithIcusWindows1252Table) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, void (*)(UConverter*)> converter(ucnv_open("windows-1252", &status),
                                                                 ucnv_close);
    ASSERT_TRUE(U_SUCCESS(status));
    for (int b = 1; b < 256; ++b) {
        SCOPED_TRACE(b);
        const std::string byte(1, static_cast<char>(b));
        status = U_ZERO_ERROR;
        UChar unit[4];
        const int32_t n = ucnv_toUChars(converter.get(), unit, 4, byte.data(), 1, &status);
        ASSERT_TRUE(U_SUCCESS(status));
        ASSERT_EQ(n, 1);
        std::string expected;
        icu::UnicodeString(unit, n).toUTF8String(expected);
        EXPECT_EQ(DisplayText(byte), expected);
    }
}

TEST(Cp1252, EveryByteThereAndBackAndCharactersWithoutAByte) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string utf8 = Cp1252ToUtf8(all);
    for (int b = 1; b < 256; ++b)
        EXPECT_EQ(Cp1252ToUtf8(all.substr(b, 1)), DisplayText(all.substr(b, 1))) << b;
    EXPECT_EQ(Utf8ToCp1252(utf8), std::optional<std::string>(all));
    EXPECT_EQ(Utf8ToCp1252("\xe2\x82\xac\xc3\xa4"), std::optional<std::string>("\x80\xe4"));
    EXPECT_EQ(Utf8ToCp1252("a\xe6\x97\xa5"), std::nullopt) << "no Windows-1252 form";
    EXPECT_EQ(Utf8ToCp1252("\xf0\x9f\x8e\xb5"), std::nullopt) << "above U+FFFF";
}
