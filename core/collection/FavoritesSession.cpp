#include "collection/FavoritesSession.h"

#include <algorithm>

#include "collection/Collation.h"
#include "io/Error.h"
#include "io/FileTools.h"
#include "settings/UserFolders.h"

namespace tunrax {

std::vector<std::string> TFavoritesSession::ListNames(const TNameCollator& collator) {
    std::vector<std::string> names = ListFavoriteNames(GetUserDataFolder("tunRax", "quintor"));
    std::stable_sort(names.begin(), names.end(),
                     [&collator](const std::string& a, const std::string& b) {
                         return collator.Compare(a, b) < 0;
                     });
    return names;
}

std::string TFavoritesSession::NewListName(const std::string& typed) {
    return MakeValidFileName(typed);
}

void TFavoritesSession::Load(const std::string& name) {
    FList.Clear();
    FChanges = 0;
    FUnreadable = false;
    FName = name;
    if (!FName.empty()) {
        try {
            FList.Assign(ReadFavorites(FavoriteFileName(FName)));
        } catch (const Error&) {
            FUnreadable = true;
            throw;
        }
    }
    // Lines written with "/" name the same songs: taken as "\" at once, so
    // that they match the songs of an album too.
    FList.ReplaceSlashes();
}

void TFavoritesSession::Save() {
    if (FName.empty() || FChanges == 0 || FUnreadable)
        return;
    Flush();
    FName.clear();
}

void TFavoritesSession::Flush() {
    if (FName.empty() || FChanges == 0 || FUnreadable)
        return;
    WriteFavorites(FavoriteFileName(FName), FList.Entries());
    FChanges = 0;
}

void TFavoritesSession::Add(const std::string& path) {
    if (!path.empty() && FList.Add(path))
        ++FChanges;
}

void TFavoritesSession::Remove(const std::string& path) {
    FList.Remove(path);
    ++FChanges;
}

void TFavoritesSession::AddAll(const std::vector<std::string>& paths) {
    for (const std::string& path : paths)
        Add(path);
}

void TFavoritesSession::RemoveAll(const std::vector<std::string>& paths) {
    for (const std::string& path : paths)
        Remove(path);
}

void TFavoritesSession::Clear() {
    FList.Clear();
    ++FChanges;
}

void TFavoritesSession::Rearrange(std::vector<std::string> songs) {
    FList.Assign(std::move(songs));
    ++FChanges;
}

bool TFavoritesSession::DeleteCurrent() {
    if (!DeleteFavoriteFile(FavoriteFileName(FName)))
        return false;
    FName.clear();
    return true;
}

}  // namespace tunrax
