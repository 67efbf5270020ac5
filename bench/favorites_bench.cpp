// How fast the favourite lists answer the song list.
//
// (a) Highlighting: the song list asks, for every song of the shown album,
// whether the current list holds it. 1,000 songs (every tenth one in the list,
// in other letter case) against a list of 10,000 entries through
// TFavoriteList::Contains, against a linear search of the list that compares
// each entry without regard to case (ICU caseCompare; the list's entries are
// converted to UTF-16 beforehand, outside the timing).
// (b) Opening a list: ReadFavorites + Assign of a 10,000-line list file.
//
// Every figure is the best of several runs; the ratio is Tunrax's time over
// the baseline's. Options: --rounds=N (runs per figure, default 7).

#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "collection/FavoriteList.h"
#include "settings/DisplayText.h"

namespace {

using namespace tunrax;
using namespace tunrax::bench;

constexpr int kListSize = 10000;
constexpr int kAlbumSize = 1000;
constexpr double kHighlightTargetMs = 16.0;
constexpr double kOpenTargetMs = 100.0;

std::string ListEntry(int i) {
    // A mix of plain and accented names, as a real collection has them.
    const char* const artists[] = {"Die \xC3\x84rzte", "Kraftklub", "Bj\xC3\xB6rk", "Seeed",
                                   "Caf\xE9 del Mar"};
    std::string entry = "\\";
    entry += artists[i % 5];
    entry += "\\Album " + std::to_string(i / 12) + "\\" + std::to_string(i % 12 + 1);
    entry += "-Lied Nummer " + std::to_string(i) + ".mp3";
    return entry;
}

std::string OtherCase(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    }
    return s;
}

}  // namespace

int main(int argc, char** argv) try {
    const int rounds = IntOption(argc, argv, "rounds", 7);
    std::printf("Tunrax favourite list benchmark\n\n");

    std::vector<std::string> entries;
    for (int i = 0; i < kListSize; ++i)
        entries.push_back(ListEntry(i));
    std::vector<std::string> album;
    for (int i = 0; i < kAlbumSize; ++i)
        album.push_back(i % 10 == 0 ? OtherCase(entries[static_cast<size_t>(i * 7)])
                                    : "\\Andere\\Sammlung\\" + std::to_string(i) + "-Lied.mp3");

    TFavoriteList list;
    list.Assign(entries);
    std::vector<icu::UnicodeString> wide;
    for (const std::string& e : entries)
        wide.push_back(icu::UnicodeString::fromUTF8(DisplayText(e)));

    int oursFound = 0;
    int baseFound = 0;
    const Pair highlight = BestOfAlternating(
        rounds,
        [&] {
            oursFound = 0;
            for (const std::string& song : album)
                oursFound += list.Contains(song) ? 1 : 0;
        },
        [&] {
            baseFound = 0;
            for (const std::string& song : album) {
                const icu::UnicodeString key = icu::UnicodeString::fromUTF8(DisplayText(song));
                for (const icu::UnicodeString& e : wide) {
                    if (e.caseCompare(key, U_FOLD_CASE_DEFAULT) == 0) {
                        ++baseFound;
                        break;
                    }
                }
            }
        });
    std::printf("  (a) %d songs of an album against a %d-entry list\n", kAlbumSize, kListSize);
    std::printf("     %-40s %d found by both%s\n", "answers", oursFound,
                oursFound == baseFound && oursFound == kAlbumSize / 10 ? "" : ": WRONG RESULT");
    std::printf("     %-40s %9.3f ms   target < %.0f ms: %s\n", "TFavoriteList::Contains",
                highlight.oursMs, kHighlightTargetMs,
                Verdict(highlight.oursMs < kHighlightTargetMs));
    std::printf("     %-40s %9.3f ms   ratio %.5f\n\n", "linear search, ICU caseCompare",
                highlight.baseMs, highlight.Ratio());

    ScratchFolder scratch("tunrax-favbench");
    const std::string file = scratch.Path() + "Gross.favoriten";
    WriteFavorites(file, entries);
    size_t loaded = 0;
    const double openMs = BestOf(rounds, [&] {
        TFavoriteList fresh;
        fresh.Assign(ReadFavorites(file));
        loaded = fresh.Size();
    });
    std::printf("  (b) open a %d-line list file\n", kListSize);
    std::printf("     %-40s %9.3f ms   %zu entries%s   target < %.0f ms: %s\n",
                "ReadFavorites + Assign", openMs, loaded,
                loaded == static_cast<size_t>(kListSize) ? "" : ": WRONG RESULT", kOpenTargetMs,
                Verdict(openMs < kOpenTargetMs));
    return 0;
} catch (const std::exception& e) {
    std::fprintf(stderr, "favorites_bench: %s\n", e.what());
    return 1;
}
