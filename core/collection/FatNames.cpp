#include "collection/FatNames.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace tunrax {

namespace {

constexpr size_t kMaxUnits = 255;
// The longest name in bytes on the file systems of Linux (ext4, btrfs, XFS):
// a name of umlauts fits FAT's units long before it fits these.
constexpr size_t kMaxBytes = 255;
// An extension longer than this is part of the name (a dot in a title).
constexpr size_t kMaxExtension = 8;

// The bytes of the character at name[pos] when it is valid UTF-8, else 0.
size_t Utf8Length(const std::string& name, size_t pos) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(name[i]); };
    const unsigned char lead = byte(pos);
    size_t length = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    if (pos + length > name.size())
        return 0;
    for (size_t i = 1; i < length; ++i)
        if ((byte(pos + i) & 0xC0) != 0x80)
            return 0;
    // Overlong forms, surrogates and code points past U+10FFFF.
    const unsigned char second = byte(pos + 1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90))
        return 0;
    return length;
}

// Bytes and UTF-16 units of the character at name[pos].
void CharacterAt(const std::string& name, size_t pos, size_t& bytes, size_t& units) {
    bytes = Utf8Length(name, pos);
    units = bytes == 4 ? 2 : 1;
    if (bytes == 0)
        bytes = 1;
}

void TrimTrailingDotsAndBlanks(std::string& name) {
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.pop_back();
}

// The longest start of name within units UTF-16 units and maxBytes bytes,
// cut between characters.
std::string CutToFit(const std::string& name, size_t units, size_t maxBytes) {
    size_t pos = 0;
    size_t used = 0;
    while (pos < name.size()) {
        size_t bytes = 0, width = 0;
        CharacterAt(name, pos, bytes, width);
        if (used + width > units || pos + bytes > maxBytes)
            break;
        used += width;
        pos += bytes;
    }
    return name.substr(0, pos);
}

// Windows opens these names as devices, whatever follows the first dot and
// in any case: a file or folder so named cannot be opened there.
bool IsDeviceName(const std::string& name) {
    std::string base = name.substr(0, name.find('.'));
    for (char& c : base)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    for (const char* device : {"CON", "PRN", "AUX", "NUL"})
        if (base == device)
            return true;
    return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
           base[3] >= '1' && base[3] <= '9';
}

}  // namespace

size_t Utf16Length(const std::string& name) {
    size_t units = 0;
    for (size_t pos = 0; pos < name.size();) {
        size_t bytes = 0, width = 0;
        CharacterAt(name, pos, bytes, width);
        units += width;
        pos += bytes;
    }
    return units;
}

std::string FatValidName(const std::string& name) {
    std::string valid = name;
    for (char& c : valid)
        if (static_cast<unsigned char>(c) < 0x20 || std::strchr("\"*:<>?\\|/", c) != nullptr)
            c = '_';
    TrimTrailingDotsAndBlanks(valid);
    if (valid.empty())
        return "_";
    if (IsDeviceName(valid)) {
        const size_t dot = std::min(valid.find('.'), valid.size());
        valid.insert(valid.begin() + static_cast<std::ptrdiff_t>(dot), '_');
    }
    return FatNameWithSuffix(valid, "");
}

std::string FatNameWithSuffix(const std::string& validName, const std::string& suffix) {
    std::string extension;
    const size_t dot = validName.rfind('.');
    if (dot != std::string::npos && dot > 0 && validName.size() - dot <= kMaxExtension)
        extension = validName.substr(dot);
    std::string stem = validName.substr(0, validName.size() - extension.size());
    const size_t added = Utf16Length(suffix) + Utf16Length(extension);
    const size_t addedBytes = suffix.size() + extension.size();
    if (Utf16Length(stem) + added <= kMaxUnits && stem.size() + addedBytes <= kMaxBytes)
        return stem + suffix + extension;
    stem = CutToFit(stem, kMaxUnits - added, kMaxBytes - addedBytes);
    if (suffix.empty() && extension.empty())
        TrimTrailingDotsAndBlanks(stem);
    return stem + suffix + extension;
}

}  // namespace tunrax
