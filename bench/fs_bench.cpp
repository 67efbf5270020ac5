// How fast the local folder source walks a large collection, measured against
// find(1) walking the same folders in the same run.
//
// The collection is generated below $TMPDIR: 100 artist folders with 199
// album folders each (20,000 folders), five files per folder with mixed
// extensions and letter case (100,000 files), and one flat folder of 10,000
// files. Everything is removed at the end. Every figure is the best of several
// runs with warm caches; the ratio is Tunrax's time over the baseline's.
//
// Options: --rounds=N (runs per figure, default 5), --artists=N (default 100),
// --albums=N (album folders per artist, default 199).

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "io/FileTools.h"
#include "settings/IniFile.h"
#include "sources/LocalSource.h"

namespace {

using namespace tunrax;
using namespace tunrax::bench;

constexpr double kTargetRatio = 1.5;

struct Collection {
    std::string tree;  // native, without a trailing "/"
    std::string flat;
    size_t folders = 0;  // below tree, tree itself not counted
    size_t files = 0;
    size_t songs = 0;  // names ending in ".mp3" in any letter case
    size_t flatFiles = 0;
    size_t flatSongs = 0;
};

bool EndsWithMp3(const std::string& name) {
    if (name.size() < 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return tail == ".mp3";
}

void MakeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) != 0)
        throw std::runtime_error("mkdir failed: " + path);
}

void MakeEmptyFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path);
    ::close(fd);
}

// Artist names mix plain ASCII, UTF-8 and single Windows-1252 bytes, as a
// collection copied over from other systems does.
std::string ArtistName(int i) {
    char buf[64];
    if (i % 7 == 3) {
        std::snprintf(buf, sizeof buf, "K\xC3\xBCnstler %03d", i);
    } else if (i % 11 == 5) {
        std::snprintf(buf, sizeof buf, "Artiste \xE9t\xE9 %03d", i);
    } else {
        std::snprintf(buf, sizeof buf, "Artist %03d", i);
    }
    return buf;
}

Collection MakeCollection(const std::string& base, int artists, int albums, int flatCount) {
    Collection c;
    c.tree = base + "tree";
    c.flat = base + "flat";
    MakeFolder(c.tree);
    MakeFolder(c.flat);

    auto addFile = [&c](const std::string& folder, const std::string& name) {
        MakeEmptyFile(folder + "/" + name);
        ++c.files;
        if (EndsWithMp3(name))
            ++c.songs;
    };
    static const char* const kSongExt[] = {".mp3", ".MP3", ".Mp3", ".mp3"};
    char buf[96];
    for (int a = 0; a < artists; ++a) {
        const std::string artist = c.tree + "/" + ArtistName(a);
        MakeFolder(artist);
        ++c.folders;
        addFile(artist, "artist.jpg");
        addFile(artist, "bio.txt");
        addFile(artist, "Single 1.mp3");
        addFile(artist, "Single 2.MP3");
        addFile(artist, "notes.TXT");
        for (int b = 0; b < albums; ++b) {
            std::snprintf(buf, sizeof buf, "Album %03d (%04d)", b, 1960 + b % 60);
            const std::string album = artist + "/" + buf;
            MakeFolder(album);
            ++c.folders;
            for (int s = 0; s < 4; ++s) {
                std::snprintf(buf, sizeof buf, "%02d Titel Nummer %d%s", s + 1, s + 1,
                              kSongExt[(s + b) % 4]);
                addFile(album, buf);
            }
            addFile(album, b % 2 ? "Folder.jpg" : "info.txt");
        }
    }
    for (int i = 0; i < flatCount; ++i) {
        const char* ext = i % 5 == 4 ? (i % 10 == 4 ? ".jpg" : ".m3u") : kSongExt[i % 4];
        std::snprintf(buf, sizeof buf, "Track %05d%s", i, ext);
        MakeEmptyFile(c.flat + "/" + buf);
        ++c.flatFiles;
        if (EndsWithMp3(buf))
            ++c.flatSongs;
    }
    return c;
}

// Depth first from the root, as the catalogue scan walks the collection;
// every folder found is added as "\Artist\Album\".
void ScanFolders(TSource& source, const std::string& folder, TScanContext* scan,
                 std::vector<std::string>& found) {
    std::vector<std::string> names;
    source.ListFolders(names, folder, scan);
    for (const std::string& name : names) {
        const std::string sub = (folder.empty() ? std::string("\\") : folder) + name + "\\";
        found.push_back(sub);
        ScanFolders(source, sub, scan, found);
    }
}

std::vector<std::string> FullScan(TSource& source) {
    std::vector<std::string> found;
    std::unique_ptr<TScanContext> scan = source.BeginScan();
    ScanFolders(source, "", scan.get(), found);
    return found;
}

void PrintCount(const char* what, size_t got, size_t expected) {
    if (got == expected) {
        std::printf("     %-40s %zu (as created)\n", what, got);
    } else {
        std::printf("     %-40s %zu, but %zu were created: WRONG RESULT\n", what, got, expected);
    }
}

void PrintPair(const char* ours, const char* base, const Pair& p, bool withTarget) {
    std::printf("     %-40s %9.1f ms\n", ours, p.oursMs);
    if (withTarget) {
        std::printf("     %-40s %9.1f ms   ratio %5.2f   target <= %.2f: %s\n", base, p.baseMs,
                    p.Ratio(), kTargetRatio, Verdict(p.Ratio() <= kTargetRatio));
    } else {
        std::printf("     %-40s %9.1f ms   ratio %5.2f   (for information)\n", base, p.baseMs,
                    p.Ratio());
    }
}

int Run(int argc, char** argv) {
    const int rounds = IntOption(argc, argv, "rounds", 5);
    const int artists = IntOption(argc, argv, "artists", 100);
    const int albums = IntOption(argc, argv, "albums", 199);
    const int flatCount = 10000;

    ScratchFolder scratch("tunrax-fs-bench");
    std::printf("Tunrax file system benchmark\n");
    Collection c;
    const double createMs =
        TimeMs([&] { c = MakeCollection(scratch.Path(), artists, albums, flatCount); });
    std::printf("  collection: %s\n", c.tree.c_str());
    std::printf(
        "  %zu folders, %zu files (%zu \"*.mp3\" in any case); flat folder: %zu files "
        "(%zu \"*.mp3\"); created in %.0f ms\n",
        c.folders, c.files, c.songs, c.flatFiles, c.flatSongs, createMs);
    std::printf("  best of %d runs each, warm caches; ratio = Tunrax / baseline\n\n", rounds);

    TLocalSource tree(false, NormalizeFolder(c.tree));
    TLocalSource flat(false, NormalizeFolder(c.flat));

    const std::vector<std::string> findFolders = {"find", c.tree, "-type", "d"};
    const std::vector<std::string> findSongs = {"find", c.tree, "-iname", "*.mp3"};
    const std::vector<std::string> findFlat = {"find", c.flat, "-maxdepth", "1", "-iname", "*.mp3"};
    if (RunQuiet(findFolders) != 0) {
        std::printf("  find(1) could not be run; no baseline, nothing measured\n");
        return 0;
    }

    // a) The recursive file search of the copy wizard and favourites.
    std::vector<std::string> list;
    const std::string treeFolder = NormalizeFolder(c.tree);
    auto findFiles = [&] { FindFiles(list, treeFolder, "*.mp3", false, true); };
    std::printf("  a) FindFiles(\"*.mp3\", recursive) over the whole collection\n");
    const Pair aFolders = BestOfAlternating(rounds, findFiles, [&] { RunQuiet(findFolders); });
    PrintCount("files found", list.size(), c.songs);
    PrintPair("FindFiles", "find DIR -type d", aFolders, true);
    const Pair aSongs = BestOfAlternating(rounds, findFiles, [&] { RunQuiet(findSongs); });
    PrintPair("FindFiles", "find DIR -iname '*.mp3'", aSongs, false);
    std::printf("\n");

    // b) The folder walk of a catalogue scan.
    std::vector<std::string> folders;
    std::printf("  b) TLocalSource::ListFolders, depth first over every folder\n");
    const Pair b = BestOfAlternating(
        rounds, [&] { folders = FullScan(tree); }, [&] { RunQuiet(findFolders); });
    PrintCount("folders found", folders.size(), c.folders);
    PrintPair("ListFolders scan", "find DIR -type d", b, true);
    std::printf("\n");

    // c) Song listings: one large folder, then every folder of the collection.
    std::printf("  c) TLocalSource::ListFiles\n");
    const Pair cFlat = BestOfAlternating(
        rounds, [&] { flat.ListFiles(list, ""); }, [&] { RunQuiet(findFlat); });
    PrintCount("songs in the flat folder", list.size(), c.flatSongs);
    PrintPair("ListFiles, one folder", "find FLAT -maxdepth 1 -iname '*.mp3'", cFlat, true);

    std::vector<std::string> all = {""};
    all.insert(all.end(), folders.begin(), folders.end());
    size_t songsListed = 0;
    auto listAll = [&] {
        songsListed = 0;
        for (const std::string& folder : all) {
            tree.ListFiles(list, folder);
            songsListed += list.size();
        }
    };
    const Pair cAll = BestOfAlternating(rounds, listAll, [&] { RunQuiet(findSongs); });
    std::printf("     (%zu folders listed)\n", all.size());
    PrintCount("songs in all folders", songsListed, c.songs);
    PrintPair("ListFiles, every folder", "find DIR -iname '*.mp3'", cAll, true);
    std::printf("\n");

    // d) Both together, as a catalogue rebuild does them.
    std::printf("  d) catalogue walk: ListFolders and ListFiles of every folder\n");
    auto catalogue = [&] {
        folders = FullScan(tree);
        songsListed = 0;
        tree.ListFiles(list, "");
        songsListed += list.size();
        for (const std::string& folder : folders) {
            tree.ListFiles(list, folder);
            songsListed += list.size();
        }
    };
    const Pair d = BestOfAlternating(rounds, catalogue, [&] { RunQuiet(findSongs); });
    PrintCount("songs found", songsListed, c.songs);
    PrintPair("ListFolders + ListFiles", "find DIR -iname '*.mp3'", d, false);
    std::printf("\n");

    std::printf(
        "  summary: a) %.2fx  b) %.2fx  c) one folder %.2fx, every folder %.2fx "
        "(target <= %.2fx each)\n",
        aFolders.Ratio(), b.Ratio(), cFlat.Ratio(), cAll.Ratio(), kTargetRatio);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return tunrax::bench::BenchMain("fs_bench", Run, argc, argv);
}
