// The song list without widgets: what it lists, which row is selected, and
// moving and removing songs as the favourites page does.
#include <gtest/gtest.h>

#include "playback/SongList.h"

using namespace tunrax;

namespace {

using Paths = std::vector<std::string>;

TSongList Listed(Paths entries) {
    TSongList songs;
    songs.Fill(entries, "\\Album\\");
    return songs;
}

}  // namespace

TEST(SongListTest, FillsSelectsAndFindsSongs) {
    TSongList songs = Listed({"01-Eins.mp3", "cover.jpg", "02_Zwei.MP3", "sub/03-Drei.mp3"});
    ASSERT_EQ(songs.Size(), 3) << "only song entries are listed";
    EXPECT_EQ(songs.Paths(),
              (Paths{"\\Album\\01-Eins.mp3", "\\Album\\02_Zwei.MP3", "\\Album\\sub\\03-Drei.mp3"}));
    EXPECT_EQ(songs.At(1).Caption, "Zwei");
    EXPECT_EQ(songs.IndexOf("\\Album\\sub\\03-Drei.mp3"), 2);
    EXPECT_EQ(songs.IndexOf("\\Album\\cover.jpg"), TSongList::kNoRow);

    EXPECT_EQ(songs.Selected(), TSongList::kNoRow) << "a new list selects nothing";
    EXPECT_EQ(songs.SelectedSong(), nullptr);
    songs.Select(2);
    ASSERT_NE(songs.SelectedSong(), nullptr);
    EXPECT_EQ(songs.SelectedSong()->Path, "\\Album\\sub\\03-Drei.mp3");
    for (int outside : {3, -5}) {
        songs.Select(outside);
        EXPECT_EQ(songs.Selected(), TSongList::kNoRow) << outside;
    }
    songs.Select(0);
    std::vector<std::string> again{"x.mp3"};
    songs.Fill(again, "");
    EXPECT_EQ(songs.Selected(), TSongList::kNoRow) << "the selection of the old list stays";
    EXPECT_THROW(songs.At(1), std::out_of_range);
}

TEST(SongListTest, MovesAndRemovesTheSelectedSong) {
    TSongList songs = Listed({"a.mp3", "b.mp3", "c.mp3"});
    EXPECT_EQ(songs.MoveSelected(+1), TSongList::kNoRow) << "nothing selected moves";

    songs.Select(0);
    EXPECT_EQ(songs.MoveSelected(-1), TSongList::kNoRow) << "the first song cannot go up";
    EXPECT_EQ(songs.MoveSelected(+1), 1);
    EXPECT_EQ(songs.Paths(), (Paths{"\\Album\\b.mp3", "\\Album\\a.mp3", "\\Album\\c.mp3"}));
    EXPECT_EQ(songs.Selected(), 1) << "the moved song stays selected";
    EXPECT_EQ(songs.MoveSelected(+1), 2);
    EXPECT_EQ(songs.MoveSelected(+1), TSongList::kNoRow) << "the last song cannot go down";
    EXPECT_EQ(songs.Paths(), (Paths{"\\Album\\b.mp3", "\\Album\\c.mp3", "\\Album\\a.mp3"}));
    EXPECT_EQ(songs.At(2).Caption, "a") << "the caption moves with its path";

    songs.Remove(1);
    EXPECT_EQ(songs.Paths(), (Paths{"\\Album\\b.mp3", "\\Album\\a.mp3"}));
    EXPECT_EQ(songs.Selected(), TSongList::kNoRow);
    songs.Remove(2);
    EXPECT_EQ(songs.Size(), 2) << "a row outside the list removes nothing";
}
