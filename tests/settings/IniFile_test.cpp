#include "settings/IniFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "io/Error.h"
#include "io/FileTools.h"
#include "settings/UserFolders.h"
#include "support/MemoryLimit.h"
#include "support/OddFiles.h"
#include "support/SyncBeforeRename.h"
#include "support/TempDir.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

size_t EntryCount(const std::string& folder) {
    auto it = std::filesystem::directory_iterator(folder);
    return static_cast<size_t>(std::distance(begin(it), end(it)));
}

}  // namespace

TEST(IniFile, ReadsAndRoundTripsValues) {
    TempDir tmp;
    EXPECT_EQ(TIniFile(tmp / "missing.ini").ReadString("S", "k", "dflt"), "dflt");
    WriteFile(tmp / "a.ini",
              "[Main]\r\nKey=first\r\nkey=second\r\n[main]\r\nOther=x\r\n"
              "[Zwei]\r\n  Spaced Key  =  spaced value  \r\nQ=\"  padded  \"\r\nHalf=\"open\r\n");
    TIniFile ini(tmp / "a.ini");
    EXPECT_EQ(ini.ReadString("MAIN", "KEY", "d"), "first");
    EXPECT_EQ(ini.ReadString("Main", "Other", "d"), "d") << "only the first [main] counts";
    EXPECT_EQ(ini.ReadString("zwei", "spaced key", "d"), "spaced value");
    EXPECT_EQ(ini.ReadString("Zwei", "Q", "d"), "  padded  ");
    EXPECT_EQ(ini.ReadString("Zwei", "Half", "d"), "\"open");

    const std::vector<std::string> texts = {"  lead", "trail  ", "\"quoted\"", "\" in quotes \"",
                                            "a=b",    "",        "\t tab",     "\xE4\xF6 latin1"};
    for (size_t i = 0; i < texts.size(); ++i)
        ini.WriteString("S", std::to_string(i), texts[i]);
    ini.WriteInteger("S", "min", INT32_MIN);
    ini.WriteBool("S", "yes", true);
    ini.WriteBool("S", "no", false);
    TIniFile reread(tmp / "a.ini");
    for (size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE("[" + texts[i] + "]");
        EXPECT_EQ(reread.ReadString("s", std::to_string(i), "d"), texts[i]);
    }
    EXPECT_EQ(reread.ReadInteger("S", "min", 0), INT32_MIN);
    EXPECT_EQ(reread.ReadString("S", "yes", ""), "1");
    EXPECT_EQ(reread.ReadString("S", "no", ""), "0");
}

TEST(IniFile, IntegerAndBoolForms) {
    // clang-format off
    const std::vector<std::pair<std::string, int32_t>> good = {
        {"42", 42}, {"-17", -17}, {"+8", 8}, {"0x1F", 31}, {"$ff", 255}, {"010", 10},
        {"-0x10", -16}, {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN}};
    // clang-format on
    for (const auto& [text, expected] : good) {
        int32_t value = 12345;
        EXPECT_TRUE(TIniFile::ParseInteger(text, value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
    for (const std::string text : {"", "abc", "12a", "0x", "$", "-", "1.5", "0xG1", "2147483648",
                                   "-2147483649", "99999999999999999999", "1 2"}) {
        int32_t value = 0;
        EXPECT_FALSE(TIniFile::ParseInteger(text, value)) << "[" << text << "]";
    }
    TempDir tmp;
    WriteFile(tmp / "i.ini", "[N]\nhex = $10\nbad=zwölf\ntwo=2\n");
    TIniFile ini(tmp / "i.ini");
    EXPECT_EQ(ini.ReadInteger("N", "hex", -1), 16);
    EXPECT_EQ(ini.ReadInteger("N", "bad", -1), -1);
    EXPECT_TRUE(ini.ReadBool("N", "two", false));
    EXPECT_TRUE(ini.ReadBool("N", "bad", true));
    EXPECT_FALSE(ini.ReadBool("N", "bad", false));
}

TEST(IniFile, WritesInPlaceAtOnceAndKeepsOtherLines) {
    TempDir tmp;
    const std::string file = tmp / "t.ini";
    WriteFile(file, "[A]\r\nx=1\r\n[B]\r\ny=2\r\n[a]\r\nz=3\r\n");
    TIniFile ini(file);
    ini.WriteString("a", "x", "9");
    ini.WriteString("A", "neu", "n");
    const std::string before = "[A]\r\nx=9\r\nneu=n\r\n[B]\r\ny=2\r\n[a]\r\nz=3\r\n";
    EXPECT_EQ(ReadFile(file), before);
    ini.WriteString("C", "k", "v");
    std::string added = ReadFile(file);
    ASSERT_EQ(added.substr(0, before.size()), before);
    added.erase(0, added.find_first_not_of("\r\n", before.size()));  // a blank line may precede
    EXPECT_EQ(added, "[C]\r\nk=v\r\n");
    EXPECT_EQ(TIniFile(file).ReadString("c", "K", "d"), "v");
    EXPECT_EQ(EntryCount(tmp.Path()), 1u) << "a temporary file was left behind";

    ini.EraseSection("a");
    EXPECT_FALSE(ini.SectionExists("A"));
    EXPECT_EQ(ReadFile(file).find("[B]\r\ny=2\r\n"), 0u) << "both [A] and [a] go";
    EXPECT_EQ(TIniFile(file).ReadString("A", "z", "d"), "d");

    SCOPED_TRACE("foreign lines, a byte order mark, a long value, mixed line ends");
    const std::string bom = "\xEF\xBB\xBF";
    const std::string longValue(1 << 20, 'x');
    // clang-format off
    const std::vector<std::string> lines = {
        "[Erste]", "; comment=1", "# another", "no equals sign", "ziel=alt",
        std::string("bin\0\x01\xFF=\x7F", 8), "   ", "[Zweite]", "lang=" + longValue, "=no key",
        "[unclosed", "tail=end"};
    // clang-format on
    std::string original = bom;
    for (size_t i = 0; i < lines.size(); ++i)
        original += lines[i] + (i + 1 == lines.size() ? "" : i % 2 ? "\r\n" : "\n");
    WriteFile(file, original);
    TIniFile junk(file);
    EXPECT_TRUE(junk.SectionExists("zweite"));
    EXPECT_EQ(junk.ReadString("Zweite", "lang", "d"), longValue);
    junk.WriteString("Erste", "ziel", "neu");
    std::string expected = bom;
    for (const auto& line : lines)
        expected += (line == "ziel=alt" ? "ziel=neu" : line) + "\r\n";
    EXPECT_TRUE(ReadFile(file) == expected) << "other lines were not kept as they were";
}

TEST(IniFile, RefusedWritesChangeNothing) {
    TempDir tmp;
    const std::string file = tmp / "gone/settings.ini";
    WriteFile(file, "[S]\r\nk=alt\r\n");
    TIniFile ini(file);
    std::filesystem::remove_all(tmp / "gone");
    try {
        ini.WriteString("S", "k", "neu");
        ADD_FAILURE() << "no error for a write into a missing folder";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("settings.ini"), std::string::npos) << e.what();
    }
    EXPECT_EQ(ini.ReadString("S", "k", "d"), "alt");
    EXPECT_FALSE(Exists(tmp / "gone"));

    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    SCOPED_TRACE("a file that cannot be read is never replaced");
    WriteFile(tmp / "locked.ini", "[S]\r\nk=geheim\r\n");
    ::chmod((tmp / "locked.ini").c_str(), 0);
    TIniFile locked(tmp / "locked.ini");
    EXPECT_EQ(locked.ReadString("S", "k", "d"), "d");
    EXPECT_THROW(locked.WriteString("S", "x", "1"), Error);
    ::chmod((tmp / "locked.ini").c_str(), 0600);
    EXPECT_EQ(ReadFile(tmp / "locked.ini"), "[S]\r\nk=geheim\r\n");
    EXPECT_EQ(EntryCount(tmp.Path()), 1u);
}

TEST(IniFile, OddFilesAreNeitherReadNorReplaced) {
    TempDir tmp;
    // Each is taken as unreadable: defaults, and a write is refused rather
    // than replacing what the user has there.
    auto check = [&](const std::string& file, const char* reason) {
        SCOPED_TRACE(file);
        TIniFile ini(file);
        EXPECT_EQ(ini.ReadString("S", "k", "d"), "d");
        try {
            ini.WriteString("S", "k", "neu");
            ADD_FAILURE() << "no error for a write";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("nicht überschrieben"), std::string::npos)
                << e.what();
        }
    };

    MakeFifo(tmp / "fifo.ini");
    EXPECT_TRUE(FinishesWithoutWriter(tmp / "fifo.ini", [&] {
        check(tmp / "fifo.ini", "keine gewöhnliche Datei");
    })) << "the open of a FIFO blocks";
    struct stat st;
    ASSERT_EQ(::lstat((tmp / "fifo.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    LinkToDevice(tmp / "zero.ini");
    check(tmp / "zero.ini", "keine gewöhnliche Datei");
    ASSERT_EQ(::lstat((tmp / "zero.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // Real settings files are a few KB; one of 64 MB and more is not one.
    MakeSparseFile(tmp / "gross.ini", off_t{64} << 20 | 1);
    check(tmp / "gross.ini", "64 MB");
    EXPECT_EQ(::stat((tmp / "gross.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, off_t{64} << 20 | 1);
    // Bare line breaks: few bytes, but a line each.
    WriteFile(tmp / "umbrueche.ini", std::string(60 << 20, '\n'));
    {
        const ScopedAddressSpaceLimit limit(uint64_t{2} << 30);
        check(tmp / "umbrueche.ini", "mehr als 1000000 Zeilen");
    }
    EXPECT_EQ(FileSizeOf(tmp / "umbrueche.ini"), int64_t{60} << 20);
    EXPECT_EQ(EntryCount(tmp.Path()), 4u);
}

TEST(IniFile, ProcessSettingsFileLiesInTheVendorFolder) {
    TempDir tmp;
    ScopedEnv config("XDG_CONFIG_HOME", tmp.Path().c_str());
    SettingsVendor = "quintor";
    TIniFile& settings = SettingsFile();
    EXPECT_EQ(settings.FileName(), tmp.Path() + "quintor/" + ProgramFileName() + ".ini");
    EXPECT_EQ(&SettingsFile(), &settings);
    settings.WriteInteger("Einstellungen", "Typ", 2);
    EXPECT_EQ(TIniFile(settings.FileName()).ReadInteger("Einstellungen", "Typ", 0), 2);
    FreeSettingsFile();
    EXPECT_EQ(SettingsVendor, "");
}

TEST(IniFile, UpdateScopeWritesAllOrNothing) {
    TempDir tmp;
    const std::string file = tmp / "conf/tunrax.ini";
    WriteFile(file, "[Einstellungen]\r\nTyp=2\r\nFTP Adresse=alt\r\n[Favoriten]\r\naktuell=1\r\n");
    TIniFile ini(file);
    {
        TIniFile::UpdateScope update(ini);
        ini.EraseSection("Einstellungen");
        ini.WriteString("Einstellungen", "FTP Adresse", "neu");
        ini.WriteInteger("Einstellungen", "Typ", 1);
        EXPECT_EQ(ini.ReadInteger("Einstellungen", "Typ", -1), 1) << "reads see the writes";
        EXPECT_NE(ReadFile(file).find("Typ=2"), std::string::npos) << "the file waits for Commit";
        update.Commit();
    }
    const std::string saved =
        "[Favoriten]\r\naktuell=1\r\n[Einstellungen]\r\nFTP Adresse=neu\r\nTyp=1\r\n";
    EXPECT_EQ(ReadFile(file), saved);

    // Left without Commit (an error on the way): nothing changed.
    {
        TIniFile::UpdateScope update(ini);
        ini.EraseSection("Einstellungen");
    }
    EXPECT_EQ(ini.ReadInteger("Einstellungen", "Typ", -1), 1);
    EXPECT_EQ(ReadFile(file), saved);

    // The file cannot be replaced (its folder is gone): Commit throws, and the
    // object still reads what it read before.
    TIniFile::UpdateScope update(ini);
    ini.EraseSection("Einstellungen");
    ini.WriteInteger("Einstellungen", "Typ", 0);
    std::filesystem::remove_all(tmp / "conf");
    EXPECT_THROW(update.Commit(), Error);
    EXPECT_EQ(ini.ReadInteger("Einstellungen", "Typ", -1), 1);
    EXPECT_EQ(ini.ReadString("Einstellungen", "FTP Adresse", ""), "neu");
}

// A power cut must not leave an empty settings file: the new one is on the
// disk before it takes the name.
TEST(IniFile, WritesAreSyncedBeforeTheyTakeTheName) {
    TempDir tmp;
    const std::string file = tmp / "t.ini";
    WriteFile(file, "[A]\r\nx=1\r\n");
    TIniFile ini(file);
    std::string why;
    const std::string seen = SyncBeforeRename(
        file, [&] { ini.WriteString("A", "x", "2"); }, why);
    if (seen.empty())
        GTEST_SKIP() << why;
    EXPECT_EQ(seen, "synced, then renamed");
    EXPECT_EQ(TIniFile(file).ReadString("A", "x", ""), "2");
}

// The settings hold the sources' passwords, only scrambled: a new settings
// file is readable by the user alone, whatever the umask.
TEST(IniFile, ANewFileIsTheUsersAlone) {
    TempDir tmp;
    const mode_t oldMask = ::umask(0);
    TIniFile(tmp / "neu.ini").WriteString("Einstellungen", "FTP Passwort", "x");
    ::umask(oldMask);
    EXPECT_EQ(ModeOf(tmp / "neu.ini"), 0600u);
}
