#include "collection/SongNames.h"

#include <algorithm>
#include <string_view>

#include "settings/DisplayText.h"
#include "sources/Source.h"

namespace tunrax {

namespace {

// Start of the file name: after the last "\". On Linux ":" is an ordinary
// character of a name ("Teil 1: Anfang.mp3"), never a drive.
size_t NameStart(const std::string& entry) {
    const size_t separator = entry.rfind('\\');
    return separator == std::string::npos ? 0 : separator + 1;
}

// Position of the extension's "." within the file name, or npos.
size_t ExtensionStart(const std::string& entry) {
    const size_t dot = entry.rfind('.');
    return dot == std::string::npos || dot < NameStart(entry) ? std::string::npos : dot;
}

}  // namespace

bool IsSongEntry(const std::string& entry) {
    const size_t dot = ExtensionStart(entry);
    if (dot == std::string::npos || entry.size() - dot != 4)
        return false;
    std::string extension = entry.substr(dot);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    return extension == ".mp3";
}

std::string WithoutTrackNumber(const std::string& name) {
    // Track numbers: "01-Title", "1-Title", "001 - Title" or "01 Title". The
    // display text ends at a zero byte, so a "-" or space behind one does
    // not count.
    const size_t shown = std::min(name.find('\0'), name.size());
    const size_t dash = name.find('-');
    if (dash < shown && DisplayLength(name.substr(0, dash)) < 4)
        return name.substr(dash + 1);
    const size_t space = name.find(' ');
    if (space < shown && DisplayLength(name.substr(0, space)) == 2)
        return name.substr(space + 1);
    return name;
}

std::string SongDisplayName(const std::string& entry) {
    const size_t start = NameStart(entry);
    const size_t dot = ExtensionStart(entry);
    std::string name = entry.substr(start, dot == std::string::npos ? dot : dot - start);
    std::replace(name.begin(), name.end(), '_', ' ');
    return WithoutTrackNumber(name);
}

std::vector<TSongItem> MakeSongItems(std::vector<std::string>& entries, const std::string& folder) {
    std::vector<TSongItem> items;
    items.reserve(entries.size());
    for (std::string& entry : entries) {
        std::replace(entry.begin(), entry.end(), '/', '\\');
        // Whatever the source: a song that a favourite list could not carry
        // is no item.
        if (IsSongEntry(entry) && IsListableName(entry))
            items.push_back({SongDisplayName(entry), folder + entry});
    }
    return items;
}

int MoveTarget(int index, int count, int delta) {
    if (index < 0 || index >= count)
        return index;
    const long long insertAt = std::clamp<long long>(
        static_cast<long long>(index) + delta + (delta > 0 ? 1 : 0), 0, count);
    // Inserting behind the item shifts nothing before the old item is deleted;
    // right behind it (the last item moved down) the order stays as it was.
    return static_cast<int>(insertAt > index ? insertAt - 1 : insertAt);
}

}  // namespace tunrax
