#include "collection/CatalogueSession.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "collection/Collation.h"
#include "io/Error.h"
#include "sources/LocalSource.h"
#include "sources/TransferControl.h"
#include "support/CataloguePaths.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedSource.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

using Names = std::vector<std::string>;

// Records what the session tells, with the folders it holds at that time.
class RecordingListener : public TCatalogueListener {
public:
    explicit RecordingListener(const TCatalogueSession& session) : FSession(session) {}
    Names Told;
    void OnCatalogueReplacing() override { Tell("replacing"); }
    void OnCatalogueReplaced() override { Tell("replaced"); }

private:
    void Tell(const char* what) {
        Told.push_back(std::string(what) + " " + std::to_string(FSession.Catalogue().Count()));
    }
    const TCatalogueSession& FSession;
};

// A scripted source that keeps what is written to it.
class StoringSource : public ScriptedSource {
public:
    using ScriptedSource::ScriptedSource;
    Names Put;
    void PutFile(std::istream& src, const std::string& path) override {
        std::ostringstream text;
        text << src.rdbuf();
        Put.push_back(path + "=" + text.str());
    }
};

}  // namespace

TEST(CatalogueSession, LoadsTheFileOrLeavesTheScanToTheCaller) {
    TempDir tmp;
    const std::string music = tmp / "Musik/";
    WriteFile(music + "tunrax.dat", "Rock\r\n\tLive\r\nPop\r\n");
    const TNameCollator collator("de_DE");
    TCatalogueSession session(collator);
    RecordingListener listener(session);
    session.SetListener(&listener);

    TLocalSource local(false, music);
    EXPECT_TRUE(session.Load(local));
    EXPECT_EQ(Paths(session.Catalogue()), (Names{"\\Rock\\", "\\Rock\\Live\\", "\\Pop\\"}));
    EXPECT_EQ(listener.Told, (Names{"replacing 0", "replaced 3"}));

    SCOPED_TRACE("no file, but the source can scan: the caller scans");
    TLocalSource alternative(true, music);  // tunrax2.dat is missing
    listener.Told.clear();
    EXPECT_FALSE(session.Load(alternative));
    EXPECT_EQ(session.Catalogue().Count(), 3) << "the folders held stay";
    EXPECT_EQ(listener.Told, Names{});

    SCOPED_TRACE("a source that cannot scan: the error passes");
    ScriptedSource web;
    web.Content = [](const std::string&) { return std::string("A\r\n\t\tzu tief\r\n"); };
    EXPECT_THROW(session.Load(web), Error);
    web.FailAfterBytes = 0;
    EXPECT_THROW(session.Load(web), Error);
    EXPECT_EQ(session.Catalogue().Count(), 3);

    SCOPED_TRACE("a transfer called off is never taken for a missing file");
    ScriptedSource scanning(CanRebuild);
    scanning.BeforeGet = [](const std::string&) { throw TransferCancelled(); };
    EXPECT_THROW(session.Load(scanning), TransferCancelled);

    session.Clear();
    EXPECT_EQ(session.Catalogue().Count(), 0);
    EXPECT_EQ(listener.Told, (Names{"replacing 3", "replaced 0"}));
}

TEST(CatalogueSession, AScanKeepsWhatItFoundAndIsStoredWhereTheSourceMayStoreIt) {
    const TNameCollator collator("de_DE");
    TCatalogueSession session(collator);
    RecordingListener listener(session);
    session.SetListener(&listener);
    StoringSource source(CanRebuild | CanStoreCatalogue);
    source.Folders = {{"", {"b", "a"}}, {"\\a\\", {"x"}}};
    RecordingProgress progress;
    session.Scan(source, &progress);
    EXPECT_EQ(Paths(session.Catalogue()), (Names{"\\a\\", "\\a\\x\\", "\\b\\"}));
    EXPECT_EQ(listener.Told, (Names{"replacing 0", "replaced 3"}));
    EXPECT_FALSE(progress.Calls.empty());
    session.Store(source);
    EXPECT_EQ(source.Put, Names{"tunrax.dat=a\r\n\tx\r\nb\r\n"});

    SCOPED_TRACE("an error part-way: the folders found so far are held");
    source.FailAtFolder = "\\b\\";
    listener.Told.clear();
    EXPECT_THROW(session.Scan(source, nullptr), Error);
    EXPECT_EQ(Paths(session.Catalogue()), (Names{"\\a\\", "\\a\\x\\", "\\b\\"}));
    EXPECT_EQ(listener.Told, (Names{"replacing 3", "replaced 3"}));
    source.FailAtFolder = "\\a\\";
    EXPECT_THROW(session.Scan(source, nullptr), Error);
    EXPECT_EQ(Paths(session.Catalogue()), Names{"\\a\\"});

    SCOPED_TRACE("a source that may not store it");
    StoringSource readOnly(CanRebuild);
    session.Store(readOnly);
    EXPECT_EQ(readOnly.Put, Names{});
}

TEST(CatalogueSession, ListsAnAlbumAndFindsTheAlbumOfASong) {
    const TNameCollator collator("de_DE");
    TCatalogueSession session(collator);
    ScriptedSource source;
    source.Content = [](const std::string&) {
        return std::string("Rock\r\n\tLive\r\n\tStudio\r\n\t\tAlt\r\nPop\r\n");
    };
    ASSERT_TRUE(session.Load(source));

    source.Files = {{"\\Rock\\Studio\\", {"b.mp3", "B.mp3", "\xC3\xA4.mp3", "a.mp3"}}};
    const TAlbumListing studio = session.ListAlbum(source, 2);
    EXPECT_EQ(studio.Folder, "\\Rock\\Studio\\");
    EXPECT_EQ(studio.Files, (Names{"a.mp3", "\xC3\xA4.mp3", "B.mp3"}))
        << "sorted, and of names equal without case the first in byte order";
    const TAlbumListing none = session.ListAlbum(source, TCatalogue::kNone);
    EXPECT_EQ(none.Folder, "");
    EXPECT_EQ(none.Files, Names{});

    EXPECT_EQ(session.AlbumOf("\\Rock\\Live\\01-Lied.mp3"), 1);
    EXPECT_EQ(session.AlbumOf("\\Rock\\Studio\\Alt\\01-Lied.mp3"), 3);
    EXPECT_EQ(session.AlbumOf("\\Pop\\01-Lied.mp3"), 4);
    EXPECT_EQ(session.AlbumOf("\\Rock\\Andere\\01-Lied.mp3"), 0) << "the deepest folder found";
    EXPECT_EQ(session.AlbumOf("\\Jazz\\01-Lied.mp3"), TCatalogue::kNone);
    EXPECT_EQ(session.AlbumOf(""), TCatalogue::kNone);
}
