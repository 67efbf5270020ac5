#include "io/AtomicOutputFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "io/Error.h"
#include "io/FileTools.h"
#include "support/SyncBeforeRename.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

TAtomicOptions NoReplace() {
    TAtomicOptions options;
    options.replace = false;
    options.newFileMode = 0666;
    options.sync = false;
    options.hiddenTemp = true;
    return options;
}

// Limits the size of files this process writes for the life of the object;
// a write past it fails with EFBIG instead of a signal.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        FOldHandler = ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &FOld);
        rlimit limit = FOld;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &FOld);
        ::signal(SIGXFSZ, FOldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit FOld{};
    sighandler_t FOldHandler;
};

// Sets the modification time of path itself (a link is not followed) to
// seconds ago.
void Age(const std::string& path, int seconds) {
    timespec times[2];
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= seconds;
    times[1] = times[0];
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// A file of that age.
void WriteOldFile(const std::string& path, int seconds) {
    WriteFile(path, "rest");
    Age(path, seconds);
}

// Whether text has the shape: in shape "A" stands for an ASCII letter or
// digit, "h" for a lower-case hexadecimal digit, any other character for
// itself.
bool HasShape(const std::string& text, const std::string& shape) {
    if (text.size() != shape.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool digit = c >= '0' && c <= '9';
        const bool fits = shape[i] == 'A'
                              ? digit || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
                          : shape[i] == 'h' ? digit || (c >= 'a' && c <= 'f')
                                            : c == shape[i];
        if (!fits)
            return false;
    }
    return true;
}

// The temporary path a writer of target would use, less its random end.
std::string TempPrefix(const std::string& target, const TAtomicOptions& options) {
    TAtomicOutputFile file(target, options);
    return file.TempPath().substr(0, file.TempPath().size() - 6);
}

}  // namespace

TEST(AtomicOutputFile, OldFileStaysUntilCommit) {
    TempDir tmp;
    const std::string target = tmp / "liste.dat";
    WriteFile(target, "alt");
    {
        TAtomicOutputFile file(target, TAtomicOptions{});
        file.Write("neu", 3);
        EXPECT_EQ(ReadFile(target), "alt") << "visible before the commit";
        EXPECT_EQ(FolderEntries(tmp.Path()).size(), 2u)
            << "the temporary file lies beside the target";
    }
    EXPECT_EQ(ReadFile(target), "alt");
    EXPECT_EQ(FolderEntries(tmp.Path()), std::vector<std::string>{"liste.dat"});

    SCOPED_TRACE("a write that fails half-way (file too large) leaves the old file");
    {
        FileSizeLimit limit(1000);
        try {
            WriteFileAtomically(target, std::string(5000, 'x'), TAtomicOptions{});
            ADD_FAILURE() << "a write past the size limit succeeded";
        } catch (const SystemError& e) {
            EXPECT_EQ(e.Code(), EFBIG);
        }
    }
    EXPECT_EQ(ReadFile(target), "alt");
    EXPECT_EQ(FolderEntries(tmp.Path()), std::vector<std::string>{"liste.dat"});

    SCOPED_TRACE("commit replaces and keeps the old mode");
    ::chmod(target.c_str(), 0640);
    WriteFileAtomically(target, "neu", TAtomicOptions{});
    EXPECT_EQ(ReadFile(target), "neu");
    EXPECT_EQ(ModeOf(target), 0640u);
    EXPECT_EQ(FolderEntries(tmp.Path()), std::vector<std::string>{"liste.dat"});
}

TEST(AtomicOutputFile, NoReplaceRefusesExistingNamesAndLinks) {
    TempDir tmp;
    const mode_t oldMask = ::umask(022);
    {
        TAtomicOutputFile file(tmp / "neu.mp3", NoReplace());
        EXPECT_EQ(file.TempPath().rfind(tmp / ".tunrax-", 0), 0u) << file.TempPath();
        file.Write("lied", 4);
        EXPECT_TRUE(file.Commit());
    }
    ::umask(oldMask);
    EXPECT_EQ(ReadFile(tmp / "neu.mp3"), "lied");
    EXPECT_EQ(ModeOf(tmp / "neu.mp3"), 0644u) << "a new file gets its mode less the umask";

    SCOPED_TRACE("a file that appears before the commit is not replaced");
    {
        TAtomicOutputFile file(tmp / "da.mp3", NoReplace());
        file.Write("neu", 3);
        WriteFile(tmp / "da.mp3", "alt");
        EXPECT_FALSE(file.Commit());
    }
    EXPECT_EQ(ReadFile(tmp / "da.mp3"), "alt");

    SCOPED_TRACE("a dangling link counts as a name that exists; nothing is written through it");
    ASSERT_EQ(::symlink("ziel.mp3", (tmp / "link.mp3").c_str()), 0);
    {
        TAtomicOutputFile file(tmp / "link.mp3", NoReplace());
        file.Write("neu", 3);
        EXPECT_FALSE(file.Commit());
    }
    EXPECT_FALSE(Exists(tmp / "ziel.mp3"));
    EXPECT_EQ(FolderEntries(tmp.Path()),
              (std::vector<std::string>{"da.mp3", "link.mp3", "neu.mp3"}));
}

TEST(AtomicOutputFile, ReplaceWritesThroughLinksToTheFinalTarget) {
    TempDir tmp;
    MakeDirs(tmp / "echt");
    ASSERT_EQ(::symlink("echt/ziel.ini", (tmp / "link.ini").c_str()), 0);
    {
        TAtomicOutputFile file(tmp / "link.ini", TAtomicOptions{});
        EXPECT_EQ(file.FinalPath(), tmp / "echt/ziel.ini");
        EXPECT_EQ(file.TempPath().rfind(tmp / "echt/ziel.ini.", 0), 0u) << file.TempPath();
        file.Write("a=1", 3);
        EXPECT_TRUE(file.Commit());
    }
    EXPECT_EQ(ReadFile(tmp / "echt/ziel.ini"), "a=1");
    EXPECT_EQ(ModeOf(tmp / "echt/ziel.ini"), 0600u) << "the default mode of a new file";
    struct stat st {};
    ASSERT_EQ(::lstat((tmp / "link.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays";
}

TEST(AtomicOutputFile, ReplacesOnlyRegularFiles) {
    // A rename over a FIFO or a device (as root even over /dev/zero, through
    // a link) would take away what the name stood for; such a target stays.
    TempDir tmp;
    ASSERT_EQ(::mkfifo((tmp / "fifo").c_str(), 0666), 0);
    ASSERT_EQ(::symlink("fifo", (tmp / "link").c_str()), 0);
    for (const std::string name : {"fifo", "link"}) {
        SCOPED_TRACE(name);
        try {
            WriteFileAtomically(tmp / name, "neu", TAtomicOptions{});
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("\"" + tmp / "fifo" + "\" ist keine gewöhnliche"),
                      std::string::npos)
                << e.what();
        }
        struct stat st {};
        ASSERT_EQ(::lstat((tmp / "fifo").c_str(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode));
    }
    EXPECT_EQ(FolderEntries(tmp.Path()), (std::vector<std::string>{"fifo", "link"}));
}

TEST(AtomicOutputFile, TemporaryNamesAreRecognisable) {
    TempDir tmp;
    {
        TAtomicOutputFile file(tmp / "liste.favoriten", TAtomicOptions{});
        EXPECT_EQ(file.TempPath().rfind(tmp.Path(), 0), 0u) << file.TempPath();
        EXPECT_TRUE(HasShape(file.TempPath().substr(tmp.Path().size()),
                             "liste.favoriten.tunrax-tmp-AAAAAA"))
            << file.TempPath();
    }
    SCOPED_TRACE("the short hidden form names its target by a hash of the name");
    const std::string song = TempPrefix(tmp / "lied.mp3", NoReplace());
    EXPECT_EQ(song.rfind(tmp.Path(), 0), 0u) << song;
    EXPECT_TRUE(HasShape(song.substr(tmp.Path().size()), ".tunrax-tmp-hhhhhhhh-")) << song;
    EXPECT_EQ(TempPrefix(tmp / "lied.mp3", NoReplace()), song);
    EXPECT_NE(TempPrefix(tmp / "Lied.mp3", NoReplace()), song);

    SCOPED_TRACE("a name too long for the long form takes the short one");
    const std::string longName = tmp / (std::string(246, 'x') + ".mp3");
    WriteFileAtomically(longName, "lang", TAtomicOptions{});
    EXPECT_EQ(ReadFile(longName), "lang");
    EXPECT_EQ(FolderEntries(tmp.Path()), std::vector<std::string>{std::string(246, 'x') + ".mp3"});
}

TEST(AtomicOutputFile, OwnLeftoversOlderThanAMinuteGoOnTheNextWrite) {
    // A writer killed before its rename leaves its temporary file; the next
    // write of the same file removes it, but only ours, only files, and not
    // one a running writer may still be filling.
    TempDir tmp;
    const std::string ini = tmp / "tunrax.ini";
    WriteFile(tmp / "fremd", "fremd");
    ASSERT_EQ(::symlink("fremd", (ini + ".tunrax-tmp-L1nk00").c_str()), 0);
    Age(ini + ".tunrax-tmp-L1nk00", 600);
    Age(tmp / "fremd", 600);
    ASSERT_EQ(::mkdir((ini + ".tunrax-tmp-Ordner").c_str(), 0700), 0);
    Age(ini + ".tunrax-tmp-Ordner", 600);
    WriteOldFile(ini + ".tunrax-tmp-a1B2c3", 120);
    WriteOldFile(ini + ".tunrax-tmp-d4E5f6", 30);
    for (const std::string similar :
         {".tunrax-tmp-a1B2c", ".tunrax-tmp-a1B2c3.bak", ".tunrax-tmp-a1B2-3", ".a1B2c3"})
        WriteOldFile(ini + similar, 600);
    WriteOldFile(tmp / "xtunrax.ini.tunrax-tmp-a1B2c3", 600);
    WriteOldFile(tmp / "tunrax.ini2.tunrax-tmp-a1B2c3", 600);
    WriteFileAtomically(ini, "neu", TAtomicOptions{});
    EXPECT_EQ(ReadFile(ini), "neu");
    EXPECT_EQ(FolderEntries(tmp.Path()),
              (std::vector<std::string>{
                  "fremd", "tunrax.ini", "tunrax.ini.a1B2c3", "tunrax.ini.tunrax-tmp-L1nk00",
                  "tunrax.ini.tunrax-tmp-Ordner", "tunrax.ini.tunrax-tmp-a1B2-3",
                  "tunrax.ini.tunrax-tmp-a1B2c", "tunrax.ini.tunrax-tmp-a1B2c3.bak",
                  "tunrax.ini.tunrax-tmp-d4E5f6", "tunrax.ini2.tunrax-tmp-a1B2c3",
                  "xtunrax.ini.tunrax-tmp-a1B2c3"}));
    EXPECT_EQ(ReadFile(tmp / "fremd"), "fremd") << "nothing is removed through a link";

    SCOPED_TRACE("the short hidden form, and a link's final target");
    MakeDirs(tmp / "Album");
    const std::string song = TempPrefix(tmp / "Album/lied.mp3", NoReplace());
    const std::string other = TempPrefix(tmp / "Album/anderes.mp3", NoReplace());
    WriteOldFile(song + "Xy9Zw8", 120);
    WriteOldFile(song + "jung00", 10);
    WriteOldFile(other + "Xy9Zw8", 120);
    EXPECT_TRUE(TAtomicOutputFile(tmp / "Album/lied.mp3", NoReplace()).Commit());
    std::vector<std::string> left = {other.substr(other.rfind('/') + 1) + "Xy9Zw8",
                                     song.substr(song.rfind('/') + 1) + "jung00", "lied.mp3"};
    std::sort(left.begin(), left.end());
    EXPECT_EQ(FolderEntries(tmp / "Album"), left);
    ASSERT_EQ(::symlink("Album/ziel.ini", (tmp / "link.ini").c_str()), 0);
    WriteOldFile(tmp / "Album/ziel.ini.tunrax-tmp-zZ9yY8", 120);
    WriteFileAtomically(tmp / "link.ini", "a=1", TAtomicOptions{});
    EXPECT_FALSE(Exists(tmp / "Album/ziel.ini.tunrax-tmp-zZ9yY8"));
}

// The form that writes into an open folder: whatever happens to the names on
// the way, the file is made, named and removed in that folder.
TEST(AtomicOutputFile, FolderFormStaysInItsFolder) {
    TempDir tmp;
    MakeDirs(tmp / "Album");
    MakeDirs(tmp / "woanders");
    auto swapAlbum = [&](const std::string& away) {
        ASSERT_EQ(::rename((tmp / "Album").c_str(), (tmp / away).c_str()), 0);
        ASSERT_EQ(::symlink((tmp / "woanders").c_str(), (tmp / "Album").c_str()), 0);
    };
    {
        TFileDescriptor folder = TFileDescriptor::Open(tmp / "Album", O_RDONLY | O_DIRECTORY);
        TAtomicOutputFile file(folder, "lied.mp3", tmp / "Album/lied.mp3", NoReplace());
        folder.Close();  // the file keeps a descriptor of its own
        EXPECT_EQ(file.FinalPath(), tmp / "Album/lied.mp3");
        EXPECT_EQ(file.TempPath().rfind(tmp / "Album/.tunrax-tmp-", 0), 0u) << file.TempPath();
        swapAlbum("Alt");
        file.Write("lied", 4);
        EXPECT_TRUE(file.Commit());
    }
    EXPECT_EQ(FolderEntries(tmp / "Alt"), std::vector<std::string>{"lied.mp3"});
    EXPECT_EQ(ReadFile(tmp / "Alt/lied.mp3"), "lied");
    EXPECT_TRUE(FolderEntries(tmp / "woanders").empty()) << "written behind the link";

    SCOPED_TRACE("an abandoned file is removed from its own folder");
    ASSERT_EQ(::unlink((tmp / "Album").c_str()), 0);
    ASSERT_EQ(::rename((tmp / "Alt").c_str(), (tmp / "Album").c_str()), 0);
    {
        const TFileDescriptor folder = TFileDescriptor::Open(tmp / "Album", O_RDONLY | O_DIRECTORY);
        TAtomicOutputFile file(folder, "zwei.mp3", tmp / "Album/zwei.mp3", NoReplace());
        const std::string temp = file.TempPath().substr(file.TempPath().rfind('/') + 1);
        swapAlbum("Alt2");
        WriteFile(tmp / "woanders/" + temp, "fremd");
    }
    EXPECT_EQ(FolderEntries(tmp / "Alt2"), std::vector<std::string>{"lied.mp3"});
    EXPECT_EQ(FolderEntries(tmp / "woanders").size(), 1u) << "removed behind the link";

    SCOPED_TRACE("with replace, a file is replaced and a link of the name is not followed");
    const TFileDescriptor folder = TFileDescriptor::Open(tmp / "Alt2", O_RDONLY | O_DIRECTORY);
    ::chmod((tmp / "Alt2/lied.mp3").c_str(), 0640);
    {
        TAtomicOutputFile file(folder, "lied.mp3", tmp / "Alt2/lied.mp3", TAtomicOptions{});
        file.Write("neu", 3);
        EXPECT_TRUE(file.Commit());
    }
    EXPECT_EQ(ReadFile(tmp / "Alt2/lied.mp3"), "neu");
    EXPECT_EQ(ModeOf(tmp / "Alt2/lied.mp3"), 0640u);
    WriteFile(tmp / "woanders/ziel.ini", "alt");
    ASSERT_EQ(::symlink((tmp / "woanders/ziel.ini").c_str(), (tmp / "Alt2/link.ini").c_str()), 0);
    EXPECT_THROW(TAtomicOutputFile(folder, "link.ini", tmp / "Alt2/link.ini", TAtomicOptions{}),
                 RefusedFileError);
    EXPECT_EQ(ReadFile(tmp / "woanders/ziel.ini"), "alt");
    for (const std::string bad : {"", "..", "a/b"}) {
        try {
            TAtomicOutputFile file(folder, bad, tmp / "Alt2/x", NoReplace());
            ADD_FAILURE() << "a name that is no single name: " << bad;
        } catch (const SystemError& e) {
            EXPECT_EQ(e.Code(), EINVAL) << bad;
        }
    }
    EXPECT_EQ(FolderEntries(tmp / "Alt2"), (std::vector<std::string>{"lied.mp3", "link.ini"}));
}

// Each way of moving without replacing, relative to two folders' descriptors:
// an existing name (a link too) stays, a free one is taken.
TEST(AtomicOutputFile, MovesWithoutReplacingBetweenOpenFolders) {
    TempDir tmp;
    MakeDirs(tmp / "von");
    MakeDirs(tmp / "nach");
    const TFileDescriptor from = TFileDescriptor::Open(tmp / "von", O_RDONLY | O_DIRECTORY);
    const TFileDescriptor to = TFileDescriptor::Open(tmp / "nach", O_RDONLY | O_DIRECTORY);
    WriteFile(tmp / "nach/da.mp3", "alt");
    ASSERT_EQ(::symlink("fehlt.mp3", (tmp / "nach/link.mp3").c_str()), 0);
    int n = 0;
    for (MoveMethod method :
         {MoveMethod::RenameNoReplace, MoveMethod::HardLink, MoveMethod::CheckThenRename}) {
        SCOPED_TRACE(++n);
        WriteFile(tmp / "von/neu", "neu");
        EXPECT_FALSE(MoveNoReplaceAt(from, "neu", to, "da.mp3", method));
        EXPECT_FALSE(MoveNoReplaceAt(from, "neu", to, "link.mp3", method));
        EXPECT_EQ(ReadFile(tmp / "nach/da.mp3"), "alt");
        const std::string fresh = std::to_string(n) + ".mp3";
        EXPECT_TRUE(MoveNoReplaceAt(from, "neu", to, fresh, method));
        EXPECT_EQ(ReadFile(tmp / "nach/" + fresh), "neu");
        EXPECT_TRUE(FolderEntries(tmp / "von").empty());
    }
    EXPECT_FALSE(Exists(tmp / "nach/fehlt.mp3"));
}

// The data reaches the disk before the name does, or a power cut may leave
// the name on an empty file: for a new file and for one replaced, and through
// ReplaceFileContents, which the settings and the favourite lists use. A
// writer that syncs the whole device later (the copy) is only renamed.
TEST(AtomicOutputFile, SyncsTheDataBeforeTheRename) {
    TempDir tmp;
    TAtomicOptions unsynced;
    unsynced.sync = false;
    const std::string fresh = "synced, then renamed";
    const struct {
        std::string file;
        std::function<void(const std::string&)> write;
        std::string seen;
    } cases[] = {
        {"neu.ini", [](const std::string& f) { WriteFileAtomically(f, "a", TAtomicOptions{}); },
         fresh},
        {"alt.ini", [](const std::string& f) { WriteFileAtomically(f, "b", TAtomicOptions{}); },
         fresh},
        {"liste.favoriten", [](const std::string& f) { ReplaceFileContents(f, "c"); }, fresh},
        {"lied.mp3", [&](const std::string& f) { WriteFileAtomically(f, "d", unsynced); },
         "renamed unsynced"},
    };
    WriteFile(tmp / "alt.ini", "alt");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::string why;
        const std::string seen = SyncBeforeRename(
            tmp / c.file, [&] { c.write(tmp / c.file); }, why);
        if (seen.empty())
            GTEST_SKIP() << why;
        EXPECT_EQ(seen, c.seen);
    }
}
