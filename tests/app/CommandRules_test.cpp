#include "app/CommandRules.h"

#include <gtest/gtest.h>

#include <string>

using namespace tunrax;

namespace {

// The enabled commands by name, in the tool bar's order, for readable
// failures.
std::string Enabled(const TCommandEnabling& on) {
    const std::pair<bool, const char*> commands[] = {{on.NeuListe, "NeuListe"},
                                                     {on.DelListe, "DelListe"},
                                                     {on.Add, "Add"},
                                                     {on.Del, "Del"},
                                                     {on.NoPlay, "NoPlay"},
                                                     {on.LiedFrueher, "LiedFrueher"},
                                                     {on.LiedSpaeter, "LiedSpaeter"},
                                                     {on.Kopieren, "Kopieren"},
                                                     {on.AddAll, "AddAll"},
                                                     {on.DelAll, "DelAll"},
                                                     {on.Find, "Find"}};
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
    {"NothingAtTheStart", All(), "NeuListe NoPlay"},
    {"AlbumListedNoListChosen", Chosen(All(), -1, 3, false), "NeuListe NoPlay"},
    {"AlbumSongChosenNoList", Chosen(All(), 0, 3, false), "NeuListe NoPlay"},
    {"AlbumSongChosenForAnEmptyList", Chosen(With(All(), true, true, true), 1, 3, false),
     "NeuListe DelListe Add NoPlay AddAll"},
    {"AlbumSongAlreadyInTheList", Chosen(With(All(), true, true, false), 1, 3, true),
     "NeuListe DelListe Del NoPlay AddAll DelAll"},
    {"AlbumSongOfANoLongerCurrentList", Chosen(With(All(), false, false, false), 1, 3, true),
     "NeuListe Del NoPlay DelAll"},
    {"ListFileUnreadable", Chosen(With(All(), true, false, true), 0, 3, false),
     "NeuListe DelListe NoPlay"},
    {"ChosenSongWithoutPath", Chosen(With(All(), true, true, false), 0, 3, false, false),
     "NeuListe DelListe NoPlay AddAll DelAll"},
    {"AlbumCopyable", Copyable(Chosen(All(), -1, 3, false)), "NeuListe NoPlay Kopieren"},
    {"NothingListedToCopy", Copyable(All()), "NeuListe NoPlay"},
    {"ListPageNothingChosen", Chosen(ListPage(), -1, 3, false), "NoPlay DelAll"},
    {"ListPageFirstSong", Chosen(ListPage(), 0, 3, true), "Del NoPlay LiedSpaeter DelAll Find"},
    {"ListPageMiddleSong", Copyable(Chosen(ListPage(), 1, 3, true)),
     "Del NoPlay LiedFrueher LiedSpaeter Kopieren DelAll Find"},
    {"ListPageLastSong", Chosen(ListPage(), 2, 3, true), "Del NoPlay LiedFrueher DelAll Find"},
    {"ListPageOnlySong", Chosen(ListPage(), 0, 1, true), "Del NoPlay DelAll Find"},
    {"ListPageEmptied", Chosen(With(ListPage(), true, true, true), -1, 0, false), "NoPlay"},
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
