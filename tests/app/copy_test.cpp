// The copy wizard driven through its pages on real temporary folders.
#include "app/copy.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <functional>
#include <ostream>

#include "app/haupt.h"
#include "settings/Error.h"
#include "settings/Vel_ini.h"
#include "settings/vel_tools.h"
#include "sources/transfer.h"
#include "support/LocalSource.h"
#include "support/TempDir.h"
#include "support/WindowInput.h"
#include "widgets/velCombo.h"
#include "widgets/velWizard.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

// Songs whose content is their path; OnGet may fail or act on a song.
class ScriptedSource : public TCustomTransfer {
public:
    ScriptedSource() : TCustomTransfer(false) { Capabilities = CanCopy; }
    void GetFile(std::ostream& dest, const std::string& path) override {
        if (OnGet)
            OnGet(path);
        dest << path;
    }
    void ListFiles(std::vector<std::string>&, const std::string&) override {}
    int64_t GetSizeKB(const std::vector<std::string>&) override { return 1536; }
    std::function<void(const std::string&)> OnGet;
};

class CopyWizardTest : public ::testing::Test {
protected:
    std::unique_ptr<TfmCopy> Open(const std::string& listName = "") {
        auto form = std::make_unique<TfmCopy>(nullptr, settings);
        form->FSource = &source;
        form->FSongs = &songs;
        form->FListName = listName;
        form->cbListe->setEnabled(!listName.empty());
        return form;
    }
    static void Next(TfmCopy& form) { form.velWizard1->ButtonClick(bkNext); }

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
    TVelIniFile settings{tmp / "tunrax.ini"};
    ScriptedSource source;
    std::vector<std::string> songs{"\\A\\01-Title.mp3", "\\A\\02 - Next.mp3", "\\B\\03 Third.mp3"};
    const std::string player = tmp / "Spieler mit Ü/";
    MessageBoxReader boxes;  // an error box would hold the test
};

}  // namespace

TEST_F(CopyWizardTest, CopiesIntoTheListFolderOnceAndRemembersTheOptions) {
    {
        auto form = Open("Party");
        EXPECT_TRUE(form->cbListe->isChecked()) << "default on first use";
        EXPECT_EQ(form->velWizard1->StatusLabelText(), QStringLiteral("Seite 1 von 3"));
        form->edDir->setText(QString::fromStdString(player));
        Next(*form);
        EXPECT_EQ(form->FTargetDir, player + "Party/");
        EXPECT_EQ(form->edAnzahl->text(), QStringLiteral("3"));
        EXPECT_EQ(form->edSize->text(), QStringLiteral("2"));
        Next(*form);
        EXPECT_EQ(form->velWizard1->ActivePage(), form->wpStart);
        form->btnStart->click();
        EXPECT_EQ(form->result(), 1);
        EXPECT_EQ(form->CopiedCount(), 3);
        EXPECT_EQ(form->pbStatus->maximum(), 3);
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
    EXPECT_EQ(form->edDir->text().toStdString(), player);
    EXPECT_FALSE(form->cbListe->isEnabled());
    Next(*form);
    EXPECT_EQ(form->FTargetDir, player);
    Next(*form);
    form->btnStart->click();
    EXPECT_EQ(form->CopiedCount(), 2);
    EXPECT_EQ(ReadFile(player + "001-Title.mp3"), "schon da");
}

TEST_F(CopyWizardTest, RefusalsAndFailuresLeaveNoDamage) {
    auto form = Open();
    form->cbOrg->setChecked(true);
    try {
        Next(*form);
        FAIL() << "an empty folder was accepted";
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), "Bitte ein Verzeichnis wählen");
    }
    WriteFile(tmp / "eine Datei", "x");
    form->edDir->setText(QString::fromStdString(tmp / "eine Datei/unter"));
    EXPECT_THROW(Next(*form), Error);
    EXPECT_EQ(form->velWizard1->ActivePage(), form->velWizardPage1);
    EXPECT_FALSE(settings.SectionExists("mobiler tunRax")) << "options stored only on success";

    // The source fails at the second song: the first stays, the second leaves
    // nothing, the wizard stays on its last page with Start and Back off.
    form->edDir->setText(QString::fromStdString(player));
    Next(*form);
    Next(*form);
    source.OnGet = [](const std::string& path) {
        if (path.find("02") != std::string::npos)
            throw Error("Die Verbindung zum Server ist abgebrochen.");
    };
    EXPECT_THROW(form->btnStartClick(), Error);
    EXPECT_EQ(ReadFile(player + "A/01-Title.mp3"), "\\A\\01-Title.mp3");
    std::vector<std::string> left;
    FindFiles(left, player, "*", false, true);
    EXPECT_EQ(left, std::vector<std::string>{"A\\01-Title.mp3"});
    EXPECT_FALSE(form->btnStart->isEnabled());
    EXPECT_FALSE(form->velWizard1->BtnBack.Button()->isEnabled());
    EXPECT_TRUE(form->velWizard1->BtnCancel.Button()->isEnabled());
    EXPECT_FALSE(form->Copying());

    // A song path that leads out of the target is never written.
    songs = {"\\..\\..\\ausserhalb.mp3"};
    source.OnGet = nullptr;
    auto escape = Open();
    escape->cbOrg->setChecked(true);
    escape->edDir->setText(QString::fromStdString(player));
    Next(*escape);
    Next(*escape);
    EXPECT_THROW(escape->btnStartClick(), Error);
    EXPECT_FALSE(Exists(tmp / "ausserhalb.mp3"));
}

TEST_F(CopyWizardTest, CancelStopsAfterTheSongUnderWay) {
    auto form = Open();
    form->edDir->setText(QString::fromStdString(player));
    Next(*form);
    Next(*form);
    int fetched = 0;
    source.OnGet = [&](const std::string&) {
        // As a click on Cancel that arrives while the first song is fetched.
        if (++fetched == 1)
            QTimer::singleShot(0, form.get(),
                               [&] { form->velWizard1->BtnCancel.Button()->click(); });
    };
    form->show();
    form->btnStartClick();
    EXPECT_EQ(fetched, 1);
    EXPECT_EQ(form->CopiedCount(), 1);
    EXPECT_FALSE(form->isVisible());
    EXPECT_NE(form->result(), 1);
}

TEST_F(CopyWizardTest, MainWindowOffersTheSongsShown) {
    ScopedEnv runtime = LocalCollection();
    TfmMain form(settings, CreateGStreamerLibrary("fakesink"));
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    EXPECT_FALSE(Ui(form).acKopieren->isEnabled()) << "no songs listed";
    ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\A\\"));
    ASSERT_TRUE(Ui(form).acKopieren->isEnabled());
    std::vector<std::string> offered;
    std::string listName = "?";
    // Stands in for the wizard, which the tests above drive.
    form.ShowCopy = [&](const std::vector<std::string>& list, const std::string& name) {
        offered = list;
        listName = name;
    };
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acKopieren));
    EXPECT_EQ(offered, (std::vector<std::string>{"\\A\\01-Eins.mp3", "\\A\\02-Zwei.mp3"}));
    EXPECT_EQ(listName, "");
    ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Beenden1));
}

// The session ends while the wizard is open: the wizard goes first (it uses
// the window's source), then the program.
TEST_F(CopyWizardTest, SessionEndClosesTheWizardFirst) {
    ScopedEnv runtime = LocalCollection();
    TfmMain form(settings, CreateGStreamerLibrary("fakesink"));
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\A\\"));
    bool wizardSeen = false;
    bool sourceWhenWizardWent = false;
    QTimer::singleShot(200, &form, [&] {
        auto* wizard = form.findChild<TfmCopy*>();
        wizardSeen = wizard && wizard->isVisible();
        if (wizard)
            QObject::connect(wizard, &QObject::destroyed, &form,
                             [&] { sourceWhenWizardWent = form.FSource != nullptr; });
        form.SessionEnd();
        EXPECT_TRUE(form.isVisible()) << "the window must wait for the wizard";
    });
    // The wizard is modal: the click returns once it has closed.
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acKopieren));
    EXPECT_TRUE(wizardSeen);
    EXPECT_EQ(form.findChild<TfmCopy*>(), nullptr);
    EXPECT_TRUE(sourceWhenWizardWent) << "the source went before the wizard";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 2000));
    EXPECT_FALSE(form.FSource);
}
