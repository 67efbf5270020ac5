// Fetching a song into the temporary file: nothing half-written stays behind.
#include "collection/SongFile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <ostream>

#include "io/Error.h"
#include "sources/LocalSource.h"
#include "sources/Source.h"
#include "support/ScriptedSource.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

// A source whose download breaks off after its bytes, as a network does.
struct BreakingSource : ScriptedSource {
    BreakingSource() {
        Content = [](const std::string& path) { return "ID3 first half of " + path; };
        FailAfterBytes = SIZE_MAX;
    }
};

}  // namespace

TEST(FetchSong, LeavesNoHalfWrittenFile) {
    TempDir tmp;
    BreakingSource source;
    const std::string temp = tmp / "tunrax.mp3";

    WriteFile(temp, "the song before");
    EXPECT_THROW(FetchSong(source, "\\a.mp3", temp), Error);
    EXPECT_FALSE(Exists(temp)) << "a broken download must not be played";

    source.FailAfterBytes.reset();
    FetchSong(source, "\\a.mp3", temp);
    EXPECT_EQ(ReadFile(temp), "ID3 first half of \\a.mp3") << "a new song replaces the old";

    try {
        FetchSong(source, "\\a.mp3", tmp / "gone/tunrax.mp3");
        ADD_FAILURE() << "no error for a missing folder";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("kann nicht erstellt werden."), std::string::npos)
            << error.what();
    }
}

// A server that sends a song without end: it stops when the file takes no
// more, with an error of its own (a network source) or without (a copy).
TEST(FetchSong, ASongWithoutEndEndsAtTheBoundWithAGermanMessage) {
    struct EndlessSource : ScriptedSource {
        bool quiet = false;
        void GetFile(std::ostream& out, const std::string&) override {
            const std::string chunk(40000, 'x');
            while (out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()))) {
            }
            if (!quiet)
                throw Error("Die Übertragung von \"a.mp3\" ist abgebrochen.");
        }
    };
    TempDir tmp;
    const std::string temp = tmp / "tunrax.mp3";
    for (bool quiet : {false, true}) {
        EndlessSource source;
        source.quiet = quiet;
        try {
            FetchSong(source, "\\a.mp3", temp, 1 << 20);
            ADD_FAILURE() << "an endless song was taken";
        } catch (const Error& error) {
            EXPECT_EQ(std::string(error.what()),
                      "Das Lied \"\\a.mp3\" ist größer als 1 MB; es wird nicht geladen.");
        }
        EXPECT_FALSE(Exists(temp));
    }
    // Up to the bound a song is taken whole.
    ScriptedSource exact;
    exact.Content = [](const std::string&) { return std::string(1 << 20, 'y'); };
    FetchSong(exact, "\\b.mp3", temp, 1 << 20);
    EXPECT_EQ(ReadFile(temp).size(), size_t{1} << 20);
    // The bound by default: 2 GB at most, less when the folder has less room.
    EXPECT_GT(SongSizeLimit(tmp.Path()), 0u);
    EXPECT_LE(SongSizeLimit(tmp.Path()), uint64_t{2} << 30);
}

TEST(FetchSong, NeverWritesThroughALink) {
    TempDir tmp;
    BreakingSource source;
    source.FailAfterBytes.reset();
    WriteFile(tmp / "victim", "keep me");
    ASSERT_EQ(::symlink((tmp / "victim").c_str(), (tmp / "tunrax.mp3").c_str()), 0);
    EXPECT_THROW(FetchSong(source, "\\a.mp3", tmp / "tunrax.mp3"), Error);
    EXPECT_EQ(ReadFile(tmp / "victim"), "keep me");
}

TEST(FetchSong, RefusesASongThatIsADevice) {
    // From a local folder, a song linked to /dev/zero would fill the disk.
    TempDir tmp;
    MakeDirs(tmp / "Musik");
    ASSERT_EQ(::symlink("/dev/zero", (tmp / "Musik/null.mp3").c_str()), 0);
    TLocalSource source(false, tmp / "Musik");
    try {
        FetchSong(source, "\\null.mp3", tmp / "tunrax.mp3");
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("null.mp3\" ist keine gewöhnliche Datei"),
                  std::string::npos)
            << error.what();
    }
    EXPECT_FALSE(Exists(tmp / "tunrax.mp3"));
}
