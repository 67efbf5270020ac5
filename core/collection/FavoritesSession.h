// The favourite lists as the main window works with them, without any
// widget: the names of the list files, which list is current, its songs,
// whether they changed since they were read, and reading, writing and
// deleting the list files (FavoriteList.h).
//
// Load and Save throw tunrax::Error with the messages of the file functions;
// nothing else throws. The session owns the current list; the files are the
// user's and stay as they are unless saved or deleted here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "collection/FavoriteList.h"

namespace tunrax {

class TNameCollator;

class TFavoritesSession {
public:
    // The names of the list files in the data folder, sorted as collator
    // sorts them (names that compare equal keep the folder's order).
    static std::vector<std::string> ListNames(const TNameCollator& collator);
    // The name of a new list for the text the user typed: a valid file name,
    // empty when nothing of the text is left.
    static std::string NewListName(const std::string& typed);

    // The current list's name; empty when no list is current.
    const std::string& Name() const { return FName; }
    const TFavoriteList& List() const { return FList; }
    bool Current() const { return !FName.empty(); }
    // A list is current and its file could be read: it may be edited.
    bool Editable() const { return Current() && !FUnreadable; }
    // The changes since the list was read (0: nothing to write back).
    int32_t Changes() const { return FChanges; }
    bool Contains(const std::string& path) const { return FList.Contains(path); }

    // Makes name (empty: none) the current list and reads its file; "/" in
    // its lines are taken as "\". A file that exists but cannot be read
    // leaves the list current and empty and is never written back; the
    // error passes on.
    void Load(const std::string& name);
    // Writes a current list that has changes to its file; afterwards no list
    // is current until the next Load. A list whose file could not be read
    // is not written. On error the list stays current with its changes.
    void Save();
    // Writes a current list that has changes to its file, as Save does, but
    // the list stays current and editable with no changes left: written
    // back while the user works on. A list whose file could not be read is
    // not written. On error the list keeps its changes.
    void Flush();
    // Empties the list without counting a change (the program ends).
    void Forget() { FList.Clear(); }

    // Adds path unless it is empty or in the list already; a change when
    // added.
    void Add(const std::string& path);
    // Removes the first entry equal to path; counted as a change in any case.
    void Remove(const std::string& path);
    void AddAll(const std::vector<std::string>& paths);
    void RemoveAll(const std::vector<std::string>& paths);
    // Empties the list: one change.
    void Clear();
    // Takes songs as the list's new order after a song was moved up or
    // down on the list's page (what the page cannot show is gone from it).
    void Rearrange(std::vector<std::string> songs);

    // Deletes the current list's file. False when it could not be deleted:
    // then nothing changes. Else no list is current.
    bool DeleteCurrent();

private:
    TFavoriteList FList;
    std::string FName;
    int32_t FChanges = 0;
    // The current list's file exists but could not be read: the list is
    // shown empty and never written back, so that the file is not replaced.
    bool FUnreadable = false;
};

}  // namespace tunrax
