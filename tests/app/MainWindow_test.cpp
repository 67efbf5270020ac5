// The main window on a real collection in a temporary folder, and the real
// program in separate processes.
#include "app/MainWindow.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <clocale>

#include <filesystem>
#include <functional>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include "app/CatalogueModel.h"
#include "app/StartCaption.h"
#include "gst/GstAudioBackend.h"
#include "io/Error.h"
#include "settings/IniFile.h"
#include "sources/Source.h"
#include "support/LocalSource.h"
#include "support/RecordingAudioBackend.h"
#include "support/Servers.h"
#include "support/TempDir.h"
#include "support/TestDialogs.h"
#include "support/WindowInput.h"
#include "tunrax_version.h"
#include "widgets/TrayIcon.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

// Plays in real time without a sound card.
const char kTestSink[] = "fakesink sync=true";

class MainWindowTest : public ::testing::Test, protected WindowTestHome {
protected:
    MainWindowTest() {
        // The caption's date separator comes from the C library's date format.
        ::setlocale(LC_TIME, "C");
        ChooseLocalSource(settings, music);
        MakeDirs(music);
    }
    ~MainWindowTest() override { ::setlocale(LC_TIME, ""); }

    void TearDown() override { EXPECT_EQ(boxes.Texts, std::vector<std::string>{}); }

    // The names of the album tree, in pre-order, each indented by its depth.
    static std::vector<std::string> TreeLines(const TMainWindow& form) {
        std::vector<std::string> lines;
        const TCatalogue& catalogue = Ui(form).AlbumModel->Catalogue();
        std::function<void(int32_t)> walk = [&](int32_t parent) {
            for (int32_t node : catalogue.ChildrenOf(parent)) {
                lines.push_back(std::string(static_cast<size_t>(catalogue.At(node).Level), ' ') +
                                catalogue.At(node).Name);
                walk(node);
            }
        };
        walk(TCatalogue::kNone);
        return lines;
    }

    static std::vector<std::string> Captions(const TMainWindow& form) {
        std::vector<std::string> captions;
        for (int i = 0; i < Ui(form).lvLieder->topLevelItemCount(); ++i)
            captions.push_back(Ui(form).lvLieder->topLevelItem(i)->text(0).toStdString());
        return captions;
    }
};

}  // namespace

TEST_F(MainWindowTest, StartsWithTheCatalogueAndListsAnAlbum) {
    WriteFile(music + "tunrax.dat", "Beatles\r\n\tAbbey Road\r\n\tHelp\r\nQueen\r\n");
    WriteFile(music + "Beatles/Help/02-Yesterday.mp3", "x");
    WriteFile(music + "Beatles/Help/01_Help.MP3", "x");
    WriteFile(music + "Beatles/Help/01_help.mp3", "x");  // equal but for case: dropped
    WriteFile(music + "Beatles/Help/cover.jpg", "x");
    WriteFile(lists + "Help.favoriten",
              "\\Beatles\\Help\\01_Help.MP3\r\n\\Beatles\\Help\\02-Yesterday.mp3\r\n");
    TMainWindow form(settings, CreateGStreamerBackend(kTestSink));
    ASSERT_FALSE(form.SecondInstance());
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));

    ASSERT_EQ(TreeLines(form),
              (std::vector<std::string>{"Beatles", " Abbey Road", " Help", "Queen"}));
    const std::string date = kBuildDate;  // yyyy-mm-dd
    EXPECT_EQ(form.windowTitle().toStdString(),
              "Tunrax (" + std::string(kProgramVersion) + " vom " + date.substr(8, 2) + "/" +
                  date.substr(5, 2) + "/" + date.substr(2, 2) + ")");
    EXPECT_EQ(form.SavedCaption(), form.windowTitle());
    ASSERT_TRUE(form.Source());
    EXPECT_EQ(form.Source()->Capabilities, 7);

    ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Beatles\\Help\\"));
    ASSERT_EQ(Captions(form), (std::vector<std::string>{"Help", "Yesterday"}));
    std::vector<std::string> paths = ShownSongPaths(form);
    ASSERT_EQ(paths, (std::vector<std::string>{"\\Beatles\\Help\\01_Help.MP3",
                                               "\\Beatles\\Help\\02-Yesterday.mp3"}));
    EXPECT_EQ(Ui(form).lvLieder->currentItem(), nullptr) << "nothing selected in a new list";
    EXPECT_TRUE(Ui(form).lvLieder->selectedItems().isEmpty());
    // The count has run up; "Titel nicht abspielen" holds it where it is.
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Sequencer().TickCount() == 3; }, 2000));
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acNoPlay));
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 1));
    EXPECT_EQ(form.Sequencer().TickCount(), 0) << "a new song selection restarts the count";

    // Moving songs on the page of a list that holds them: the first cannot
    // go up, the last cannot go down.
    auto order = [&] { return ShownSongPaths(form); };
    ASSERT_NO_FATAL_FAILURE(ChooseList(form, QStringLiteral("Help")));
    ASSERT_NO_FATAL_FAILURE(ClickPage(form, 1));
    ASSERT_EQ(order(), paths);
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 0));
    EXPECT_FALSE(Ui(form).acLiedFrueher->isEnabled());
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acLiedFrueher));
    EXPECT_EQ(order(), paths);
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acLiedSpaeter));
    EXPECT_EQ(order(), (std::vector<std::string>{paths[1], paths[0]}));
    const QList<QTreeWidgetItem*> selected = Ui(form).lvLieder->selectedItems();
    ASSERT_EQ(selected.size(), 1) << "the moved song stays selected";
    EXPECT_EQ(SongPathOf(form, selected.first()), paths[0]) << "the moved song stays selected";
    EXPECT_FALSE(Ui(form).acLiedSpaeter->isEnabled());
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acLiedSpaeter));
    EXPECT_EQ(order(), (std::vector<std::string>{paths[1], paths[0]}));

    // An album without songs empties the list.
    ASSERT_NO_FATAL_FAILURE(ClickPage(form, 0));
    ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Queen\\"));
    EXPECT_TRUE(Captions(form).empty());
}

TEST_F(MainWindowTest, BuildsAMissingOrBrokenCatalogueAndRefreshes) {
    MakeDirs(music + "b/x");
    MakeDirs(music + "A");
    MakeDirs(music + ".hidden");
    for (const char* broken : {"", "A\r\n\t\tdeep\r\n"}) {
        SCOPED_TRACE(*broken ? "invalid level" : "missing");
        if (*broken)
            WriteFile(music + "tunrax.dat", broken);
        TMainWindow form(settings, CreateGStreamerBackend(kTestSink));
        ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
        EXPECT_EQ(TreeLines(form), (std::vector<std::string>{"A", "b", " x"}));
        EXPECT_EQ(ReadFile(music + "tunrax.dat"), "A\r\nb\r\n\tx\r\n") << "written back";
        EXPECT_TRUE(Ui(form).pbStatus->isHidden());
    }

    // "Aktualisieren" scans again on a source that can write its catalogue,
    // and with the alternative catalogue only "tunrax2.dat" is touched.
    settings.WriteBool("Einstellungen", "Alternativ", true);
    TMainWindow form(settings, CreateGStreamerBackend(kTestSink));
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    EXPECT_TRUE(Exists(music + "tunrax2.dat"));
    MakeDirs(music + "C");
    ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Aktualisieren1));
    EXPECT_EQ(TreeLines(form), (std::vector<std::string>{"A", "b", " x", "C"}));
    EXPECT_EQ(ReadFile(music + "tunrax2.dat"), "A\r\nb\r\n\tx\r\nC\r\n");
    EXPECT_EQ(ReadFile(music + "tunrax.dat"), "A\r\nb\r\n\tx\r\n");
}

TEST_F(MainWindowTest, CommandsAndActionsAsTheyStart) {
    TMainWindow form(settings, CreateGStreamerBackend(kTestSink));
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    const std::vector<std::pair<QAction*, const char*>> actions = {
        {Ui(form).acNeuListe, "Neue Liste"},
        {Ui(form).acDelListe, "Liste Löschen"},
        {Ui(form).acAdd, "zu Favoritenliste hinzufügen"},
        {Ui(form).acDel, "von Favoritenliste entfernen"},
        {Ui(form).acNoPlay, "Titel nicht abspielen"},
        {Ui(form).acLiedFrueher, "Lied früher"},
        {Ui(form).acLiedSpaeter, "Lied später"},
        {Ui(form).acKopieren, "Lieder kopieren"},
        {Ui(form).acAddAll, "Alle Lieder zur Favoritenliste hinzufügen"},
        {Ui(form).acDelAll, "Alle Lieder von der Favoritenliste entfernen"},
        {Ui(form).acFind, "Lied im Album finden"}};
    for (const auto& [action, caption] : actions) {
        SCOPED_TRACE(caption);
        EXPECT_EQ(action->text().toStdString(), caption);
        EXPECT_EQ(action->toolTip(), action->text());
        // No list chosen, nothing selected: only these two can run.
        EXPECT_EQ(action->isEnabled(),
                  action == Ui(form).acNeuListe || action == Ui(form).acNoPlay);
    }
    EXPECT_EQ(Ui(form).acAdd->shortcut(), QKeySequence(Qt::Key_Insert));
    EXPECT_EQ(Ui(form).acDel->shortcut(), QKeySequence(Qt::Key_Delete));
    EXPECT_TRUE(Ui(form).acNoPlay->isCheckable());
    EXPECT_FALSE(Ui(form).acAdd->icon().isNull());
    EXPECT_TRUE(Ui(form).acAddAll->icon().isNull()) << "the list commands have no image";
    EXPECT_TRUE(Ui(form).Einstellungen1->isEnabled());
    EXPECT_FALSE(Ui(form).pcSeiten->isTabVisible(1)) << "no favourite list chosen";
    EXPECT_TRUE(Ui(form).pbStatus->isHidden());
    // "Minimieren" sits at the right end of the menu bar.
    auto* right = form.findChild<QMenuBar*>(QStringLiteral("MainMenu1Rechts"));
    ASSERT_NE(right, nullptr);
    EXPECT_TRUE(right->actions().contains(Ui(form).Minimieren1));
    EXPECT_GT(right->mapTo(&form, QPoint(0, 0)).x(),
              Ui(form).MainMenu1->mapTo(&form, QPoint(0, 0)).x() + 100);
}

TEST_F(MainWindowTest, CloseHidesAndOnlyBeendenEnds) {
    TMainWindow form(settings, CreateGStreamerBackend(kTestSink));
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    // The offscreen platform has no notification area: the window must stay
    // reachable, so it goes to the task bar instead of vanishing.
    ASSERT_FALSE(TTrayIcon::Available());
    form.windowHandle()->close();  // the close box, through the window system
    QCoreApplication::processEvents();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.windowState() & Qt::WindowMinimized);

    // A temporary song file is removed at the end.
    const std::string song = TempFileName();
    WriteFile(song, "ID3");
    bool timedOut = false;
    // Back from the task bar, then "&Beenden" from the menu.
    form.showNormal();
    QTimer::singleShot(0, &form, [&] { ClickMainMenu(form, Ui(form).Beenden1); });
    // Bound to the window, so that the guard cannot fire in a later test.
    QTimer::singleShot(5000, &form, [&] {
        timedOut = true;
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    EXPECT_FALSE(timedOut) << "\"&Beenden\" did not end the event loop";
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(Exists(song));
}

TEST_F(MainWindowTest, TheChooserIsFilledOnceTheCatalogueLoadsAfterAFailedStart) {
    // A web-server collection whose server is not up yet, on a port kept for it.
    const std::string www = tmp / "www/";
    WriteFile(www + "mp3/tunrax.dat", "Album\r\n");
    WriteFile(www + "mp3/Album/01-Eins.mp3", "1");
    std::filesystem::copy_file(ServerScriptPath(), www + "mp3/tunrax.php");
    const int port = FreePort();
    ServerProcess server;
    WriteFile(lists + "Party.favoriten", "\\Album\\01-Eins.mp3\r\n");
    WriteFile(music + "tunrax.dat", "Album\r\n");

    struct Case {
        const char* name;
        std::function<void()> breakSource;  // before the start
        std::function<void(TTestDialogs&)> mend;
        const char* command;  // run from the menu after mending
    };
    const Case cases[] = {
        {"web server down, then up: Aktualisieren",
         [&] {
             settings.WriteInteger("Einstellungen", "Typ", 1);
             settings.WriteString("Einstellungen", "Server Adresse",
                                  "127.0.0.1:" + std::to_string(port));
             settings.WriteString("Einstellungen", "Root Server", "/mp3/");
         },
         [&](TTestDialogs&) {
             server.Start({"php", "-S", "127.0.0.1:" + std::to_string(port), "-t", www}, port);
         },
         "Aktualisieren1"},
        {"collection folder missing, then another chosen: Einstellungen",
         [&] { ChooseLocalSource(settings, tmp / "fehlt/"); },
         [&](TTestDialogs& dialogs) {
             // Stands in for the settings wizard, which has tests of its own.
             dialogs.OnSetup = [&] {
                 ChooseLocalSource(settings, music);
                 return 1;
             };
         },
         "Einstellungen1"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        test.breakSource();
        auto dialogs = std::make_unique<TTestDialogs>();
        TTestDialogs& standIn = *dialogs;
        TMainWindow form(settings, std::make_unique<TRecordingAudioBackend>(), std::move(dialogs));
        form.show();
        ASSERT_TRUE(boxes.WaitFor(1)) << "no error shown for the failed start";
        ASSERT_TRUE(form.isVisible());
        test.mend(standIn);
        ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Find<QAction>(form, test.command)));
        EXPECT_EQ(boxes.Texts.size(), 1u) << boxes.Texts.back();
        boxes.Texts.clear();
        EXPECT_EQ(TreeLines(form), (std::vector<std::string>{"Album"}));
        std::vector<std::string> chooser;
        for (int i = 0; i < Ui(form).cbFavoriten->count(); ++i)
            chooser.push_back(Ui(form).cbFavoriten->itemText(i).toStdString());
        EXPECT_EQ(chooser, (std::vector<std::string>{"(keine)", "Party"}))
            << "the chooser was not filled";
        ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Beenden1));
    }
}

// The caption's date separator is the one of the C library's date format for
// LC_TIME, whatever Qt's own locale says.
TEST(StartCaption, DateSeparatorFollowsTheDateFormatOfLcTime) {
    const std::string before = setlocale(LC_TIME, nullptr);
    const QLocale qtBefore;
    struct Restore {
        const std::string& time;
        const QLocale& qt;
        ~Restore() {
            setlocale(LC_TIME, time.c_str());
            QLocale::setDefault(qt);
        }
    } restore{before, qtBefore};
    auto caption = [] {
        return StartCaption(QStringLiteral("Tunrax"), QStringLiteral("1.2.3.4"),
                            QStringLiteral("2026-12-08"))
            .toStdString();
    };

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ASSERT_NE(setlocale(LC_TIME, "C"), nullptr);
    EXPECT_EQ(caption(), "Tunrax (1.2.3.4 vom 08/12/26)");

    // German dates from a locale built for the test, under a Qt locale that
    // would say "/".
    TempDir locales;
    const std::string localedef =
        QStandardPaths::findExecutable(QStringLiteral("localedef")).toStdString();
    std::string out, err;
    if (localedef.empty() ||
        RunProgram({localedef, "-i", "de_DE", "-f", "UTF-8", locales / "de_DE.UTF-8"},
                   locales.Path(), out, err) < 0)
        GTEST_SKIP() << "localedef cannot build de_DE.UTF-8";
    ScopedEnv path("LOCPATH", locales.Path().c_str());
    if (!setlocale(LC_TIME, "de_DE.UTF-8"))
        GTEST_SKIP() << "de_DE.UTF-8 was not built: " << err;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(caption(), "Tunrax (1.2.3.4 vom 08.12.26)");
}

// The real program, as separate processes on the offscreen platform.
class ProgramTest : public ::testing::Test {
protected:
    ProgramTest() {
        MakeDirs(tmp / "config/quintor");
        MakeDirs(tmp / "runtime");
        WriteFile(tmp / "config/quintor/tunrax.ini",
                  "[Einstellungen]\r\nTyp=0\r\nVerzeichnis=" + tmp.Path() + "Musik\r\n");
        MakeDirs(tmp / "Musik/Album");
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           QString::fromStdString(tmp / "config"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                           QString::fromStdString(tmp / "runtime"));
        environment.insert(QStringLiteral("HOME"), QString::fromStdString(tmp.Path()));
    }

    void Launch(QProcess& process) {
        process.setProcessEnvironment(environment);
        process.setProgram(QStringLiteral(TUNRAX_PROGRAM));
        process.start();
        ASSERT_TRUE(process.waitForStarted(5000));
    }

    // The first instance is up once it has written the catalogue it scanned.
    bool WaitUntilRunning() {
        return QTest::qWaitFor([&] { return Exists(tmp / "Musik/tunrax.dat"); }, 10000);
    }

    // Until the process holds the single-instance lock: a lock file in the
    // runtime folder that names its process id.
    bool WaitUntilLockHeldBy(const QProcess& process) {
        const std::string pid = std::to_string(process.processId());
        return QTest::qWaitFor(
            [&] {
                for (const auto& entry : std::filesystem::directory_iterator(tmp / "runtime"))
                    if (entry.path().extension() == ".lock" &&
                        ReadFile(entry.path().string()).rfind(pid + "\n", 0) == 0)
                        return true;
                return false;
            },
            10000);
    }

    TempDir tmp;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

TEST_F(ProgramTest, SecondStartEndsAtOnce) {
    QProcess first, second;
    Launch(first);
    ASSERT_TRUE(WaitUntilRunning());
    Launch(second);
    EXPECT_TRUE(second.waitForFinished(5000)) << "the second instance keeps running";
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished(5000);
}

TEST_F(ProgramTest, TerminationSignalEndsLikeBeenden) {
    QProcess program;
    Launch(program);
    ASSERT_TRUE(WaitUntilRunning());
    const std::string song = tmp / "runtime/tunrax/tunrax.mp3";
    WriteFile(song, "ID3");
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(10000)) << "SIGTERM did not end the program";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    EXPECT_FALSE(Exists(song)) << "the temporary song file stays behind";

    // A killed instance leaves its lock behind; the next start is not blocked.
    QProcess killed, next;
    Launch(killed);
    ASSERT_TRUE(WaitUntilLockHeldBy(killed)) << "the instance took no lock";
    killed.kill();
    killed.waitForFinished(5000);
    Launch(next);
    EXPECT_FALSE(next.waitForFinished(2000)) << "a stale lock blocked the start";
    next.terminate();
    EXPECT_TRUE(next.waitForFinished(10000));
}

TEST_F(ProgramTest, TerminationSignalEndsTheProgramWhileTheCatalogueDrips) {
    // A web server that sends the catalogue a few bytes at a time: the load
    // would take minutes.
    ServerProcess server;
    const int port = FreePort();
    server.Start(
        {"/usr/bin/python3", std::string(TUNRAX_SOURCE_DIR) + "/tests/support/hostile_http.py",
         std::to_string(port), "drip-body"},
        port);
    WriteFile(
        tmp / "config/quintor/tunrax.ini",
        "[Einstellungen]\r\nTyp=1\r\nServer Adresse=127.0.0.1:" + std::to_string(port) + "\r\n");
    QProcess program;
    Launch(program);
    // The load is under way once the program is connected to the server.
    ASSERT_TRUE(QTest::qWaitFor([&] { return TcpConnectedTo(port); }, 10000))
        << "the program never asked the server for the catalogue";
    ASSERT_EQ(program.state(), QProcess::Running);
    QElapsedTimer took;
    took.start();
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    const bool ended = program.waitForFinished(2000);
    EXPECT_TRUE(ended) << "SIGTERM did not end the program within 2 s";
    if (!ended) {
        program.kill();
        program.waitForFinished(5000);
        return;
    }
    EXPECT_LT(took.elapsed(), 2000);
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
}

namespace {
// Throws from its event handler, as a command handler that fails does.
class Failing : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User)
            throw Error("Verzeichnis \"x\" nicht gefunden");
        return QObject::event(event);
    }
};
}  // namespace

TEST(Application, AnErrorReachingTheEventLoopIsShownAndTheProgramGoesOn) {
    QString title, text;
    // Ends the run if the box is never closed, so that the test fails instead
    // of hanging; it goes with the test.
    bool timedOut = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        timedOut = true;
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
        QCoreApplication::quit();
    });
    guard.start(5000);
    QTimer::singleShot(0, [&] {
        // The box is modal; look at it and close it.
        QTimer::singleShot(50, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            text = box->text();
            box->accept();
        });
        Failing failing;
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&failing, &event);
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    EXPECT_FALSE(timedOut) << "the error box stayed open";
    EXPECT_EQ(text, QStringLiteral("Verzeichnis \"x\" nicht gefunden"));
    EXPECT_EQ(title, QStringLiteral("Tunrax"));
}
