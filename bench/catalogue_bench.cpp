// How fast the catalogue is read, written and built, and how fast an album's
// song list is made.
//
// a) A catalogue of 5,000 artists with 20 albums each (105,000 folders) in a
//    file below $TMPDIR: reading and parsing it, and writing it, in absolute
//    milliseconds; also one line of 1 MB, which must not take quadratic time.
// b) ScanCatalogue over a local tree of 20,000 folders against find(1)
//    walking the same folders in the same run (ratio target <= 2.0).
// c) SortUnique and MakeSongItems for an album of 500 songs.
// Every figure is the best of several runs with warm caches.
//
// Options: --rounds=N (runs per figure, default 5).

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/catalogue_names.h"
#include "collection/Catalogue.h"
#include "collection/CatalogueScan.h"
#include "collection/Collation.h"
#include "collection/SongNames.h"
#include "sources/LocalSource.h"
#include "support/TempDir.h"

namespace {

using namespace tunrax;
using namespace tunrax::bench;

constexpr double kParseTargetMs = 50;
constexpr double kLongLineTargetMs = 20;
constexpr double kScanTargetRatio = 2.0;
constexpr double kSongsTargetMs = 50;

TCatalogue MakeCatalogue(int artists, int albums) {
    TCatalogue catalogue;
    for (int a = 0; a < artists; ++a) {
        const int32_t artist = catalogue.Add(TCatalogue::kNone, ArtistName(a));
        for (int b = 0; b < albums; ++b)
            catalogue.Add(artist, AlbumName(a, b));
    }
    return catalogue;
}

void MakeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) != 0)
        throw std::runtime_error("mkdir failed: " + path);
}

void PartA(const std::string& scratch, int rounds) {
    std::printf("  a) catalogue of 5,000 artists x 20 albums\n");
    const TCatalogue made = MakeCatalogue(5000, 20);
    const std::string text = WriteCatalogue(made);
    const std::string file = scratch + "tunrax.dat";
    tunrax::test::WriteFile(file, text);
    std::printf("     %d folders, %.1f MB\n", made.Count(), text.size() / 1048576.0);

    TCatalogue parsed;
    const double readParse =
        BestOf(rounds, [&] { ParseCatalogue(tunrax::test::ReadFile(file), parsed); });
    const double parseOnly = BestOf(rounds, [&] { ParseCatalogue(text, parsed); });
    std::string written;
    const double write = BestOf(rounds, [&] { written = WriteCatalogue(parsed); });
    const bool same = parsed.Count() == made.Count() && written == text;
    std::printf("     %-40s %9.1f ms   target <= %.0f ms: %s\n", "read file + ParseCatalogue",
                readParse, kParseTargetMs, Verdict(readParse <= kParseTargetMs));
    std::printf("     %-40s %9.1f ms\n", "ParseCatalogue alone", parseOnly);
    std::printf("     %-40s %9.1f ms   %s\n", "WriteCatalogue", write,
                same ? "(text as generated)" : "WRONG RESULT: text differs");

    // One line of 1 MB, as a single name and as indentation before an
    // invalid level.
    const std::string longName(1 << 20, 'x');
    const double longLine = BestOf(rounds, [&] { ParseCatalogue(longName, parsed); });
    const std::string deepLine = "A\n" + std::string(1 << 20, '\t') + "B";
    const double badLevel = BestOf(rounds, [&] {
        try {
            ParseCatalogue(deepLine, parsed);
        } catch (const std::exception&) {
        }
    });
    std::printf("     %-40s %9.2f ms   target <= %.0f ms: %s\n", "one 1 MB name", longLine,
                kLongLineTargetMs, Verdict(longLine <= kLongLineTargetMs));
    std::printf("     %-40s %9.2f ms   target <= %.0f ms: %s\n\n", "1 MB of TABs, invalid level",
                badLevel, kLongLineTargetMs, Verdict(badLevel <= kLongLineTargetMs));
}

void PartB(const std::string& scratch, int rounds) {
    std::printf("  b) ScanCatalogue of a local tree, 1,000 artists x 19 albums\n");
    const std::string tree = scratch + "tree";
    MakeFolder(tree);
    int folders = 0;
    const double createMs = TimeMs([&] {
        for (int a = 0; a < 1000; ++a) {
            const std::string artist = tree + "/" + ArtistName(a);
            MakeFolder(artist);
            ++folders;
            for (int b = 0; b < 19; ++b) {
                MakeFolder(artist + "/" + AlbumName(a, b));
                ++folders;
            }
        }
    });
    std::printf("     %d folders created in %.0f ms\n", folders, createMs);

    const std::vector<std::string> find = {"find", tree, "-type", "d"};
    if (RunQuiet(find) != 0) {
        std::printf("     find(1) could not be run; no baseline, nothing measured\n\n");
        return;
    }
    TLocalSource source(false, tree);
    const TNameCollator collator;
    TCatalogue catalogue;
    const Pair p = BestOfAlternating(
        rounds, [&] { ScanCatalogue(source, collator, catalogue, nullptr); },
        [&] { RunQuiet(find); });
    if (catalogue.Count() == folders) {
        std::printf("     %-40s %d (as created)\n", "folders catalogued", catalogue.Count());
    } else {
        std::printf("     %-40s %d, but %d were created: WRONG RESULT\n", "folders catalogued",
                    catalogue.Count(), folders);
    }
    std::printf("     %-40s %9.1f ms\n", "ScanCatalogue", p.oursMs);
    std::printf("     %-40s %9.1f ms   ratio %5.2f   target <= %.2f: %s\n\n", "find DIR -type d",
                p.baseMs, p.Ratio(), kScanTargetRatio, Verdict(p.Ratio() <= kScanTargetRatio));
}

void PartC(int rounds) {
    std::printf("  c) song list of an album with 500 songs\n");
    // As a folder listing gives them: in no order, with other files and a few
    // names that differ only in case.
    std::vector<std::string> listing;
    for (int i = 0; i < 500; ++i) {
        const int n = (i * 211) % 500 + 1;
        char name[96];
        std::snprintf(name, sizeof name, "%03d_-_%s_%s_%d.%s", n, kWords[n % kWordCount],
                      kWords[(n * 7) % kWordCount], n, n % 3 ? "mp3" : "MP3");
        listing.push_back(name);
        if (i % 50 == 0) {
            listing.push_back("Cover " + std::to_string(i) + ".jpg");
            std::string upper = name;
            for (char& c : upper)
                c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
            listing.push_back(upper);
        }
    }
    const TNameCollator collator;
    std::vector<TSongItem> items;
    const double ms = BestOf(rounds, [&] {
        std::vector<std::string> entries = listing;
        collator.SortUnique(entries);
        items = MakeSongItems(entries, "\\Artist\\Album\\");
    });
    std::printf("     %zu entries listed, %zu songs shown\n", listing.size(), items.size());
    std::printf("     %-40s %9.2f ms   target < %.0f ms: %s\n\n", "SortUnique + MakeSongItems", ms,
                kSongsTargetMs, Verdict(ms < kSongsTargetMs));
}

int Run(int argc, char** argv) {
    const int rounds = IntOption(argc, argv, "rounds", 5);
    ScratchFolder scratch("tunrax-catalogue-bench");
    const char* locale = std::getenv("LC_ALL");
    if (!locale || !*locale)
        locale = std::getenv("LC_COLLATE");
    if (!locale || !*locale)
        locale = std::getenv("LANG");
    std::printf("Tunrax catalogue benchmark (collation locale: %s)\n",
                locale && *locale ? locale : "root");
    std::printf("  best of %d runs each, warm caches\n\n", rounds);
    PartA(scratch.Path(), rounds);
    PartB(scratch.Path(), rounds);
    PartC(rounds);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return tunrax::bench::BenchMain("catalogue_bench", Run, argc, argv);
}
