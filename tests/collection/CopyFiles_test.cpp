#include "collection/CopyFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "collection/FatNames.h"
#include "collection/SongNames.h"
#include "io/Error.h"
#include "io/FileTools.h"
#include "sources/LocalSource.h"
#include "support/ScopedMount.h"
#include "support/ScriptedSource.h"
#include "support/StopAtCalls.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

bool IsValidUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80    ? 1
                              : lead >= 0xF0 ? 4
                              : lead >= 0xE0 ? 3
                              : lead >= 0xC2 ? 2
                                             : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

// Every file below folder, relative and sorted.
std::vector<std::string> FilesBelow(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (!entry.is_directory())
            files.push_back(entry.path().string().substr(folder.size()));
    std::sort(files.begin(), files.end());
    return files;
}

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.what();
    }
    return "(kein Fehler)";
}

// Serves every song as its path repeated; AfterGet may write more and fail.
struct FakeSource : ScriptedSource {
    FakeSource() {
        Content = [](const std::string& path) { return path + path; };
    }
};

}  // namespace

TEST(CopyFiles, TargetNames) {
    EXPECT_EQ(FlatTargetName("\\A\\01-Title.mp3", 1), "001-Title.mp3");
    EXPECT_EQ(FlatTargetName("\\A\\02 - Next.mp3", 2), "002- Next.mp3");
    EXPECT_EQ(FlatTargetName("\\B\\03 Third.mp3", 3), "003-Third.mp3");
    EXPECT_EQ(FlatTargetName("\\B\\Band-Song.mp3", 4), "004-Band-Song.mp3");
    EXPECT_EQ(FlatTargetName("\\C\\1-x.mp3", 5), "005-x.mp3");
    EXPECT_EQ(FlatTargetName("\\C\\1-x.mp3", 42), "042-x.mp3");
    EXPECT_EQ(FlatTargetName("\\C\\1-x.mp3", 1000), "1000-x.mp3");
    // Positions count characters: the "-" is the fourth one.
    EXPECT_EQ(FlatTargetName("\\C\\ÄÖÜ-Lied.mp3", 6), "006-Lied.mp3");
    // Characters as the song list shows them, whatever the encoding; the
    // bytes of the name stay.
    EXPECT_EQ(FlatTargetName("\\C\\ÄÖ-Titel.mp3", 1), "001-Titel.mp3");
    EXPECT_EQ(FlatTargetName("\\C\\\xC4\xD6-Titel.mp3", 1), "001-Titel.mp3");
    EXPECT_EQ(FlatTargetName("\\C\\ÄÖÜßx-Titel.mp3", 1), "001-ÄÖÜßx-Titel.mp3");
    EXPECT_EQ(FlatTargetName("\\C\\\xC3\x84\xC3\x96\xDC-Lied.mp3", 1), "001-Lied.mp3");
    EXPECT_EQ(FlatTargetName("\\C\\\xC4\xD6\xDC\xDF\xC3\x84-x.mp3", 1),
              "001-\xC4\xD6\xDC\xDF\xC3\x84-x.mp3");
    for (const std::string name :
         {"01-Title", "01 - Title", "1 Title", "A-ha - Take On Me", "ÄÖ-Titel", "Ä Titel",
          "ÄÖ Titel", "\xC4\xD6-Titel", "\xC4\xD6 Titel", "\xC3\x84\xC3\x96\xDC-Lied",
          "ÄÖÜßx-Titel", "\xC4\xD6\xDC\xDF\xC3\x84-x", "\x80\x81\x8D-x", "05 Teil 1: Anfang",
          "Live: 2001", "1:2-Lied"}) {
        EXPECT_EQ(FlatTargetName("\\A\\" + name + ".mp3", 2),
                  "002-" + SongDisplayName(name + ".mp3") + ".mp3")
            << "listed and copied alike: " << name;
    }
    // A "/" in a name cannot lead out of the folder.
    EXPECT_EQ(FlatTargetName("\\C\\x/../../Lied.mp3", 7), "007-Lied.mp3");

    // A ":" belongs to the name; only on the player it becomes what FAT takes.
    EXPECT_EQ(FlatTargetName("\\A\\05 Teil 1: Anfang.mp3", 1), "001-Teil 1: Anfang.mp3");
    const std::pair<bool, const char*> colonTargets[] = {
        {false, "/m/001-Teil 1_ Anfang.mp3"},
        {true, "/m/Band_ Live/CD_2/05 Teil 1_ Anfang.mp3"},
    };
    for (const auto& [keepFolders, target] : colonTargets)
        EXPECT_EQ(CopyTargetFile("/m", "\\Band: Live\\CD:2\\05 Teil 1: Anfang.mp3", 1, keepFolders),
                  target);

    EXPECT_EQ(CollapseSeparators("/m\\\\A//B\\\\\\c.mp3"), "/m/A/B/c.mp3");
    EXPECT_EQ(CopyTargetFile("/m/Musik/", "\\Artist\\Album\\01-Title.mp3", 3, true),
              "/m/Musik/Artist/Album/01-Title.mp3");
    EXPECT_EQ(CopyTargetFile("/m/Musik", "\\Artist\\Album\\01-Title.mp3", 3, false),
              "/m/Musik/003-Title.mp3");
    for (const char* bad :
         {"\\..\\x.mp3", "\\A\\..\\..\\x.mp3", "/../x.mp3", "\\A\\..", "\\A\\", "\\A\\.", ""}) {
        EXPECT_NE(ErrorOf([&] {
                      CopyTargetFile("/m/Musik/", bad, 1, true);
                  }).find("kann nicht kopiert werden: Der Pfad"),
                  std::string::npos)
            << bad;
    }
    EXPECT_NE(ErrorOf([] { CopyTargetFile("/m/", std::string("\\a\0/../x.mp3", 12), 1, false); }),
              "(kein Fehler)");

    EXPECT_EQ(SizeMBText(1536), "2");
    EXPECT_EQ(SizeMBText(2048), "3");
    EXPECT_EQ(SizeMBText(100), "1");
    EXPECT_EQ(SizeMBText(3584), "4");  // 4.5 goes to 4
    EXPECT_EQ(SizeMBText(0), "???");
}

TEST(CopyFiles, WhatClearingTakesIsCountedAndAskedFor) {
    using Paths = std::vector<std::string>;
    const struct {
        Paths toClear;
        Paths targets;
        size_t files;
        size_t folders;
    } counts[] = {
        {{}, {"/p/001-a.mp3"}, 0, 0},
        {{"/p/alt.mp3"}, {}, 1, 1},
        {{"/p/A/x.mp3", "/p/A/y.mp3", "/p/Fremd/z.mp3", "/p/alt.mp3"}, {"/p/A/01-a.mp3"}, 4, 3},
        {{"/p/A/x.mp3", "/p/B/A/x.mp3", "/p/a:b/x.mp3", "/p/a_b/x.mp3"}, {}, 4, 4},
        // Flat: the target's own songs are cleared and written again.
        {{"/p/001-Title.mp3", "/p/ALT.mp3", "/p/002-next.MP3"},
         {"/p/001-Title.mp3", "/p/002-Next.mp3", "/p/003-Third.mp3"},
         1,
         1},
        {{"/p/001-Title.mp3"}, {"/p/001-Title.mp3"}, 0, 0},
    };
    for (const auto& [toClear, targets, files, folders] : counts) {
        SCOPED_TRACE(toClear.empty() ? "nothing" : toClear.front());
        const TClearCount count = CountClearing(toClear, targets);
        EXPECT_EQ(count.files, files);
        EXPECT_EQ(count.folders, folders);
    }

    const std::pair<TClearCount, const char*> questions[] = {
        {{12, 3},
         "Im Zielverzeichnis werden 12 mp3-Dateien in 3 Ordnern gelöscht, die nicht in der "
         "Liste stehen. Löschen und kopieren?"},
        {{1, 1},
         "Im Zielverzeichnis wird 1 mp3-Datei in 1 Ordner gelöscht, die nicht in der Liste "
         "steht. Löschen und kopieren?"},
        {{2, 1},
         "Im Zielverzeichnis werden 2 mp3-Dateien in 1 Ordner gelöscht, die nicht in der "
         "Liste stehen. Löschen und kopieren?"},
    };
    for (const auto& [count, question] : questions)
        EXPECT_EQ(ClearQuestion(count), question);

    const struct {
        int copied;
        size_t total;
        const char* song;
        const char* message;
    } failures[] = {
        {3, 10, "\\A\\05 Teil 1: Anfang.mp3",
         "3 von 10 Liedern wurden kopiert. Beim Lied „Teil 1: Anfang“ trat ein Fehler "
         "auf:\nGrund"},
        {1, 2, "/B/01-Eins.mp3",
         "1 von 2 Liedern wurde kopiert. Beim Lied „Eins“ trat ein Fehler auf:\nGrund"},
        {0, 1, "\\C\\G\xE4nse_Lied.mp3",
         "0 von 1 Lied wurden kopiert. Beim Lied „Gänse Lied“ trat ein Fehler auf:\nGrund"},
    };
    for (const auto& [copied, total, song, message] : failures)
        EXPECT_EQ(CopyFailureMessage(copied, total, song, "Grund"), message);
}

TEST(CopyFiles, PrepareTargetFolder) {
    TempDir tmp;
    EXPECT_EQ(ErrorOf([] { PrepareTargetFolder("", true, "Party"); }),
              "Bitte ein Verzeichnis wählen");
    EXPECT_EQ(ErrorOf([] { PrepareTargetFolder(" \t ", false, ""); }),
              "Bitte ein Verzeichnis wählen");

    const std::string spaced = tmp / "Mein Gerät/Über Musik";
    EXPECT_EQ(PrepareTargetFolder("  " + spaced + " ", false, "Party"), spaced + "/");
    EXPECT_EQ(PrepareTargetFolder(spaced, true, "Party"), spaced + "/Party/");
    EXPECT_TRUE(std::filesystem::is_directory(spaced + "/Party"));
    EXPECT_EQ(PrepareTargetFolder(spaced, true, ""), spaced + "/");
    // "." and ".." stay below the chosen folder.
    EXPECT_EQ(PrepareTargetFolder(spaced, true, ".."), spaced + "/__/");
    EXPECT_EQ(PrepareTargetFolder(spaced, true, " . "), spaced + "/_/");

    WriteFile(tmp / "datei", "x");
    EXPECT_EQ(ErrorOf([&] { PrepareTargetFolder(tmp / "datei/neu", false, ""); }),
              "ungültiges Verzeichnis");
    if (::geteuid() != 0) {
        MakeDirs(tmp / "nur lesen");
        ::chmod((tmp / "nur lesen").c_str(), 0555);
        EXPECT_EQ(ErrorOf([&] { PrepareTargetFolder(tmp / "nur lesen", true, "Party"); }),
                  "ungültiges Verzeichnis");
    }
}

TEST(CopyFiles, Clearing) {
    TempDir tmp;
    const std::string target = tmp / "ziel/";
    for (const char* file : {"Artist/Album/01-Title.mp3", "Ärzte/Über.mp3", "Old/Gone/x.mp3",
                             "Old2/y.mp3", "Old2/cover.jpg", "top.mp3", "keep.txt", "B.MP3"})
        WriteFile(target + file, "x");
    ClearTargetFolder(target, {"\\ARTIST\\album\\01-title.MP3", "\\ärzte\\über.mp3", "\\b.mp3"},
                      true);
    EXPECT_EQ(FilesBelow(target),
              (std::vector<std::string>{"Artist/Album/01-Title.mp3", "B.MP3", "Old2/cover.jpg",
                                        "keep.txt", "Ärzte/Über.mp3"}));
    EXPECT_FALSE(Exists(target + "Old"));

    // Everything unlisted gone: the target folder itself stays.
    ClearTargetFolder(target, {"\\keep.txt"}, true);
    EXPECT_EQ(FilesBelow(target), (std::vector<std::string>{"Old2/cover.jpg", "keep.txt"}));
    ClearTargetFolder(tmp / "ziel", {}, true);
    EXPECT_TRUE(std::filesystem::is_directory(target));

    // Flat: the top level's songs only, listed or not.
    for (const char* file : {"001-a.mp3", "002-b.MP3", "sub/003-c.mp3"})
        WriteFile(target + file, "x");
    ClearTargetFolder(target, {"\\001-a.mp3"}, false);
    EXPECT_EQ(FilesBelow(target),
              (std::vector<std::string>{"Old2/cover.jpg", "keep.txt", "sub/003-c.mp3"}));
}

TEST(CopyFiles, CopiesFromFolderAndNeverOverwrites) {
    TempDir tmp;
    const std::vector<std::string> songs = {"\\Rock\\01-Eins.mp3", "\\Rock\\Live\\02 Zwei.mp3",
                                            "\\Pop\\Drei.mp3"};
    for (const std::string& song : songs)
        WriteFile(tmp / "musik" + CollapseSeparators(song), song + std::string(200000, 'm'));
    TLocalSource source(false, tmp / "musik");

    for (bool keepFolders : {false, true}) {
        const std::string target = tmp / (keepFolders ? "org/" : "flach/");
        for (int run = 0; run < 2; ++run) {
            for (size_t i = 0; i < songs.size(); ++i) {
                std::string file =
                    CopyTargetFile(target, songs[i], static_cast<int>(i + 1), keepFolders);
                EXPECT_EQ(CopySong(source, songs[i], file), run == 0) << file;
                EXPECT_EQ(ReadFile(file),
                          run == 0 ? songs[i] + std::string(200000, 'm') : "schon da");
                WriteFile(file, "schon da");
            }
        }
        EXPECT_EQ(FilesBelow(target).size(), 3u);  // no temporary file left
    }
    EXPECT_EQ(FilesBelow(tmp / "flach/"),
              (std::vector<std::string>{"001-Eins.mp3", "002-Zwei.mp3", "003-Drei.mp3"}));
    EXPECT_EQ(ReadFile(tmp / "org/Rock/Live/02 Zwei.mp3"), "schon da");
}

// A name of 253 bytes that "001-" would take past 255: cut between characters,
// and copied on the file system of the temporary folder as on a player.
TEST(CopyFiles, ANameNearTheLimitIsCutToFitTheTarget) {
    TempDir tmp;
    std::string name;
    for (int i = 0; i < 83; ++i)
        name += "\xE2\x82\xAC";  // "€", 3 bytes
    name += ".mp3";
    ASSERT_EQ(name.size(), 253u);
    WriteFile(tmp / "musik/A/" + name, "lied");
    TLocalSource source(false, tmp / "musik");
    const std::string song = "\\A\\" + name;
    for (bool keepFolders : {false, true}) {
        const std::string target = tmp / (keepFolders ? "org/" : "flach/");
        const std::string file = CopyTargetFile(target, song, 1, keepFolders);
        const std::string base = file.substr(file.rfind('/') + 1);
        EXPECT_LE(base.size(), 255u);
        EXPECT_TRUE(base.ends_with(".mp3")) << base;
        EXPECT_TRUE(IsValidUtf8(base)) << "a character was cut in two";
        EXPECT_TRUE(CopySong(source, song, file)) << file;
        EXPECT_EQ(ReadFile(file), "lied");
    }
    EXPECT_EQ(FilesBelow(tmp / "flach/").front().substr(0, 7), "001-\xE2\x82\xAC");
}

// A link planted in the target (or a file where a folder should be) leads
// nowhere: nothing is written, made or deleted outside the target folder.
TEST(CopyFiles, NothingIsWrittenOrDeletedThroughALinkInTheTarget) {
    namespace fs = std::filesystem;
    TempDir tmp;
    WriteFile(tmp / "musik/Album/01-Eins.mp3", "eins");
    WriteFile(tmp / "musik/Album/Sub/02-Zwei.mp3", "zwei");
    TLocalSource source(false, tmp / "musik");
    const std::string target = tmp / "ziel/";
    const std::string elsewhere = tmp / "woanders/";
    WriteFile(elsewhere + "alt.mp3", "fremd");
    MakeDirs(target);
    fs::create_directory_symlink(elsewhere, target + "Album");

    for (const char* song : {"\\Album\\01-Eins.mp3", "\\Album\\Sub\\02-Zwei.mp3"}) {
        SCOPED_TRACE(song);
        const std::string file = CopyTargetFile(target, song, 1, true);
        const std::string message = ErrorOf([&] { CopySong(source, song, file, target); });
        EXPECT_NE(message.find("außerhalb des Zielverzeichnisses wird nichts geschrieben"),
                  std::string::npos)
            << message;
    }
    EXPECT_EQ(FilesBelow(elsewhere), std::vector<std::string>{"alt.mp3"}) << "written outside";

    // A song behind the link, as the clearing would meet it after a folder
    // was swapped for a link: it stays.
    ClearFiles(target, {target + "Album/alt.mp3"});
    EXPECT_EQ(ReadFile(elsewhere + "alt.mp3"), "fremd") << "deleted outside";

    // The list's folder below the target is made, never entered as a link.
    fs::create_directory_symlink(elsewhere, target + "Liste");
    EXPECT_THROW(PrepareTargetFolder(target, true, "Liste"), Error);
    EXPECT_EQ(PrepareTargetFolder(target, true, "Neu"), target + "Neu/");

    // Without links the songs go where they belong, folders made on the way.
    fs::remove(target + "Album");
    const std::string file = CopyTargetFile(target, "\\Album\\Sub\\02-Zwei.mp3", 1, true);
    EXPECT_TRUE(CopySong(source, "\\Album\\Sub\\02-Zwei.mp3", file, target));
    EXPECT_EQ(ReadFile(target + "Album/Sub/02-Zwei.mp3"), "zwei");
}

// A folder of the target swapped for a link to a folder outside while a song
// is written, by someone who also saw the temporary file's name and put a
// file of that name behind the link: the song is finished in the folder it
// was begun in, and nothing behind the link is made or renamed.
TEST(CopyFiles, AFolderSwappedForALinkDuringTheCopyLeadsNowhere) {
    TempDir tmp;
    int round = 0;
    for (const std::string sub : {"", "Sub/"}) {
        SCOPED_TRACE("folder below the album: " + sub);
        const std::string target = tmp / ("ziel" + std::to_string(++round) + "/");
        const std::string elsewhere = tmp / ("woanders" + std::to_string(round) + "/");
        MakeDirs(target);
        MakeDirs(elsewhere + sub);
        std::vector<std::string> planted;
        FakeSource source;
        source.BeforeGet = [&](const std::string&) {
            for (const std::string& name : FolderEntries(target + "Album/" + sub)) {
                WriteFile(elsewhere + sub + name, "fremd");
                planted.push_back(sub + name);
            }
            ASSERT_EQ(::rename((target + "Album").c_str(), (target + "Album.alt").c_str()), 0);
            ASSERT_EQ(::symlink(elsewhere.c_str(), (target + "Album").c_str()), 0);
        };
        const std::string song = sub.empty() ? "\\Album\\01-Eins.mp3" : "\\Album\\Sub\\01-Eins.mp3";
        const std::string file = CopyTargetFile(target, song, 1, true);
        EXPECT_TRUE(CopySong(source, song, file, target));
        EXPECT_EQ(planted.size(), 1u) << "the temporary file was not seen";
        EXPECT_EQ(FilesBelow(elsewhere), planted) << "made or renamed outside";
        EXPECT_EQ(FilesBelow(target), std::vector<std::string>{"Album.alt/" + sub + "01-Eins.mp3"});
        EXPECT_EQ(ReadFile(target + "Album.alt/" + sub + "01-Eins.mp3"), song + song);
    }
}

// Clearing while a folder of the target is swapped for a link to a folder
// outside at the very moment each song is deleted, and back when a folder is
// removed: what is deleted lies inside the target, and every file outside
// stays.
TEST(CopyFiles, ClearingStaysInsideWhenAFolderIsSwappedForALink) {
    TempDir tmp;
    const std::string target = tmp / "ziel/";
    const std::string elsewhere = tmp / "woanders/";
    std::vector<std::string> files;
    std::vector<std::string> outside;
    for (const char* name : {"Sub0/1.mp3", "Sub0/2.mp3", "Sub1/3.mp3", "Sub1/4.mp3"}) {
        WriteFile(target + "Album/" + name, "x");
        WriteFile(elsewhere + name, "fremd");
        files.push_back(target + "Album/" + name);
        outside.push_back(name);
    }
    WriteFile(target + "Album/Sub1/cover.jpg", "bild");
    // The folder and a link beside it trade names in one step.
    const std::string album = target + "Album";
    const std::string link = target + "Verweis";
    ASSERT_EQ(::symlink(elsewhere.c_str(), link.c_str()), 0);
    bool linked = false;
    auto swapTo = [&](bool toLink) {
        if (toLink != linked &&
            ::renameat2(AT_FDCWD, album.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE) == 0)
            linked = toLink;
    };
    std::vector<int> deleting = {SYS_unlinkat};
#ifdef SYS_unlink
    deleting.push_back(SYS_unlink);
    deleting.push_back(SYS_rmdir);
#endif
    int deletions = 0;
    std::string why;
    const bool ran = RunStoppingAtCalls(
        deleting, [&] { ClearFiles(target, files); },
        [&](const seccomp_data& call) {
            bool folder = call.nr == SYS_unlinkat && (call.args[2] & AT_REMOVEDIR) != 0;
#ifdef SYS_rmdir
            folder = folder || call.nr == SYS_rmdir;
#endif
            deletions += folder ? 0 : 1;
            swapTo(!folder);
        },
        why);
    if (!ran)
        GTEST_SKIP() << why;
    swapTo(false);
    EXPECT_EQ(deletions, 4);
    EXPECT_EQ(FilesBelow(elsewhere), outside) << "deleted outside";
    EXPECT_EQ(FilesBelow(target), std::vector<std::string>{"Album/Sub1/cover.jpg"});
    EXPECT_EQ(FolderEntries(album), std::vector<std::string>{"Sub1"})
        << "the emptied folder goes, the one with a cover stays";
}

TEST(CopyFiles, FailuresLeaveNoFile) {
    TempDir tmp;
    const std::string target = tmp / "ziel/";
    FakeSource source;
    source.AfterGet = [](std::ostream& dest, const std::string& path) {
        if (path.find("kaputt") == std::string::npos)
            return;
        dest << std::string(70000, 'k') << 'x';  // past the buffer and straight to the file
        throw Error("Verbindung abgebrochen");
    };
    EXPECT_TRUE(CopySong(source, "\\A\\1.mp3", target + "A/001-1.mp3"));
    std::string message = ErrorOf([&] { CopySong(source, "\\A\\kaputt.mp3", target + "002.mp3"); });
    for (const char* part : {"\\A\\kaputt.mp3", "/ziel/002.mp3", "Verbindung abgebrochen"})
        EXPECT_NE(message.find(part), std::string::npos) << message;
    EXPECT_EQ(FilesBelow(target), std::vector<std::string>{"A/001-1.mp3"});
    EXPECT_EQ(ReadFile(target + "A/001-1.mp3"), "\\A\\1.mp3\\A\\1.mp3");

    // A missing song of a real source, and a folder that cannot be made.
    TLocalSource folder(false, tmp / "musik");
    EXPECT_NE(ErrorOf([&] { CopySong(folder, "\\fehlt.mp3", target + "003.mp3"); }),
              "(kein Fehler)");
    EXPECT_NE(ErrorOf([&] { CopySong(source, "\\B.mp3", target + "A/001-1.mp3/x.mp3"); }),
              "(kein Fehler)");
    EXPECT_EQ(FilesBelow(target), std::vector<std::string>{"A/001-1.mp3"});

    // A file that appears during the transfer is kept.
    source.AfterGet = [&](std::ostream&, const std::string&) {
        WriteFile(target + "004.mp3", "fremd");
    };
    EXPECT_FALSE(CopySong(source, "\\C.mp3", target + "004.mp3"));
    EXPECT_EQ(ReadFile(target + "004.mp3"), "fremd");
    EXPECT_EQ(FilesBelow(target).size(), 2u);

    // The fallbacks for file systems without renameat2's flag or hard links.
    for (MoveMethod method : {MoveMethod::HardLink, MoveMethod::CheckThenRename}) {
        WriteFile(tmp / "neu", "neu");
        EXPECT_FALSE(MoveWithoutReplacing(tmp / "neu", target + "004.mp3", method));
        EXPECT_EQ(ReadFile(target + "004.mp3"), "fremd");
        const std::string fresh = target + (method == MoveMethod::HardLink ? "005.mp3" : "006.mp3");
        EXPECT_TRUE(MoveWithoutReplacing(tmp / "neu", fresh, method));
        EXPECT_FALSE(Exists(tmp / "neu"));
        EXPECT_EQ(ReadFile(fresh), "neu");
    }
}

// A player that fills up: a small tmpfs, which only root may mount (skipped
// otherwise). The local source hands its bytes to the kernel; the song that
// does not fit leaves nothing, the ones before stay.
TEST(CopyFiles, FullTargetLeavesNoPartialSong) {
    TempDir collection, player;
    const ScopedMount mount = ScopedMount::Tmpfs(player.Path(), "160k");
    if (!mount.Mounted())
        GTEST_SKIP() << "cannot mount a small file system here";
    const std::string song(64 << 10, 's');
    for (const char* name : {"1.mp3", "2.mp3", "3.mp3"})
        WriteFile(collection / "A/" + name, song);
    TLocalSource source(false, collection.Path());
    EXPECT_TRUE(CopySong(source, "\\A\\1.mp3", player / "001-1.mp3"));
    EXPECT_TRUE(CopySong(source, "\\A\\2.mp3", player / "002-2.mp3"));
    try {
        CopySong(source, "\\A\\3.mp3", player / "003-3.mp3");
        FAIL() << "a full device was not noticed";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("Kein freier Platz"), std::string::npos)
            << error.what();
    }
    std::vector<std::string> left;
    FindFiles(left, player.Path(), "*", false, true);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"001-1.mp3", "002-2.mp3"}));
    EXPECT_EQ(ReadFile(player / "002-2.mp3"), song);
}

namespace {

// A FAT32 file system of a few MB, mounted through FUSE at a folder of its
// own while the object lives, as a portable player is; Mounted() is false
// where the tools are missing or the test may not mount. (This FUSE driver
// takes ASCII names only.)
class FatFileSystem {
public:
    FatFileSystem() {
        std::string out, err;
        if (RunProgram({"/sbin/mkfs.fat", "-F", "32", "-C", FImage, "34000"}, FScratch.Path(), out,
                       err) != 0) {
            FWhy = "mkfs.fat (dosfstools) is missing or failed: " + err;
            return;
        }
        if (RunProgram({"/usr/bin/fusefat", "-o", "rw+", FImage, FMountPoint.Path()},
                       FScratch.Path(), out, err) != 0) {
            FWhy = "fusefat cannot mount here: " + err;
            return;
        }
        FMounted = true;
    }
    ~FatFileSystem() {
        if (!FMounted)
            return;
        std::string out, err;
        RunProgram({"/bin/fusermount", "-u", FMountPoint.Path()}, FScratch.Path(), out, err);
    }
    bool Mounted() const { return FMounted; }
    const std::string& Why() const { return FWhy; }
    const std::string& Path() const { return FMountPoint.Path(); }

private:
    TempDir FScratch;
    TempDir FMountPoint;
    std::string FImage = FScratch / "fat.img";
    bool FMounted = false;
    std::string FWhy;
};

}  // namespace

// The names a Linux collection may have, on the file system players use: the
// album copies in both modes, a second run finds every song in place, and
// the playlist lies beside the songs.
TEST(CopyFiles, CopiesOntoARealFatFileSystem) {
    FatFileSystem fat;
    if (!fat.Mounted())
        GTEST_SKIP() << fat.Why();
    TempDir tmp;
    const std::vector<std::string> songs = {"\\The Who\\Who Are You?\\01-Who Are You?.mp3",
                                            "\\The Who\\Who Are You?\\02-Sister Disco.",
                                            "\\AC|DC\\Live: \"1992\"\\03 <Thunder>*.mp3",
                                            // the same file where case does not count
                                            "\\the who\\who are you?\\01-Who Are You?.mp3"};
    for (const std::string& song : songs)
        WriteFile(tmp / "musik" + CollapseSeparators(song), song);
    TLocalSource source(false, tmp / "musik");

    for (bool keepFolders : {false, true}) {
        const std::string target = fat.Path() + (keepFolders ? "org/" : "flach/");
        for (int run = 0; run < 2; ++run) {
            const TCopyPlan plan = PlanCopy(target, songs, keepFolders, false);
            EXPECT_EQ(plan.toCopy.size(), run == 0 ? songs.size() : 0u);
            for (size_t i = 0; i < songs.size(); ++i) {
                const std::string& file = plan.targets[i];
                EXPECT_EQ(CopySong(source, songs[i], file), run == 0) << file;
                EXPECT_EQ(ReadFile(file), songs[i]);
            }
            WritePlaylist(target, "Who?", plan.targets);
        }
    }
    EXPECT_EQ(FilesBelow(fat.Path() + "flach/"),
              (std::vector<std::string>{"001-Who Are You_.mp3", "002-Sister Disco",
                                        "003-_Thunder__.mp3", "004-Who Are You_.mp3", "Who_.m3u"}));
    EXPECT_EQ(FilesBelow(fat.Path() + "org/"),
              (std::vector<std::string>{"AC_DC/Live_ _1992_/03 _Thunder__.mp3",
                                        "The Who/Who Are You_/01-Who Are You_ (2).mp3",
                                        "The Who/Who Are You_/01-Who Are You_.mp3",
                                        "The Who/Who Are You_/02-Sister Disco", "Who_.m3u"}));
    EXPECT_EQ(ReadFile(fat.Path() + "org/Who_.m3u"),
              "The Who/Who Are You_/01-Who Are You_.mp3\r\n"
              "The Who/Who Are You_/02-Sister Disco\r\n"
              "AC_DC/Live_ _1992_/03 _Thunder__.mp3\r\n"
              "The Who/Who Are You_/01-Who Are You_ (2).mp3\r\n");

    // The same through the descriptors of the target's folders, as the
    // wizard copies, and cleared again, folders and all.
    const std::string safe = fat.Path() + "sicher/";
    MakeDirs(safe);
    const TCopyPlan plan = PlanCopy(safe, songs, true, false);
    for (size_t i = 0; i < songs.size(); ++i)
        EXPECT_TRUE(CopySong(source, songs[i], plan.targets[i], safe)) << plan.targets[i];
    EXPECT_FALSE(CopySong(source, songs[0], plan.targets[0], safe)) << "copied twice";
    EXPECT_EQ(
        FilesBelow(safe),
        (std::vector<std::string>{
            "AC_DC/Live_ _1992_/03 _Thunder__.mp3", "The Who/Who Are You_/01-Who Are You_ (2).mp3",
            "The Who/Who Are You_/01-Who Are You_.mp3", "The Who/Who Are You_/02-Sister Disco"}));
    ClearTargetFolder(safe, {"\\The Who\\Who Are You?\\02-Sister Disco."}, true);
    EXPECT_EQ(FilesBelow(safe), std::vector<std::string>{"The Who/Who Are You_/02-Sister Disco"});
    EXPECT_EQ(FolderEntries(safe), std::vector<std::string>{"The Who"});
}

TEST(CopyFiles, NamesValidForFat) {
    EXPECT_EQ(FatValidName("01-Who Are You?.mp3"), "01-Who Are You_.mp3");
    EXPECT_EQ(FatValidName("a\"*:<>?\\|/b"), "a" + std::string(9, '_') + "b");
    EXPECT_EQ(FatValidName(std::string("\x01tab\tnull\0x", 11)), "_tab_null_x");
    EXPECT_EQ(FatValidName("Live... . "), "Live");
    EXPECT_EQ(FatValidName(".."), "_");
    EXPECT_EQ(FatValidName("  "), "_");
    // The names of Windows' devices cannot be opened there, whatever the
    // extension or the case.
    for (const auto& [device, renamed] :
         std::vector<std::pair<std::string, std::string>>{{"CON.mp3", "CON_.mp3"},
                                                          {"nul.mp3", "nul_.mp3"},
                                                          {"aux.mp3", "aux_.mp3"},
                                                          {"COM1.mp3", "COM1_.mp3"},
                                                          {"lpt9.live.mp3", "lpt9_.live.mp3"},
                                                          {"CON", "CON_"},
                                                          {"Prn. ", "Prn_"},
                                                          {"CON.m3u", "CON_.m3u"}}) {
        EXPECT_EQ(FatValidName(device), renamed) << device;
        EXPECT_EQ(FatValidName(renamed), renamed) << "not stable: " << renamed;
    }
    for (const std::string valid :
         {"CONCERT.mp3", "COM10.mp3", "COM0.mp3", "Console", "NULL.mp3", "xCON.mp3", "CON_.mp3"})
        EXPECT_EQ(FatValidName(valid), valid);
    for (const std::string valid :
         {"Ärzte - Zu spät.mp3", ".versteckt", "\xC4\xD6-Titel.mp3", "a;b,c=d[e]+f.mp3", " vorn"})
        EXPECT_EQ(FatValidName(valid), valid);

    // 255 UTF-16 units at most, cut between characters, the extension kept.
    const std::string emoji = "\xF0\x9F\x98\x80";  // two units
    std::string many;
    for (int i = 0; i < 60; ++i)
        many += emoji;
    EXPECT_EQ(Utf16Length(emoji + "\xC3\xA4" + "\xE4"), 4u);
    EXPECT_EQ(FatValidName(std::string(300, 'a') + ".mp3"), std::string(251, 'a') + ".mp3");
    // ... and 255 bytes, the limit of Linux's own file systems, which a name
    // beyond ASCII reaches first.
    std::string cut = std::string(200, 'a');
    for (int i = 0; i < 12; ++i)
        cut += emoji;
    EXPECT_EQ(FatValidName(std::string(200, 'a') + many + ".mp3"), cut + ".mp3");
    EXPECT_EQ(FatValidName(std::string(254, 'b') + "  cc"), std::string(254, 'b'));
    EXPECT_EQ(FatNameWithSuffix(std::string(251, 'a') + ".mp3", " (2)"),
              std::string(247, 'a') + " (2).mp3");
    for (const std::string& name :
         {std::string(300, 'x') + "?. .mp3", std::string("Live?. "), many + many})
        EXPECT_EQ(FatValidName(FatValidName(name)), FatValidName(name)) << "a second run differs";

    // Every name below the target folder, in both modes; the folder chosen
    // stays as it is.
    EXPECT_EQ(CopyTargetFile("/m/Wer?/", "\\A\\01-Who Are You?.mp3", 1, false),
              "/m/Wer?/001-Who Are You_.mp3");
    EXPECT_EQ(CopyTargetFile("/m/", "\\AC|DC\\Live: 1992.\\.\\03 Hells Bells .mp3", 1, true),
              "/m/AC_DC/Live_ 1992/03 Hells Bells .mp3");
    TempDir tmp;
    EXPECT_EQ(PrepareTargetFolder(tmp.Path(), true, "Best of: 2024."), tmp / "Best of_ 2024/");

    // Songs that would share a file get their own, numbered in list order;
    // folders that differ in case only are spelt as the first one.
    EXPECT_EQ(
        CopyTargetFiles(
            "/m", {"\\A\\x?.mp3", "\\A\\x_.mp3", "\\a\\X_.MP3", "\\A\\x_ (2).mp3", "\\B\\x_.mp3"},
            true),
        (std::vector<std::string>{"/m/A/x_.mp3", "/m/A/x_ (2).mp3", "/m/A/X_ (3).MP3",
                                  "/m/A/x_ (2) (2).mp3", "/m/B/x_.mp3"}));
    EXPECT_EQ(CopyTargetFiles("/m", {"\\A\\a?.mp3", "\\B\\a_.mp3"}, false),
              (std::vector<std::string>{"/m/001-a_.mp3", "/m/002-a_.mp3"}));
}

// What a copy will do, seen before it does it: what clearing frees and which
// songs are still to be fetched.
TEST(CopyFiles, PlanOfACopy) {
    TempDir tmp;
    const std::string target = tmp / "ziel/";
    const std::vector<std::string> songs = {"\\A\\Wer?.mp3", "\\A\\Neu.mp3"};
    WriteFile(target + "A/Wer_.mp3", "schon da");
    WriteFile(target + "A/Alt.mp3", std::string(10000, 'a'));
    WriteFile(target + "Alt/x.mp3", "x");
    WriteFile(target + "001-Wer_.mp3", "flach");

    TCopyPlan plan = PlanCopy(target, songs, true, false);
    EXPECT_EQ(plan.targets,
              (std::vector<std::string>{target + "A/Wer_.mp3", target + "A/Neu.mp3"}));
    EXPECT_EQ(plan.toCopy, std::vector<std::string>{"\\A\\Neu.mp3"});
    EXPECT_TRUE(plan.toClear.empty());
    EXPECT_EQ(plan.freedBytes, 0);

    plan = PlanCopy(target, songs, true, true);
    std::sort(plan.toClear.begin(), plan.toClear.end());
    EXPECT_EQ(plan.toClear, (std::vector<std::string>{target + "001-Wer_.mp3", target + "A/Alt.mp3",
                                                      target + "Alt/x.mp3"}))
        << "the song copied before under its valid name is kept";
    EXPECT_EQ(plan.toCopy, std::vector<std::string>{"\\A\\Neu.mp3"});
    EXPECT_GE(plan.freedBytes, 10006);
    EXPECT_EQ(FilesBelow(target).size(), 4u) << "planning changes nothing";
    ClearFiles(target, plan.toClear);
    EXPECT_EQ(FilesBelow(target), std::vector<std::string>{"A/Wer_.mp3"});
    EXPECT_FALSE(Exists(target + "Alt"));

    // Flat: the top level's songs go, listed ones too, and are fetched again.
    WriteFile(target + "001-Wer_.mp3", "flach");
    plan = PlanCopy(target, songs, false, true);
    EXPECT_EQ(plan.toClear, std::vector<std::string>{target + "001-Wer_.mp3"});
    EXPECT_EQ(plan.toCopy, songs);
    EXPECT_EQ(PlanCopy(target, songs, false, false).toCopy,
              std::vector<std::string>{"\\A\\Neu.mp3"});

    // A dangling link in a song's place is an entry the copy leaves as it is:
    // nothing is fetched for it.
    ASSERT_EQ(::symlink("fehlt", (target + "A/Neu.mp3").c_str()), 0);
    EXPECT_TRUE(PlanCopy(target, songs, true, false).toCopy.empty());
}

TEST(CopyFiles, PlaylistFile) {
    TempDir tmp;
    const std::string target = tmp / "ziel/";
    MakeDirs(target);
    EXPECT_EQ(WritePlaylist(
                  target, "Party: Mix?",
                  {target + "001-Eins.mp3", target + "B/Zwei drei.mp3", target + "Ärzte/Über.mp3"}),
              target + "Party_ Mix_.m3u");
    EXPECT_EQ(ReadFile(target + "Party_ Mix_.m3u"),
              "001-Eins.mp3\r\nB/Zwei drei.mp3\r\n\xC3\x84rzte/\xC3\x9C"
              "ber.mp3\r\n");
    // A second copy replaces the list; no temporary file stays.
    WritePlaylist(tmp.Path() + "ziel", "Party: Mix?", {target + "002-Zwei.mp3"});
    EXPECT_EQ(ReadFile(target + "Party_ Mix_.m3u"), "002-Zwei.mp3\r\n");
    EXPECT_EQ(FolderEntries(target), std::vector<std::string>{"Party_ Mix_.m3u"});
    EXPECT_NE(ErrorOf([&] { WritePlaylist(target, "x", {tmp / "anderswo.mp3"}); }),
              "(kein Fehler)");
    EXPECT_NE(ErrorOf([&] { WritePlaylist(tmp / "fehlt/", "x", {}); }).find("Wiedergabeliste"),
              std::string::npos);

    EXPECT_EQ(PlaylistName("Party", {"\\A\\1.mp3"}), "Party");
    EXPECT_EQ(PlaylistName("", {"\\Artist\\Album\\1.mp3", "\\B\\2.mp3"}), "Album");
    EXPECT_EQ(PlaylistName("", {"\\1.mp3"}), "Wiedergabeliste");
    EXPECT_EQ(PlaylistName("", {}), "Wiedergabeliste");
}

// The free space of a small file system, which only root may mount (skipped
// otherwise), and whether songs fit into it.
TEST(CopyFiles, FreeSpaceAndWhatFits) {
    EXPECT_EQ(FreeMBText(std::nullopt), "???");
    EXPECT_NO_THROW(CheckSongsFit(0, 3, TFreeSpace{0, 4096}, 0)) << "unknown size";
    EXPECT_NO_THROW(CheckSongsFit(1 << 20, 3, std::nullopt, 0)) << "unknown free space";
    // Sizes that add up past any number (a server's INT64_MAX) never fit.
    EXPECT_NE(ErrorOf([] {
                  CheckSongsFit(std::numeric_limits<int64_t>::max(), 3,
                                TFreeSpace{int64_t{1} << 40, 4096}, 0);
              }),
              "(kein Fehler)");

    TempDir player;
    const ScopedMount mount = ScopedMount::Tmpfs(player.Path(), "1m");
    if (!mount.Mounted())
        GTEST_SKIP() << "cannot mount a small file system here";
    const std::optional<TFreeSpace> empty = FreeSpace(player.Path());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->bytes, 1 << 20);
    EXPECT_EQ(FreeMBText(empty), "1");
    const std::optional<TFreeSpace> below = FreeSpace(player / "noch/nicht/da/");
    ASSERT_TRUE(below) << "the nearest existing parent counts";
    EXPECT_EQ(below->bytes, empty->bytes);

    WriteFile(player / "alt.mp3", std::string(600 << 10, 'a'));
    const std::optional<TFreeSpace> half = FreeSpace(player.Path());
    ASSERT_TRUE(half);
    EXPECT_EQ(half->bytes, 424 << 10);
    EXPECT_EQ(FreeMBText(half), "0");
    // 420 KB in two songs: the blocks they start count too.
    EXPECT_EQ(ErrorOf([&] { CheckSongsFit(420, 2, half, 0); }),
              "Die Lieder passen nicht auf den Datenträger: Sie brauchen 1 MB, frei sind nur 0 "
              "MB. Es wurde nichts kopiert.");
    EXPECT_NO_THROW(CheckSongsFit(420, 1, half, 0));
    const TCopyPlan plan = PlanCopy(player.Path(), {"\\A\\neu.mp3"}, false, true);
    EXPECT_NO_THROW(CheckSongsFit(900, 1, half, plan.freedBytes)) << "clearing frees alt.mp3";
    EXPECT_NE(ErrorOf([&] { CheckSongsFit(1100, 1, half, plan.freedBytes); }), "(kein Fehler)");

    // What the plan counts as freed is what the clearing frees: whole blocks,
    // which small files take as well.
    for (int i = 0; i < 20; ++i)
        WriteFile(player / ("klein" + std::to_string(i) + ".mp3"), "x");
    const std::optional<TFreeSpace> before = FreeSpace(player.Path());
    const TCopyPlan clearing = PlanCopy(player.Path(), {"\\A\\neu.mp3"}, false, true);
    ClearFiles(player.Path(), clearing.toClear);
    EXPECT_EQ(FreeSpace(player.Path())->bytes, before->bytes + clearing.freedBytes);
}

// Refreshing a player that the songs of the list nearly fill: the songs
// already on it are not fetched again and need no room, so adding one more
// fits; clearing a flat copy fetches all again into the room it frees. A
// small tmpfs, which only root may mount.
TEST(CopyFiles, RefreshingANearlyFullPlayerFits) {
    TempDir tmp;
    std::vector<std::string> songs = {"\\A\\1.mp3", "\\A\\2.mp3", "\\B\\3.mp3"};
    for (const std::string& song : songs)
        WriteFile(tmp / "musik" + CollapseSeparators(song), std::string(300 << 10, 'm'));
    WriteFile(tmp / "musik/B/neu.mp3", std::string(60 << 10, 'n'));
    TLocalSource source(false, tmp / "musik");
    const std::string player = tmp / "spieler/";
    MakeDirs(player);
    const ScopedMount mount = ScopedMount::Tmpfs(player, "1m");
    if (!mount.Mounted())
        GTEST_SKIP() << "cannot mount a small file system here";
    const std::vector<std::string> refresh = {songs[0], songs[1], songs[2], "\\B\\neu.mp3"};
    const struct {
        bool keepFolders;
        bool clear;
        size_t fetched;
    } cases[] = {{false, false, 1}, {true, false, 1}, {true, true, 1}, {false, true, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.keepFolders ? "folders" : "flat") +
                     (c.clear ? ", cleared" : ""));
        for (const auto& entry : std::filesystem::directory_iterator(player))
            std::filesystem::remove_all(entry);
        const TCopyPlan first = PlanCopy(player, songs, c.keepFolders, false);
        for (size_t i = 0; i < songs.size(); ++i)
            ASSERT_TRUE(CopySong(source, songs[i], first.targets[i], player));

        const TCopyPlan plan = PlanCopy(player, refresh, c.keepFolders, c.clear);
        EXPECT_EQ(plan.toCopy.size(), c.fetched);
        EXPECT_EQ(ErrorOf([&] {
                      CheckSongsFit(source.GetSizeKB(plan.toCopy), plan.toCopy.size(),
                                    FreeSpace(player), plan.freedBytes);
                  }),
                  "(kein Fehler)");
        ClearFiles(player, plan.toClear);
        for (size_t i = 0; i < refresh.size(); ++i)
            EXPECT_NO_THROW(CopySong(source, refresh[i], plan.targets[i], player));
        for (const std::string& target : plan.targets)
            EXPECT_TRUE(Exists(target)) << target;
    }
}

// The blocks a file system keeps for root are no room for the user's songs:
// an ext4 image with half of its blocks reserved, which only root may make
// and mount (skipped otherwise).
TEST(CopyFiles, FreeSpaceLeavesOutWhatIsReservedForRoot) {
    TempDir tmp;
    const std::string image = tmp / "ext4.img";
    const std::string player = tmp / "spieler";
    MakeDirs(player);
    std::string out, err;
    if (::geteuid() != 0 || RunProgram({"/sbin/mkfs.ext4", "-q", "-m", "50", "-F", image, "8M"},
                                       tmp.Path(), out, err) != 0)
        GTEST_SKIP() << "cannot make an ext4 image here";
    const ScopedMount mount = ScopedMount::Image(image, player);
    if (!mount.Mounted())
        GTEST_SKIP() << "cannot mount an ext4 image here";
    const std::optional<TFreeSpace> free = FreeSpace(player);
    ASSERT_TRUE(free);
    EXPECT_GT(free->bytes, 1 << 20);
    EXPECT_LT(free->bytes, 4 << 20) << "half of the 8 MB is root's";
}
