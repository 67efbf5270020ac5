#include "settings/WindowSettings.h"

#include <gtest/gtest.h>

#include "settings/IniFile.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

TEST(WindowSettings, WhatIsWrittenIsReadBackAndAnOlderFileGivesTheDefaults) {
    TempDir tmp;
    TIniFile settings(tmp / "tunrax.ini");
    settings.WriteString("Einstellungen", "Verzeichnis", "/musik");
    const TWindowSettings none = TWindowSettings::Read(settings);
    EXPECT_FALSE(none.PlaceKnown());
    EXPECT_FALSE(none.Maximized);
    EXPECT_TRUE(none.Splitter.empty());
    EXPECT_EQ(none.Volume, 100);
    EXPECT_EQ(none.Album, "");

    TWindowSettings stored;
    stored.Left = -20;  // a frame may stand a little off the screen's edge
    stored.Top = 40;
    stored.Width = 800;
    stored.Height = 600;
    stored.Maximized = true;
    stored.Splitter = {250, 550};
    stored.Volume = 35;
    stored.Album = "\\Öl: Zeug\\Neue Überall\\";
    stored.Write(settings);
    TIniFile reread(tmp / "tunrax.ini");
    const TWindowSettings back = TWindowSettings::Read(reread);
    EXPECT_EQ(std::tie(back.Left, back.Top, back.Width, back.Height, back.Maximized),
              std::tie(stored.Left, stored.Top, stored.Width, stored.Height, stored.Maximized));
    EXPECT_EQ(back.Splitter, stored.Splitter);
    EXPECT_EQ(back.Volume, 35);
    EXPECT_EQ(back.Album, stored.Album);
    EXPECT_EQ(reread.ReadString("Einstellungen", "Verzeichnis", ""), "/musik") << "kept";
}

// Values no run of the program wrote (edited by hand, a file cut short) give
// the defaults rather than a window nobody can see or a volume past its end.
TEST(WindowSettings, ValuesThatMakeNoSenseGiveTheDefaults) {
    struct Case {
        const char* key;
        const char* value;
        bool placeKnown;
        std::vector<int32_t> splitter;
        int32_t volume;
    } cases[] = {
        {"Breite", "0", false, {}, 100},        {"Breite", "-800", false, {}, 100},
        {"Breite", "9999999", false, {}, 100},  {"Links", "99999999", false, {}, 100},
        {"Breite", "acht", false, {}, 100},     {"Teiler", "289", true, {}, 100},
        {"Teiler", "289,x", true, {}, 100},     {"Teiler", "0,300", true, {}, 100},
        {"Teiler", "200,-1", true, {}, 100},    {"Teiler", "200,300", true, {200, 300}, 100},
        {"Lautstaerke", "150", true, {}, 100},  {"Lautstaerke", "-5", true, {}, 0},
        {"Lautstaerke", "laut", true, {}, 100},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.key) + "=" + test.value);
        TempDir tmp;
        TIniFile settings(tmp / "tunrax.ini");
        for (const auto& [key, value] :
             {std::pair{"Links", "10"}, {"Oben", "10"}, {"Breite", "700"}, {"Hoehe", "500"}})
            settings.WriteString("Fenster", key, value);
        settings.WriteString("Fenster", test.key, test.value);
        const TWindowSettings read = TWindowSettings::Read(settings);
        EXPECT_EQ(read.PlaceKnown(), test.placeKnown);
        EXPECT_EQ(read.Splitter, test.splitter);
        EXPECT_EQ(read.Volume, test.volume);
    }
}
