#include "collection/copy_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "collection/songlist.h"
#include "io/Error.h"
#include "settings/vel_tools.h"
#include "sources/FileTransfer.h"
#include "support/ScriptedSource.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

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
          "ÄÖÜßx-Titel", "\xC4\xD6\xDC\xDF\xC3\x84-x", "\x80\x81\x8D-x"}) {
        EXPECT_EQ(FlatTargetName("\\A\\" + name + ".mp3", 2),
                  "002-" + SongDisplayName(name + ".mp3") + ".mp3")
            << "listed and copied alike: " << name;
    }
    // A "/" in a name cannot lead out of the folder.
    EXPECT_EQ(FlatTargetName("\\C\\x/../../Lied.mp3", 7), "007-Lied.mp3");

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
    TFileTransfer source(false, tmp / "musik");

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
    TFileTransfer folder(false, tmp / "musik");
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
    if (::geteuid() != 0 ||
        ::system(
            ("mount -t tmpfs -o size=160k tmpfs '" + player.Path() + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    struct Unmount {
        std::string path;
        ~Unmount() { [[maybe_unused]] int rc = ::system(("umount '" + path + "'").c_str()); }
    } unmount{player.Path()};
    const std::string song(64 << 10, 's');
    for (const char* name : {"1.mp3", "2.mp3", "3.mp3"})
        WriteFile(collection / "A/" + name, song);
    TFileTransfer source(false, collection.Path());
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
