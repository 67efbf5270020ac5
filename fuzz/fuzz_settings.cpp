// Fuzz target for the settings file reader and writer.
//
// The input is the file's bytes. Section and key names for the reads come
// from the input itself ("[name]" lines and "name=" lines), also in swapped
// letter case. Checked (abort on failure):
// - names match without regard to ASCII letter case;
// - every key ReadSection lists exists, and ReadInteger agrees with
//   ParseInteger of the text ReadString gives;
// - one WriteString to a fixed key reads back, in the object and after
//   reopening the file, and leaves every section and every value read before
//   as it was.

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "io/Error.h"
#include "settings/IniFile.h"

namespace {

using tunrax::TIniFile;

const char* const kSection = "FuzzCheck";
const char* const kKey = "Wert";

std::string gFolder;

void RemoveFolder() {
    std::error_code ec;
    std::filesystem::remove_all(gFolder, ec);
}

// One folder per process, on a RAM disk where there is one.
const std::string& Folder() {
    if (gFolder.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string base =
            access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (tmp && *tmp ? tmp : "/tmp");
        std::string pattern = base + "/tunrax-fuzz-settings-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        gFolder = pattern + "/";
        std::atexit(RemoveFolder);
    }
    return gFolder;
}

void Check(bool ok, const char* what, const std::string& detail = std::string()) {
    if (ok)
        return;
    std::fprintf(stderr, "fuzz_settings: %s [%s]\n", what, detail.c_str());
    std::abort();
}

std::string SwapCase(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 32);
        } else if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 32);
        }
    }
    return s;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y + 32);
        if (x != y)
            return false;
    }
    return true;
}

// Candidate names: the text of "[...]" lines and the text before "=" of the
// other lines, as they appear (blanks kept), at most a few of each.
void CandidateNames(const std::string& text, std::vector<std::string>& sections,
                    std::vector<std::string>& keys) {
    size_t pos = 0;
    while (pos < text.size() && (sections.size() < 4 || keys.size() < 6)) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '[') {
            const size_t close = line.find(']');
            if (sections.size() < 4)
                sections.push_back(line.substr(1, close == std::string::npos ? close : close - 1));
        } else if (const size_t eq = line.find('='); eq != std::string::npos && keys.size() < 6) {
            keys.push_back(line.substr(0, eq));
        }
    }
    // Names that need not be in the file at all.
    sections.push_back(text.substr(0, std::min<size_t>(text.size(), 6)));
    sections.push_back("");
    keys.push_back(text.substr(text.size() / 2, 5));
    keys.push_back("");
}

struct Seen {
    std::string section;
    std::string key;
    std::string value;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string path = Folder() + "settings.ini";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        Check(static_cast<bool>(out), "cannot write the input file", path);
    }

    std::vector<std::string> sections, keys;
    CandidateNames(text, sections, keys);

    std::vector<std::string> existing;
    std::vector<Seen> seen;
    {
        TIniFile ini(path);
        for (const std::string& s : sections) {
            const bool exists = ini.SectionExists(s);
            Check(exists == ini.SectionExists(SwapCase(s)), "SectionExists depends on case", s);
            if (exists)
                existing.push_back(s);

            const std::vector<std::string> names = ini.ReadSection(s);
            Check(exists || names.empty(), "ReadSection lists keys of a missing section", s);
            for (size_t i = 0; i < names.size() && i < 8; ++i) {
                Check(ini.ValueExists(s, names[i]), "a key of ReadSection does not exist",
                      s + "|" + names[i]);
            }

            for (const std::string& k : keys) {
                const std::string value = ini.ReadString(s, k, "\x01");
                Check(value == ini.ReadString(SwapCase(s), SwapCase(k), "\x01"),
                      "ReadString depends on case", s + "|" + k);
                const bool has = ini.ValueExists(s, k);
                Check(has || value == "\x01", "ReadString found a value that does not exist",
                      s + "|" + k);
                if (has)
                    seen.push_back({s, k, value});

                int32_t parsed = 0;
                const bool number = has && TIniFile::ParseInteger(value, parsed);
                const int32_t a = ini.ReadInteger(s, k, 17);
                const int32_t b = ini.ReadInteger(s, k, -4);
                Check(number ? (a == parsed && b == parsed) : (a == 17 && b == -4),
                      "ReadInteger disagrees with ParseInteger of ReadString",
                      s + "|" + k + "|" + value);
                (void)ini.ReadBool(s, k, false);
                (void)ini.ReadBool(s, k, true);
            }
        }

        // The value to write: printable bytes of the input, after a letter so
        // that it never starts with a blank or a quote.
        std::string written = "v";
        for (size_t i = 0; i < text.size() && written.size() < 40; ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            if (c > 0x20 && c != 0x7F)
                written.push_back(static_cast<char>(c));
        }
        try {
            ini.WriteString(kSection, kKey, written);
        } catch (const tunrax::Error& e) {
            Check(false, "WriteString failed on a writable file", e.what());
        }
        Check(ini.ReadString(kSection, kKey, "") == written, "written value not read back",
              written);

        TIniFile reread(path);
        Check(reread.ReadString(kSection, kKey, "") == written,
              "written value not read back after reopening", written);
        Check(reread.SectionExists(kSection), "written section missing after reopening");
        for (const std::string& s : existing) {
            Check(reread.SectionExists(s), "a section vanished after a write", s);
        }
        for (const Seen& v : seen) {
            if (SameName(v.section, kSection) && SameName(v.key, kKey))
                continue;
            Check(reread.ReadString(v.section, v.key, "\x01") == v.value,
                  "a value changed after writing another key", v.section + "|" + v.key);
        }
    }
    return 0;
}
