#include "settings/TempFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "io/Error.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

TEST(TempFolder, TempFolderIsPrivate) {
    TempDir tmp;
    const std::string base = tmp.Path().substr(0, tmp.Path().size() - 1);
    const std::string folder = base + "/tunrax";
    auto expectPrivate = [](const std::string& path) {
        struct stat st {};
        ASSERT_EQ(::lstat(path.c_str(), &st), 0) << path;
        EXPECT_TRUE(S_ISDIR(st.st_mode) && (st.st_mode & 0777) == 0700) << std::oct << st.st_mode;
        EXPECT_EQ(st.st_uid, ::geteuid());
    };
    {
        ScopedEnv runtime("XDG_RUNTIME_DIR", base.c_str());
        EXPECT_EQ(GetTempFolder(), folder + "/");
        expectPrivate(folder);
        ::chmod(folder.c_str(), 0755);
        EXPECT_EQ(GetTempFolder(), folder + "/");
        expectPrivate(folder);

        std::filesystem::remove(folder);
        MakeDirs(tmp / "elsewhere");
        ::chmod((tmp / "elsewhere").c_str(), 0700);
        std::filesystem::create_directory_symlink(tmp / "elsewhere", folder);
        EXPECT_THROW(GetTempFolder(), Error) << "a link";
        std::filesystem::remove(folder);
        WriteFile(folder, "");
        EXPECT_THROW(GetTempFolder(), Error) << "a file";
        std::filesystem::remove(folder);
        if (::geteuid() == 0) {  // only root can give a folder away
            MakeDirs(folder);
            ::chmod(folder.c_str(), 0700);
            ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
            EXPECT_THROW(GetTempFolder(), Error) << "someone else's folder";
        }
    }
    ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
    ScopedEnv tmpdir("TMPDIR", base.c_str());
    const std::string fallback = base + "/tunrax-" + std::to_string(::getuid());
    EXPECT_EQ(GetTempFolder(), fallback + "/");
    expectPrivate(fallback);
}
