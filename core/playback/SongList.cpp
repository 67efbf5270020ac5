#include "playback/SongList.h"

#include <algorithm>

namespace tunrax {

void TSongList::Fill(std::vector<std::string>& entries, const std::string& folder) {
    FRows = MakeSongItems(entries, folder);
    FSelected = kNoRow;
    Changed();
}

void TSongList::Clear() {
    FRows.clear();
    FSelected = kNoRow;
    Changed();
}

std::vector<std::string> TSongList::Paths() const {
    std::vector<std::string> paths;
    paths.reserve(FRows.size());
    for (const TSongItem& row : FRows)
        paths.push_back(row.Path);
    return paths;
}

int TSongList::IndexOf(const std::string& path) const {
    auto found = std::find_if(FRows.begin(), FRows.end(),
                              [&path](const TSongItem& row) { return row.Path == path; });
    return found == FRows.end() ? kNoRow : static_cast<int>(found - FRows.begin());
}

const TSongItem* TSongList::SelectedSong() const {
    return FSelected == kNoRow ? nullptr : &FRows[static_cast<size_t>(FSelected)];
}

void TSongList::Select(int row) {
    FSelected = row >= 0 && row < Size() ? row : kNoRow;
}

int TSongList::MoveSelected(int delta) {
    const int target = MoveTarget(FSelected, Size(), delta);
    if (target == FSelected)
        return kNoRow;
    TSongItem moved = std::move(FRows[static_cast<size_t>(FSelected)]);
    FRows.erase(FRows.begin() + FSelected);
    FRows.insert(FRows.begin() + target, std::move(moved));
    FSelected = target;
    Changed();
    return target;
}

void TSongList::Remove(int row) {
    if (row < 0 || row >= Size())
        return;
    FRows.erase(FRows.begin() + row);
    FSelected = kNoRow;
    Changed();
}

}  // namespace tunrax
