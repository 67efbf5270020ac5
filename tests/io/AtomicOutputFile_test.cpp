#include "io/AtomicOutputFile.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "io/Error.h"
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
