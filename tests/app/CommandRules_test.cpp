#include "app/CommandRules.h"

#include <gtest/gtest.h>

#include <string>

using namespace tunrax;

namespace {

// The enabled commands by name, in the tool bar's order, for readable
// failures.
std::string Enabled(const TCommandEnabling& on) {
    const std::pair<bool, const char*> commands[] = {
        {on.NewList, "NewList"},           {on.DeleteList, "DeleteList"},
        {on.AddSong, "AddSong"},           {on.RemoveSong, "RemoveSong"},
        {on.NoAutoPlay, "NoAutoPlay"},     {on.MoveSongUp, "MoveSongUp"},
        {on.MoveSongDown, "MoveSongDown"}, {on.CopySongs, "CopySongs"},
        {on.AddAllSongs, "AddAllSongs"},   {on.RemoveAllSongs, "RemoveAllSongs"},
        {on.FindSong, "FindSong"}};
    std::string names;
    for (const auto& [enabled, name] : commands)
        if (enabled)
            names += (names.empty() ? "" : " ") + std::string(name);
    return names;
}

struct Row {
    const char* name;
    TCommandState state;
    const char* enabled;
};

// The states, built up from the page shown.
TCommandState All() {
    return {};
}

TCommandState ListPage() {
    TCommandState s;
    s.PageAll = false;
    s.PageList = true;
    s.ListCurrent = s.ListEditable = true;
    s.ListEmpty = false;
    return s;
}

TCommandState With(TCommandState s, bool current, bool editable, bool empty) {
    s.ListCurrent = current;
    s.ListEditable = editable;
    s.ListEmpty = empty;
    return s;
}

TCommandState Chosen(TCommandState s, int row, int count, bool inList, bool hasPath = true) {
    s.SongChosen = row >= 0;
    s.ChosenHasPath = row >= 0 && hasPath;
    s.ChosenInList = row >= 0 && inList;
    s.ChosenRow = row;
    s.SongCount = count;
    return s;
}

TCommandState Copyable(TCommandState s) {
    s.SourceCanCopy = true;
    return s;
}

const Row kRows[] = {
    {"NothingAtTheStart", All(), "NewList NoAutoPlay"},
    {"AlbumListedNoListChosen", Chosen(All(), -1, 3, false), "NewList NoAutoPlay"},
    {"AlbumSongChosenNoList", Chosen(All(), 0, 3, false), "NewList NoAutoPlay"},
    {"AlbumSongChosenForAnEmptyList", Chosen(With(All(), true, true, true), 1, 3, false),
     "NewList DeleteList AddSong NoAutoPlay AddAllSongs"},
    {"AlbumSongAlreadyInTheList", Chosen(With(All(), true, true, false), 1, 3, true),
     "NewList DeleteList RemoveSong NoAutoPlay AddAllSongs RemoveAllSongs"},
    {"AlbumSongOfANoLongerCurrentList", Chosen(With(All(), false, false, false), 1, 3, true),
     "NewList RemoveSong NoAutoPlay RemoveAllSongs"},
    {"ListFileUnreadable", Chosen(With(All(), true, false, true), 0, 3, false),
     "NewList DeleteList NoAutoPlay"},
    {"ChosenSongWithoutPath", Chosen(With(All(), true, true, false), 0, 3, false, false),
     "NewList DeleteList NoAutoPlay AddAllSongs RemoveAllSongs"},
    {"AlbumCopyable", Copyable(Chosen(All(), -1, 3, false)), "NewList NoAutoPlay CopySongs"},
    {"NothingListedToCopy", Copyable(All()), "NewList NoAutoPlay"},
    {"ListPageNothingChosen", Chosen(ListPage(), -1, 3, false), "NoAutoPlay RemoveAllSongs"},
    {"ListPageFirstSong", Chosen(ListPage(), 0, 3, true),
     "RemoveSong NoAutoPlay MoveSongDown RemoveAllSongs FindSong"},
    {"ListPageMiddleSong", Copyable(Chosen(ListPage(), 1, 3, true)),
     "RemoveSong NoAutoPlay MoveSongUp MoveSongDown CopySongs RemoveAllSongs FindSong"},
    {"ListPageLastSong", Chosen(ListPage(), 2, 3, true),
     "RemoveSong NoAutoPlay MoveSongUp RemoveAllSongs FindSong"},
    {"ListPageOnlySong", Chosen(ListPage(), 0, 1, true),
     "RemoveSong NoAutoPlay RemoveAllSongs FindSong"},
    {"ListPageEmptied", Chosen(With(ListPage(), true, true, true), -1, 0, false), "NoAutoPlay"},
};

class CommandRules : public ::testing::TestWithParam<Row> {};

}  // namespace

TEST_P(CommandRules, EnablesTheCommandsOfTheState) {
    const Row& row = GetParam();
    EXPECT_EQ(Enabled(EnabledCommands(row.state)), row.enabled);
}

INSTANTIATE_TEST_SUITE_P(States, CommandRules, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& state) {
                             return std::string(state.param.name);
                         });
