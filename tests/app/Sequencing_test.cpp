// Playing a song list from the selected song to its end, on a real temporary
// collection of short real MP3 files, through GStreamer on a sink that plays
// in real time without a sound card.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include "app/MainWindow.h"
#include "gst/GstAudioBackend.h"
#include "playback/Prefetch.h"
#include "settings/IniFile.h"
#include "settings/TempFolder.h"
#include "support/LocalSource.h"
#include "support/Mp3Files.h"
#include "support/ScriptedSource.h"
#include "support/TempDir.h"
#include "support/WindowInput.h"
#include "widgets/TrayIcon.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

// The real library, counting the files opened and queued (shared with the
// test, as the window owns the library).
class CountingLibrary : public TAudioBackend {
public:
    struct Counts {
        std::atomic<int> opened{0}, queued{0};
    };
    CountingLibrary(std::unique_ptr<TAudioBackend> real, Counts& counts)
        : FReal(std::move(real)), FCounts(counts) {}

    bool Start() override { return FReal->Start(); }
    void Free() override { FReal->Free(); }
    std::unique_ptr<TAudioStream> Open(const std::string& fileName) override {
        ++FCounts.opened;
        std::unique_ptr<TAudioStream> real = FReal->Open(fileName);
        return real ? std::make_unique<Stream>(std::move(real), FCounts) : nullptr;
    }
    void Rest() override { FReal->Rest(); }

private:
    class Stream : public TAudioStream {
    public:
        Stream(std::unique_ptr<TAudioStream> real, Counts& counts)
            : FReal(std::move(real)), FCounts(counts) {}
        bool Play() override { return FReal->Play(); }
        bool Pause() override { return FReal->Pause(); }
        bool Resume() override { return FReal->Resume(); }
        void Stop() override { FReal->Stop(); }
        TStreamState State() override { return FReal->State(); }
        void SetVolume(float volume) override { FReal->SetVolume(volume); }
        bool Queue(const std::string& fileName) override {
            const bool taken = FReal->Queue(fileName);
            if (taken && !fileName.empty())
                ++FCounts.queued;
            return taken;
        }
        int64_t Position() override { return FReal->Position(); }
        int64_t Length() override { return FReal->Length(); }
        bool Seek(int64_t position) override { return FReal->Seek(position); }
        void SetOnEnd(std::function<void()> onEnd) override { FReal->SetOnEnd(std::move(onEnd)); }
        void SetOnNext(std::function<void(uint32_t)> onNext) override {
            FReal->SetOnNext(std::move(onNext));
        }

    private:
        std::unique_ptr<TAudioStream> FReal;
        Counts& FCounts;
    };

    std::unique_ptr<TAudioBackend> FReal;
    Counts& FCounts;
};

class SequencingTest : public ::testing::Test {
protected:
    SequencingTest() {
        ChooseLocalSource(settings, music);
        WriteFile(music + "tunrax.dat", "Album\r\n");
        for (int i = 1; i <= 5; ++i) {
            std::string name =
                music + "Album/0" + std::to_string(i) + "-Lied " + std::to_string(i) + ".mp3";
            if (i == 4)  // only an old-style tag
                WriteFile(name, SilentMp3Frames(kSeconds) + Id3v1Tag("Vier", "Alte Band", "Alt"));
            else if (i == 5)  // no tag at all
                WriteFile(name, SilentMp3Frames(kSeconds));
            else
                WriteSilentMp3(name, kSeconds, "Lied_" + std::to_string(i), "Band", "Album");
        }
    }

    void TearDown() override { EXPECT_EQ(boxes.Texts, std::vector<std::string>{}); }

    void Start() {
        ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
        ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Album\\"));
        ASSERT_EQ(Ui(form).lvLieder->topLevelItemCount(), 5);
    }

    // What the window shows whenever the caption changes.
    struct Shown {
        QString caption, title, artist, album, tip;
    };
    // Records from now on; the state before the first change is left out.
    void Record() {
        shown.push_back({form.windowTitle(), {}, {}, {}, {}});
        QObject::connect(Ui(form).mmStart, &QTimer::timeout, [this] {
            if (!shown.empty() && shown.back().caption == form.windowTitle())
                return;
            shown.push_back({form.windowTitle(), Ui(form).laTitel->text(),
                             Ui(form).laInterpret->text(), Ui(form).laAlbum->text(),
                             Ui(form).NBA->Tip()});
        });
    }
    QString Playing(const char* song) const {
        return form.SavedCaption() + QStringLiteral(" - ") + QString::fromUtf8(song);
    }
    // The captions recorded, and those of the whole list played from its
    // first song to its end.
    std::vector<QString> Captions() const {
        std::vector<QString> captions;
        for (const Shown& s : shown)
            captions.push_back(s.caption);
        return captions;
    }
    std::vector<QString> WholeList() const {
        return {form.SavedCaption(), Playing("Lied 1"), Playing("Lied 2"),  Playing("Lied 3"),
                Playing("Lied 4"),   Playing("Lied 5"), form.SavedCaption()};
    }

    static constexpr double kSeconds = 0.4;
    TempDir tmp;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", tmp.Path().c_str()};
    const std::string music = tmp / "Musik/";
    TIniFile settings{tmp / "tunrax.ini"};
    CountingLibrary::Counts counts;
    TMainWindow form{settings, std::make_unique<CountingLibrary>(
                                   CreateGStreamerBackend("fakesink sync=true"), counts)};
    std::vector<Shown> shown;
    // An error box would otherwise hold the test until ctest ends it.
    MessageBoxReader boxes;
};

}  // namespace

TEST_F(SequencingTest, TheThirdSongPlaysToTheEndOfTheList) {
    ASSERT_NO_FATAL_FAILURE(Start());
    Record();
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 2));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return shown.size() >= 5 && form.windowTitle() == form.SavedCaption(); }, 10000));
    shown.erase(shown.begin());
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].caption, Playing("Lied 3"));
    EXPECT_EQ(shown[0].title, QStringLiteral("Lied 3")) << "\"_\" shows as a space";
    EXPECT_EQ(shown[0].artist, QStringLiteral("Band"));
    EXPECT_EQ(shown[0].album, QStringLiteral("Album"));
    EXPECT_EQ(shown[0].tip, QStringLiteral("Band --> Lied 3"));
    EXPECT_EQ(shown[1].caption, Playing("Lied 4"));
    EXPECT_EQ(shown[1].title, QStringLiteral("Vier")) << "the old tag when there is no new one";
    EXPECT_EQ(shown[1].tip, QStringLiteral("Alte Band --> Vier"));
    EXPECT_EQ(shown[2].caption, Playing("Lied 5"));
    EXPECT_EQ(shown[2].title, QString()) << "no tag: empty labels";
    EXPECT_EQ(shown[2].tip, form.SavedCaption());
    EXPECT_EQ(shown[3].caption, form.SavedCaption());
    EXPECT_FALSE(form.PlayIconOn()) << "the idle picture once the list has ended";
    EXPECT_FALSE(Exists(TempFileName())) << "the temporary file goes when the player stops";
}

TEST_F(SequencingTest, NothingStartsWhileTheTimerIsOff) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acNoPlay));  // "Titel nicht abspielen"
    ASSERT_FALSE(Ui(form).mmStart->isActive());
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 0));
    LetPlaybackTicksPass(6);
    EXPECT_EQ(form.windowTitle(), form.SavedCaption());
    EXPECT_EQ(form.PlayerState(), TStreamState::Stopped);
}

TEST_F(SequencingTest, PausingFromTheTrayHoldsTheList) {
    ASSERT_NO_FATAL_FAILURE(Start());
    Record();
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.PlayerState() == TStreamState::Playing; }, 3000));
    ASSERT_NO_FATAL_FAILURE(ClickTrayIcon(form));
    EXPECT_EQ(form.PlayerState(), TStreamState::Paused);
    EXPECT_FALSE(form.PlayIconOn());
    // Longer than the song: a pause that did not hold would let the list go on.
    LetPlaybackTicksPass(static_cast<int>(kSeconds * 10) + 5);
    EXPECT_EQ(form.windowTitle(), Playing("Lied 1")) << "a paused song holds the list";
    ASSERT_NO_FATAL_FAILURE(ClickTrayIcon(form));
    EXPECT_EQ(form.PlayerState(), TStreamState::Playing);
    EXPECT_TRUE(form.PlayIconOn());
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.windowTitle() == Playing("Lied 2"); }, 3000));
}

TEST_F(SequencingTest, TheSessionEndsAfterTheDownloadNotInIt) {
    ASSERT_NO_FATAL_FAILURE(Start());
    // The songs of the folder, each download letting the window repaint for
    // a while, as a slow network transfer does through its progress display.
    auto slow = std::make_unique<ScriptedSource>();
    slow->Content = [this](const std::string& path) {
        std::string file = path;
        std::replace(file.begin(), file.end(), '\\', '/');
        return ReadFile(music + file);
    };
    bool finished = false;  // outlives the source, which the window frees
    slow->BeforeGet = [&](const std::string&) {
        // The session's end arrives while the song is being fetched.
        form.SessionEnd();
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    slow->AfterGet = [&](std::ostream&, const std::string&) { finished = true; };
    form.SetSource(std::move(slow));
    // The click comes inside the event loop that the end of the program quits.
    QTimer::singleShot(0, &form, [&] { ClickSong(form, 0); });
    QTimer::singleShot(8000, &form, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    EXPECT_TRUE(finished) << "the download was cut off";
    EXPECT_FALSE(form.isVisible()) << "the program did not end after the download";
}

TEST_F(SequencingTest, TheSongFetchedAheadGoesWithTitelNichtAbspielenAndWithTheProgram) {
    // Long enough that the songs play on while the test looks.
    WriteSilentMp3(music + "Album/01-Lied 1.mp3", 5.0, "Lied_1", "Band", "Album");
    WriteSilentMp3(music + "Album/02-Lied 2.mp3", 5.0, "Lied_2", "Band", "Album");
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Exists(PrefetchFileName()); }, 3000))
        << "the next song was not fetched ahead";
    EXPECT_TRUE(ReadFile(PrefetchFileName()) == ReadFile(music + "Album/02-Lied 2.mp3"));

    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acNoPlay));  // "Titel nicht abspielen"
    EXPECT_FALSE(Exists(PrefetchFileName())) << "the song fetched ahead stayed";
    EXPECT_EQ(form.windowTitle(), Playing("Lied 1")) << "the song playing was touched";

    // Songs start again; the program ends while the next one waits.
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acNoPlay));
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Exists(PrefetchFileName()); }, 3000));
    form.SessionEnd();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(FolderEntries(GetTempFolder()), std::vector<std::string>{})
        << "files left in the temporary folder";
}

TEST_F(SequencingTest, ASongFetchedAheadFollowsWithoutAStartOfItsOwnAndIsShownWhenHeard) {
    // Long enough for the next song to be fetched and queued in time.
    WriteSilentMp3(music + "Album/01-Lied 1.mp3", 2.0, "Lied_1", "Band", "Album");
    WriteSilentMp3(music + "Album/02-Lied 2.mp3", 2.0, "Lied_2", "Band", "Album");
    ASSERT_NO_FATAL_FAILURE(Start());
    Record();
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.windowTitle() == Playing("Lied 1"); }, 3000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.windowTitle() == Playing("Lied 2"); }, 5000));
    EXPECT_EQ(counts.opened.load(), 1) << "the second song was started the ordinary way";
    EXPECT_GE(counts.queued.load(), 1);
    EXPECT_EQ(Ui(form).lvLieder->currentItem(), Ui(form).lvLieder->topLevelItem(1));
    EXPECT_EQ(Ui(form).laTitel->text(), QStringLiteral("Lied 2"));
    EXPECT_EQ(Ui(form).NBA->Tip(), QStringLiteral("Band --> Lied 2"));
    EXPECT_EQ(form.Sequencer().Serial(), 2);
    EXPECT_TRUE(ReadFile(TempFileName()) == ReadFile(music + "Album/02-Lied 2.mp3"))
        << "the song heard did not take the finished song's file";
    // The selection moved by the sequencer does not start the song again.
    LetPlaybackTicksPass(4);
    EXPECT_EQ(counts.opened.load(), 1) << "the song heard was started again";

    // The list goes on to its end as before.
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.windowTitle() == form.SavedCaption(); }, 8000));
    EXPECT_EQ(Captions(), WholeList());
    EXPECT_EQ(FolderEntries(GetTempFolder()), std::vector<std::string>{})
        << "files left at the list's end";
}

TEST_F(SequencingTest, TheSearchHidesTheAlbumWhileItsListPlaysOnAndAClickedSongStarts) {
    WriteFile(music + "tunrax.dat", "Album\r\nAnderes\r\n");
    MakeDirs(music + "Anderes");
    ASSERT_NO_FATAL_FAILURE(Start());
    Record();
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.windowTitle() == Playing("Lied 1"); }, 3000));
    // A search that the album playing does not match hides it in the tree.
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    auto* field = Find<QLineEdit>(form, "edSuchen");
    ASSERT_NE(field, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == field; }, 3000))
        << "Ctrl+F did not open the search field";
    QTest::keyClicks(field, QStringLiteral("Anderes"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Ui(form).tvAlben->model()->rowCount() == 1; }, 3000))
        << "the search did not filter";
    ASSERT_EQ(Ui(form).lvLieder->topLevelItemCount(), 5) << "the search changed the song list";
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.windowTitle() == form.SavedCaption(); }, 8000));
    EXPECT_EQ(Captions(), WholeList()) << "the search stopped the list";

    // A song clicked while the search is open starts as ever.
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 3));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.windowTitle() == Playing("Lied 4"); }, 2000))
        << "the song clicked during the search did not start";
}

TEST_F(SequencingTest, TheTrayIconResumesThePausedSongWhateverWasClickedMeanwhile) {
    for (int i = 1; i <= 3; ++i)
        WriteSilentMp3(
            music + "Album/0" + std::to_string(i) + "-Lied " + std::to_string(i) + ".mp3", 5.0,
            "Lied_" + std::to_string(i), "Band", "Album");
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.PlayerState() == TStreamState::Playing; }, 3000));
    ASSERT_NO_FATAL_FAILURE(ClickTrayIcon(form));
    ASSERT_EQ(form.PlayerState(), TStreamState::Paused);
    const int opened = counts.opened.load();

    // "Titel nicht abspielen", another song clicked, then the tray icon.
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acNoPlay));
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 2));
    ASSERT_NO_FATAL_FAILURE(ClickTrayIcon(form));
    LetPlaybackTicksPass(4);  // for another song to start, were it to
    EXPECT_EQ(form.PlayerState(), TStreamState::Playing) << "the paused song was not resumed";
    EXPECT_EQ(counts.opened.load(), opened) << "another song was started";
    EXPECT_EQ(form.windowTitle(), Playing("Lied 1"));
    EXPECT_TRUE(form.PlayIconOn());
}

TEST_F(SequencingTest, WithoutAutomaticPlayingTheSongEndsAndNothingClaimsToPlay) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.PlayerState() == TStreamState::Playing; }, 3000));
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acNoPlay));
    const int opened = counts.opened.load();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.PlayerState() == TStreamState::Stopped; }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.PlayIconOn(); }, 1000))
        << "the tray icon still shows a song playing";
    EXPECT_EQ(form.MediaControl().MediaStatus(), TPlaybackStatus::Stopped);
    EXPECT_EQ(form.windowTitle(), form.SavedCaption());
    LetPlaybackTicksPass(4);
    EXPECT_EQ(counts.opened.load(), opened) << "the next song followed";
    EXPECT_FALSE(Exists(TempFileName())) << "the temporary file stayed";
}
