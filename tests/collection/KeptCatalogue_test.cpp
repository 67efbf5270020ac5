// Where the last good catalogue of a source is kept: one file per source, and
// the same file for the same source on every start.
#include "collection/KeptCatalogue.h"

#include <gtest/gtest.h>

#include <set>

#include "sources/SourceSettings.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

TEST(KeptCatalogue, EachSourceHasAFileOfItsOwnAndKeepsIt) {
    TempDir tmp;
    ScopedEnv cache("XDG_CACHE_HOME", (tmp / "cache").c_str());
    TSourceSettings web;
    web.Type = 1;
    web.WebAddress = "musik.example";
    web.WebRoot = "/mp3/";
    TSourceSettings otherRoot = web;
    otherRoot.WebRoot = "/alt/";
    TSourceSettings alternative = web;
    alternative.Alternative = true;
    TSourceSettings ftp = web;
    ftp.Type = 2;
    ftp.FtpAddress = "musik.example";
    TSourceSettings local;
    local.Type = 0;
    local.Folder = "/media/musik/";
    std::set<std::string> files;
    for (const TSourceSettings* source : {&web, &otherRoot, &alternative, &ftp, &local}) {
        const std::string file = KeptCatalogueFile(*source);
        EXPECT_EQ(file.rfind(tmp / "cache/quintor/tunRax/katalog-", 0), 0u) << file;
        files.insert(file);
    }
    EXPECT_EQ(files.size(), 5u) << "two sources share a kept catalogue";
    EXPECT_EQ(KeptCatalogueFile(web), KeptCatalogueFile(TSourceSettings(web)));

    EXPECT_FALSE(ReadKeptCatalogue(KeptCatalogueFile(web)));
    KeepCatalogue(KeptCatalogueFile(web), "Beatles\r\n\tHelp\r\n");
    const auto kept = ReadKeptCatalogue(KeptCatalogueFile(web));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->Text, "Beatles\r\n\tHelp\r\n");
    EXPECT_EQ(KeptTimeText(0).size(), std::string("01.01.70, 00:00").size());
}
