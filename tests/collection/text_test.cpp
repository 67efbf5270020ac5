#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include <memory>
#include <string>
#include <vector>

#include "collection/collation.h"
#include "settings/vel_text.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

using Names = std::vector<std::string>;

Names Sorted(const TNameCollator& collator, Names names) {
    collator.SortUnique(names);
    return names;
}

}  // namespace

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

TEST(NameCollator, SortsWithoutRegardToCaseKeepingAccents) {
    TNameCollator collator("de_DE");
    EXPECT_GT(collator.Compare("b", "A"), 0);
    EXPECT_LT(collator.Compare("a", "B"), 0) << "byte order would put B first";
    EXPECT_EQ(collator.Compare("ABBA", "abba"), 0);
    EXPECT_NE(collator.Compare("Apfel", "\xC3\x84pfel"), 0);
    EXPECT_EQ(collator.Compare("K\xE4se", "k\xC3\xA4se"), 0) << "Windows-1252 and UTF-8";

    {
        SCOPED_TRACE("umlauts next to their letter, not after z");
        EXPECT_EQ(Sorted(collator, {"Zebra", "\xC3\x84pfel", "Aprikose", "Apfel", "b", "\xE4rger"}),
                  (Names{"Apfel", "\xC3\x84pfel", "Aprikose", "\xE4rger", "b", "Zebra"}));
    }
    {
        SCOPED_TRACE("of case duplicates the first in the input stays");
        EXPECT_EQ(Sorted(collator, {"b", "ABBA", "abba", "Abba", "B"}), (Names{"ABBA", "b"}));
        EXPECT_EQ(Sorted(collator, {"abba", "b", "ABBA"}), (Names{"abba", "b"}));
        EXPECT_EQ(Sorted(collator, {"\xE4"
                                    "a",
                                    "\xC3\x84"
                                    "A"}),
                  (Names{"\xE4"
                         "a"}));
    }
    {
        SCOPED_TRACE("names that collate equal but differ by more than case all stay");
        const std::string fullWidth = "\xEF\xBC\xA1\xEF\xBC\xA2\xEF\xBC\xA3";  // ABC, full width
        const std::string zeroWidth = "abc\xE2\x80\x8B";
        ASSERT_EQ(collator.Compare(fullWidth, "abc"), 0);
        EXPECT_EQ(Sorted(collator, {"b", fullWidth, "abc", zeroWidth, "ABC"}),
                  (Names{fullWidth, "abc", zeroWidth, "b"}));
    }
    {
        SCOPED_TRACE("many names");
        Names names;
        for (int i = 149; i >= 0; --i)
            names.push_back((i % 2 ? "Track " : "TRACK ") + std::to_string(i));
        for (int i = 0; i < 150; ++i)
            names.push_back("track " + std::to_string(i));
        collator.SortUnique(names);
        ASSERT_EQ(names.size(), 150u);
        for (size_t i = 1; i < names.size(); ++i)
            EXPECT_LT(collator.Compare(names[i - 1], names[i]), 0) << names[i];
        for (const std::string& name : names)
            EXPECT_NE(name[0], 't') << name << " came later than its case duplicate";
        EXPECT_EQ(names.front(), "TRACK 0");
        EXPECT_EQ(names.back(), "Track 99");
    }
}

TEST(NameCollator, TakesTheLocaleFromTheEnvironment) {
    // Swedish sorts "ä" after "z"; the root collation and German sort it
    // with "a".
    const char* const a = "\xC3\xA4";
    ScopedEnv all("LC_ALL", nullptr);
    ScopedEnv collate("LC_COLLATE", nullptr);
    ScopedEnv lang("LANG", "sv_SE.UTF-8");
    EXPECT_GT(TNameCollator().Compare(a, "z"), 0) << "LANG";
    {
        ScopedEnv set("LC_COLLATE", "de_DE.UTF-8");
        EXPECT_LT(TNameCollator().Compare(a, "z"), 0) << "LC_COLLATE before LANG";
    }
    {
        ScopedEnv set("LC_COLLATE", "de_DE");
        ScopedEnv setAll("LC_ALL", "sv_SE.utf8@euro");
        EXPECT_GT(TNameCollator().Compare(a, "z"), 0) << "LC_ALL first, suffixes dropped";
    }
    for (const char* root : {"C", "POSIX", "C.UTF-8"}) {
        ScopedEnv set("LC_ALL", root);
        const TNameCollator collator;
        EXPECT_LT(collator.Compare(a, "z"), 0) << root;
        EXPECT_EQ(collator.Compare("X", "x"), 0) << root;
    }
    EXPECT_GT(TNameCollator("sv_SE").Compare(a, "z"), 0) << "argument before environment";
    EXPECT_LT(TNameCollator("de_DE").Compare(a, "z"), 0);
}
