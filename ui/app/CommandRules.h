// When the main window's eleven list commands may be used: a pure function
// of what the window shows, so that the rules can be read and tested without
// a window. No Qt; nothing here throws.
#pragma once

namespace tunrax {

// What the rules look at, as the window has it when the application is idle.
struct TCommandState {
    // The page shown: "Alle" (the album tree) or "Favoriten" (the list).
    bool PageAll = true;
    bool PageList = false;
    // A favourite list is current; it may be edited (its file could be
    // read); it has no songs.
    bool ListCurrent = false;
    bool ListEditable = false;
    bool ListEmpty = true;
    // A song of the song list is chosen; it has a path; that path is in the
    // current list.
    bool SongChosen = false;
    bool ChosenHasPath = false;
    bool ChosenInList = false;
    // The chosen row (-1: none) and the number of songs listed.
    int ChosenRow = -1;
    int SongCount = 0;
    // The source lets songs be copied to a portable player.
    bool SourceCanCopy = false;

    bool operator==(const TCommandState&) const = default;
};

// The commands, named as their actions, each true when it may be used.
struct TCommandEnabling {
    bool NewList = false;
    bool DeleteList = false;
    bool AddSong = false;
    bool RemoveSong = false;
    bool NoAutoPlay = false;
    bool MoveSongUp = false;
    bool MoveSongDown = false;
    bool CopySongs = false;
    bool AddAllSongs = false;
    bool RemoveAllSongs = false;
    bool FindSong = false;

    bool operator==(const TCommandEnabling&) const = default;
};

TCommandEnabling EnabledCommands(const TCommandState& state);

}  // namespace tunrax
