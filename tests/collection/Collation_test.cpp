// Sorting and comparing names by the user's locale.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collection/Collation.h"
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

TEST(NameCollator, MatchTextFindsPartsAsTheCollationComparesThem) {
    TNameCollator collator("de_DE");
    auto finds = [&](const std::string& name, const std::string& part) {
        return collator.MatchText(name).find(collator.MatchText(part)) != std::string::npos;
    };
    const std::string fullWidth = "\xEF\xBC\xA1\xEF\xBC\xA2\xEF\xBC\xA3";  // ABC, full width
    struct Case {
        std::string name, part;  // part: a piece of name or what collates equal to it
        std::string piece;       // the piece of name that part stands for
        bool found;
    };
    const std::string sz = "\xC3\x9F", capitalSz = "\xE1\xBA\x9E", zeroWidth = "\xE2\x80\x8B";
    const Case cases[] = {
        {"Die \xC3\x84rzte", "\xC3\x84RZTE", "\xC3\x84rzte", true},
        {"Die \xC3\x84rzte", "arzte", "\xC3\x84rzte", false},
        {"Die \xC3\x84rzte", "ae", "\xC3\x84", false},
        {"K\xE4se und Brot", "K\xC3\x84SE", "K\xE4se", true},  // Windows-1252 name
        {"Stra" + sz + "enmusik", "STRASSE", "Stra" + sz + "e", false},
        {"Stra" + sz + "enmusik", "STRA" + capitalSz + "E", "Stra" + sz + "e", true},
        {fullWidth + " Live", "bc", fullWidth.substr(3), true},
        {"ab" + zeroWidth + "c", "ABC", "ab" + zeroWidth + "c", true},
        {"Caf\xC3\xA9", "CAFE", "Caf\xC3\xA9", false},
        {"Caf\xC3\xA9", "CAF\xC3\x89", "Caf\xC3\xA9", true},
        {"Ha\xC3\xBF", "HA\xC5\xB8", "Ha\xC3\xBF", true},   // capital outside U+00C0-U+00FF
        {"Ma\xC3\x97", "MA\xC3\xB7", "Ma\xC3\x97", false},  // signs, not letters
        {"ABBA Gold", "bba g", "BBA G", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " / " + c.part);
        // The expectation is the collation's own verdict on the piece.
        ASSERT_EQ(collator.Compare(c.piece, c.part) == 0, c.found);
        EXPECT_EQ(finds(c.name, c.part), c.found);
    }
    EXPECT_TRUE(finds("Egal", "")) << "the empty text is in every name";
    EXPECT_EQ(collator.MatchText(std::string("A\0BC", 4)), collator.MatchText("a"))
        << "a name ends at its first zero byte, as it is shown";
}
