#include "settings/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <unordered_map>
#include <utility>

#include "io/Error.h"
#include "io/FileDescriptor.h"
#include "io/FileTools.h"
#include "settings/UserFolders.h"

namespace tunrax {

std::string SettingsVendor;

namespace {

const char kBom[] = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

std::string Fold(const std::string& text) {
    std::string folded = text;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

// What one line of the file is to the reader.
struct ParsedLine {
    enum Kind { kOther, kSection, kKey } kind = kOther;
    std::string name;   // section or key name, trimmed
    std::string value;  // raw value, trimmed
};

ParsedLine Parse(const std::string& line) {
    ParsedLine parsed;
    std::string text = line;
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    text = Trim(text);
    if (text.empty() || text[0] == ';' || text[0] == '#')
        return parsed;
    if (text[0] == '[') {
        size_t close = text.find(']');
        parsed.kind = ParsedLine::kSection;
        parsed.name =
            Trim(text.substr(1, close == std::string::npos ? std::string::npos : close - 1));
        return parsed;
    }
    size_t eq = text.find('=');
    if (eq == std::string::npos)
        return parsed;
    parsed.name = Trim(text.substr(0, eq));
    if (parsed.name.empty())
        return parsed;
    parsed.kind = ParsedLine::kKey;
    parsed.value = Trim(text.substr(eq + 1));
    return parsed;
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

// Profile files drop one pair of quotes around a value; values that would
// otherwise lose blanks or quotes are written inside such a pair.
std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && IsQuote(value.front()) && value.front() == value.back())
        return value.substr(1, value.size() - 2);
    return value;
}

std::string Quote(const std::string& value) {
    if (value.empty())
        return value;
    bool blankAtEnds = IsBlank(value.front()) || IsBlank(value.back());
    bool quotedAlready =
        value.size() >= 2 && IsQuote(value.front()) && value.front() == value.back();
    return blankAtEnds || quotedAlready ? "\"" + value + "\"" : value;
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

// What a failed write is about; the reason follows.
std::string WriteContext(const std::string& fileName) {
    return "Die Einstellungsdatei \"" + fileName + "\" kann nicht geschrieben werden: ";
}

}  // namespace

struct TIniFile::Index {
    struct Section {
        std::string folded;
        size_t header = 0;
        size_t end = 0;          // first line after the section
        size_t lastContent = 0;  // last non-blank line (the header at least)
        std::unordered_map<std::string, size_t> keys;
        std::vector<std::string> keyOrder;
    };
    std::vector<Section> sections;  // in file order, duplicates included
    std::unordered_map<std::string, size_t> firstByName;

    const Section* Find(const std::string& section) const {
        auto it = firstByName.find(Fold(section));
        return it == firstByName.end() ? nullptr : &sections[it->second];
    }
};

TIniFile::TIniFile(std::string fileName)
    : FFileName(std::move(fileName)), FIndex(std::make_unique<Index>()) {
    std::string bytes;
    // Real settings files are a few KB; a file of more than 64 MB is none,
    // and reading it whole could take all memory.
    const off_t maxSize = off_t{64} << 20;
    try {
        bytes = ReadRegularFile(FFileName, maxSize);
    } catch (const SystemError& e) {
        // A missing file is an empty one; any other failure keeps the file
        // from being overwritten.
        if (!e.IsNotFound())
            FReadFailure = SystemErrorText(e.Code());
        return;
    } catch (const RefusedFileError& e) {
        FReadFailure = e.Reason();
        return;
    }

    if (bytes.compare(0, 3, kBom) == 0) {
        FPrefix = kBom;
        bytes.erase(0, 3);
    }
    // Each line takes its bookkeeping: a file of bare line breaks, small in
    // bytes, would take gigabytes.
    const size_t maxLines = 1'000'000;
    size_t start = 0;
    while (start < bytes.size()) {
        if (FLines.size() == maxLines) {
            FLines.clear();
            FReadFailure = "mehr als " + std::to_string(maxLines) + " Zeilen";
            return;
        }
        size_t newline = bytes.find('\n', start);
        if (newline == std::string::npos) {
            FLines.push_back(bytes.substr(start));
            break;
        }
        size_t end = newline;
        if (end > start && bytes[end - 1] == '\r')
            --end;
        FLines.push_back(bytes.substr(start, end - start));
        start = newline + 1;
    }
    Reindex();
}

TIniFile::~TIniFile() = default;

void TIniFile::Reindex() {
    auto index = std::make_unique<Index>();
    Index::Section* current = nullptr;
    for (size_t i = 0; i < FLines.size(); ++i) {
        ParsedLine parsed = Parse(FLines[i]);
        if (parsed.kind == ParsedLine::kSection) {
            if (current)
                current->end = i;
            index->sections.emplace_back();
            current = &index->sections.back();
            current->folded = Fold(parsed.name);
            current->header = current->lastContent = i;
            index->firstByName.emplace(current->folded, index->sections.size() - 1);
            continue;
        }
        if (!current)
            continue;  // lines before the first section belong to none
        if (!Trim(FLines[i]).empty() && FLines[i] != "\r")
            current->lastContent = i;
        if (parsed.kind == ParsedLine::kKey && current->keys.emplace(Fold(parsed.name), i).second)
            current->keyOrder.push_back(parsed.name);
    }
    if (current)
        current->end = FLines.size();
    FIndex = std::move(index);
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
    const Index::Section* found = FIndex->Find(section);
    if (!found)
        return defaultValue;
    auto it = found->keys.find(Fold(key));
    if (it == found->keys.end())
        return defaultValue;
    return Unquote(Parse(FLines[it->second]).value);
}

bool TIniFile::ParseInteger(const std::string& text, int32_t& value) {
    std::string t = Trim(text);
    size_t pos = 0;
    bool negative = false;
    if (pos < t.size() && (t[pos] == '+' || t[pos] == '-'))
        negative = t[pos++] == '-';
    int base = 10;
    if (t.compare(pos, 2, "0x") == 0 || t.compare(pos, 2, "0X") == 0) {
        base = 16;
        pos += 2;
    } else if (pos < t.size() && t[pos] == '$') {
        base = 16;
        pos += 1;
    }
    if (pos >= t.size())
        return false;
    uint64_t magnitude = 0;
    for (; pos < t.size(); ++pos) {
        char c = t[pos];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (magnitude > 0xFFFFFFFFull)
            return false;
    }
    int64_t result;
    if (base == 16) {
        // Eight hex digits name a 32-bit pattern: "$FFFFFFFF" is -1.
        result = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
        if (negative)
            result = -result;
        if (result > INT32_MAX)
            return false;
    } else {
        result = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
        if (result < INT32_MIN || result > INT32_MAX)
            return false;
    }
    value = static_cast<int32_t>(result);
    return true;
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key,
                              int32_t defaultValue) const {
    int32_t value;
    return ParseInteger(ReadString(section, key, ""), value) ? value : defaultValue;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key,
                        bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
    const Index::Section* found = FIndex->Find(section);
    return found && found->keys.count(Fold(key)) > 0;
}

bool TIniFile::SectionExists(const std::string& section) const {
    return FIndex->Find(section) != nullptr;
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const {
    const Index::Section* found = FIndex->Find(section);
    return found ? found->keyOrder : std::vector<std::string>{};
}

std::string TIniFile::UnreadableMessage() const {
    if (FReadFailure.empty())
        return {};
    return "Die Einstellungsdatei \"" + FFileName + "\" kann nicht gelesen werden (" +
           FReadFailure + "); sie wird nicht überschrieben, damit nichts verloren geht.";
}

void TIniFile::Commit(std::vector<std::string> lines) {
    if (!FReadFailure.empty())
        throw Error(UnreadableMessage());
    if (!FUpdating) {
        std::string bytes = FPrefix;
        for (const std::string& line : lines) {
            bytes += line;
            bytes += "\r\n";
        }
        WithErrorContext(WriteContext(FFileName), [&] { ReplaceFileContents(FFileName, bytes); });
    }
    FLines = std::move(lines);
    Reindex();
}

TIniFile::UpdateScope::UpdateScope(TIniFile& file) : FFile(file), FSavedLines(file.FLines) {
    FFile.FUpdating = true;
}

TIniFile::UpdateScope::~UpdateScope() {
    if (FDone)
        return;
    FFile.FUpdating = false;
    FFile.FLines = std::move(FSavedLines);
    FFile.Reindex();
}

void TIniFile::UpdateScope::Commit() {
    FFile.FUpdating = false;
    std::vector<std::string> lines = FFile.FLines;
    // Back to the state before the scope, then the one real write: on failure
    // the object stays as the file is.
    FFile.FLines = FSavedLines;
    FFile.Reindex();
    FFile.Commit(std::move(lines));
    FDone = true;
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
    if (HasLineBreak(value) || HasLineBreak(key) || HasLineBreak(section) ||
        key.find('=') != std::string::npos || section.find(']') != std::string::npos ||
        Trim(key).empty())
        throw Error("Der Wert \"" + key + "\" im Abschnitt \"" + section +
                    "\" kann nicht in der Einstellungsdatei \"" + FFileName +
                    "\" gespeichert werden: Name oder Wert enthält unzulässige Zeichen.");
    std::vector<std::string> lines = FLines;
    std::string line = key + "=" + Quote(value);
    const Index::Section* found = FIndex->Find(section);
    if (!found) {
        lines.push_back("[" + section + "]");
        lines.push_back(line);
    } else {
        auto it = found->keys.find(Fold(key));
        if (it != found->keys.end())
            lines[it->second] = line;
        else
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(found->lastContent + 1), line);
    }
    Commit(std::move(lines));
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::EraseSection(const std::string& section) {
    std::string folded = Fold(section);
    std::vector<std::string> lines;
    lines.reserve(FLines.size());
    size_t next = 0;
    bool erased = false;
    for (const Index::Section& s : FIndex->sections) {
        if (s.folded != folded)
            continue;
        lines.insert(lines.end(), FLines.begin() + static_cast<std::ptrdiff_t>(next),
                     FLines.begin() + static_cast<std::ptrdiff_t>(s.header));
        next = s.end;
        erased = true;
    }
    if (!erased)
        return;
    lines.insert(lines.end(), FLines.begin() + static_cast<std::ptrdiff_t>(next), FLines.end());
    Commit(std::move(lines));
}

void TIniFile::DeleteKey(const std::string& section, const std::string& key) {
    const Index::Section* found = FIndex->Find(section);
    if (!found)
        return;
    auto it = found->keys.find(Fold(key));
    if (it == found->keys.end())
        return;
    std::vector<std::string> lines = FLines;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(it->second));
    Commit(std::move(lines));
}

namespace {
std::unique_ptr<TIniFile> gSettingsFile;
std::string gSettingsFileName;
}  // namespace

TIniFile& SettingsFile() {
    if (!gSettingsFile) {
        if (gSettingsFileName.empty()) {
            std::string name = ProgramFileName();
            size_t dot = name.rfind('.');
            if (dot != std::string::npos && dot > 0)
                name.erase(dot);
            gSettingsFileName = name + ".ini";
        }
        gSettingsFile =
            std::make_unique<TIniFile>(GetUserDataFolder("", SettingsVendor) + gSettingsFileName);
    }
    return *gSettingsFile;
}

void FreeSettingsFile() {
    gSettingsFile.reset();
    gSettingsFileName.clear();
    SettingsVendor.clear();
}

}  // namespace tunrax
