#include "io/FileTools.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>

#include "io/Error.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

std::set<std::string> AsSet(const std::vector<std::string>& list) {
    return {list.begin(), list.end()};
}

}  // namespace

TEST(FileTools, TextHelpers) {
    EXPECT_EQ(NormalizeFolder(" /a/b \t"), "/a/b/");
    EXPECT_EQ(NormalizeFolder("/a/"), "/a/");
    EXPECT_EQ(NormalizeFolder(""), "/");
    EXPECT_EQ(MakeValidFileName("  a:b?c  "), "a_b_c");
    EXPECT_EQ(MakeValidFileName("\"*/:<>?\\|"), "_________");
    EXPECT_EQ(MakeValidFileName("\x02x\x01y\t"), "x\x01y");
    EXPECT_TRUE(MaskMatches("*.mp3", "X.MP3"));
    EXPECT_FALSE(MaskMatches("*.mp3", "a.mp3.wav"));
    EXPECT_TRUE(MaskMatches("*.*", "noext"));
    EXPECT_FALSE(MaskMatches("?b.*", "abb.txt"));
}

TEST(FileTools, FindFilesWalksVisibleRealFolders) {
    TempDir tmp;
    const std::string root = tmp / "root";
    for (const char* name : {"top.mp3", "UPPER.MP3", ".dot.mp3", "\xE4.mp3", "notes.txt",
                             "Sub/x.mp3", "Sub/deeper/y.mp3", ".hid/h.mp3", "album.mp3/z.mp3"})
        WriteFile(root + "/" + name, "data");
    std::filesystem::create_directory_symlink(root + "/Sub", root + "/link");
    const std::vector<std::string> own = {"top.mp3", "UPPER.MP3", ".dot.mp3", "\xE4.mp3"};

    std::vector<std::string> list = {"stale"};
    FindFiles(list, root, "*.mp3", false, true);
    std::set<std::string> expected(own.begin(), own.end());
    expected.insert({"Sub\\deeper\\y.mp3", "Sub\\x.mp3", "album.mp3\\z.mp3"});
    EXPECT_EQ(AsSet(list), expected);
    EXPECT_EQ(list.size(), expected.size());
    auto pos = [&](const std::string& name) {
        return std::ranges::find(list, name) - list.begin();
    };
    EXPECT_LT(pos("Sub\\deeper\\y.mp3"), pos("Sub\\x.mp3"));
    for (const auto& name : own)
        EXPECT_LT(pos("Sub\\x.mp3"), pos(name)) << name;

    FindFiles(list, root + "/", "*.mp3", true, true);
    EXPECT_EQ(AsSet(list),
              (std::set<std::string>{"sub\\deeper\\y.mp3", "sub\\x.mp3", "album.mp3\\z.mp3",
                                     "top.mp3", "upper.mp3", ".dot.mp3", "\xE4.mp3"}));
    FindFiles(list, root, "*.txt", false, false);
    EXPECT_EQ(list, (std::vector<std::string>{"notes.txt"}));
    FindFiles(list, tmp / "missing", "*.*", false, true);
    EXPECT_TRUE(list.empty());
}

TEST(FileTools, FileSizes) {
    TempDir tmp;
    WriteFile(tmp / "small", std::string(1023, 'x'));
    EXPECT_EQ(FileSizeOf(tmp / "small"), 1023);
    for (const std::string& none : {tmp.Path(), tmp / "missing"}) {
        EXPECT_EQ(FileSizeOf(none), -1) << none;
        EXPECT_EQ(FileSize64(none), -1) << none;
    }
    const int64_t big = 5LL << 30;  // sparse, takes no room
    WriteFile(tmp / "big", "");
    ASSERT_EQ(::truncate((tmp / "big").c_str(), big), 0);
    EXPECT_EQ(FileSize64(tmp / "big"), big);
    EXPECT_EQ(FileSizeOf(tmp / "big"), static_cast<int32_t>(big & 0xFFFFFFFF));
}

TEST(FileTools, ReplaceFileContentsWritesThroughLinks) {
    TempDir tmp;
    auto modeOf = [](const std::string& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st.st_mode & 07777;
    };
    auto isLink = [](const std::string& path) {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    };
    const mode_t oldMask = ::umask(022);
    EXPECT_NO_THROW(ReplaceFileContents(tmp / "neu.ini", "a"));
    EXPECT_EQ(modeOf(tmp / "neu.ini"), 0600u);
    EXPECT_NO_THROW(ReplaceFileContents(tmp / "neu.dat", "b", 0666));
    EXPECT_EQ(modeOf(tmp / "neu.dat"), 0644u);
    ::chmod((tmp / "neu.dat").c_str(), 0660);
    EXPECT_NO_THROW(ReplaceFileContents(tmp / "neu.dat", "c", 0666));
    EXPECT_EQ(modeOf(tmp / "neu.dat"), 0660u);
    ::umask(oldMask);

    SCOPED_TRACE("a chain of relative links, and one whose target is missing");
    MakeDirs(tmp / "a/b");
    ASSERT_EQ(::symlink("b/ziel", (tmp / "a/zwischen").c_str()), 0);
    ASSERT_EQ(::symlink("a/zwischen", (tmp / "link").c_str()), 0);
    EXPECT_NO_THROW(ReplaceFileContents(tmp / "link", "neu"));
    EXPECT_TRUE(isLink(tmp / "link"));
    EXPECT_TRUE(isLink(tmp / "a/zwischen"));
    EXPECT_EQ(ReadFile(tmp / "a/b/ziel"), "neu");
    EXPECT_NO_THROW(ReplaceFileContents(tmp / "link", "neuer"));
    EXPECT_EQ(ReadFile(tmp / "a/b/ziel"), "neuer");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp / "a/b"), {}), 1);

    SCOPED_TRACE("a link to itself is an error and stays");
    ASSERT_EQ(::symlink("kreis", (tmp / "kreis").c_str()), 0);
    try {
        ReplaceFileContents(tmp / "kreis", "x");
        ADD_FAILURE() << "a circle of links was written";
    } catch (const SystemError& e) {
        EXPECT_EQ(e.Code(), ELOOP);
    }
    EXPECT_TRUE(isLink(tmp / "kreis"));
}

TEST(FileTools, RemoveEmptyFoldersStopsAtRootOrContent) {
    TempDir tmp;
    const std::string root = tmp / "r/";
    MakeDirs(root + "a/b/c");
    EXPECT_TRUE(RemoveEmptyFolders(root + "a/b/c/", root));
    EXPECT_FALSE(Exists(root + "a"));
    EXPECT_TRUE(Exists(root));

    MakeDirs(root + "a/b/c");
    WriteFile(root + "a/keep.txt", "x");
    EXPECT_FALSE(RemoveEmptyFolders(root + "a/b/c/", root));
    EXPECT_FALSE(Exists(root + "a/b"));
    EXPECT_TRUE(Exists(root + "a/keep.txt"));

    MakeDirs(tmp / "other/x");
    EXPECT_FALSE(RemoveEmptyFolders(tmp / "other/x/", root));
    EXPECT_TRUE(Exists(tmp / "other/x"));
    MakeDirs(tmp / "Case/a");
    EXPECT_FALSE(RemoveEmptyFolders(tmp / "Case/a/", tmp / "case/"));
    EXPECT_TRUE(Exists(tmp / "Case/a"));
}
