#include "sources/Source.h"

#include <gtest/gtest.h>

#include "io/Error.h"
#include "settings/IniFile.h"
#include "sources/LocalSource.h"
#include "sources/WebSource.h"
#include "support/RecordingProgress.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

// Only what the base class leaves abstract.
class BareSource : public TSource {
public:
    using TSource::TSource;
    void GetFile(std::ostream&, const std::string&) override {}
    void ListFiles(std::vector<std::string>&, const std::string&) override {}
};

}  // namespace

TEST(Transfer, FactoryMakesTheSourceOfTheType) {
    TempDir tmp;
    TIniFile settings(tmp / "settings.ini");
    settings.WriteString("Einstellungen", "Verzeichnis", tmp / "Musik");
    RecordingProgress bar;
    for (bool alternative : {false, true}) {
        SCOPED_TRACE(alternative ? "alternative" : "standard");
        auto source = CreateSource(0, alternative, &bar, settings);
        ASSERT_NE(source, nullptr);
        EXPECT_NE(dynamic_cast<TLocalSource*>(source.get()), nullptr);
        EXPECT_EQ(source->Capabilities, CanCopy | CanRebuild | CanStoreCatalogue);
        EXPECT_EQ(source->Alternative, alternative);
        EXPECT_EQ(source->ProgressBar, &bar);
        EXPECT_EQ(source->Root, tmp / "Musik/");
    }
    // The web source talks to its server only when asked for something.
    auto web = CreateSource(1, true, &bar, settings);
    ASSERT_NE(dynamic_cast<TWebSource*>(web.get()), nullptr);
    EXPECT_EQ(web->Capabilities, 0);
    EXPECT_EQ(web->Root, "/mp3/");
    EXPECT_EQ(web->ProgressBar, &bar);
    // The FTP source asks its server what it may do while it is made: a
    // server that is not there reaches the caller as an error.
    settings.WriteString("Einstellungen", "FTP Adresse", "127.0.0.1:1");
    EXPECT_THROW(CreateSource(2, false, &bar, settings), Error);
    for (int type : {3, -1, 255})
        EXPECT_EQ(CreateSource(type, false, &bar, settings), nullptr);
}

TEST(Transfer, BaseClassJoinsWithSlashes) {
    BareSource source(true);
    EXPECT_EQ(source.Capabilities, 0);
    EXPECT_TRUE(source.Alternative);
    EXPECT_EQ(source.NormalizePath("\\a\\\\b\\"), "/a/b/");
    EXPECT_EQ(source.NormalizePath("///"), "//");
    EXPECT_EQ(source.NormalizePath("/mp3/" + std::string("\\Rock\\")), "/mp3/Rock/");
}
