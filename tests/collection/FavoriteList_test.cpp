#include "collection/FavoriteList.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "collection/SongNames.h"
#include "io/Error.h"
#include "settings/IniFile.h"
#include "sources/LocalSource.h"
#include "support/MemoryLimit.h"
#include "support/Mp3Files.h"
#include "support/OddFiles.h"
#include "support/SyncBeforeRename.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;
using namespace std::string_literals;

namespace {

using Lines = std::vector<std::string>;

// Runs write in a child process whose files may not grow past 4 KB: the
// write past that ends the child with SIGXFSZ, half-way and without any
// clean-up, as kill -9 would. The signal that ended the child, or -1.
int KilledHalfWay(const std::function<void()>& write) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit noCore{0, 0}, small{4096, 4096};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::setrlimit(RLIMIT_FSIZE, &small);
        ::signal(SIGXFSZ, SIG_DFL);
        try {
            write();
        } catch (...) {
        }
        ::_exit(0);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFSIGNALED(status) ? WTERMSIG(status) : -1;
}

}  // namespace

TEST(Favorites, FileNameLiesInTheDataFolder) {
    TempDir tmp;
    ScopedEnv config("XDG_CONFIG_HOME", tmp.Path().c_str());
    EXPECT_EQ(FavoriteFileName("Party.2012"), tmp.Path() + "quintor/tunRax/Party.2012.favoriten");
    EXPECT_TRUE(Exists(tmp / "quintor/tunRax"));
}

TEST(Favorites, ReadSplitsLinesAndStopsAtZeroByte) {
    const std::pair<std::string, Lines> cases[] = {
        {"", {}},
        {"\r\n", {""}},
        {"a", {"a"}},
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"a\r\n\r\nb\n\nc\r\r", {"a", "", "b", "", "c", ""}},
        {"a\n\r", {"a", ""}},
        {"a\r\0\nb"s, {"a"}},
        {"a\0b\r\nc"s, {"a"}},
        {"\0a"s, {}},
        {"\\Caf\xE9\\L\xF6sung.mp3\r\n\xFF\xFE\x81\r\n",
         {"\\Caf\xE9\\L\xF6sung.mp3", "\xFF\xFE\x81"}},
    };
    TempDir tmp;
    for (const auto& [bytes, expected] : cases) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        WriteFile(tmp / "l.favoriten", bytes);
        EXPECT_EQ(ReadFavorites(tmp / "l.favoriten"), expected);
    }
}

TEST(Favorites, ReadOfMissingAndUnreadableFiles) {
    TempDir tmp;
    EXPECT_EQ(ReadFavorites(tmp / "fehlt.favoriten"), Lines{});
    EXPECT_EQ(ReadFavorites(tmp / "fehlt/auch.favoriten"), Lines{});

    MakeDirs(tmp / "ordner.favoriten");
    try {
        ReadFavorites(tmp / "ordner.favoriten");
        ADD_FAILURE() << "no error for a folder";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("\"" + tmp / "ordner.favoriten" + "\""),
                  std::string::npos)
            << e.what();
    }

    // A link to itself cannot be opened, not even by root (ELOOP).
    ASSERT_EQ(::symlink((tmp / "kreis.favoriten").c_str(), (tmp / "kreis.favoriten").c_str()), 0);
    EXPECT_THROW(ReadFavorites(tmp / "kreis.favoriten"), Error);

    if (::geteuid() != 0) {  // root reads every file whatever its mode
        WriteFile(tmp / "gesperrt.favoriten", "a\r\n");
        ::chmod((tmp / "gesperrt.favoriten").c_str(), 0);
        EXPECT_THROW(ReadFavorites(tmp / "gesperrt.favoriten"), Error);
    }
}

TEST(Favorites, OddFilesAreRefusedWithTheirName) {
    TempDir tmp;
    auto refused = [&](const std::string& file, const char* reason) {
        SCOPED_TRACE(file);
        try {
            ReadFavorites(file);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("\"" + file + "\""), std::string::npos)
                << e.what();
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
        }
    };
    MakeFifo(tmp / "fifo.favoriten");
    EXPECT_TRUE(FinishesWithoutWriter(tmp / "fifo.favoriten", [&] {
        refused(tmp / "fifo.favoriten", "keine gewöhnliche Datei");
    })) << "the open of a FIFO blocks";
    LinkToDevice(tmp / "null.favoriten", "/dev/zero");
    refused(tmp / "null.favoriten", "keine gewöhnliche Datei");
    // The longest real lists are a few MB.
    MakeSparseFile(tmp / "gross.favoriten", off_t{64} << 20 | 1);
    refused(tmp / "gross.favoriten", "64 MB");
    MakeSparseFile(tmp / "grenze.favoriten", off_t{64} << 20);
    EXPECT_EQ(ReadFavorites(tmp / "grenze.favoriten"), Lines{});
    // Bare line breaks, each an entry: small in bytes, large in entries.
    WriteFile(tmp / "umbrueche.favoriten", std::string(60 << 20, '\n'));
    {
        const ScopedAddressSpaceLimit limit(uint64_t{2} << 30);
        refused(tmp / "umbrueche.favoriten", "mehr als 1000000 Einträge");
    }
    WriteFile(tmp / "wenige.favoriten", std::string(3, '\n'));
    EXPECT_EQ(ReadFavorites(tmp / "wenige.favoriten", 3), (Lines{"", "", ""}));
}

TEST(Favorites, WriteEndsEveryLineWithCrLfAndReadsBack) {
    TempDir tmp;
    const std::string file = tmp / "l.favoriten";
    const Lines entries = {"\\A\\B\\01-Titel.mp3", "", "\\\xC4rger\\\xFF.mp3", "\\A\\cover.jpg"};
    WriteFavorites(file, entries);
    EXPECT_EQ(ReadFile(file),
              "\\A\\B\\01-Titel.mp3\r\n\r\n\\\xC4rger\\\xFF.mp3\r\n\\A\\cover.jpg\r\n");
    EXPECT_EQ(ReadFavorites(file), entries);
    EXPECT_EQ(ModeOf(file), 0600u);

    ::chmod(file.c_str(), 0644);
    WriteFavorites(file, {});
    EXPECT_EQ(ReadFile(file), "");
    EXPECT_EQ(ModeOf(file), 0644u);

    Lines many;
    std::string mixed;
    const char* const breaks[] = {"\r\n", "\r", "\n"};
    for (int i = 0; i < 100000; ++i) {
        many.push_back("\\K\xFCnstler " + std::to_string(i % 97) + "\\Lied " + std::to_string(i) +
                       ".mp3");
        mixed += many.back() + breaks[i % 3];
    }
    WriteFile(file, mixed);
    EXPECT_EQ(ReadFavorites(file), many);
    WriteFavorites(file, many);
    EXPECT_EQ(ReadFavorites(file), many);
    EXPECT_EQ(FolderEntries(tmp.Path()), Lines{"l.favoriten"});
}

TEST(Favorites, ListBuiltFromAFolderWithLineBreakNamesReadsBack) {
    // Linux takes line breaks in names; such a song in the list would come
    // back as two or three broken entries, so it is never listed.
    TempDir tmp;
    const std::string album = tmp / "Musik/Album/";
    for (const char* name : {"01-Eins.mp3", "02-Zwei\nTeil.mp3", "03-Drei\rTeil.mp3",
                             "04-Vier\r\n.mp3", "05-F\xFCnf.mp3"})
        WriteSilentMp3(album + name, 0.2);
    TLocalSource source(false, tmp / "Musik");
    Lines files;
    source.ListFiles(files, "\\Album\\");
    std::sort(files.begin(), files.end());
    TFavoriteList list;
    for (const TSongItem& item : MakeSongItems(files, "\\Album\\"))
        list.Add(item.Path);
    EXPECT_EQ(list.Entries(), (Lines{"\\Album\\01-Eins.mp3", "\\Album\\05-F\xFCnf.mp3"}));

    WriteFavorites(tmp / "l.favoriten", list.Entries());
    const Lines back = ReadFavorites(tmp / "l.favoriten");
    EXPECT_EQ(back, list.Entries());
    for (const std::string& entry : back) {
        SCOPED_TRACE(entry);
        std::ostringstream song;
        source.GetFile(song, entry);
        EXPECT_EQ(song.str(), ReadFile(album + entry.substr(7)));
    }
}

TEST(Favorites, WritesKilledHalfWayLeaveMarkedFilesThatTheNextWriteRemoves) {
    // Favourite lists, the settings file and the catalogue: each write that
    // dies before its rename leaves a recognisable temporary file, which the
    // next write of the same file removes once it is older than a minute.
    TempDir tmp;
    const std::string big(100000, 'x');
    const std::string list = tmp / "liste.favoriten", ini = tmp / "tunrax.ini",
                      catalogue = tmp / "tunrax.dat";
    WriteFile(list, "alt\r\n");
    WriteFile(ini, "[S]\r\nK=alt\r\n");
    WriteFile(catalogue, "Alt\r\n");
    TLocalSource source(false, tmp.Path());
    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> writers = {
        {list, [&](const std::string& text) { WriteFavorites(list, {text}); }},
        {ini, [&](const std::string& text) { TIniFile(ini).WriteString("S", "K", text); }},
        {catalogue, [&](const std::string& text) {
             std::istringstream stream(text);
             source.PutFile(stream, "\\tunrax.dat");
         }}};
    for (const auto& [file, write] : writers) {
        SCOPED_TRACE(file);
        const std::string old = ReadFile(file);
        ASSERT_EQ(KilledHalfWay([&] { write(big); }), SIGXFSZ);
        EXPECT_EQ(ReadFile(file), old);
        const Lines entries = FolderEntries(tmp.Path());
        const std::string prefix = file.substr(tmp.Path().size()) + ".tunrax-tmp-";
        const auto left = std::find_if(entries.begin(), entries.end(), [&](const std::string& e) {
            return e.size() == prefix.size() + 6 && e.rfind(prefix, 0) == 0;
        });
        ASSERT_NE(left, entries.end()) << "no marked leftover";
        const std::string leftover = tmp / *left;

        write("jung");
        EXPECT_TRUE(Exists(leftover)) << "a leftover younger than a minute may have a writer";
        std::filesystem::last_write_time(
            leftover, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2));
        write("neu");
        EXPECT_FALSE(Exists(leftover));
        EXPECT_NE(ReadFile(file).find("neu"), std::string::npos);
    }
    EXPECT_EQ(FolderEntries(tmp.Path()), (Lines{"liste.favoriten", "tunrax.dat", "tunrax.ini"}));
}

TEST(Favorites, FailedWriteKeepsTheOldFile) {
    TempDir tmp;
    try {
        WriteFavorites(tmp / "fehlt/l.favoriten", {"a"});
        ADD_FAILURE() << "no error for a missing folder";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Die Favoritenliste \"" + tmp / "fehlt/l.favoriten" +
                                                  "\" kann nicht gespeichert werden: ",
                                              0),
                  0u)
            << e.what();
    }

    SCOPED_TRACE("a rename that fails leaves no temporary file");
    MakeDirs(tmp / "ordner.favoriten/x");
    EXPECT_THROW(WriteFavorites(tmp / "ordner.favoriten", {"a"}), Error);
    EXPECT_EQ(FolderEntries(tmp.Path()), Lines{"ordner.favoriten"});

    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into every folder";
    MakeDirs(tmp / "nur-lesen");
    const std::string file = tmp / "nur-lesen/l.favoriten";
    WriteFile(file, "alt\n");
    ::chmod((tmp / "nur-lesen").c_str(), 0555);
    EXPECT_THROW(WriteFavorites(file, {"neu"}), Error);
    ::chmod((tmp / "nur-lesen").c_str(), 0755);
    EXPECT_EQ(ReadFile(file), "alt\n");
    EXPECT_EQ(FolderEntries(tmp / "nur-lesen"), Lines{"l.favoriten"});
}

TEST(Favorites, ListNamesOfListFilesOnly) {
    TempDir tmp;
    for (const char* name : {"Party.2012.favoriten", "Ruhig.FAVORITEN", "a.favoriten.bak",
                             "favoriten", "notizen.txt", "unter/tief.favoriten"})
        WriteFile(tmp / name, "x\r\n");
    MakeDirs(tmp / "ordner.favoriten");
    ASSERT_EQ(::symlink((tmp / "Party.2012.favoriten").c_str(), (tmp / "Link.favoriten").c_str()),
              0);
    Lines names = ListFavoriteNames(tmp.Path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Lines{"Link", "Party.2012", "Ruhig"}));
    EXPECT_EQ(ListFavoriteNames(tmp / "fehlt/"), Lines{});
}

TEST(Favorites, ListedNameOpensItsOwnFile) {
    TempDir tmp;
    ScopedEnv config("XDG_CONFIG_HOME", tmp.Path().c_str());
    const std::string folder = tmp / "quintor/tunRax/";
    WriteFile(folder + "Ruhig.FAVORITEN", "\\a.mp3\r\n");
    WriteFile(folder + "Beide.favoriten", "\\klein.mp3\r\n");
    WriteFile(folder + "Beide.Favoriten", "\\gross.mp3\r\n");
    WriteFile(folder + "Zwei.Favoriten", "b\r\n");
    WriteFile(folder + "Zwei.FAVORITEN", "a\r\n");
    MakeDirs(folder + "Ordner.favoriten");
    WriteFile(folder + "Ordner.FAVORITEN", "\\o.mp3\r\n");

    Lines names = ListFavoriteNames(folder);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Lines{"Beide", "Ordner", "Ruhig", "Zwei"})) << "each name once";

    SCOPED_TRACE("a listed list reads and saves its own file");
    EXPECT_EQ(FavoriteFileName("Ruhig"), folder + "Ruhig.FAVORITEN");
    EXPECT_EQ(ReadFavorites(FavoriteFileName("Ruhig")), Lines{"\\a.mp3"});
    WriteFavorites(FavoriteFileName("Ruhig"), {"\\a.mp3", "\\b.mp3"});
    EXPECT_EQ(ReadFile(folder + "Ruhig.FAVORITEN"), "\\a.mp3\r\n\\b.mp3\r\n");
    EXPECT_FALSE(Exists(folder + "Ruhig.favoriten"));
    EXPECT_EQ(FavoriteFileName("Ordner"), folder + "Ordner.FAVORITEN") << "a folder is no list";

    SCOPED_TRACE("the exact name first, else the first variant in byte order");
    EXPECT_EQ(FavoriteFileName("Beide"), folder + "Beide.favoriten");
    EXPECT_EQ(FavoriteFileName("Zwei"), folder + "Zwei.FAVORITEN");

    SCOPED_TRACE("new lists, and names that differ in case, get the usual extension");
    EXPECT_EQ(FavoriteFileName("Neu"), folder + "Neu.favoriten");
    EXPECT_EQ(FavoriteFileName("ruhig"), folder + "ruhig.favoriten");

    SCOPED_TRACE("deleting removes the listed file");
    ASSERT_EQ(::unlink(FavoriteFileName("Ruhig").c_str()), 0);
    EXPECT_FALSE(Exists(folder + "Ruhig.FAVORITEN"));
    EXPECT_EQ(ListFavoriteNames(folder).size(), 3u);
}

TEST(FavoriteList, ContainsIgnoresCase) {
    TFavoriteList list;
    list.Assign({"\\a\\b\\song.MP3", "\\\xC3\x84rzte\\Lied.mp3",
                 "\\Stra\xC3\x9F"
                 "e.mp3",
                 "\\Caf\xE9.mp3"});
    EXPECT_TRUE(list.Contains("\\A\\B\\Song.mp3"));
    EXPECT_TRUE(list.Contains("\\\xC3\xA4RZTE\\lied.mp3"));  // "Ä" listed, "ä" asked
    EXPECT_TRUE(list.Contains("\\STRASSE.MP3"));             // full folding: "ß" is "ss"
    EXPECT_TRUE(list.Contains("\\CAF\xC3\x89.mp3"));         // Windows-1252 é listed
    EXPECT_FALSE(list.Contains("\\A\\B\\Song.mp"));
    EXPECT_FALSE(list.Contains("\\Arzte\\Lied.mp3"));
    EXPECT_EQ(list.IndexOf("\\CAFÉ.MP3"), 3);
    EXPECT_EQ(list.IndexOf("\\nichts.mp3"), -1);
}

TEST(FavoriteList, EditsKeepTheIndex) {
    TFavoriteList list;
    list.Assign({"\\x.mp3", "\\a.mp3", "\\A.MP3", "\\b.mp3"});
    EXPECT_EQ(list.IndexOf("\\A.mp3"), 1);
    EXPECT_FALSE(list.Add("\\a.Mp3"));
    EXPECT_TRUE(list.Remove("\\A.mp3"));
    EXPECT_TRUE(list.Contains("\\a.mp3"));
    EXPECT_EQ(list.Entries(), (Lines{"\\x.mp3", "\\A.MP3", "\\b.mp3"}));
    EXPECT_TRUE(list.Remove("\\a.mp3"));
    EXPECT_FALSE(list.Contains("\\a.mp3"));
    EXPECT_FALSE(list.Remove("\\a.mp3"));
    EXPECT_EQ(list.IndexOf("\\B.mp3"), 1);

    EXPECT_TRUE(list.Add("\\A.mp3"));
    EXPECT_EQ(list.Entries(), (Lines{"\\x.mp3", "\\b.mp3", "\\A.mp3"}));
    EXPECT_EQ(list.IndexOf("\\a.MP3"), 2);
    EXPECT_EQ(list.Size(), 3u);

    list.Assign({"/K/Lied.mp3", "\\K\\lied.MP3", "/cover.jpg"});
    EXPECT_EQ(list.IndexOf("\\k\\lied.mp3"), 1);
    list.ReplaceSlashes();
    EXPECT_EQ(list.Entries(), (Lines{"\\K\\Lied.mp3", "\\K\\lied.MP3", "\\cover.jpg"}));
    EXPECT_EQ(list.IndexOf("\\k\\lied.mp3"), 0);
    EXPECT_FALSE(list.Contains("/cover.jpg"));
    EXPECT_TRUE(list.Remove("\\k\\LIED.mp3"));
    EXPECT_TRUE(list.Contains("\\k\\lied.mp3"));

    list.Clear();
    EXPECT_TRUE(list.Empty());
    EXPECT_FALSE(list.Contains("\\cover.jpg"));
}

// A power cut must not leave an empty list: the new one is on the disk
// before it takes the name.
TEST(Favorites, WriteIsSyncedBeforeItTakesTheName) {
    TempDir tmp;
    const std::string file = tmp / "l.favoriten";
    WriteFavorites(file, {"\\A\\alt.mp3"});
    std::string why;
    const std::string seen = SyncBeforeRename(
        file, [&] { WriteFavorites(file, {"\\A\\neu.mp3"}); }, why);
    if (seen.empty())
        GTEST_SKIP() << why;
    EXPECT_EQ(seen, "synced, then renamed");
    EXPECT_EQ(ReadFavorites(file), Lines{"\\A\\neu.mp3"});
}
