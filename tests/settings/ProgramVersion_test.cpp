#include "settings/ProgramVersion.h"

#include <gtest/gtest.h>

#include <string>

#include "settings/UserFolders.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

// "a.b.c.d", four non-empty runs of digits.
bool IsFourNumbers(const std::string& text) {
    int dots = 0;
    bool digits = false;
    for (char c : text) {
        if (c == '.' && digits) {
            ++dots;
            digits = false;
        } else if (c >= '0' && c <= '9') {
            digits = true;
        } else {
            return false;
        }
    }
    return dots == 3 && digits;
}

}  // namespace

TEST(ProgramVersion, VersionOfTheProgramOnly) {
    const std::string own = GetFileVersionString("");
    EXPECT_TRUE(IsFourNumbers(own)) << own;
    EXPECT_EQ(GetFileVersionString(ProgramFolder() + ProgramFileName()), own);
    TempDir tmp;
    WriteFile(tmp / "other", "MZ");
    EXPECT_EQ(GetFileVersionString(tmp / "other"), "");
}
