#include "collection/FavoritesSession.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "collection/Collation.h"
#include "io/Error.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

using Lines = std::vector<std::string>;

// Each test with its own data folder below a fresh configuration folder.
class FavoritesSessionTest : public ::testing::Test {
protected:
    TempDir tmp;
    ScopedEnv config{"XDG_CONFIG_HOME", tmp.Path().c_str()};
    const std::string folder = tmp / "quintor/tunRax/";
    TFavoritesSession session;

    void SetUp() override { MakeDirs(folder); }
};

}  // namespace

TEST_F(FavoritesSessionTest, LoadsCountsChangesAndSavesTheCurrentListOnce) {
    WriteFile(folder + "Rock.favoriten", "\\a/b.mp3\r\n\\c.mp3\r\n");
    session.Load("Rock");
    EXPECT_EQ(session.Name(), "Rock");
    EXPECT_TRUE(session.Editable());
    EXPECT_EQ(session.List().Entries(), (Lines{"\\a\\b.mp3", "\\c.mp3"})) << "'/' taken as '\\'";
    EXPECT_EQ(session.Changes(), 0);

    session.Add("");
    session.Add("\\C.MP3");
    EXPECT_EQ(session.Changes(), 0) << "nothing added, nothing changed";
    session.Add("\\d.mp3");
    session.Remove("\\fehlt.mp3");
    EXPECT_EQ(session.Changes(), 2) << "a removal counts even when nothing was there";
    EXPECT_TRUE(session.Contains("\\D.mp3"));

    session.Save();
    EXPECT_EQ(ReadFile(folder + "Rock.favoriten"), "\\a\\b.mp3\r\n\\c.mp3\r\n\\d.mp3\r\n");
    EXPECT_FALSE(session.Current()) << "a saved list is current again only once loaded";
    WriteFile(folder + "Rock.favoriten", "anders\r\n");
    session.Save();
    EXPECT_EQ(ReadFile(folder + "Rock.favoriten"), "anders\r\n") << "written twice";

    SCOPED_TRACE("a list without changes is not written");
    session.Load("Rock");
    session.Add("\\c.mp3");
    session.Save();
    EXPECT_EQ(ReadFile(folder + "Rock.favoriten"), "anders\r\n\\c.mp3\r\n");
    session.Load("Rock");
    session.Save();
    EXPECT_TRUE(session.Current());

    SCOPED_TRACE("none chosen");
    session.Load("");
    EXPECT_FALSE(session.Current());
    EXPECT_FALSE(session.Editable());
    EXPECT_TRUE(session.List().Empty());
}

TEST_F(FavoritesSessionTest, BulkEditsClearAndANewOrderEachCount) {
    session.Load("Neu");
    EXPECT_TRUE(session.Editable()) << "a list without a file yet is empty and editable";
    session.AddAll({"\\a.mp3", "\\b.mp3", "\\A.mp3", "\\c.mp3"});
    EXPECT_EQ(session.List().Entries(), (Lines{"\\a.mp3", "\\b.mp3", "\\c.mp3"}));
    EXPECT_EQ(session.Changes(), 3);
    session.Rearrange({"\\c.mp3", "\\a.mp3"});
    EXPECT_EQ(session.List().Entries(), (Lines{"\\c.mp3", "\\a.mp3"}))
        << "what the page could not show is gone";
    EXPECT_EQ(session.Changes(), 4);
    session.RemoveAll({"\\a.mp3", "\\x.mp3"});
    EXPECT_EQ(session.List().Entries(), Lines{"\\c.mp3"});
    EXPECT_EQ(session.Changes(), 6);
    session.Clear();
    EXPECT_TRUE(session.List().Empty());
    EXPECT_EQ(session.Changes(), 7);
    session.Save();
    EXPECT_EQ(ReadFile(folder + "Neu.favoriten"), "");
}

// A list file that cannot be read stays chosen but empty and is never
// replaced; a list that cannot be written stays current with its changes.
TEST_F(FavoritesSessionTest, AFileThatCannotBeReadOrWrittenIsKept) {
    MakeDirs(folder + "Kaputt.favoriten");  // no regular file
    EXPECT_THROW(session.Load("Kaputt"), Error);
    EXPECT_EQ(session.Name(), "Kaputt");
    EXPECT_TRUE(session.Current());
    EXPECT_FALSE(session.Editable());
    EXPECT_TRUE(session.List().Empty());
    session.Add("\\a.mp3");
    EXPECT_NO_THROW(session.Save());
    EXPECT_EQ(FolderEntries(folder + "Kaputt.favoriten"), Lines{}) << "the folder was touched";
    EXPECT_TRUE(session.Current());

    session.Load("Neu");
    EXPECT_TRUE(session.Editable()) << "the next list is read as usual";

    ASSERT_EQ(::symlink((tmp / "fehlt/Ziel.favoriten").c_str(), (folder + "Weg.favoriten").c_str()),
              0);
    session.Load("Weg");
    session.Add("\\a.mp3");
    EXPECT_THROW(session.Save(), Error);
    EXPECT_EQ(session.Name(), "Weg");
    EXPECT_EQ(session.Changes(), 1);
    EXPECT_EQ(session.List().Entries(), Lines{"\\a.mp3"});
}

TEST_F(FavoritesSessionTest, NamesSortedAndAListDeleted) {
    for (const char* file : {"b.favoriten", "Zeta.favoriten", "a.FAVORITEN", "keine.txt"})
        WriteFile(folder + file, "");
    const TNameCollator collator("de_DE");
    EXPECT_EQ(TFavoritesSession::ListNames(collator), (Lines{"a", "b", "Zeta"}));

    session.Load("a");
    EXPECT_TRUE(session.DeleteCurrent());
    EXPECT_FALSE(Exists(folder + "a.FAVORITEN")) << "the list's own file goes";
    EXPECT_FALSE(session.Current());
    EXPECT_EQ(TFavoritesSession::ListNames(collator), (Lines{"b", "Zeta"}));

    session.Load("fehlt");
    EXPECT_FALSE(session.DeleteCurrent()) << "a list without a file";
    EXPECT_EQ(session.Name(), "fehlt") << "a list not deleted stays current";
    EXPECT_EQ(FolderEntries(folder), (Lines{"Zeta.favoriten", "b.favoriten", "keine.txt"}));
}

// Written back while the user works on: the same bytes as Save, and the list
// stays current and editable with nothing left to write.
TEST_F(FavoritesSessionTest, FlushWritesWhatSaveWritesAndKeepsTheList) {
    WriteFile(folder + "Gespeichert.favoriten", "\\a.mp3\r\n");
    WriteFile(folder + "Laufend.favoriten", "\\a.mp3\r\n");
    const auto edit = [](TFavoritesSession& list) {
        list.AddAll({"\\Band: Live\\05 Teil 1: Anfang.mp3", "\\c.mp3", "\\d.mp3"});
        list.Remove("\\c.mp3");
        list.Rearrange({"\\d.mp3", "\\a.mp3", "\\Band: Live\\05 Teil 1: Anfang.mp3"});
    };
    TFavoritesSession saved;
    saved.Load("Gespeichert");
    edit(saved);
    saved.Save();
    session.Load("Laufend");
    edit(session);
    session.Flush();
    const std::string written = ReadFile(folder + "Laufend.favoriten");
    EXPECT_EQ(written, ReadFile(folder + "Gespeichert.favoriten"));
    EXPECT_EQ(written, "\\d.mp3\r\n\\a.mp3\r\n\\Band: Live\\05 Teil 1: Anfang.mp3\r\n");
    EXPECT_EQ(session.Name(), "Laufend");
    EXPECT_TRUE(session.Editable());
    EXPECT_EQ(session.Changes(), 0);
    EXPECT_EQ(session.List().Entries(),
              (Lines{"\\d.mp3", "\\a.mp3", "\\Band: Live\\05 Teil 1: Anfang.mp3"}));
    EXPECT_EQ(FolderEntries(folder), (Lines{"Gespeichert.favoriten", "Laufend.favoriten"}))
        << "no temporary file left";

    SCOPED_TRACE("nothing changed since: nothing written, by Flush or by Save");
    WriteFile(folder + "Laufend.favoriten", "anders\r\n");
    session.Flush();
    session.Save();
    EXPECT_EQ(ReadFile(folder + "Laufend.favoriten"), "anders\r\n");

    SCOPED_TRACE("the next change is written by the next Flush");
    session.Remove("\\a.mp3");
    session.Flush();
    EXPECT_EQ(ReadFile(folder + "Laufend.favoriten"),
              "\\d.mp3\r\n\\Band: Live\\05 Teil 1: Anfang.mp3\r\n");
    EXPECT_TRUE(session.Editable());
}

TEST_F(FavoritesSessionTest, FlushNeverWritesAnUnreadableListAndKeepsFailedChanges) {
    MakeDirs(folder + "Kaputt.favoriten");
    EXPECT_THROW(session.Load("Kaputt"), Error);
    session.Add("\\a.mp3");
    EXPECT_NO_THROW(session.Flush());
    EXPECT_EQ(FolderEntries(folder + "Kaputt.favoriten"), Lines{}) << "the folder was touched";

    ASSERT_EQ(::symlink((tmp / "fehlt/Ziel.favoriten").c_str(), (folder + "Weg.favoriten").c_str()),
              0);
    session.Load("Weg");
    session.Add("\\a.mp3");
    EXPECT_THROW(session.Flush(), Error);
    EXPECT_EQ(session.Name(), "Weg");
    EXPECT_TRUE(session.Editable());
    EXPECT_EQ(session.Changes(), 1) << "the change is still to be written";
    MakeDirs(tmp / "fehlt/");
    session.Flush();
    EXPECT_EQ(ReadFile(tmp / "fehlt/Ziel.favoriten"), "\\a.mp3\r\n");
}

// A process that flushed its list and then dies by SIGKILL, before any orderly
// end, leaves the list file whole with what was flushed.
TEST_F(FavoritesSessionTest, AFlushedListSurvivesKillNine) {
    WriteFile(folder + "Party.favoriten", "\\a.mp3\r\n");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        char said = 'E';
        try {
            TFavoritesSession list;
            list.Load("Party");
            list.Add("\\Band: Live\\05 Teil 1: Anfang.mp3");
            list.Flush();
            // A change still unwritten when the end comes.
            list.Add("\\nicht geschrieben.mp3");
            said = 'F';
        } catch (...) {
        }
        if (::write(ready[1], &said, 1) != 1)
            ::_exit(1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    pollfd wait{ready[0], POLLIN, 0};
    const bool answered = ::poll(&wait, 1, 10000) == 1;
    char said = 0;
    const bool read = answered && ::read(ready[0], &said, 1) == 1;
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(read) << "the child did not get to its flush";
    ASSERT_EQ(said, 'F') << "the child's flush failed";
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(ReadFile(folder + "Party.favoriten"),
              "\\a.mp3\r\n\\Band: Live\\05 Teil 1: Anfang.mp3\r\n");
    EXPECT_EQ(FolderEntries(folder), Lines{"Party.favoriten"}) << "no temporary file left";
}
