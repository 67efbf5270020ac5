#include "collection/FavoriteList.h"

#include <fcntl.h>
#include <unistd.h>

#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <unordered_set>
#include <utility>

#include "io/Error.h"
#include "io/FileDescriptor.h"
#include "io/FileTools.h"
#include "settings/DisplayText.h"
#include "settings/UserFolders.h"

namespace tunrax {

namespace {

const char* const kExtension = ".favoriten";

// What a failure of the list's file is about; the reason follows.
std::string ReadContext(const std::string& fileName) {
    return "Die Favoritenliste \"" + fileName + "\" kann nicht gelesen werden: ";
}

std::string WriteContext(const std::string& fileName) {
    return "Die Favoritenliste \"" + fileName + "\" kann nicht gespeichert werden: ";
}

}  // namespace

std::string FavoriteFileName(const std::string& listName) {
    const std::string folder = GetUserDataFolder("tunRax", "quintor");
    const std::string exact = listName + kExtension;
    // A list may have been saved as "Name.FAVORITEN": the chooser offers it
    // as "Name", so its own file must be read, saved and deleted.
    std::vector<std::string> files;
    FindFiles(files, folder, std::string("*") + kExtension, false, false);
    std::string found;
    for (const std::string& file : files) {
        if (file.size() != exact.size() || file.compare(0, listName.size(), listName) != 0)
            continue;
        if (file == exact)
            return folder + exact;
        if (found.empty() || file < found)
            found = file;
    }
    return folder + (found.empty() ? exact : found);
}

std::vector<std::string> ReadFavorites(const std::string& fileName, size_t maxEntries) {
    std::vector<std::string> entries;
    std::string text;
    // The longest real lists are a few MB; a file of more than 64 MB is no
    // list, and reading it whole could take all memory.
    const off_t maxSize = off_t{64} << 20;
    try {
        text = ReadRegularFile(fileName, maxSize);
    } catch (const SystemError& e) {
        if (e.IsNotFound() || e.IsNotAFolder())
            return entries;
        throw SystemError(e.Code(), ReadContext(fileName));
    } catch (const RefusedFileError& e) {
        throw Error("Die Favoritenliste \"" + fileName + "\" " + e.Reason() + ".");
    }

    const size_t end = std::min(text.find('\0'), text.size());
    size_t start = 0;
    while (start < end) {
        size_t pos = start;
        while (pos < end && text[pos] != '\r' && text[pos] != '\n')
            ++pos;
        if (entries.size() == maxEntries)
            throw Error("Die Favoritenliste \"" + fileName + "\" hat mehr als " +
                        std::to_string(maxEntries) + " Einträge und wird nicht gelesen.");
        entries.emplace_back(text, start, pos - start);
        if (pos < end && text[pos] == '\r' && pos + 1 < end && text[pos + 1] == '\n')
            ++pos;
        start = pos + 1;
    }
    return entries;
}

void WriteFavorites(const std::string& fileName, const std::vector<std::string>& entries) {
    std::string bytes;
    size_t size = 0;
    for (const std::string& entry : entries)
        size += entry.size() + 2;
    bytes.reserve(size);
    for (const std::string& entry : entries) {
        bytes += entry;
        bytes += "\r\n";
    }

    WithErrorContext(WriteContext(fileName), [&] { ReplaceFileContents(fileName, bytes); });
}

bool DeleteFavoriteFile(const std::string& fileName) {
    return ::unlink(fileName.c_str()) == 0;
}

std::vector<std::string> ListFavoriteNames(const std::string& folder) {
    std::vector<std::string> names;
    FindFiles(names, folder, std::string("*") + kExtension, false, false);
    // "a.favoriten" and "a.FAVORITEN" are one list: FavoriteFileName gives
    // one file for the name.
    std::unordered_set<std::string> seen;
    size_t kept = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        names[i].erase(names[i].rfind('.'));
        if (!seen.insert(names[i]).second)
            continue;
        if (kept != i)
            names[kept] = std::move(names[i]);
        ++kept;
    }
    names.resize(kept);
    return names;
}

std::string FavoriteKey(const std::string& path) {
    // ASCII text is its own display text, and its full case folding only
    // lowers A-Z: no need to go through ICU.
    const size_t end = std::min(path.find('\0'), path.size());
    std::string key(path, 0, end);
    bool ascii = true;
    for (char& c : key) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    }
    if (ascii)
        return key;
    key.clear();
    icu::UnicodeString::fromUTF8(DisplayText(path)).foldCase(U_FOLD_CASE_DEFAULT).toUTF8String(key);
    return key;
}

void TFavoriteList::Rebuild() {
    FKeys.clear();
    FCounts.clear();
    FKeys.reserve(FEntries.size());
    FCounts.reserve(FEntries.size());
    for (const std::string& entry : FEntries) {
        FKeys.push_back(FavoriteKey(entry));
        ++FCounts[FKeys.back()];
    }
}

void TFavoriteList::Assign(std::vector<std::string> entries) {
    FEntries = std::move(entries);
    Rebuild();
}

void TFavoriteList::Clear() {
    FEntries.clear();
    FKeys.clear();
    FCounts.clear();
}

bool TFavoriteList::Contains(const std::string& path) const {
    return FCounts.find(FavoriteKey(path)) != FCounts.end();
}

int TFavoriteList::IndexOf(const std::string& path) const {
    const std::string key = FavoriteKey(path);
    if (FCounts.find(key) == FCounts.end())
        return -1;
    const auto found = std::find(FKeys.begin(), FKeys.end(), key);
    return found == FKeys.end() ? -1 : static_cast<int>(found - FKeys.begin());
}

bool TFavoriteList::Add(const std::string& path) {
    std::string key = FavoriteKey(path);
    if (FCounts.find(key) != FCounts.end())
        return false;
    FEntries.push_back(path);
    FCounts.emplace(key, 1);
    FKeys.push_back(std::move(key));
    return true;
}

bool TFavoriteList::Remove(const std::string& path) {
    const int index = IndexOf(path);
    if (index < 0)
        return false;
    const auto count = FCounts.find(FKeys[static_cast<size_t>(index)]);
    if (--count->second == 0)
        FCounts.erase(count);
    FEntries.erase(FEntries.begin() + index);
    FKeys.erase(FKeys.begin() + index);
    return true;
}

void TFavoriteList::ReplaceSlashes() {
    bool changed = false;
    for (std::string& entry : FEntries) {
        if (entry.find('/') == std::string::npos)
            continue;
        std::replace(entry.begin(), entry.end(), '/', '\\');
        changed = true;
    }
    if (changed)
        Rebuild();
}

}  // namespace tunrax
