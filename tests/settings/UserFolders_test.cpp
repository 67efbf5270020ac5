#include "settings/UserFolders.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/OddFiles.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

TEST(DataFolder, UserDataFolderBelowTheConfigurationFolder) {
    TempDir tmp;
    const std::string home = tmp / "home";
    ScopedEnv homeEnv("HOME", home.c_str());
    {
        const std::string config = tmp / "deep/config";  // made with its parents
        ScopedEnv xdg("XDG_CONFIG_HOME", config.c_str());
        EXPECT_EQ(GetUserDataFolder("tunRax", "quintor"), config + "/quintor/tunRax/");
        EXPECT_TRUE(std::filesystem::is_directory(config + "/quintor/tunRax"));
        EXPECT_EQ(GetUserDataFolder("", "quintor"), config + "/quintor/");
    }
    {
        SCOPED_TRACE("no vendor: the base folder, nothing created");
        ScopedEnv xdg("XDG_CONFIG_HOME", (tmp / "unmade").c_str());
        EXPECT_EQ(GetUserDataFolder("tunRax", ""), tmp / "unmade/");
        EXPECT_FALSE(Exists(tmp / "unmade"));
    }
    for (const char* xdgValue : {static_cast<const char*>(nullptr), "relative/config"}) {
        SCOPED_TRACE(xdgValue ? "a relative XDG_CONFIG_HOME is ignored" : "no XDG_CONFIG_HOME");
        ScopedEnv xdg("XDG_CONFIG_HOME", xdgValue);
        EXPECT_EQ(GetUserDataFolder("tunRax", "quintor"), home + "/.config/quintor/tunRax/");
        EXPECT_TRUE(Exists(home + "/.config/quintor/tunRax"));
        EXPECT_FALSE(Exists("relative"));
        std::filesystem::remove_all(home);
    }
    {
        SCOPED_TRACE("no home at all: the program's folder as it is");
        ScopedEnv noHome("HOME", nullptr);
        ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(GetUserDataFolder("tunRaxNoHome", "quintorNoHome"), ProgramFolder());
        EXPECT_FALSE(Exists(ProgramFolder() + "quintorNoHome"));
    }
}

TEST(DataFolder, DefaultMusicFolder) {
    TempDir tmp;
    const std::string home = tmp / "home";
    const std::string config = tmp / "config";
    ScopedEnv homeEnv("HOME", home.c_str());
    MakeDirs(home + "/Lieder");
    MakeDirs(home + "/Musik");
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", config.c_str());
        WriteFile(config + "/user-dirs.dirs",
                  "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                  "XDG_MUSIC_DIR=\"$HOME/Lieder\"\n");
        EXPECT_EQ(DefaultMusicFolder(), home + "/Lieder/");
        std::filesystem::remove(config + "/user-dirs.dirs");
        EXPECT_EQ(DefaultMusicFolder(), home + "/Musik/");
        std::filesystem::remove(home + "/Musik");
        EXPECT_EQ(DefaultMusicFolder(), home + "/Music/");
    }
    ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
    WriteFile(home + "/.config/user-dirs.dirs",
              "XDG_MUSIC_DIR=\"" + tmp.Path() + "Kl\xC3\xA4nge\"\n");
    MakeDirs(tmp / "Kl\xC3\xA4nge");
    EXPECT_EQ(DefaultMusicFolder(), tmp / "Kl\xC3\xA4nge/");
}

TEST(DataFolder, AnOddUserDirsFileGivesTheDefault) {
    TempDir tmp;
    const std::string home = tmp / "home";
    const std::string config = tmp / "config";
    ScopedEnv homeEnv("HOME", home.c_str());
    ScopedEnv xdg("XDG_CONFIG_HOME", config.c_str());
    MakeDirs(home + "/Musik");
    MakeDirs(config);
    const std::string userDirs = config + "/user-dirs.dirs";
    {
        SCOPED_TRACE("a FIFO, which would block the start");
        MakeFifo(userDirs);
        std::string folder;
        EXPECT_TRUE(FinishesWithoutWriter(userDirs, [&] { folder = DefaultMusicFolder(); }))
            << "the open of a FIFO blocks";
        EXPECT_EQ(folder, home + "/Musik/");
        std::filesystem::remove(userDirs);
    }
    {
        SCOPED_TRACE("a link to a device, which would fill the memory");
        LinkToDevice(userDirs);
        EXPECT_EQ(DefaultMusicFolder(), home + "/Musik/");
    }
}
