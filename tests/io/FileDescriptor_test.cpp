#include "io/FileDescriptor.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "io/Error.h"
#include "io/FdOutBuf.h"
#include "io/FolderBelow.h"
#include "support/OddFiles.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

std::atomic<int> Interrupts{0};

void CountInterrupt(int) {
    ++Interrupts;
}

// Bytes that show where a piece was lost, doubled or reordered.
std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

bool IsOpenDescriptor(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

}  // namespace

TEST(FileDescriptor, WriteAllSurvivesInterruptsAndShortWrites) {
    // A writer blocked on a full pipe is interrupted by a signal without
    // SA_RESTART: write returns EINTR or the part already written.
    struct sigaction action {
    }, old{};
    action.sa_handler = CountInterrupt;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &old), 0);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    TFileDescriptor readEnd(pipeFds[0]), writeEnd(pipeFds[1]);
    ::fcntl(writeEnd.Get(), F_SETPIPE_SZ, 4096);

    const std::string data = Pattern(2 << 20);
    std::atomic<bool> done{false};
    int result = -1;
    Interrupts = 0;
    std::thread writer([&] {
        result = WriteAll(writeEnd, data.data(), data.size());
        done = true;
        writeEnd = TFileDescriptor();  // the reader sees the end
    });
    std::string got;
    char buffer[3000];
    for (;;) {
        if (!done)
            ::pthread_kill(writer.native_handle(), SIGUSR1);
        const ssize_t n = ::read(readEnd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got.append(buffer, static_cast<size_t>(n));
    }
    writer.join();
    ::sigaction(SIGUSR1, &old, nullptr);

    EXPECT_EQ(result, 0);
    EXPECT_GT(Interrupts.load(), 0);
    EXPECT_EQ(got.size(), data.size());
    EXPECT_TRUE(got == data) << "bytes lost, doubled or out of order";

    SCOPED_TRACE("a device that takes nothing gives its errno");
    TFileDescriptor full = TFileDescriptor::Open("/dev/full", O_WRONLY);
    EXPECT_EQ(WriteAll(full, "x", 1), ENOSPC);
}

TEST(FileDescriptor, ClosesOnceAndPassesOwnership) {
    TempDir tmp;
    WriteFile(tmp / "a", "abc");
    int fd = -1;
    {
        TFileDescriptor first = TFileDescriptor::Open(tmp / "a", O_RDONLY);
        fd = first.Get();
        TFileDescriptor second(std::move(first));
        EXPECT_FALSE(first.IsOpen());
        EXPECT_EQ(second.Get(), fd);
        EXPECT_EQ(ReadAll(second), "abc");
        TFileDescriptor third = TFileDescriptor::Open(tmp / "a", O_RDONLY);
        third = std::move(second);  // the descriptor third held is closed
        EXPECT_EQ(third.Get(), fd);
        EXPECT_TRUE(IsOpenDescriptor(fd));
    }
    EXPECT_FALSE(IsOpenDescriptor(fd));

    SCOPED_TRACE("open failures carry the errno; O_CLOEXEC is always set");
    try {
        TFileDescriptor::Open(tmp / "fehlt", O_RDONLY);
        ADD_FAILURE() << "a missing file was opened";
    } catch (const SystemError& e) {
        EXPECT_EQ(e.Code(), ENOENT);
        EXPECT_EQ(std::string(e.what()), SystemErrorText(ENOENT));
    }
    TFileDescriptor opened = TFileDescriptor::Open(tmp / "a", O_RDONLY);
    EXPECT_NE(::fcntl(opened.Get(), F_GETFD) & FD_CLOEXEC, 0);
}

TEST(FdOutBuf, KeepsOrderAcrossBufferedAndDirectWritesAndRemembersFailure) {
    TempDir tmp;
    const std::string data = Pattern(300000);
    {
        TFileDescriptor file = TFileDescriptor::Open(tmp / "out", O_WRONLY | O_CREAT, 0600);
        TFdOutBuf buffer(file, 1024);
        std::ostream out(&buffer);
        // Pieces smaller than, around and far above the buffer, so that the
        // buffered rest must go out before each direct block.
        size_t at = 0;
        for (size_t piece : {1u, 100u, 511u, 512u, 1000u, 1024u, 5000u, 3u, 70000u}) {
            for (int round = 0; round < 2 && at < data.size(); ++round) {
                const size_t n = std::min(piece, data.size() - at);
                out.write(data.data() + at, static_cast<std::streamsize>(n));
                at += n;
            }
        }
        out.write(data.data() + at, static_cast<std::streamsize>(data.size() - at));
        out.put('!');
        EXPECT_EQ(buffer.Finish(out), 0);
        EXPECT_TRUE(out.good());
    }
    EXPECT_TRUE(ReadFile(tmp / "out") == data + "!") << "bytes lost, doubled or out of order";

    SCOPED_TRACE("a full device fails the stream and says why");
    TFileDescriptor full = TFileDescriptor::Open("/dev/full", O_WRONLY);
    TFdOutBuf buffer(full, 1024);
    std::ostream out(&buffer);
    out << "short";
    EXPECT_TRUE(out.good()) << "nothing written yet";
    EXPECT_EQ(buffer.Finish(out), ENOSPC);
    EXPECT_FALSE(out.good());
    EXPECT_EQ(buffer.Failure(), ENOSPC);
}

TEST(FileDescriptor, ReadingOpensOnlyRegularFilesWithinTheirBound) {
    TempDir tmp;
    WriteFile(tmp / "a", "0123456789");
    struct stat st {};
    TFileDescriptor file = TFileDescriptor::OpenRegularForReading(tmp / "a", -1, &st);
    EXPECT_EQ(st.st_size, 10);
    EXPECT_EQ(::fcntl(file.Get(), F_GETFL) & O_NONBLOCK, 0) << "reads of it would not wait";
    EXPECT_EQ(ReadRegularFile(tmp / "a", 10), "0123456789");

    auto refused = [](const std::function<void()>& action, const std::string& reason) {
        try {
            action();
            ADD_FAILURE() << "no error";
        } catch (const RefusedFileError& e) {
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
        }
    };
    refused([&] { ReadRegularFile(tmp / "a", 9); }, "größer als");
    MakeFifo(tmp / "fifo");
    EXPECT_TRUE(FinishesWithoutWriter(tmp / "fifo", [&] {
        refused([&] { TFileDescriptor::OpenRegularForReading(tmp / "fifo"); },
                "\"" + tmp / "fifo" + "\" ist keine gewöhnliche Datei");
    }));
    refused([] { TFileDescriptor::OpenRegularForReading("/dev/null"); }, "keine gewöhnliche");

    // The failures of the open itself keep their errno, for the callers
    // that take a missing file as an empty one.
    for (const auto& [path, code] : {std::pair{tmp / "fehlt", ENOENT}, {tmp.Path(), EISDIR}}) {
        try {
            TFileDescriptor::OpenRegularForReading(path);
            ADD_FAILURE() << path;
        } catch (const SystemError& e) {
            EXPECT_EQ(e.Code(), code) << path;
        }
    }
}

namespace {

// The errno of a failed OpenFolderBelow, 0 when it opened the folder.
int OpenFailure(TBorrowedFd root, const std::string& relative, bool make) {
    try {
        OpenFolderBelow(root, relative, make);
        return 0;
    } catch (const SystemError& e) {
        return e.Code();
    }
}

// Whether two descriptors name the same file.
bool SameFile(int a, int b) {
    struct stat sa {
    }, sb{};
    return ::fstat(a, &sa) == 0 && ::fstat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace

TEST(FolderBelow, OpensAndMakesFoldersButNeverPassesALink) {
    TempDir tmp;
    MakeDirs(tmp / "woanders/x");
    MakeDirs(tmp / "ziel");
    const TFileDescriptor root = TFileDescriptor::Open(tmp / "ziel", O_RDONLY | O_DIRECTORY);
    EXPECT_EQ(OpenFailure(root, "a/b", false), ENOENT);
    EXPECT_FALSE(Exists(tmp / "ziel/a")) << "made without make";
    const TFileDescriptor made = OpenFolderBelow(root, "./a//b/", true);
    EXPECT_TRUE(SameFile(made.Get(), TFileDescriptor::Open(tmp / "ziel/a/b", O_RDONLY).Get()));
    EXPECT_TRUE(SameFile(OpenFolderBelow(root, "", false).Get(), root.Get()));

    ASSERT_EQ(::symlink((tmp / "woanders").c_str(), (tmp / "ziel/a/link").c_str()), 0);
    WriteFile(tmp / "ziel/a/datei", "x");
    for (const std::string way :
         {"a/link", "a/link/x", "a/link/neu", "a/datei", "a/datei/neu", "a/..", "a/b/../../.."}) {
        SCOPED_TRACE(way);
        EXPECT_TRUE(LeadsOutOfRoot(OpenFailure(root, way, true)));
    }
    EXPECT_EQ(FolderEntries(tmp / "woanders"), std::vector<std::string>{"x"}) << "made outside";

    SCOPED_TRACE("the descriptor keeps its folder when a link takes its name");
    ASSERT_EQ(::rename((tmp / "ziel/a").c_str(), (tmp / "ziel/alt").c_str()), 0);
    ASSERT_EQ(::symlink((tmp / "woanders").c_str(), (tmp / "ziel/a").c_str()), 0);
    ASSERT_EQ(::mkdirat(made.Get(), "neu", 0777), 0);
    EXPECT_TRUE(Exists(tmp / "ziel/alt/b/neu"));
    EXPECT_TRUE(LeadsOutOfRoot(OpenFailure(root, "a/b", true)));
    EXPECT_FALSE(LeadsOutOfRoot(ENOENT));
}
