// The songs the main window lists, without widgets: caption and song path of
// each row in the order shown, and which row is selected. The window's list
// shows it; nothing reads paths or order back from a widget. Nothing throws
// unless a row outside the list is asked for (std::out_of_range).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "collection/SongNames.h"

namespace tunrax {

class TSongList {
public:
    static constexpr int kNoRow = -1;

    // Lists the song entries of a folder listing or a favourite list (see
    // MakeSongItems, which turns "/" into "\" in entries); nothing selected.
    void Fill(std::vector<std::string>& entries, const std::string& folder);
    void Clear();

    int Size() const { return static_cast<int>(FRows.size()); }
    bool Empty() const { return FRows.empty(); }
    const TSongItem& At(int row) const { return FRows.at(static_cast<size_t>(row)); }
    // The song paths in the order shown.
    std::vector<std::string> Paths() const;
    // The first row of the song at path; kNoRow when it is not listed.
    int IndexOf(const std::string& path) const;

    // The selected row, kNoRow when none; the selected song, nullptr when none.
    int Selected() const { return FSelected; }
    const TSongItem* SelectedSong() const;
    // Selects row; a row outside the list selects none.
    void Select(int row);
    // Moves the selected song by delta (-1 earlier, +1 later; see MoveTarget)
    // and keeps it selected. Returns its new row, or kNoRow when the order
    // stays (no selection, the first song up, the last one down).
    int MoveSelected(int delta);
    // Removes the song at row (a row outside the list removes nothing); the
    // selection goes.
    void Remove(int row);

    // Called after every change of the rows (not of the selection); none by
    // default.
    void SetChangeHook(std::function<void()> hook) { FChanged = std::move(hook); }

private:
    std::vector<TSongItem> FRows;
    int FSelected = kNoRow;
    std::function<void()> FChanged;

    void Changed() const {
        if (FChanged)
            FChanged();
    }
};

}  // namespace tunrax
