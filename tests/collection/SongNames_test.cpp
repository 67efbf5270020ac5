#include "collection/SongNames.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "collection/Collation.h"
#include "sources/Source.h"

using namespace tunrax;

namespace {

using Names = std::vector<std::string>;

// What the song list does with MoveTarget: take the item out and put it back
// in at the target.
Names MoveInList(Names list, int index, int delta) {
    const int target = MoveTarget(index, static_cast<int>(list.size()), delta);
    if (target == index)
        return list;
    const std::string item = list[static_cast<size_t>(index)];
    list.erase(list.begin() + index);
    list.insert(list.begin() + target, item);
    return list;
}

}  // namespace

TEST(SongList, DisplayNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"01-Title.mp3", "Title"},
        {"01 - Title.mp3", " Title"},
        {"01_Title.mp3", "Title"},
        {"1 Title.mp3", "1 Title"},
        {"A-ha - Take On Me.mp3", "ha - Take On Me"},
        {"Song.MP3", "Song"},
        {"-Intro.mp3", "Intro"},
        {"123-Title.mp3", "Title"},
        {"1234-Title.mp3", "1234-Title"},
        {"12 Title - Live.mp3", "Title - Live"},
        {"01_-_My_Song.mp3", " My Song"},
        {"Title.Remix.mp3", "Title.Remix"},
        {"\\Artist\\Album\\02-Zwei.mp3", "Zwei"},
        // ":" is a character of a Linux name, no separator.
        {"C:01-Eins.mp3", "C:01-Eins"},
        {"05 Teil 1: Anfang.mp3", "Teil 1: Anfang"},
        {"05_Teil_1:_Anfang.mp3", "Teil 1: Anfang"},
        {"Live: 2001.mp3", "Live: 2001"},
        {"1:2-Lied.mp3", "Lied"},
        {"12:30 Uhr.mp3", "12:30 Uhr"},
        {"Akt 1:.mp3", "Akt 1:"},
        {"\\Band: Live\\CD:2\\05 Teil 1: Anfang.mp3", "Teil 1: Anfang"},
        {"\\A:B\\Lied.mp3", "Lied"},
        {"\\a.b\\c", "c"},
        {".mp3", ""},
        {"G\xE4nse_bl\xFC"
         "mchen.mp3",
         "G\xE4nse bl\xFC"
         "mchen"},
        // Positions count characters of the display text; the bytes stay.
        {"ÄÖ-Titel.mp3", "Titel"},
        {"\xC4\xD6-Titel.mp3", "Titel"},
        {"ÄÖÜ-Lied.mp3", "Lied"},
        {"ÄÖÜßx-Titel.mp3", "ÄÖÜßx-Titel"},
        {"\xC4\xD6\xDC\xDFx-Titel.mp3", "\xC4\xD6\xDC\xDFx-Titel"},
        {"\xC3\x84\xC3\x96\xDC-Lied.mp3", "Lied"},  // UTF-8 Ä Ö, Windows-1252 Ü
        {"Ä Titel.mp3", "Ä Titel"},
        {"ÄÖ Titel.mp3", "Titel"},
        {"\xC4\xD6 Titel.mp3", "Titel"},
        {"\x80\x81\x8D-x.mp3", "x"},  // euro sign and two undefined bytes
    };
    for (const auto& [entry, shown] : cases) {
        SCOPED_TRACE(entry);
        EXPECT_EQ(SongDisplayName(entry), shown);
    }

    for (const char* song : {"a.mp3", "a.MP3", "b.Mp3", ".mp3", "x.y.mp3", "\\Album.wav\\a.mp3",
                             "Live: 2001.mp3", "a:b.MP3", "\\A:B\\x.mp3", "Ende:.mp3"})
        EXPECT_TRUE(IsSongEntry(song)) << song;
    for (const char* other : {"Song.wav", "mp3", "a.mp33", "a.mp", "a.mp3 ", "a.mp3.bak",
                              "\\Album.mp3\\cover", "Album.mp3:cover", "x.mp3:", "a.mp3:1", ""})
        EXPECT_FALSE(IsSongEntry(other)) << other;
}

TEST(SongList, ItemsCarryFolderAndEntryInListOrder) {
    {
        SCOPED_TRACE("a folder's songs");
        Names entries = {"b.mp3", "sub/02-A.MP3", "cover.jpg", "C_D.mp3"};
        const auto items = MakeSongItems(entries, "\\Artist\\Album\\");
        EXPECT_EQ(entries, (Names{"b.mp3", "sub\\02-A.MP3", "cover.jpg", "C_D.mp3"}))
            << "the caller's list gets backslashes";
        ASSERT_EQ(items.size(), 3u);
        EXPECT_EQ(items[0].Caption, "b");
        EXPECT_EQ(items[0].Path, "\\Artist\\Album\\b.mp3");
        EXPECT_EQ(items[1].Caption, "A");
        EXPECT_EQ(items[1].Path, "\\Artist\\Album\\sub\\02-A.MP3");
        EXPECT_EQ(items[2].Caption, "C D");
        EXPECT_EQ(items[2].Path, "\\Artist\\Album\\C_D.mp3");
    }
    {
        SCOPED_TRACE("song paths of a favourite list, no folder");
        Names entries = {"/Rock/Best/01-Eins.mp3", "\\Pop\\x.mp3", "/Rock/notes.txt"};
        const auto items = MakeSongItems(entries, "");
        ASSERT_EQ(items.size(), 2u);
        EXPECT_EQ(items[0].Path, "\\Rock\\Best\\01-Eins.mp3");
        EXPECT_EQ(items[0].Caption, "Eins");
        EXPECT_EQ(items[1].Path, "\\Pop\\x.mp3");
    }
    {
        SCOPED_TRACE("names with \":\" in an album and on a favourite list");
        Names entries = {"05 Teil 1: Anfang.mp3", "sub/Live: 2001.mp3", "Album.mp3:cover"};
        const auto items = MakeSongItems(entries, "\\Band: Live\\");
        ASSERT_EQ(items.size(), 2u);
        EXPECT_EQ(items[0].Caption, "Teil 1: Anfang");
        EXPECT_EQ(items[0].Path, "\\Band: Live\\05 Teil 1: Anfang.mp3");
        EXPECT_EQ(items[1].Caption, "Live: 2001");
        EXPECT_EQ(items[1].Path, "\\Band: Live\\sub\\Live: 2001.mp3");
        Names listed = {"/Band: Live/05 Teil 1: Anfang.mp3", "\\C:\\02-Zwei.mp3"};
        const auto favorites = MakeSongItems(listed, "");
        ASSERT_EQ(favorites.size(), 2u);
        EXPECT_EQ(favorites[0].Caption, "Teil 1: Anfang");
        EXPECT_EQ(favorites[0].Path, "\\Band: Live\\05 Teil 1: Anfang.mp3");
        EXPECT_EQ(favorites[1].Caption, "Zwei");
    }
    {
        SCOPED_TRACE("a folder listed as b.mp3, A.mp3, a.MP3: sorted, case duplicate dropped");
        Names entries = {"b.mp3", "A.mp3", "a.MP3"};
        TNameCollator("de_DE").SortUnique(entries);
        const auto items = MakeSongItems(entries, "\\F\\");
        ASSERT_EQ(items.size(), 2u);
        EXPECT_EQ(items[0].Caption, "A");
        EXPECT_EQ(items[0].Path, "\\F\\A.mp3");
        EXPECT_EQ(items[1].Caption, "b");
        EXPECT_EQ(items[1].Path, "\\F\\b.mp3");
    }
    {
        SCOPED_TRACE("a listing with names a favourite list could not carry");
        for (const std::string name : {"a\rb.mp3", "a\nb.mp3", "a\r\n.mp3", "\n"})
            EXPECT_FALSE(IsListableName(name)) << name;
        EXPECT_FALSE(IsListableName(std::string("a\0b.mp3", 7)));
        EXPECT_TRUE(IsListableName("\xC4rger \t\x7F.mp3"));
        Names entries = {"gut.mp3",         "zwei\nZeilen.mp3",
                         "Wagen\rLauf.mp3", std::string("Null\0.mp3", 9),
                         "Ordner\r/x.mp3",  "sub/ok.mp3"};
        const auto items = MakeSongItems(entries, "\\F\\");
        ASSERT_EQ(items.size(), 2u);
        EXPECT_EQ(items[0].Path, "\\F\\gut.mp3");
        EXPECT_EQ(items[1].Path, "\\F\\sub\\ok.mp3");
    }
    Names none;
    EXPECT_TRUE(MakeSongItems(none, "\\F\\").empty());
}

TEST(SongList, MoveTargetMovesOnePlaceOrSaysNothingMoves) {
    const Names list = {"a", "b", "c", "d"};
    {
        SCOPED_TRACE("up");
        EXPECT_EQ(MoveInList(list, 1, -1), (Names{"b", "a", "c", "d"}));
        EXPECT_EQ(MoveInList(list, 3, -1), (Names{"a", "b", "d", "c"}));
        EXPECT_EQ(MoveTarget(3, 4, -1), 2);
        EXPECT_EQ(MoveTarget(0, 4, -1), 0) << "the first item stays";
    }
    {
        SCOPED_TRACE("down");
        EXPECT_EQ(MoveInList(list, 0, +1), (Names{"b", "a", "c", "d"}));
        EXPECT_EQ(MoveInList(list, 2, +1), (Names{"a", "b", "d", "c"}));
        EXPECT_EQ(MoveTarget(2, 4, +1), 3) << "inserted behind d: the last place";
        EXPECT_EQ(MoveTarget(3, 4, +1), 3) << "the last item stays";
    }
    {
        SCOPED_TRACE("every position: a swap with the neighbour, or nothing at the ends");
        for (int delta : {-1, +1}) {
            for (int i = 0; i < 4; ++i) {
                Names expected = list;
                const int other = i + delta;
                if (other >= 0 && other < 4)
                    std::swap(expected[static_cast<size_t>(i)],
                              expected[static_cast<size_t>(other)]);
                EXPECT_EQ(MoveInList(list, i, delta), expected) << i << " " << delta;
                EXPECT_EQ(MoveTarget(i, 4, delta) == i, expected == list) << i << " " << delta;
            }
        }
    }
    {
        SCOPED_TRACE("one item, no items, no selection");
        EXPECT_EQ(MoveTarget(0, 1, -1), 0);
        EXPECT_EQ(MoveTarget(0, 1, +1), 0);
        EXPECT_EQ(MoveTarget(-1, 4, +1), -1);
        EXPECT_EQ(MoveTarget(-1, 0, -1), -1);
        EXPECT_EQ(MoveTarget(4, 4, -1), 4);
    }
}
