#include "collection/Catalogue.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "collection/CatalogueScan.h"
#include "collection/Collation.h"
#include "io/Error.h"
#include "sources/LocalSource.h"
#include "sources/TransferControl.h"
#include "support/CataloguePaths.h"
#include "support/MemoryLimit.h"
#include "support/RecordingProgress.h"
#include "support/ScriptedSource.h"
#include "support/TempDir.h"

extern char** environ;

using namespace tunrax;
using namespace tunrax::test;

namespace {

using Names = std::vector<std::string>;

Names Parsed(const std::string& text) {
    TCatalogue catalogue;
    ParseCatalogue(text, catalogue);
    return Paths(catalogue);
}

// The message of the error ParseCatalogue throws, and that it empties the
// catalogue it was given.
std::string ParseError(const std::string& text, int32_t maxFolders = kCatalogueMaxFolders) {
    TCatalogue catalogue;
    catalogue.Add(TCatalogue::kNone, "old");
    try {
        ParseCatalogue(text, catalogue, maxFolders);
    } catch (const Error& e) {
        EXPECT_EQ(catalogue.Count(), 0) << "catalogue not emptied";
        EXPECT_TRUE(catalogue.ChildrenOf(TCatalogue::kNone).empty());
        return e.what();
    }
    ADD_FAILURE() << "no error";
    return std::string();
}

}  // namespace

TEST(Catalogue, ReadsLinesAsNestedFolders) {
    {
        SCOPED_TRACE("the written form");
        EXPECT_EQ(Parsed("A\r\n\tB\r\n\tC\r\nD\r\n"),
                  (Names{"\\A\\", "\\A\\B\\", "\\A\\C\\", "\\D\\"}));
    }
    {
        SCOPED_TRACE("back up several levels to the ancestor's level");
        EXPECT_EQ(Parsed("A\n\tB\n\t\tC\n\t\t\tD\n\tE\n\t\tF\nG"),
                  (Names{"\\A\\", "\\A\\B\\", "\\A\\B\\C\\", "\\A\\B\\C\\D\\", "\\A\\E\\",
                         "\\A\\E\\F\\", "\\G\\"}));
    }
    {
        SCOPED_TRACE("CR, LF and CR LF; a final break adds nothing");
        EXPECT_EQ(Parsed("A\rB\nC\r\nD"), (Names{"\\A\\", "\\B\\", "\\C\\", "\\D\\"}));
        EXPECT_EQ(Parsed("A\r\n"), (Names{"\\A\\"}));
        EXPECT_EQ(Parsed("A\n\rB\r"), (Names{"\\A\\", "\\\\", "\\B\\"})) << "LF CR is two breaks";
        EXPECT_EQ(Parsed("A\r\r\nB"), (Names{"\\A\\", "\\\\", "\\B\\"}));
    }
    {
        SCOPED_TRACE("empty lines are folders with empty names");
        EXPECT_EQ(Parsed("\r\n"), (Names{"\\\\"}));
        EXPECT_EQ(Parsed("A\r\n\r\n\t\r\n"), (Names{"\\A\\", "\\\\", "\\\\\\"}));
    }
    {
        SCOPED_TRACE("a zero byte ends the text");
        EXPECT_EQ(Parsed(std::string("A\r\n\tB\0\tC\r\n", 10)), (Names{"\\A\\", "\\A\\B\\"}));
        EXPECT_EQ(Parsed(std::string("\0A", 2)), Names{});
    }
    {
        SCOPED_TRACE("spaces count like TABs, mixed too");
        EXPECT_EQ(Parsed("A\n B\n\t C\n \tD\n\tE\nF"), Parsed("A\n\tB\n\t\tC\n\t\tD\n\tE\nF"));
    }
    {
        SCOPED_TRACE("an indented first line is top-level; later lines compare with depth");
        EXPECT_EQ(Parsed("\t\tA\r\n\tB\r\nC"), (Names{"\\A\\", "\\A\\B\\", "\\C\\"}));
        EXPECT_EQ(ParseError("\t\tA\r\n\t\tB"), "Ungültige Ebene (2) für Eintrag \"B\"");
    }
    {
        SCOPED_TRACE("names are bytes, kept as they are");
        TCatalogue catalogue;
        ParseCatalogue(
            "K\xFCnstler\r\n\t\xC3\x9C"
            "ber \x81\x90\r\n",
            catalogue);
        ASSERT_EQ(catalogue.Count(), 2);
        EXPECT_EQ(catalogue.At(0).Name, "K\xFCnstler");
        EXPECT_EQ(catalogue.At(1).Name,
                  "\xC3\x9C"
                  "ber \x81\x90");
    }
    {
        SCOPED_TRACE("empty text, and an earlier tree is replaced");
        TCatalogue catalogue;
        ParseCatalogue("X\r\n", catalogue);
        ParseCatalogue("", catalogue);
        EXPECT_EQ(catalogue.Count(), 0);
        EXPECT_TRUE(catalogue.ChildrenOf(TCatalogue::kNone).empty());
    }
}

TEST(Catalogue, RejectsLevelsThatSkipALevel) {
    EXPECT_EQ(ParseError("A\r\n\t\tB\r\n"), "Ungültige Ebene (2) für Eintrag \"B\"");
    EXPECT_EQ(ParseError("A\n\tB\n \t \xE4\n"), "Ungültige Ebene (3) für Eintrag \"\xC3\xA4\"")
        << "the name as display text";
    EXPECT_EQ(ParseError("A\n\tB\n\tC\nD\n\t\t"), "Ungültige Ebene (2) für Eintrag \"\"");
    const std::string message = ParseError("A\n" + std::string(1 << 20, '\t') + "B");
    EXPECT_EQ(message, "Ungültige Ebene (1048576) für Eintrag \"B\"");
}

// Each line break is a folder: a file of nothing else would make tens of
// millions of them. Beyond the bound the catalogue is refused, quickly and
// without taking the memory they would need.
TEST(Catalogue, ACatalogueOfBareLineBreaksIsRefusedByItsNumberOfFolders) {
    EXPECT_EQ(ParseError(std::string(10, '\n'), 5),
              "Der Katalog hat mehr als 5 Ordner und wird nicht geladen.");
    TCatalogue catalogue;
    ParseCatalogue(std::string(5, '\n'), catalogue, 5);
    EXPECT_EQ(catalogue.Count(), 5);
    const std::string breaks(64 << 20, '\n');
    // A regression fails here rather than taking gigabytes.
    const ScopedAddressSpaceLimit limit(uint64_t{2} << 30);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ParseError(breaks),
              "Der Katalog hat mehr als 2000000 Ordner und wird nicht geladen.");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(Catalogue, LongLinesAndManyLines) {
    {
        SCOPED_TRACE("one line of 1 MB");
        const std::string name(1 << 20, 'x');
        TCatalogue catalogue;
        ParseCatalogue(std::string(5000, '\t') + name, catalogue);
        ASSERT_EQ(catalogue.Count(), 1);
        EXPECT_EQ(catalogue.At(0).Name, name);
        EXPECT_EQ(catalogue.At(0).Level, 0);
    }
    {
        SCOPED_TRACE("a deep chain of folders");
        std::string text;
        for (int level = 0; level < 3000; ++level)
            text += std::string(static_cast<size_t>(level), '\t') + "d\r\n";
        TCatalogue catalogue;
        ParseCatalogue(text, catalogue);
        ASSERT_EQ(catalogue.Count(), 3000);
        EXPECT_EQ(catalogue.At(2999).Level, 2999);
        EXPECT_EQ(WriteCatalogue(catalogue), text);
    }
}

TEST(Catalogue, WritesAndReadsBack) {
    TCatalogue catalogue;
    const int32_t a = catalogue.Add(TCatalogue::kNone, "A");
    const int32_t d = catalogue.Add(TCatalogue::kNone, "D");
    const int32_t b = catalogue.Add(a, "B");
    catalogue.Add(a, "C");
    // Added after later folders: written in tree order all the same.
    catalogue.Add(b, "\xE4lter");
    catalogue.Add(d, "");
    EXPECT_EQ(catalogue.At(b).Level, 1);
    EXPECT_EQ(catalogue.At(d).Row, 1);
    EXPECT_EQ(catalogue.ChildrenOf(a), (std::vector<int32_t>{b, 3}));
    EXPECT_EQ(NodePath(catalogue, 4), "\\A\\B\\\xE4lter\\");
    EXPECT_EQ(NodePath(catalogue, TCatalogue::kNone), "");
    EXPECT_THROW(catalogue.Add(99, "x"), std::out_of_range);

    const std::string text = WriteCatalogue(catalogue);
    EXPECT_EQ(text, "A\r\n\tB\r\n\t\t\xE4lter\r\n\tC\r\nD\r\n\t\r\n");
    EXPECT_EQ(Parsed(text),
              (Names{"\\A\\", "\\A\\B\\", "\\A\\B\\\xE4lter\\", "\\A\\C\\", "\\D\\", "\\D\\\\"}));
    EXPECT_EQ(WriteCatalogue(TCatalogue()), "");

    SCOPED_TRACE("leading blanks of a name are read as indentation");
    TCatalogue blank;
    blank.Add(TCatalogue::kNone, "A");
    blank.Add(TCatalogue::kNone, " X");
    EXPECT_EQ(Parsed(WriteCatalogue(blank)), (Names{"\\A\\", "\\A\\X\\"}));
}

// Every folder is found again by its path, also where a name holds "\\"
// itself or is a prefix of its sibling's.
TEST(Catalogue, EveryFolderIsFoundByItsPath) {
    TCatalogue catalogue;
    const int32_t a = catalogue.Add(TCatalogue::kNone, "A");
    const int32_t ab = catalogue.Add(TCatalogue::kNone, "A\\C");
    const int32_t aB = catalogue.Add(a, "B");
    const int32_t empty = catalogue.Add(aB, "");
    const int32_t prefix = catalogue.Add(a, "Bx");
    for (int32_t node : {a, ab, aB, empty, prefix})
        EXPECT_EQ(NodeAtPath(catalogue, NodePath(catalogue, node)), node)
            << NodePath(catalogue, node);
    for (const char* missing : {"", "\\", "A\\", "\\A", "\\C\\", "\\A\\D\\", "\\A\\B\\X\\"})
        EXPECT_EQ(NodeAtPath(catalogue, missing), TCatalogue::kNone) << missing;
}

TEST(CatalogueScan, ScansAFolderTreeSortedWithoutCaseDuplicates) {
    TempDir tmp;
    const std::string music = tmp / "Musik/";
    for (const char* folder : {"b", "a/y", "A/x/deep", "\xC3\x84pfel", "Apfel/z", "Zebra",
                               ".versteckt/w", "zeilen\numbruch"})
        MakeDirs(music + folder);
    WriteFile(music + "Apfel/01-Lied.mp3", "x");
    WriteFile(music + "keinOrdner", "x");
    TLocalSource source(false, music);
    const TNameCollator collator("de_DE");

    TCatalogue catalogue;
    catalogue.Add(TCatalogue::kNone, "old");
    RecordingProgress progress;
    progress.StepNote = [&] { return std::to_string(catalogue.Count()); };
    ScanCatalogue(source, collator, catalogue, &progress);
    // "A" comes before "a" in byte order, so "a" and its sub-folder go.
    EXPECT_EQ(Paths(catalogue), (Names{"\\A\\", "\\A\\x\\", "\\A\\x\\deep\\", "\\Apfel\\",
                                       "\\Apfel\\z\\", "\\\xC3\x84pfel\\", "\\b\\", "\\Zebra\\"}));
    EXPECT_EQ(progress.Calls, (Names{"maximum 5", "step at 3", "step at 5", "step at 6",
                                     "step at 7", "step at 8"}));

    SCOPED_TRACE("without progress display; the catalogue file is written back");
    ScanCatalogue(source, collator, catalogue, nullptr);
    std::istringstream stream(WriteCatalogue(catalogue));
    source.PutFile(stream, CatalogueFileName(false));
    EXPECT_EQ(ReadFile(music + "tunrax.dat"),
              "A\r\n\tx\r\n\t\tdeep\r\nApfel\r\n\tz\r\n\xC3\x84pfel\r\nb\r\nZebra\r\n");
    EXPECT_STREQ(CatalogueFileName(true), "tunrax2.dat");
    ScanCatalogue(source, collator, catalogue, nullptr);
    EXPECT_EQ(catalogue.Count(), 8) << "the catalogue file is no folder";
}

// Links that lead out and up (to "/", to the folder above the collection)
// or into the kernel's file systems would make the scan endless; a linked
// album folder elsewhere stays, and a folder reached twice is listed once.
TEST(CatalogueScan, LinksRoundInACircleOrIntoTheSystemEndNothing) {
    namespace fs = std::filesystem;
    TempDir tmp;
    const std::string music = tmp / "Musik/";
    MakeDirs(music + "Artist/Album");
    MakeDirs(music + "Other");
    MakeDirs(tmp / "Elsewhere/Live");
    fs::create_directory_symlink("../..", music + "Artist/Album/up");
    fs::create_directory_symlink("/", music + "wurzel");
    fs::create_directory_symlink(tmp.Path(), music + "oben");
    fs::create_directory_symlink("/proc", music + "kernel");
    fs::create_directory_symlink("/sys", music + "system");
    fs::create_directory_symlink(tmp / "Elsewhere", music + "Linked");
    fs::create_directory_symlink("../Artist", music + "Other/sideways");
    TLocalSource source(false, music);
    const TNameCollator collator("de_DE");
    TCatalogue catalogue;
    const auto start = std::chrono::steady_clock::now();
    ScanCatalogue(source, collator, catalogue, nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(Paths(catalogue), (Names{"\\Artist\\", "\\Artist\\Album\\", "\\Linked\\",
                                       "\\Linked\\Live\\", "\\Other\\"}));

    // Deeper or more folders than the bounds: the scan ends with a message,
    // the folders found so far stay.
    MakeDirs(music + "Tief/a/b/c/d/e");
    try {
        ScanCatalogue(source, collator, catalogue, nullptr, TScanBounds{100, 4});
        ADD_FAILURE() << "no bound on depth";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("mehr als 4 Ebenen tief"), std::string::npos)
            << e.what();
    }
    try {
        ScanCatalogue(source, collator, catalogue, nullptr, TScanBounds{3, 1000});
        ADD_FAILURE() << "no bound on the number of folders";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Die Sammlung hat mehr als 3 Ordner; der Katalog endet hier.");
    }
    EXPECT_EQ(catalogue.Count(), 3);
}

TEST(CatalogueScan, UnreadableSubFolderListsNothing) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every folder";
    TempDir tmp;
    for (const char* folder : {"A/x/deep", "A/y", "B"})
        MakeDirs(tmp / folder);
    ASSERT_EQ(::chmod((tmp / "A/x").c_str(), 0), 0);
    TLocalSource source(false, tmp.Path());
    TCatalogue catalogue;
    ScanCatalogue(source, TNameCollator("de_DE"), catalogue, nullptr);
    EXPECT_EQ(Paths(catalogue), (Names{"\\A\\", "\\A\\x\\", "\\A\\y\\", "\\B\\"}));
}

TEST(CatalogueScan, AsksTheSourceWithFolderPathsInOneContext) {
    ScriptedSource source;
    source.Folders[""] = {"b", "a", "B"};
    source.Folders["\\a\\"] = {"2", "1"};
    source.Folders["\\a\\1\\"] = {"x"};
    source.Folders["\\B\\"] = {"c"};
    source.Folders["\\b\\"] = {"never listed"};
    const TNameCollator collator("de_DE");
    TCatalogue catalogue;

    ScanCatalogue(source, collator, catalogue, nullptr);
    EXPECT_EQ(Paths(catalogue),
              (Names{"\\a\\", "\\a\\1\\", "\\a\\1\\x\\", "\\a\\2\\", "\\B\\", "\\B\\c\\"}))
        << "B before b in byte order; its folders are listed under its own name";
    EXPECT_EQ(source.Listed,
              (Names{"", "\\a\\", "\\a\\1\\", "\\a\\1\\x\\", "\\a\\2\\", "\\B\\", "\\B\\c\\"}));
    EXPECT_EQ(source.ScansBegun, 1);
    EXPECT_EQ(source.ScansEnded, 1);
    for (TScanContext* scan : source.Contexts)
        EXPECT_EQ(scan, source.Contexts.front());
    EXPECT_NE(source.Contexts.front(), nullptr);

    SCOPED_TRACE("an error of the source passes through and frees the context");
    source.FailAtFolder = "\\a\\2\\";
    RecordingProgress progress;
    progress.StepNote = [&] { return std::to_string(catalogue.Count()); };
    try {
        ScanCatalogue(source, collator, catalogue, &progress);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Verbindung unterbrochen");
    }
    EXPECT_EQ(source.ScansBegun, 2);
    EXPECT_EQ(source.ScansEnded, 2);
    EXPECT_EQ(Paths(catalogue), (Names{"\\a\\", "\\a\\1\\", "\\a\\1\\x\\", "\\a\\2\\"}))
        << "the folders added so far stay";
    EXPECT_EQ(progress.Calls, (Names{"maximum 2"}));

    SCOPED_TRACE("names a line-based file cannot carry are left out, the rest reads back");
    source.Folders[""] = {"a", "zwei\nZeilen", std::string("mit\0Null", 8), "r\ra", "z"};
    source.FailAtFolder = "-";
    ScanCatalogue(source, collator, catalogue, nullptr);
    TCatalogue back;
    ParseCatalogue(WriteCatalogue(catalogue), back);
    EXPECT_EQ(Paths(back), (Names{"\\a\\", "\\a\\1\\", "\\a\\1\\x\\", "\\a\\2\\", "\\z\\"}));
}

namespace {

// A local folder whose every listing takes a while, as over a slow network.
class SlowFolders : public TLocalSource {
public:
    using TLocalSource::TLocalSource;
    std::chrono::milliseconds Delay{20};
    // How many listings have been made, for a test on another thread.
    std::atomic<int> Listed{0};
    void ListFolders(std::vector<std::string>& list, const std::string& folder,
                     TScanContext* scan) override {
        TLocalSource::ListFolders(list, folder, scan);
        ++Listed;
        std::this_thread::sleep_for(Delay);
    }
};

}  // namespace

TEST(CatalogueScan, CancellingEndsTheScanBetweenFoldersAndLeavesTheFile) {
    using Clock = std::chrono::steady_clock;
    TempDir tmp;
    std::string deep = tmp.Path();
    for (int i = 0; i < 200; ++i)
        deep += "/d";
    MakeDirs(deep);
    WriteFile(tmp / "tunrax.dat", "alt\r\n");
    SlowFolders source(false, tmp.Path());
    const TNameCollator collator("de_DE");
    TCatalogue catalogue;

    // Called off once the scan is well under way (ten folders listed), not
    // after a fixed time that a busy machine could stretch past its start.
    Clock::time_point cancelled;
    std::thread other([&cancelled, &source] {
        const auto giveUp = Clock::now() + std::chrono::seconds(10);
        while (source.Listed < 10 && Clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        cancelled = Clock::now();
        CancelRunningTransfers();
    });
    try {
        ScanCatalogue(source, collator, catalogue, nullptr);
        ADD_FAILURE() << "the scan ran to its end";
    } catch (const TransferCancelled&) {
    }
    const auto end = Clock::now();
    other.join();
    EXPECT_LT(end - cancelled, std::chrono::seconds(1));
    EXPECT_GT(catalogue.Count(), 0);
    EXPECT_LT(catalogue.Count(), 200);
    EXPECT_EQ(ReadFile(tmp / "tunrax.dat"), "alt\r\n");

    SCOPED_TRACE("the next scan runs as usual");
    source.Delay = std::chrono::milliseconds(0);
    ScanCatalogue(source, collator, catalogue, nullptr);
    EXPECT_EQ(catalogue.Count(), 200);
}

TEST(CatalogueScan, EndingTheProgramEndsEveryScan) {
    // The switch cannot be turned back, so it is thrown in a child.
    EXPECT_EXIT(
        {
            ScriptedSource source;
            source.Folders[""] = {"a"};
            EndAllTransfers();
            TCatalogue catalogue;
            try {
                ScanCatalogue(source, TNameCollator("de_DE"), catalogue, nullptr);
            } catch (const TransferCancelled&) {
                std::exit(source.Listed.empty() && catalogue.Count() == 0 ? 0 : 1);
            }
            std::exit(2);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(CatalogueFetch, TakesAtMostTheLimitAndNamesTheFile) {
    ScriptedSource source;
    source.Content = [](const std::string& path) { return path + "\r\n\tx\r\n"; };
    // "tunrax.dat\r\n\tx\r\n" is 16 bytes.
    EXPECT_EQ(FetchCatalogueText(source, 16), "tunrax.dat\r\n\tx\r\n");
    EXPECT_EQ(source.Fetched, (Names{"tunrax.dat"}));

    // The scripted source ignores a stream that refuses bytes, as a careless
    // source would: the limit holds all the same.
    const auto failure = [&source](size_t limit) {
        try {
            FetchCatalogueText(source, limit);
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(failure(15), "Der Katalog \"tunrax.dat\" ist zu groß (mehr als 15 Bytes).");
    source.Alternative = true;
    source.Content = [](const std::string&) { return std::string(3 << 10, 'x'); };
    EXPECT_EQ(failure(2 << 10), "Der Katalog \"tunrax2.dat\" ist zu groß (mehr als 2 KB).");

    SCOPED_TRACE("the source's own error comes first");
    source.FailAfterBytes = 5;
    EXPECT_EQ(failure(2 << 10), "Verbindung abgebrochen");
}

#ifdef TUNRAX_KATALOG
namespace {

// Runs the tool with standard output and error into files; its exit status.
int RunTool(const TempDir& tmp, const Names& args, std::string& out, std::string& err) {
    Names argv = {TUNRAX_KATALOG};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, tmp.Path(), out, err);
}

}  // namespace

TEST(CatalogueTool, PrintsOrWritesTheCatalogue) {
    TempDir tmp;
    const std::string music = tmp / "Musik";
    for (const char* folder : {"b", "A/x", "a", "\xE4rger"})
        MakeDirs(music + "/" + folder);
    ScopedEnv locale("LC_ALL", "de_DE.UTF-8");
    std::string out, err;

    EXPECT_EQ(RunTool(tmp, {music}, out, err), 0) << err;
    EXPECT_EQ(out, "A\r\n\tx\r\n\xE4rger\r\nb\r\n");
    EXPECT_FALSE(Exists(music + "/tunrax.dat"));

    EXPECT_EQ(RunTool(tmp, {"--schreiben", music}, out, err), 0) << err;
    EXPECT_EQ(ReadFile(music + "/tunrax.dat"), "A\r\n\tx\r\n\xE4rger\r\nb\r\n");
    EXPECT_NE(err.find("4 Verzeichnisse"), std::string::npos) << err;
    EXPECT_EQ(out, "");

    MakeDirs(music + "/c");
    EXPECT_EQ(RunTool(tmp, {"--alternativ", "--schreiben", music + "/"}, out, err), 0) << err;
    EXPECT_EQ(ReadFile(music + "/tunrax2.dat"), "A\r\n\tx\r\n\xE4rger\r\nb\r\nc\r\n");
    EXPECT_EQ(ReadFile(music + "/tunrax.dat"), "A\r\n\tx\r\n\xE4rger\r\nb\r\n");

    SCOPED_TRACE("errors and usage");
    EXPECT_EQ(RunTool(tmp, {tmp / "fehlt"}, out, err), 1);
    EXPECT_EQ(err, "tunrax-katalog: Verzeichnis \"" + tmp / "fehlt" + "\" nicht gefunden\n");
    EXPECT_EQ(RunTool(tmp, {music + "/A/x/../../tunrax.dat"}, out, err), 1) << "a file";
    EXPECT_EQ(RunTool(tmp, {}, out, err), 2);
    EXPECT_NE(err.find("Aufruf: tunrax-katalog"), std::string::npos) << err;
    EXPECT_EQ(RunTool(tmp, {"--unsinn", music}, out, err), 2);
    EXPECT_EQ(RunTool(tmp, {music, music}, out, err), 2);
    EXPECT_EQ(RunTool(tmp, {"--hilfe"}, out, err), 0);
    EXPECT_EQ(out.rfind("Aufruf: tunrax-katalog [--schreiben] [--alternativ] VERZEICHNIS\n", 0), 0u)
        << out;
}
#endif
