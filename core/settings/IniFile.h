// The settings file: an ini file of sections and "key=value" lines.
//
// Section and key names match without regard to ASCII letter case; the first
// section and the first key of a name win, as in Windows profile files.
// The file is parsed once when opened and kept in memory; every write replaces
// the file on disk at once and atomically (temporary file beside it, then
// rename), keeping every line it does not change byte for byte. Writes throw
// tunrax::Error naming the file when the file cannot be written, and then leave
// both the file and the object as they were. Reads never throw.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tunrax {

class TIniFile {
public:
    // Opens (reads) the file; a missing file is an empty settings file. A file
    // that exists but cannot be read gives defaults, and writes to it are
    // refused so that its contents are never replaced unseen.
    explicit TIniFile(std::string fileName);
    ~TIniFile();
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    const std::string& FileName() const { return FFileName; }

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    // Decimal digits, or hexadecimal after "0x" or "$", with an optional sign;
    // anything else (or a value out of the 32-bit range) gives the default.
    int32_t ReadInteger(const std::string& section, const std::string& key,
                        int32_t defaultValue) const;
    bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;
    bool ValueExists(const std::string& section, const std::string& key) const;
    bool SectionExists(const std::string& section) const;
    // Key names of a section, in file order (first occurrence of each).
    std::vector<std::string> ReadSection(const std::string& section) const;

    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int32_t value);
    void WriteBool(const std::string& section, const std::string& key, bool value);
    // Removes the section with all its lines (every occurrence of its name).
    void EraseSection(const std::string& section);
    void DeleteKey(const std::string& section, const std::string& key);

    // Gathers the writes made while it lives into one replacement of the file:
    // Commit writes them all at once, or throws and leaves file and object as
    // they were when the scope began; a scope left without Commit (an error on
    // the way) undoes them. One scope at a time per file.
    class UpdateScope {
    public:
        explicit UpdateScope(TIniFile& file);
        ~UpdateScope();
        UpdateScope(const UpdateScope&) = delete;
        UpdateScope& operator=(const UpdateScope&) = delete;
        void Commit();

    private:
        TIniFile& FFile;
        std::vector<std::string> FSavedLines;
        bool FDone = false;
    };

    // Why the file could not be read (too large, not a regular file, no
    // permission), as the German message says it; empty when it was read or
    // is missing. Such a file is never written.
    std::string UnreadableMessage() const;

    // Parses an integer the way ReadInteger does; false when it is none.
    static bool ParseInteger(const std::string& text, int32_t& value);

private:
    struct Index;
    void Reindex();
    void Commit(std::vector<std::string> lines);

    std::string FFileName;
    std::string FPrefix;  // a UTF-8 byte order mark, kept as found
    std::vector<std::string> FLines;
    std::string FReadFailure;  // why the file could not be read; empty when read or missing
    bool FUpdating = false;    // an UpdateScope gathers the writes
    std::unique_ptr<Index> FIndex;
};

// The process's one settings file: "<program>.ini" in the vendor folder
// SettingsVendor below the user's configuration folder, opened on first use.
TIniFile& SettingsFile();
// Closes the settings file and forgets its name and the vendor (program end).
void FreeSettingsFile();

// Vendor folder name of the settings file; set before the first SettingsFile().
extern std::string SettingsVendor;

}  // namespace tunrax
