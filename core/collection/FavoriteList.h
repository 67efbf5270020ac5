// Favourite lists: the list files in the per-user data folder and the current
// list of the main window, without any widget.
//
// A list file holds one song path per line ('\Artist\Album\01-Title.mp3'),
// bytes as they are, nothing else. Song paths are compared without regard to
// case: two paths are equal when the ICU full case folding of their display
// text (DisplayText) is the same.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace tunrax {

// The file of a list: GetUserDataFolder("tunRax", "quintor") + listName +
// ".favoriten" (the folder is created when missing). Where no such list file
// exists but one whose extension differs in ASCII case does (as
// ListFavoriteNames finds them), that file; of several, the first in byte
// order.
std::string FavoriteFileName(const std::string& listName);

// The entries of a list file. CR LF, a lone CR and a lone LF each end a line;
// an empty line gives an empty entry; a line break at the very end gives no
// further entry; a zero byte ends the text. A missing file gives an empty
// list. Throws tunrax::Error when the file exists but cannot be read, and
// when it has more than maxEntries lines (a file of bare line breaks would
// otherwise take gigabytes).
inline constexpr size_t kFavoritesMaxEntries = 1'000'000;
std::vector<std::string> ReadFavorites(const std::string& fileName,
                                       size_t maxEntries = kFavoritesMaxEntries);

// Writes the entries, each followed by CR LF, replacing the file as a whole:
// through a temporary file in the same folder, synced and then renamed over
// the old one, which keeps its mode (a new file gets 0600). A symbolic link
// is written through. On failure the old file is left as it was, no
// temporary file remains and tunrax::Error is thrown.
void WriteFavorites(const std::string& fileName, const std::vector<std::string>& entries);

// Deletes a list file (a link itself, not what it points to). False when it
// could not be deleted, also when it is missing; never throws.
bool DeleteFavoriteFile(const std::string& fileName);

// The names of the list files in folder (not its sub-folders): regular files
// (or links to them) whose names match "*.favoriten" without regard to ASCII
// case, each without that extension and each name once, in the order the
// folder gives them. A missing folder gives none.
std::vector<std::string> ListFavoriteNames(const std::string& folder);

// The case-insensitive comparison key of a song path (see above).
std::string FavoriteKey(const std::string& path);

// The current list: its entries in order, plus a count of each key so that
// Contains takes constant time. Duplicates are kept as they come from a file.
class TFavoriteList {
public:
    const std::vector<std::string>& Entries() const { return FEntries; }
    size_t Size() const { return FEntries.size(); }
    bool Empty() const { return FEntries.empty(); }

    void Assign(std::vector<std::string> entries);
    void Clear();

    // Whether an entry equal to path (without regard to case) is in the list.
    bool Contains(const std::string& path) const;
    // The index of the first such entry; -1 when there is none.
    int IndexOf(const std::string& path) const;
    // Appends path unless an equal entry is in the list; true when added.
    bool Add(const std::string& path);
    // Removes the first equal entry; true when one was removed.
    bool Remove(const std::string& path);
    // Turns every "/" of the entries themselves into "\".
    void ReplaceSlashes();

private:
    void Rebuild();

    std::vector<std::string> FEntries;
    std::vector<std::string> FKeys;  // FavoriteKey of each entry, same order
    std::unordered_map<std::string, int> FCounts;
};

}  // namespace tunrax
