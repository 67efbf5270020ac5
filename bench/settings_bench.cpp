// How fast the settings file answers reads and takes writes.
//
// A settings file of 200 keys in 10 sections; 10,000 mixed reads (strings,
// integers, switches; names in varying letter case; a few missing keys)
// through TIniFile, against the same lookups in a hash map of lower-cased
// "section\nkey" built from the same file. Then 100 writes, each of which
// rewrites the file, against rewriting the same bytes by hand. Every figure is
// the best of several runs; the ratio is Tunrax's time over the baseline's.
//
// Options: --rounds=N (runs per figure, default 7).

#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "bench/bench_support.h"
#include "settings/IniFile.h"

namespace {

using namespace tunrax;
using namespace tunrax::bench;

constexpr double kReadTargetMs = 50.0;
constexpr int kReads = 10000;
constexpr int kWrites = 100;

enum Kind { kText, kNumber, kSwitch };

struct Entry {
    std::string section;
    std::string key;
    std::string value;
    Kind kind;
};

struct Query {
    std::string section;  // as asked, in some letter case
    std::string key;
    Kind kind;
    std::string textDefault;
    int32_t numberDefault;
    bool switchDefault;
};

const char* const kSections[] = {"Einstellungen", "Fenster",    "Favoriten", "Kopieren", "FTP",
                                 "Web",           "Wiedergabe", "Katalog",   "Zuletzt",  "Ansicht"};
const char* const kWords[] = {"Ordner", "Breite", "Anzeigen", "Server", "Port",
                              "Aktiv",  "Titel",  "Zahl",     "Modus",  "Letzte"};

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return s;
}

std::vector<Entry> MakeEntries() {
    std::vector<Entry> entries;
    char buf[128];
    int n = 0;
    for (const char* section : kSections) {
        for (int k = 0; k < 20; ++k, ++n) {
            Entry e;
            e.section = section;
            e.kind = static_cast<Kind>(k % 3);
            std::snprintf(buf, sizeof buf, "%s%s%02d", kWords[k % 10], k < 10 ? "" : "Alt", k);
            e.key = buf;
            switch (e.kind) {
                case kText:
                    std::snprintf(buf, sizeof buf, "/home/benutzer/Musik/Sammlung %d/Teil %d", n,
                                  k);
                    break;
                case kNumber:
                    std::snprintf(buf, sizeof buf, "%d", (n * 7919) % 100000 - 20000);
                    break;
                case kSwitch: std::snprintf(buf, sizeof buf, "%d", n % 2); break;
            }
            e.value = buf;
            entries.push_back(e);
        }
    }
    return entries;
}

std::string FileText(const std::vector<Entry>& entries) {
    std::string text = "; Tunrax\r\n";
    std::string current;
    for (const Entry& e : entries) {
        if (e.section != current) {
            if (!current.empty())
                text += "\r\n";
            text += "[" + e.section + "]\r\n";
            current = e.section;
        }
        text += e.key + "=" + e.value + "\r\n";
    }
    return text;
}

void WriteWhole(const std::string& path, const std::string& bytes, bool sync) {
    const std::string temp = path + ".neu";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        throw std::runtime_error("cannot write " + temp);
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (sync)
        ::fsync(fd);
    ::close(fd);
    if (written != static_cast<ssize_t>(bytes.size()) || ::rename(temp.c_str(), path.c_str()) != 0)
        throw std::runtime_error("cannot write " + path);
}

std::string MixCase(const std::string& s, std::mt19937& rng, int style) {
    std::string out = s;
    for (char& c : out) {
        const bool upper = style == 1 || (style == 2 && (rng() & 1));
        if (style == 0)
            break;
        if (c >= 'a' && c <= 'z' && upper)
            c = static_cast<char>(c - 32);
        if (c >= 'A' && c <= 'Z' && !upper)
            c = static_cast<char>(c + 32);
    }
    return out;
}

std::vector<Query> MakeQueries(const std::vector<Entry>& entries) {
    std::mt19937 rng(20240611);
    std::vector<Query> queries;
    for (int i = 0; i < kReads; ++i) {
        const Entry& e = entries[rng() % entries.size()];
        // As written, upper case, mixed case, lower case.
        const int style = static_cast<int>(rng() % 4);
        std::string section = MixCase(e.section, rng, style == 3 ? 2 : style);
        std::string key = style == 3 ? Lower(e.key) : MixCase(e.key, rng, style);
        const unsigned missing = rng() % 100;
        if (missing < 5)
            key += "Fehlt";
        if (missing == 5)
            section = std::string("Unbekannt");
        queries.push_back(Query{std::move(section), std::move(key), e.kind, std::string("-"), -7777,
                                (i % 2) != 0});
    }
    return queries;
}

struct Answers {
    std::vector<std::string> text;
    std::vector<int64_t> number;  // integers and switches
};

int Run(int argc, char** argv) {
    const int rounds = IntOption(argc, argv, "rounds", 7);
    ScratchFolder scratch("tunrax-settings-bench");
    const std::string path = scratch.Path() + "tunrax.ini";
    const std::vector<Entry> entries = MakeEntries();
    const std::string text = FileText(entries);
    WriteWhole(path, text, false);
    const std::vector<Query> queries = MakeQueries(entries);

    std::printf("Tunrax settings file benchmark\n");
    std::printf(
        "  %zu keys in %zu sections, %zu bytes; best of %d runs each; ratio = Tunrax / "
        "baseline\n\n",
        entries.size(), std::size(kSections), text.size(), rounds);

    // Opening parses the whole file.
    volatile size_t sink = 0;
    const double openMs = BestOf(rounds, [&] {
        TIniFile f(path);
        sink = sink + f.SectionExists("Einstellungen");
    });
    std::printf("  open and parse the file                 %9.3f ms\n\n", openMs);

    // Reads.
    TIniFile ini(path);
    std::unordered_map<std::string, std::string> map;
    for (const Entry& e : entries)
        map.emplace(Lower(e.section + "\n" + e.key), e.value);

    Answers fromIni{std::vector<std::string>(queries.size()), std::vector<int64_t>(queries.size())};
    Answers fromMap = fromIni;
    auto iniReads = [&] {
        for (size_t i = 0; i < queries.size(); ++i) {
            const Query& q = queries[i];
            switch (q.kind) {
                case kText:
                    fromIni.text[i] = ini.ReadString(q.section, q.key, q.textDefault);
                    break;
                case kNumber:
                    fromIni.number[i] = ini.ReadInteger(q.section, q.key, q.numberDefault);
                    break;
                case kSwitch:
                    fromIni.number[i] = ini.ReadBool(q.section, q.key, q.switchDefault);
                    break;
            }
        }
    };
    auto mapReads = [&] {
        std::string name;
        for (size_t i = 0; i < queries.size(); ++i) {
            const Query& q = queries[i];
            name.assign(q.section).append(1, '\n').append(q.key);
            for (char& c : name)
                c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
            const auto it = map.find(name);
            if (q.kind == kText) {
                fromMap.text[i] = it == map.end() ? q.textDefault : it->second;
                continue;
            }
            int32_t v = q.kind == kNumber ? q.numberDefault : q.switchDefault;
            if (it != map.end()) {
                const std::string& s = it->second;
                int32_t parsed = 0;
                const auto r = std::from_chars(s.data(), s.data() + s.size(), parsed);
                if (r.ec == std::errc() && r.ptr == s.data() + s.size())
                    v = parsed;
            }
            fromMap.number[i] = q.kind == kNumber ? v : (v != 0);
        }
    };
    const Pair reads = BestOfAlternating(rounds, iniReads, mapReads);

    size_t wrong = 0;
    size_t firstWrong = queries.size();
    for (size_t i = 0; i < queries.size(); ++i) {
        if (fromIni.text[i] != fromMap.text[i] || fromIni.number[i] != fromMap.number[i]) {
            if (!wrong++)
                firstWrong = i;
        }
    }
    std::printf("  %d reads (ReadString/ReadInteger/ReadBool, mixed letter case)\n", kReads);
    if (wrong == 0) {
        std::printf("     %-40s all agree with the map\n", "answers");
    } else {
        const Query& q = queries[firstWrong];
        std::printf("     %-40s %zu differ from the map: WRONG RESULT, e.g. [%s] %s\n", "answers",
                    wrong, q.section.c_str(), q.key.c_str());
    }
    std::printf("     %-40s %9.3f ms   %.2f us per read   target < %.0f ms: %s\n", "TIniFile",
                reads.oursMs, reads.oursMs * 1000.0 / kReads, kReadTargetMs,
                Verdict(reads.oursMs < kReadTargetMs));
    std::printf("     %-40s %9.3f ms   ratio %.2f\n\n", "unordered_map of lower-cased names",
                reads.baseMs, reads.Ratio());

    // Writes: each one rewrites the file.
    std::vector<const Entry*> textEntries;
    for (const Entry& e : entries) {
        if (e.kind == kText)
            textEntries.push_back(&e);
    }
    std::unordered_map<std::string, std::pair<std::string, std::string>> lastWritten;
    int run = 0;
    auto writes = [&] {
        ++run;
        char buf[96];
        for (int i = 0; i < kWrites; ++i) {
            const Entry& e = *textEntries[(i * 13) % textEntries.size()];
            // Every tenth write adds a key that was not there before.
            const std::string key = i % 10 == 9 ? e.key + "Neu" + std::to_string(i) : e.key;
            std::snprintf(buf, sizeof buf, "/media/spieler/Lauf %d/Wert %d", run, i);
            ini.WriteString(e.section, key, buf);
            lastWritten[Lower(e.section + "\n" + key)] = {e.section + "|" + key, buf};
        }
    };
    std::string current;
    auto byHand = [&](bool sync) {
        return [&, sync] {
            for (int i = 0; i < kWrites; ++i)
                WriteWhole(path + ".hand", current, sync);
        };
    };
    const double writeMs = BestOf(std::max(1, rounds / 2), writes);
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        current = s.str();
    }
    const double plainMs = BestOf(std::max(1, rounds / 2), byHand(false));
    const double syncMs = BestOf(std::max(1, rounds / 2), byHand(true));

    size_t lost = 0;
    {
        TIniFile reread(path);
        for (const auto& [name, written] : lastWritten) {
            const std::string& sk = written.first;
            const size_t bar = sk.find('|');
            if (reread.ReadString(sk.substr(0, bar), sk.substr(bar + 1), "") != written.second)
                ++lost;
        }
    }
    std::printf("  %d writes (WriteString, each rewrites the %zu-byte file)\n", kWrites,
                current.size());
    if (lost == 0) {
        std::printf("     %-40s all %zu values\n", "read back after reopening", lastWritten.size());
    } else {
        std::printf("     %-40s %zu of %zu values lost: WRONG RESULT\n",
                    "read back after reopening", lost, lastWritten.size());
    }
    std::printf("     %-40s %9.3f ms   %.3f ms per write\n", "TIniFile", writeMs,
                writeMs / kWrites);
    std::printf("     %-40s %9.3f ms   ratio %.2f\n", "same bytes: temp file + rename", plainMs,
                plainMs > 0 ? writeMs / plainMs : 0);
    std::printf("     %-40s %9.3f ms   ratio %.2f\n", "same bytes: temp file + fsync + rename",
                syncMs, syncMs > 0 ? writeMs / syncMs : 0);
    std::printf(
        "\n  summary: %d reads %.3f ms (target < %.0f ms: %s), %.2fx the map; "
        "%.3f ms per write\n",
        kReads, reads.oursMs, kReadTargetMs, Verdict(reads.oursMs < kReadTargetMs), reads.Ratio(),
        writeMs / kWrites);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return tunrax::bench::BenchMain("settings_bench", Run, argc, argv);
}
