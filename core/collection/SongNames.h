// The song list's model without widgets: which entries are songs, what each
// shows, and which song path it carries.
#pragma once

#include <string>
#include <vector>

namespace tunrax {

struct TSongItem {
    std::string Caption;  // display name (bytes, as the file name has them)
    std::string Path;     // song path: folder + entry, "\" separated
};

// The extension (from the last "." after the last "\"), lower-cased, is
// ".mp3". A ":" is part of the name like any other character.
bool IsSongEntry(const std::string& entry);

// The track-number rule of the song list and the copy wizard: when the first
// "-" stands at character position 1 to 4, everything up to and including it
// is removed; otherwise, when the first space stands at position 3, the first
// three characters are. Positions count characters of the display text
// (DisplayText); the result keeps the name's own bytes.
std::string WithoutTrackNumber(const std::string& name);

// File name (after the last "\") without extension, "_" as space, then
// WithoutTrackNumber. A ":" stays: "05 Teil 1: Anfang.mp3" shows as
// "Teil 1: Anfang".
std::string SongDisplayName(const std::string& entry);

// Turns every "/" of the entries into "\" (the list itself is changed) and
// gives an item for each song entry that IsListableName, in list order.
std::vector<TSongItem> MakeSongItems(std::vector<std::string>& entries, const std::string& folder);

// Where the selected item at index ends up when it moves by delta (-1 up,
// +1 down) among count items. The move inserts a copy at i + delta (one more
// for a positive delta, clamped to 0..count) and then deletes the old item;
// the result is the moved item's final index, so a caller may as well take
// the item out and put it back in at the returned index. Returns index itself
// exactly when the order does not change: the first item moved up, the last
// item moved down, or an index outside 0..count-1 (no selection).
int MoveTarget(int index, int count, int delta);

}  // namespace tunrax
