#include "sources/LocalSource.h"
#include "sources/SourceSettings.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <ostream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <thread>

#include "io/Error.h"
#include "io/FileDescriptor.h"
#include "io/FileTools.h"
#include "settings/IniFile.h"
#include "settings/UserFolders.h"
#include "sources/TransferControl.h"
#include "support/ForwardOnlyStream.h"
#include "support/OddFiles.h"
#include "support/SyncBeforeRename.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

// Takes at most 1 MB, then fails as a full disk does: a reader of an endless
// file ends instead of filling the memory.
class SmallSink : public std::streambuf {
protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        return ++FTaken > (1 << 20) ? traits_type::eof() : c;
    }
    std::streamsize xsputn(const char*, std::streamsize n) override {
        FTaken += n;
        return FTaken > (1 << 20) ? 0 : n;
    }

private:
    std::streamsize FTaken = 0;
};

std::set<std::string> AsSet(const std::vector<std::string>& list) {
    return {list.begin(), list.end()};
}

class LocalSourceTest : public ::testing::Test {
protected:
    LocalSourceTest() {
        settings.WriteString("Einstellungen", "Verzeichnis", "  " + tmp.Path() + "Musik  ");
    }

    // The source as the program makes it from the settings.
    TLocalSource FromSettings() const {
        return TLocalSource(false, NormalizeFolder(TSourceSettings::Read(settings).Folder));
    }

    TempDir tmp;
    const std::string music = tmp / "Musik/";
    TIniFile settings{tmp / "settings.ini"};
};

}  // namespace

TEST_F(LocalSourceTest, RootAndPaths) {
    TLocalSource source = FromSettings();
    EXPECT_EQ(source.Root, music);
    EXPECT_EQ(source.NormalizePath("/a//b\\\\c///d\\"), "/a/b/c/d/");
    EXPECT_EQ(source.NormalizePath(music + "\\Album\\x.mp3"), music + "Album/x.mp3");

    SCOPED_TRACE("no folder set: the user's music folder");
    ScopedEnv home("HOME", (tmp / "home").c_str());
    ScopedEnv config("XDG_CONFIG_HOME", (tmp / "config").c_str());
    MakeDirs(tmp / "home/Musik");
    TIniFile empty(tmp / "empty.ini");
    TSourceSettings chosen = TSourceSettings::Read(empty);
    chosen.Type = static_cast<int>(TSourceKind::Local);
    EXPECT_EQ(CreateSource(chosen, nullptr)->Root, NormalizeFolder(DefaultMusicFolder()));
    EXPECT_EQ(DefaultMusicFolder(), tmp / "home/Musik/");
}

TEST_F(LocalSourceTest, ListsSongsAndFolders) {
    TLocalSource source = FromSettings();
    for (const char* name :
         {"a.mp3", "b.MP3", "c.wav", "sub/d.mp3", ".hidden/e.mp3", "\xE4lbum/\xF6.mp3"})
        WriteFile(music + name, "x");
    MakeDirs(music + "ro");
    ::chmod((music + "ro").c_str(), 0555);

    for (const std::string root : {"", "\\"}) {
        std::vector<std::string> list = {"stale"};
        source.ListFiles(list, root);
        EXPECT_EQ(AsSet(list), (std::set<std::string>{"a.mp3", "b.MP3"})) << root;
        EXPECT_EQ(list.size(), 2u);
        list = {"stale"};
        source.ListFolders(list, root, nullptr);
        EXPECT_EQ(AsSet(list), (std::set<std::string>{"sub", "\xE4lbum", "ro"})) << root;
        EXPECT_EQ(list.size(), 3u);
    }
    std::vector<std::string> list;
    source.ListFiles(list, "\\\xE4lbum\\");
    EXPECT_EQ(list, (std::vector<std::string>{"\xF6.mp3"}));
    source.ListFiles(list, "\\Nirgends\\");
    EXPECT_TRUE(list.empty());
}

TEST_F(LocalSourceTest, NamesWithLineBreaksAreNotListed) {
    // Linux takes CR and LF in names; the line-based catalogue and favourite
    // lists would split them, so neither songs nor folders with them show.
    TLocalSource source = FromSettings();
    for (const char* name : {"Album/gut.mp3", "Album/zwei\nZeilen.mp3", "Album/Wagen\rLauf.mp3",
                             "Album/beides\r\n.mp3", "Album/\n.mp3"})
        WriteFile(music + name, "x");
    for (const char* name : {"Album/Unterordner", "Album/neue\nZeile", "Album/cr\rOrdner"})
        MakeDirs(music + name);
    std::vector<std::string> list;
    source.ListFiles(list, "\\Album\\");
    EXPECT_EQ(list, std::vector<std::string>{"gut.mp3"});
    source.ListFolders(list, "\\Album\\", nullptr);
    EXPECT_EQ(list, std::vector<std::string>{"Unterordner"});
}

TEST_F(LocalSourceTest, GetFileAppendsTheWholeFile) {
    TLocalSource source = FromSettings();
    std::string bytes;
    for (int i = 0; i < 300000; ++i)
        bytes += static_cast<char>(i * 31 % 251);
    WriteFile(music + "\xE4lbum/\xF6.mp3", bytes);

    std::stringstream dest;
    dest << "XY";
    dest.seekp(0, std::ios::end);
    source.GetFile(dest, "\\\xE4lbum\\\xF6.mp3");
    EXPECT_TRUE(dest.str() == "XY" + bytes) << "got " << dest.str().size() << " bytes";

    try {
        source.GetFile(dest, "\\Album\\fehlt.mp3");
        ADD_FAILURE() << "no error for a missing file";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("fehlt.mp3"), std::string::npos) << e.what();
    }
    EXPECT_THROW(source.GetFile(dest, "\\\xE4lbum\\"), Error);

    // A copy for the background reads the same folder.
    std::unique_ptr<TSource> copy = source.CloneForBackground();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->Root, source.Root);
    EXPECT_EQ(copy->Capabilities, source.Capabilities);
    std::ostringstream fetched;
    copy->GetFile(fetched, "\\\xE4lbum\\\xF6.mp3");
    EXPECT_TRUE(fetched.str() == bytes);
}

TEST_F(LocalSourceTest, OddFilesAreRefusedAsCatalogueAndSong) {
    TLocalSource source = FromSettings();
    MakeDirs(music + "Album");
    MakeFifo(music + "tunrax.dat");
    MakeFifo(music + "Album/fifo.mp3");
    LinkToDevice(music + "tunrax2.dat");
    LinkToDevice(music + "Album/null.mp3");
    auto refused = [&](const std::string& path, bool toDescriptor) {
        SCOPED_TRACE(path);
        try {
            if (toDescriptor) {
                TempDir out;
                TFileDescriptor fd = TFileDescriptor::Open(out / "kopie", O_WRONLY | O_CREAT, 0600);
                source.GetFileToDescriptor(fd, path);
            } else {
                SmallSink sink;
                std::ostream dest(&sink);
                source.GetFile(dest, path);
            }
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("keine gewöhnliche Datei"), std::string::npos)
                << e.what();
        }
    };
    for (bool toDescriptor : {false, true}) {
        SCOPED_TRACE(toDescriptor ? "to a descriptor" : "to a stream");
        EXPECT_TRUE(FinishesWithoutWriter(music + "tunrax.dat", [&] {
            refused("\\tunrax.dat", toDescriptor);
        })) << "the open of a FIFO blocks";
        EXPECT_TRUE(FinishesWithoutWriter(music + "Album/fifo.mp3", [&] {
            refused("\\Album\\fifo.mp3", toDescriptor);
        })) << "the open of a FIFO blocks";
        refused("\\tunrax2.dat", toDescriptor);
        refused("\\Album\\null.mp3", toDescriptor);
    }
}

TEST_F(LocalSourceTest, PutFileWritesTheWholeStream) {
    TLocalSource source = FromSettings();
    const std::string bytes("neu\0\r\n\xFF", 7);
    WriteFile(music + "Album/tunrax.dat", "old catalogue, longer than the new one");
    std::istringstream src(bytes);
    src.seekg(0, std::ios::end);
    source.PutFile(src, "\\Album\\tunrax.dat");
    EXPECT_TRUE(ReadFile(music + "Album/tunrax.dat") == bytes);
    std::istringstream song("song");
    source.PutFile(song, "\\Album\\\xFC.mp3");
    EXPECT_EQ(ReadFile(music + "Album/\xFC.mp3"), "song");
    auto entries = std::filesystem::directory_iterator(music + "Album");
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 2) << "a temporary file was left";

    std::istringstream lost("x");
    EXPECT_THROW(source.PutFile(lost, "\\Nirgends\\tunrax.dat"), Error);
    EXPECT_FALSE(Exists(music + "Nirgends"));

    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write every file";
    ::chmod((music + "Album/tunrax.dat").c_str(), 0444);
    EXPECT_THROW(source.PutFile(song, "\\Album\\tunrax.dat"), Error) << "write-protected";
    EXPECT_TRUE(ReadFile(music + "Album/tunrax.dat") == bytes);
}

TEST_F(LocalSourceTest, PutFileKeepsTheOldFileWhenTheStreamCannotStartOver) {
    // Its start cannot be found again, so writing would store only what is
    // left of it, or nothing.
    ForwardOnlyStream src("neu");
    TLocalSource source = FromSettings();
    WriteFile(music + "tunrax.dat", "alter Katalog");
    EXPECT_THROW(source.PutFile(src, "\\tunrax.dat"), Error);
    EXPECT_EQ(ReadFile(music + "tunrax.dat"), "alter Katalog");
    EXPECT_EQ(FolderEntries(music), std::vector<std::string>{"tunrax.dat"});
}

TEST_F(LocalSourceTest, PutFileKeepsTheOldFileWhenTheStreamFailsWhileRead) {
    // A catalogue whose stream breaks off (its reader fails after the bytes
    // it had) is not stored: it might be cut short.
    struct Failing : std::stringbuf {
        using std::stringbuf::stringbuf;
        int_type underflow() override { throw std::runtime_error("Lesefehler"); }
    } buffer("Rock\r\n");
    std::istream src(&buffer);
    TLocalSource source = FromSettings();
    WriteFile(music + "tunrax.dat", "alter Katalog");
    EXPECT_THROW(source.PutFile(src, "\\tunrax.dat"), Error);
    EXPECT_EQ(ReadFile(music + "tunrax.dat"), "alter Katalog");
    EXPECT_EQ(FolderEntries(music), std::vector<std::string>{"tunrax.dat"});
}

TEST_F(LocalSourceTest, PutFileWritesThroughALinkedCatalogue) {
    TLocalSource source = FromSettings();
    const std::string link = music + "tunrax.dat", target = tmp / "Kataloge/echt.dat";
    WriteFile(target, "alter Katalog");
    ::chmod(target.c_str(), 0640);
    MakeDirs(music);
    ASSERT_EQ(::symlink("../Kataloge/echt.dat", link.c_str()), 0);
    std::istringstream src("neuer Katalog");
    source.PutFile(src, "\\tunrax.dat");
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
    EXPECT_EQ(ReadFile(target), "neuer Katalog");
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "the target keeps its mode";
    auto left = [](const std::string& folder) {
        auto entries = std::filesystem::directory_iterator(folder);
        return std::distance(begin(entries), end(entries));
    };
    EXPECT_EQ(left(music), 1) << "a temporary file was left";
    EXPECT_EQ(left(tmp / "Kataloge"), 1) << "a temporary file was left";

    SCOPED_TRACE("a link whose target is missing creates the target");
    const mode_t oldMask = ::umask(022);
    ASSERT_EQ(::unlink(target.c_str()), 0);
    std::istringstream again("wieder da");
    source.PutFile(again, "\\tunrax.dat");
    ::umask(oldMask);
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadFile(target), "wieder da");
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u) << "a new catalogue gets 0666 less the umask";
}

TEST_F(LocalSourceTest, SizeInKilobytes) {
    TLocalSource source = FromSettings();
    WriteFile(music + "kurz.mp3", std::string(1023, 'a'));
    WriteFile(music + "genau.mp3", std::string(1024, 'b'));
    EXPECT_EQ(source.GetSizeKB({"\\kurz.mp3", "\\genau.mp3", "\\fehlt.mp3"}), 1 + 2 + 1);
    EXPECT_EQ(source.GetSizeKB({}), 0);
}

// A depth-first scan of the way a catalogue rebuild walks the collection.
static void Scan(TLocalSource& source, const std::string& folder, std::set<std::string>& seen,
                 int depth = 0) {
    ASSERT_LT(depth, 20) << "scan does not end at " << folder;
    std::vector<std::string> names;
    source.ListFolders(names, folder, nullptr);
    for (const std::string& name : names) {
        std::string child = (folder.empty() ? "\\" : folder) + name + "\\";
        seen.insert(child);
        Scan(source, child, seen, depth + 1);
    }
}

TEST_F(LocalSourceTest, LinkedFoldersAreFollowedButNeverInACircle) {
    namespace fs = std::filesystem;
    MakeDirs(music + "Artist/Album");
    MakeDirs(music + "Other/Album");
    MakeDirs(tmp / "Elsewhere/Live");
    fs::create_directory_symlink("../..", music + "Artist/Album/up");
    fs::create_directory_symlink("../../Artist", music + "Other/Album/sideways");
    fs::create_directory_symlink(tmp / "Elsewhere", music + "Linked");
    TLocalSource source = FromSettings();

    std::set<std::string> seen;
    Scan(source, "", seen);
    // The link to a folder outside is an album folder like any other; the
    // link up to the root is dropped; the sideways link is entered once, and
    // its own way back is dropped there.
    EXPECT_EQ(seen, (std::set<std::string>{"\\Artist\\", "\\Artist\\Album\\", "\\Other\\",
                                           "\\Other\\Album\\", "\\Other\\Album\\sideways\\",
                                           "\\Other\\Album\\sideways\\Album\\", "\\Linked\\",
                                           "\\Linked\\Live\\"}));
}

TEST_F(LocalSourceTest, ACopyCalledOffStopsAndLeavesTheOldFile) {
    // 64 MB: far more than one piece of any of the copies.
    const std::string big = music + "Album/gross.mp3";
    MakeDirs(music + "Album");
    {
        TFileDescriptor fd(::open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
        ASSERT_EQ(::ftruncate(fd.Get(), 64 << 20), 0);
    }
    WriteFile(music + "tunrax.dat", "alt\r\n");
    TLocalSource source = FromSettings();
    // The window's event loop, where "Beenden" is clicked during the copy.
    int turns = 0;
    SetTransferWaitHook([&turns] {
        if (++turns == 1)
            CancelRunningTransfers();
    });
    struct Unhook {
        ~Unhook() { SetTransferWaitHook(nullptr); }
    } unhook;

    std::ostringstream into;
    EXPECT_THROW(source.GetFile(into, "\\Album\\gross.mp3"), TransferCancelled);
    EXPECT_LT(into.str().size(), 1u << 20);

    // The window gets its turn every few hundredths of a second.
    const auto nextTurn = [&turns] {
        turns = 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    };
    nextTurn();
    const std::string copy = tmp / "kopie.mp3";
    TFileDescriptor out(::open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    EXPECT_THROW(source.GetFileToDescriptor(out, "\\Album\\gross.mp3"), TransferCancelled);
    EXPECT_LT(std::filesystem::file_size(copy), 8u << 20);

    nextTurn();
    std::istringstream catalogue(std::string(8 << 20, 'x'));
    EXPECT_THROW(source.PutFile(catalogue, "tunrax.dat"), TransferCancelled);
    EXPECT_TRUE(ReadFile(music + "tunrax.dat") == "alt\r\n");
}

// The catalogue written back to the folder is on the disk before it takes
// the name: a power cut must not leave an empty catalogue.
TEST_F(LocalSourceTest, PutFileSyncsBeforeTheFileTakesTheName) {
    TLocalSource source = FromSettings();
    WriteFile(music + "tunrax.dat", "Alt\r\n");
    std::istringstream catalogue("Rock\r\n\tLive\r\n");
    std::string why;
    const std::string seen = SyncBeforeRename(
        music + "tunrax.dat", [&] { source.PutFile(catalogue, "\\tunrax.dat"); }, why);
    if (seen.empty())
        GTEST_SKIP() << why;
    EXPECT_EQ(seen, "synced, then renamed");
    EXPECT_EQ(ReadFile(music + "tunrax.dat"), "Rock\r\n\tLive\r\n");
}
