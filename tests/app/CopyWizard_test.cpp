// The copy wizard driven through its pages on real temporary folders.
#include "app/CopyWizard.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <utility>

#include "app/MainWindow.h"
#include "gst/GstAudioBackend.h"
#include "io/Error.h"
#include "io/FileTools.h"
#include "settings/IniFile.h"
#include "sources/Source.h"
#include "sources/TransferControl.h"
#include "support/LocalSource.h"
#include "support/ScopedMount.h"
#include "support/ScriptedSource.h"
#include "support/TempDir.h"
#include "support/TestDialogs.h"
#include "support/WindowInput.h"
#include "widgets/AppWindow.h"
#include "widgets/DirectoryEdit.h"
#include "widgets/TransferWait.h"
#include "widgets/Wizard.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

// Songs whose content is their path; BeforeGet may fail or act on a song.
std::unique_ptr<ScriptedSource> CopyableSource() {
    auto source = std::make_unique<ScriptedSource>(CanCopy);
    source->SizeKB = 1536;
    return source;
}

// Hands source to owner and returns it, for the test to script it further.
ScriptedSource& Own(TSourceOwner& owner, std::unique_ptr<ScriptedSource> source) {
    ScriptedSource& kept = *source;
    owner.Set(std::move(source));
    return kept;
}

void Start(TCopyWizard& form) {
    Click(Find<QPushButton>(form, "btnStart"));
}

class CopyWizardTest : public ::testing::Test {
protected:
    // The source breaks off at the second song, as a network does.
    void FailAtTheSecondSong() {
        source.BeforeGet = [](const std::string& path) {
            if (path.find("02") != std::string::npos)
                throw Error("Die Verbindung zum Server ist abgebrochen.");
        };
    }
    // Opens the wizard on screen, as the main window does, without waiting
    // for it to close.
    std::unique_ptr<TCopyWizard> Open(const std::string& listName = "") {
        auto form = std::make_unique<TCopyWizard>(nullptr, settings, sources, songs, listName);
        ShowStarted(*form);
        return form;
    }
    // The error boxes shown since the last call.
    std::vector<std::string> ErrorsShown() { return std::exchange(boxes.Texts, {}); }

    // An album "A" of two songs as the main window's local collection; the
    // window's private folder lives while the result does.
    [[nodiscard]] ScopedEnv LocalCollection() {
        const std::string music = tmp / "Musik/";
        WriteFile(music + "tunrax.dat", "A\r\n");
        WriteFile(music + "A/01-Eins.mp3", "1");
        WriteFile(music + "A/02-Zwei.mp3", "2");
        ChooseLocalSource(settings, music);
        return ScopedEnv("XDG_RUNTIME_DIR", tmp.Path().c_str());
    }

    void TearDown() override { EXPECT_EQ(boxes.Texts, std::vector<std::string>{}); }

    TempDir tmp;
    ScopedEnv config{"XDG_CONFIG_HOME", (tmp / "config").c_str()};
    TIniFile settings{tmp / "tunrax.ini"};
    TSourceOwner sources{[](TSourceOwner::Step step) { QTimer::singleShot(0, step); }};
    ScriptedSource& source = Own(sources, CopyableSource());
    std::vector<std::string> songs{"\\A\\01-Title.mp3", "\\A\\02 - Next.mp3", "\\B\\03 Third.mp3"};
    const std::string player = tmp / "Spieler mit Ü/";
    MessageBoxReader boxes;  // an error box would hold the test
};

}  // namespace

TEST_F(CopyWizardTest, CopiesIntoTheListFolderOnceAndRemembersTheOptions) {
    {
        auto form = Open("Party");
        EXPECT_TRUE(BoxOf(*form, "cbListe")->isChecked()) << "default on first use";
        EXPECT_EQ(WizardOf(*form)->StatusLabelText(), QStringLiteral("Seite 1 von 3"));
        TypeOver(FieldOf(*form, "edDir"), QString::fromStdString(player));
        ClickNext(*form);
        EXPECT_EQ(form->TargetDir(), player + "Party/");
        EXPECT_EQ(FieldOf(*form, "edAnzahl")->text(), QStringLiteral("3"));
        EXPECT_EQ(FieldOf(*form, "edSize")->text(), QStringLiteral("2"));
        ClickNext(*form);
        EXPECT_EQ(WizardOf(*form)->ActivePage(), PageOf(*form, "wpStart"));
        Start(*form);
        EXPECT_EQ(form->result(), 1);
        EXPECT_EQ(form->CopiedCount(), 3);
        EXPECT_EQ(Find<QProgressBar>(*form, "pbStatus")->maximum(), 3);
        EXPECT_EQ(ReadFile(player + "Party/002- Next.mp3"), "\\A\\02 - Next.mp3");
        EXPECT_TRUE(Exists(player + "Party/001-Title.mp3"));
        EXPECT_TRUE(Exists(player + "Party/003-Third.mp3"));
    }
    EXPECT_EQ(settings.ReadString("mobiler tunRax", "Verzeichnis", ""), player);
    EXPECT_TRUE(settings.ReadBool("mobiler tunRax", "ListenName", false));

    // Again, from the page "Alle" (no list name): the options come back, the
    // list folder is not used, and nothing already there is copied again.
    WriteFile(player + "001-Title.mp3", "schon da");
    auto form = Open();
    EXPECT_EQ(FieldOf(*form, "edDir")->text().toStdString(), player);
    EXPECT_FALSE(BoxOf(*form, "cbListe")->isEnabled());
    ClickNext(*form);
    EXPECT_EQ(form->TargetDir(), player);
    ClickNext(*form);
    Start(*form);
    EXPECT_EQ(form->CopiedCount(), 2);
    EXPECT_EQ(ReadFile(player + "001-Title.mp3"), "schon da");
}

TEST_F(CopyWizardTest, RefusalsAndFailuresLeaveNoDamage) {
    auto form = Open();
    MarkAs(BoxOf(*form, "cbOrg"), true);
    ClickNext(*form);
    EXPECT_EQ(ErrorsShown(), std::vector<std::string>{"Bitte ein Verzeichnis wählen"})
        << "an empty folder was accepted";
    WriteFile(tmp / "eine Datei", "x");
    TypeOver(FieldOf(*form, "edDir"), QString::fromStdString(tmp / "eine Datei/unter"));
    ClickNext(*form);
    EXPECT_EQ(ErrorsShown().size(), 1u);
    EXPECT_EQ(WizardOf(*form)->ActivePage(), PageOf(*form, "velWizardPage1"));
    EXPECT_FALSE(settings.SectionExists("mobiler tunRax")) << "options stored only on success";

    // The source fails at the second song: the first stays, the second leaves
    // nothing, the wizard stays on its last page with Start and Back off.
    TypeOver(FieldOf(*form, "edDir"), QString::fromStdString(player));
    ClickNext(*form);
    ClickNext(*form);
    FailAtTheSecondSong();
    Start(*form);
    EXPECT_EQ(ErrorsShown().size(), 1u);
    EXPECT_EQ(ReadFile(player + "A/01-Title.mp3"), "\\A\\01-Title.mp3");
    std::vector<std::string> left;
    FindFiles(left, player, "*", false, true);
    EXPECT_EQ(left, std::vector<std::string>{"A\\01-Title.mp3"});
    EXPECT_FALSE(Find<QPushButton>(*form, "btnStart")->isEnabled());
    EXPECT_FALSE(WizardOf(*form)->BtnBack.Button()->isEnabled());
    EXPECT_TRUE(WizardOf(*form)->BtnCancel.Button()->isEnabled());
    EXPECT_FALSE(form->Copying());

    // A song path that leads out of the target is never written.
    songs = {"\\..\\..\\ausserhalb.mp3"};
    source.BeforeGet = nullptr;
    auto escape = Open();
    MarkAs(BoxOf(*escape, "cbOrg"), true);
    TypeOver(FieldOf(*escape, "edDir"), QString::fromStdString(player));
    ClickNext(*escape);
    ClickNext(*escape);
    Start(*escape);
    EXPECT_EQ(ErrorsShown().size(), 1u);
    EXPECT_FALSE(Exists(tmp / "ausserhalb.mp3"));
}

TEST_F(CopyWizardTest, ASongThatFailsEndsTheCopyWithThePlaylistOfTheSongsBeforeIt) {
    auto form = Open("Liste");
    MarkAs(BoxOf(*form, "cbWiedergabeliste"), true);
    TypeOver(FieldOf(*form, "edDir"), QString::fromStdString(player));
    ClickNext(*form);
    ClickNext(*form);
    FailAtTheSecondSong();
    Start(*form);
    const std::vector<std::string> shown = ErrorsShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("\\A\\02 - Next.mp3"), std::string::npos)
        << "the message does not name the song: " << shown[0];
    EXPECT_EQ(FolderEntries(player + "Liste"),
              (std::vector<std::string>{"001-Title.mp3", "Liste.m3u"}));
    EXPECT_EQ(ReadFile(player + "Liste/Liste.m3u"), "001-Title.mp3\r\n")
        << "the songs copied have no playlist";
}

TEST_F(CopyWizardTest, CancelStopsAfterTheSongUnderWay) {
    auto form = Open();
    TypeOver(FieldOf(*form, "edDir"), QString::fromStdString(player));
    ClickNext(*form);
    ClickNext(*form);
    int fetched = 0;
    source.BeforeGet = [&](const std::string&) {
        // As a click on Cancel that arrives while the first song is fetched.
        if (++fetched == 1)
            QTimer::singleShot(0, form.get(), [&] { Click(WizardOf(*form)->BtnCancel.Button()); });
    };
    Start(*form);
    EXPECT_EQ(fetched, 1);
    EXPECT_EQ(form->CopiedCount(), 1);
    EXPECT_FALSE(form->isVisible());
    EXPECT_NE(form->result(), 1);
}

TEST_F(CopyWizardTest, AbbrechenCallsOffTheSongUnderWay) {
    // The main window behind the wizard runs the event loop while a
    // transfer waits, as it does in the program.
    TAppWindow main;
    TTransferWaitWindow waiting(&main, {}, {});
    auto form = Open();
    TypeOver(FieldOf(*form, "edDir"), QString::fromStdString(player));
    ClickNext(*form);
    ClickNext(*form);
    int fetched = 0;
    QElapsedTimer sinceClick;
    source.BeforeGet = [&](const std::string&) {
        if (++fetched < 2)
            return;
        // The second song hangs as on a server that has stopped sending;
        // Cancel is clicked meanwhile.
        QTimer::singleShot(100, form.get(), [&] {
            sinceClick.start();
            Click(WizardOf(*form)->BtnCancel.Button());
        });
        TPaceLimits unhurried;
        unhurried.minBytes = 0;
        TTransferWatch watch("\"\\A\\02 - Next.mp3\"", unhurried);
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 5000) {
            QThread::msleep(10);
            watch.Check();
        }
    };
    Start(*form);
    ASSERT_TRUE(sinceClick.isValid());
    EXPECT_LT(sinceClick.elapsed(), 1000);
    EXPECT_EQ(fetched, 2);
    EXPECT_EQ(form->CopiedCount(), 1);
    EXPECT_FALSE(form->isVisible());
    EXPECT_NE(form->result(), 1);
    // The first song stays; of the second, nothing, not even a temporary file.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(player))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"001-Title.mp3"});
}

TEST_F(CopyWizardTest, MainWindowOffersTheSongsShown) {
    ScopedEnv runtime = LocalCollection();
    auto dialogs = std::make_unique<TTestDialogs>();
    TTestDialogs& standIn = *dialogs;
    TMainWindow form(settings, CreateGStreamerBackend("fakesink"), std::move(dialogs));
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    EXPECT_FALSE(Ui(form).acKopieren->isEnabled()) << "no songs listed";
    ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\A\\"));
    ASSERT_TRUE(Ui(form).acKopieren->isEnabled());
    std::vector<std::string> offered;
    std::string listName = "?";
    // Stands in for the wizard, which the tests above drive.
    standIn.OnCopy = [&](const std::vector<std::string>& list, const std::string& name) {
        offered = list;
        listName = name;
    };
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acKopieren));
    EXPECT_EQ(offered, (std::vector<std::string>{"\\A\\01-Eins.mp3", "\\A\\02-Zwei.mp3"}));
    EXPECT_EQ(listName, "");
    ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Beenden1));
}

TEST_F(CopyWizardTest, WritesThePlaylistInListOrderAndRemembersTheOption) {
    {
        auto form = Open("Party: Mix?");
        EXPECT_FALSE(BoxOf(*form, "cbWiedergabeliste")->isChecked()) << "off on first use";
        MarkAs(BoxOf(*form, "cbWiedergabeliste"), true);
        TypeOver(FieldOf(*form, "edDir"), QString::fromStdString(player));
        ClickNext(*form);
        ClickNext(*form);
        Start(*form);
        EXPECT_EQ(form->result(), 1);
    }
    // The list folder and the list are named as FAT allows.
    EXPECT_EQ(FolderEntries(player + "Party_ Mix_"),
              (std::vector<std::string>{"001-Title.mp3", "002- Next.mp3", "003-Third.mp3",
                                        "Party_ Mix_.m3u"}));
    EXPECT_EQ(ReadFile(player + "Party_ Mix_/Party_ Mix_.m3u"),
              "001-Title.mp3\r\n002- Next.mp3\r\n003-Third.mp3\r\n");
    EXPECT_TRUE(settings.ReadBool("mobiler tunRax", "Wiedergabeliste", false));

    // An album in the collection's folders: the list is named after the
    // album and keeps the list's order. Switched off, none is written.
    songs = {"\\Band\\Album?\\02-B.mp3", "\\Band\\Album?\\01-A.mp3"};
    const std::string list = player + "Album_.m3u";
    for (bool wanted : {true, false}) {
        auto form = Open();
        EXPECT_TRUE(BoxOf(*form, "cbWiedergabeliste")->isChecked());
        MarkAs(BoxOf(*form, "cbWiedergabeliste"), wanted);
        MarkAs(BoxOf(*form, "cbOrg"), true);
        ClickNext(*form);
        ClickNext(*form);
        Start(*form);
        EXPECT_EQ(form->result(), 1);
        if (wanted) {
            EXPECT_EQ(ReadFile(list), "Band/Album_/02-B.mp3\r\nBand/Album_/01-A.mp3\r\n");
            std::filesystem::remove(list);
        }
    }
    EXPECT_FALSE(Exists(list));
    EXPECT_FALSE(settings.ReadBool("mobiler tunRax", "Wiedergabeliste", true));
}

// "mp3-Dateien im Verzeichnis löschen ?" deletes only what the user agreed
// to: the question counts the files the copy does not bring back, in every
// folder below the target; its default "Nein" leaves everything as it was.
TEST_F(CopyWizardTest, AsksBeforeClearingAndNeinChangesNothing) {
    const std::vector<std::string> others = {"A/alt.mp3", "Fremd/x.mp3", "Fremd/y.mp3", "z.mp3"};
    for (const std::string& file : others)
        WriteFile(player + file, "alt");
    WriteFile(player + "A/01-Title.mp3", "schon da");
    WriteFile(player + "notiz.txt", "bleibt");
    int fetched = 0;
    source.BeforeGet = [&](const std::string&) { ++fetched; };
    const std::string question =
        "Im Zielverzeichnis werden 4 mp3-Dateien in 3 Ordnern gelöscht, die nicht in der Liste "
        "stehen. Löschen und kopieren?";
    auto files = [&] {
        std::vector<std::string> found;
        FindFiles(found, player, "*", false, true);
        std::sort(found.begin(), found.end());
        return found;
    };
    const std::vector<std::string> before = files();

    auto form = Open();
    MarkAs(BoxOf(*form, "cbOrg"), true);
    MarkAs(BoxOf(*form, "cbLoeschen"), true);
    TypeOver(FieldOf(*form, "edDir"), QString::fromStdString(player));
    ClickNext(*form);
    ClickNext(*form);
    Start(*form);
    EXPECT_EQ(ErrorsShown(), std::vector<std::string>{question});
    EXPECT_EQ(files(), before);
    for (const std::string& file : others)
        EXPECT_EQ(ReadFile(player + file), "alt") << file;
    EXPECT_EQ(fetched, 0) << "a song was fetched";
    EXPECT_EQ(form->CopiedCount(), 0);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(WizardOf(*form)->ActivePage(), PageOf(*form, "wpStart"));
    EXPECT_TRUE(Find<QPushButton>(*form, "btnStart")->isEnabled());
    EXPECT_TRUE(WizardOf(*form)->BtnBack.Button()->isEnabled()) << "the user may untick";

    boxes.Answers.push_back(QStringLiteral("&Ja"));
    Start(*form);
    EXPECT_EQ(ErrorsShown(), std::vector<std::string>{question});
    EXPECT_EQ(form->result(), 1);
    EXPECT_EQ(form->CopiedCount(), 2);
    EXPECT_EQ(files(), (std::vector<std::string>{"A\\01-Title.mp3", "A\\02 - Next.mp3",
                                                 "B\\03 Third.mp3", "notiz.txt"}));
    EXPECT_EQ(ReadFile(player + "A/01-Title.mp3"), "schon da");

    // Nothing that the copy does not bring back: no question.
    form = Open();
    EXPECT_TRUE(BoxOf(*form, "cbLoeschen")->isChecked());
    ClickNext(*form);
    ClickNext(*form);
    Start(*form);
    EXPECT_EQ(ErrorsShown(), std::vector<std::string>{});
    EXPECT_EQ(form->result(), 1);
}

// A song that fails: the message says how many songs came across and names
// the failing one as the song list shows it.
TEST_F(CopyWizardTest, AFailureSaysHowManySongsWereCopiedAndWhichFailed) {
    songs = {"\\A\\01-Eins.mp3", "\\A\\02-Zwei.mp3", "\\A\\05 Teil 1: Anfang.mp3",
             "\\A\\06-Ende.mp3"};
    source.BeforeGet = [](const std::string& path) {
        if (path.find("Teil") != std::string::npos)
            throw Error("Die Verbindung zum Server ist abgebrochen.");
    };
    auto form = Open();
    TypeOver(FieldOf(*form, "edDir"), QString::fromStdString(player));
    ClickNext(*form);
    ClickNext(*form);
    Start(*form);
    const std::vector<std::string> shown = ErrorsShown();
    ASSERT_EQ(shown.size(), 1u);
    const std::string summary =
        "2 von 4 Liedern wurden kopiert. Beim Lied „Teil 1: Anfang“ trat ein Fehler auf:\n";
    EXPECT_EQ(shown[0].substr(0, summary.size()), summary) << shown[0];
    EXPECT_NE(shown[0].find("Die Verbindung zum Server ist abgebrochen."), std::string::npos)
        << "the reason is lost: " << shown[0];
    EXPECT_EQ(FolderEntries(player), (std::vector<std::string>{"001-Eins.mp3", "002-Zwei.mp3"}));
}

// The target's free space on page 2, and "Start" refusing songs that do not
// fit, unless clearing makes room. A small tmpfs, which only root may mount.
TEST_F(CopyWizardTest, ShowsTheFreeSpaceAndCopiesOnlyWhatFits) {
    const std::string small = tmp / "klein/";
    MakeDirs(small);
    const ScopedMount mount = ScopedMount::Tmpfs(small, "3m");
    if (!mount.Mounted())
        GTEST_SKIP() << "cannot mount a small file system here";
    WriteFile(small + "alt.mp3", std::string(2 << 20, 'a'));

    auto form = Open();
    TypeOver(FieldOf(*form, "edDir"), QString::fromStdString(small));
    ClickNext(*form);
    EXPECT_EQ(FieldOf(*form, "edSize")->text(), QStringLiteral("2"));
    EXPECT_EQ(Find<QLabel>(*form, "lbFrei")->text(), QStringLiteral("frei: 1 MB"));
    EXPECT_TRUE(Find<QLabel>(*form, "lbFrei")->isVisible());
    ClickNext(*form);
    Start(*form);
    EXPECT_EQ(ErrorsShown(), std::vector<std::string>{
                                 "Die Lieder passen nicht auf den Datenträger: Sie brauchen 2 MB, "
                                 "frei sind nur 1 MB. Es wurde nichts kopiert."});
    EXPECT_EQ(FolderEntries(small), std::vector<std::string>{"alt.mp3"});
    EXPECT_TRUE(Find<QPushButton>(*form, "btnStart")->isEnabled()) << "the options may change";
    EXPECT_TRUE(WizardOf(*form)->BtnBack.Button()->isEnabled());

    // Clearing the folder first makes room, once the user agrees.
    ClickBack(*form);
    ClickBack(*form);
    MarkAs(BoxOf(*form, "cbLoeschen"), true);
    ClickNext(*form);
    ClickNext(*form);
    boxes.Answers.push_back(QStringLiteral("&Ja"));
    Start(*form);
    EXPECT_EQ(ErrorsShown(), std::vector<std::string>{
                                 "Im Zielverzeichnis wird 1 mp3-Datei in 1 Ordner gelöscht, die "
                                 "nicht in der Liste steht. Löschen und kopieren?"});
    EXPECT_EQ(form->result(), 1);
    EXPECT_EQ(FolderEntries(small),
              (std::vector<std::string>{"001-Title.mp3", "002- Next.mp3", "003-Third.mp3"}));

    // The player, nearly full, refreshed with the same songs: they are there
    // already and need no room, although they would not fit a second time.
    // (Without clearing: a flat folder that is cleared gets all its songs
    // anew.)
    WriteFile(small + "notizen.txt", std::string(2 << 20, 'n'));
    form = Open();
    TypeOver(FieldOf(*form, "edDir"), QString::fromStdString(small));
    MarkAs(BoxOf(*form, "cbLoeschen"), false);
    ClickNext(*form);
    EXPECT_EQ(Find<QLabel>(*form, "lbFrei")->text(), QStringLiteral("frei: 0 MB"));
    ClickNext(*form);
    Start(*form);
    EXPECT_EQ(ErrorsShown(), std::vector<std::string>{});
    EXPECT_EQ(form->result(), 1);
    EXPECT_EQ(FolderEntries(small), (std::vector<std::string>{"001-Title.mp3", "002- Next.mp3",
                                                              "003-Third.mp3", "notizen.txt"}));
}

// The session ends while the wizard is open: the wizard goes first (it uses
// the window's source), then the program.
TEST_F(CopyWizardTest, SessionEndClosesTheWizardFirst) {
    ScopedEnv runtime = LocalCollection();
    TMainWindow form(settings, CreateGStreamerBackend("fakesink"));
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\A\\"));
    bool wizardSeen = false;
    bool sourceWhenWizardWent = false;
    QTimer::singleShot(200, &form, [&] {
        auto* wizard = form.findChild<TCopyWizard*>();
        wizardSeen = wizard && wizard->isVisible();
        if (wizard)
            QObject::connect(wizard, &QObject::destroyed, &form,
                             [&] { sourceWhenWizardWent = form.Source().Get() != nullptr; });
        form.SessionEnd();
        EXPECT_TRUE(form.isVisible()) << "the window must wait for the wizard";
    });
    // The wizard is modal: the click returns once it has closed.
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acKopieren));
    EXPECT_TRUE(wizardSeen);
    EXPECT_EQ(form.findChild<TCopyWizard*>(), nullptr);
    EXPECT_TRUE(sourceWhenWizardWent) << "the source went before the wizard";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 2000));
    EXPECT_FALSE(form.Source());
}
