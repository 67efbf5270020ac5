// The main window under remote control over a private session bus: a client
// on its own connection calls the player as the desktop's sound menu or
// playerctl would, while real MP3 files play through GStreamer in real time.
#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <string>

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "app/MainWindow.h"
#include "app/Mpris.h"
#include "gst/GstAudioBackend.h"
#include "settings/IniFile.h"
#include "support/LocalSource.h"
#include "support/Mp3Files.h"
#include "support/TempDir.h"
#include "support/WindowInput.h"
#include "widgets/TrayIcon.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

// A session bus of the test's own, ended with the test.
class PrivateBus {
public:
    PrivateBus() {
        FDaemon.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--nofork"),
                       QStringLiteral("--print-address")});
        if (FDaemon.waitForReadyRead(5000))
            Address = QString::fromUtf8(FDaemon.readLine()).trimmed();
    }
    ~PrivateBus() {
        FDaemon.kill();
        FDaemon.waitForFinished();
    }
    QString Address;

private:
    QProcess FDaemon;
};

// The playback states announced through PropertiesChanged.
class StatusRecorder : public QObject {
    Q_OBJECT

public:
    QStringList Seen;

public Q_SLOTS:
    void Changed(const QString&, const QVariantMap& changed, const QStringList&) {
        if (changed.contains(QStringLiteral("PlaybackStatus")))
            Seen.append(changed.value(QStringLiteral("PlaybackStatus")).toString());
    }
};

// What the player announced: the changed properties in order, and the
// positions of its Seeked signals.
class ChangeRecorder : public QObject {
    Q_OBJECT

public:
    std::vector<QVariantMap> Changes;
    std::vector<qlonglong> Seeks;

    // The values a property was announced with, in order.
    QVariantList Announced(const QString& name) const {
        QVariantList values;
        for (const QVariantMap& changed : Changes)
            if (changed.contains(name))
                values.append(changed.value(name));
        return values;
    }

public Q_SLOTS:
    void Changed(const QString&, const QVariantMap& changed, const QStringList&) {
        Changes.push_back(changed);
    }
    void Seeked(qlonglong position) { Seeks.push_back(position); }
};

class MprisTest : public ::testing::Test {
protected:
    MprisTest() {
        ChooseLocalSource(settings, music);
        WriteFile(music + "tunrax.dat", "Album\r\n");
        for (int i = 1; i <= 3; ++i)
            WriteSilentMp3(
                music + "Album/0" + std::to_string(i) + "-Lied " + std::to_string(i) + ".mp3",
                kSeconds, "Titel " + std::to_string(i), "Band", "Platte");
    }

    void SetUp() override {
        ASSERT_FALSE(bus.Address.isEmpty()) << "dbus-daemon did not start";
        QDBusConnection server = QDBusConnection::connectToBus(bus.Address, QStringLiteral("srv"));
        service = std::make_unique<TMprisService>(form.MediaControl(),
                                                  QStringLiteral("de.quintor.tunrax"), server);
        ASSERT_TRUE(service->Registered());
        client = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(bus.Address, QStringLiteral("cli")));
        ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    }
    void TearDown() override {
        EXPECT_EQ(boxes.Texts, std::vector<std::string>{});
        service.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("srv"));
        client.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("cli"));
    }

    // A call as another program makes it: asynchronous, so that the window
    // (on this same thread) can answer.
    QVariant Call(const QString& interface, const QString& method, const QVariantList& args = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QString::fromLatin1(TMprisService::kServiceName),
            QString::fromLatin1(TMprisService::kObjectPath), interface, method);
        message.setArguments(args);
        QDBusPendingCallWatcher watcher(client->asyncCall(message));
        EXPECT_TRUE(QTest::qWaitFor([&] { return watcher.isFinished(); }, 5000));
        EXPECT_FALSE(watcher.isError()) << watcher.error().message().toStdString();
        QDBusMessage reply = watcher.reply();
        return reply.arguments().isEmpty() ? QVariant() : reply.arguments().first();
    }
    void Player(const char* method) {
        Call(QStringLiteral("org.mpris.MediaPlayer2.Player"), QString::fromLatin1(method));
    }
    QVariant Property(const char* interface, const char* name) {
        QVariant value =
            Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                 {QString::fromLatin1(interface), QString::fromLatin1(name)});
        return value.value<QDBusVariant>().variant();
    }
    void SetProperty(const char* name, const QVariant& value) {
        Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
             {QStringLiteral("org.mpris.MediaPlayer2.Player"), QString::fromLatin1(name),
              QVariant::fromValue(QDBusVariant(value))});
    }
    QVariantMap Metadata() {
        QVariantMap map;
        Property("org.mpris.MediaPlayer2.Player", "Metadata").value<QDBusArgument>() >> map;
        return map;
    }
    // The D-Bus type of each metadata entry as a client receives it.
    std::map<std::string, std::string> MetadataTypes() {
        std::map<std::string, std::string> types;
        const QVariantMap metadata = Metadata();
        for (auto entry = metadata.cbegin(); entry != metadata.cend(); ++entry) {
            const QVariant& value = entry.value();
            types[entry.key().toStdString()] =
                value.metaType() == QMetaType::fromType<QDBusArgument>()
                    ? value.value<QDBusArgument>().currentSignature().toStdString()
                    : std::string(QDBusMetaType::typeToSignature(value.metaType()));
        }
        return types;
    }
    qlonglong Position() {
        return Property("org.mpris.MediaPlayer2.Player", "Position").toLongLong();
    }
    QString Status() {
        return Property("org.mpris.MediaPlayer2.Player", "PlaybackStatus").toString();
    }
    QString Title() {
        QVariant metadata = Property("org.mpris.MediaPlayer2.Player", "Metadata");
        QVariantMap map;
        metadata.value<QDBusArgument>() >> map;
        return map.value(QStringLiteral("xesam:title")).toString();
    }
    QString Playing(const char* song) const {
        return form.SavedCaption() + QStringLiteral(" - ") + QString::fromUtf8(song);
    }
    // Records the player's announcements and Seeked signals from now on.
    void Listen(ChangeRecorder& recorder) {
        const QString path = QString::fromLatin1(TMprisService::kObjectPath);
        ASSERT_TRUE(client->connect(QString(), path,
                                    QStringLiteral("org.freedesktop.DBus.Properties"),
                                    QStringLiteral("PropertiesChanged"), &recorder,
                                    SLOT(Changed(QString, QVariantMap, QStringList))));
        ASSERT_TRUE(client->connect(QString(), path,
                                    QStringLiteral("org.mpris.MediaPlayer2.Player"),
                                    QStringLiteral("Seeked"), &recorder, SLOT(Seeked(qlonglong))));
    }
    void SelectAlbum() {
        ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Album\\"));
        ASSERT_EQ(Ui(form).lvLieder->topLevelItemCount(), 3);
    }

    static constexpr double kSeconds = 2.0;
    TempDir tmp;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", tmp.Path().c_str()};
    const std::string music = tmp / "Musik/";
    TIniFile settings{tmp / "tunrax.ini"};
    TMainWindow form{settings, CreateGStreamerBackend("fakesink sync=true")};
    PrivateBus bus;
    std::unique_ptr<TMprisService> service;
    std::unique_ptr<QDBusConnection> client;
    // An error box would otherwise hold the test until ctest ends it.
    MessageBoxReader boxes;
};

}  // namespace

TEST_F(MprisTest, PlayNextPreviousPauseAndStopActAsTheWindowDoes) {
    EXPECT_EQ(Property("org.mpris.MediaPlayer2", "DesktopEntry").toString(),
              QStringLiteral("de.quintor.tunrax"));
    EXPECT_EQ(Status(), QStringLiteral("Stopped"));
    EXPECT_FALSE(Property("org.mpris.MediaPlayer2.Player", "CanPlay").toBool())
        << "nothing listed, nothing to play";
    ASSERT_NO_FATAL_FAILURE(SelectAlbum());

    // Play with nothing chosen starts the list at its first song.
    Player("Play");
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.windowTitle() == Playing("Lied 1"); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Status() == QStringLiteral("Playing"); }, 3000));
    EXPECT_EQ(Title(), QStringLiteral("Titel 1"));
    EXPECT_FALSE(Property("org.mpris.MediaPlayer2.Player", "CanGoPrevious").toBool());

    // Next and Previous move the list's selection; the song follows.
    Player("Next");
    EXPECT_EQ(Ui(form).lvLieder->currentItem(), Ui(form).lvLieder->topLevelItem(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.windowTitle() == Playing("Lied 2"); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Title() == QStringLiteral("Titel 2"); }, 3000));
    Player("Previous");
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.windowTitle() == Playing("Lied 1"); }, 5000));

    // Pause holds the song as a click on the tray icon does.
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.PlayerState() == TStreamState::Playing; }, 3000));
    Player("PlayPause");
    EXPECT_EQ(form.PlayerState(), TStreamState::Paused);
    EXPECT_EQ(Status(), QStringLiteral("Paused"));
    EXPECT_FALSE(form.PlayIconOn());
    ASSERT_NO_FATAL_FAILURE(ClickTrayIcon(form));  // the tray resumes it
    EXPECT_EQ(Status(), QStringLiteral("Playing"));

    // Stop ends the song without going on to the next one.
    Player("Stop");
    EXPECT_EQ(Status(), QStringLiteral("Stopped"));
    EXPECT_EQ(form.windowTitle(), form.SavedCaption());
    LetPlaybackTicksPass(8);
    EXPECT_EQ(form.windowTitle(), form.SavedCaption()) << "the list went on after Stop";
    EXPECT_EQ(Ui(form).lvLieder->currentItem(), Ui(form).lvLieder->topLevelItem(0));
    EXPECT_FALSE(Exists(TempFileName()));
    // Play starts the chosen song again.
    Player("Play");
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.windowTitle() == Playing("Lied 1"); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Status() == QStringLiteral("Playing"); }, 3000));

    // At the list's end Next has nothing to go to.
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 2));
    EXPECT_FALSE(Property("org.mpris.MediaPlayer2.Player", "CanGoNext").toBool());
    Player("Next");
    EXPECT_EQ(Ui(form).lvLieder->currentItem(), Ui(form).lvLieder->topLevelItem(2));
    ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Beenden1));
}

TEST_F(MprisTest, ChangesFromTheWindowAreAnnouncedAndRaiseShowsIt) {
    StatusRecorder recorder;
    ASSERT_TRUE(client->connect(QString(), QString::fromLatin1(TMprisService::kObjectPath),
                                QStringLiteral("org.freedesktop.DBus.Properties"),
                                QStringLiteral("PropertiesChanged"), &recorder,
                                SLOT(Changed(QString, QVariantMap, QStringList))));
    const QStringList& statuses = recorder.Seen;
    ASSERT_NO_FATAL_FAILURE(SelectAlbum());
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 0));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return statuses.contains(QStringLiteral("Playing")); }, 5000));
    ASSERT_NO_FATAL_FAILURE(ClickTrayIcon(form));  // paused from the tray
    EXPECT_TRUE(QTest::qWaitFor([&] { return statuses.contains(QStringLiteral("Paused")); }, 3000))
        << statuses.join(QLatin1Char(',')).toStdString();

    // Without a notification area "Minimieren" puts the window in the task bar.
    ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Minimieren1));
    ASSERT_TRUE(form.isMinimized());
    Call(QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Raise"));
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isMinimized()) << "Raise left the window in the task bar";
    ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Beenden1));
}

TEST_F(MprisTest, EveryChangeIsAnnouncedWithinATickAndNothingWhileIdle) {
    ChangeRecorder recorder;
    ASSERT_TRUE(client->connect(QString(), QString::fromLatin1(TMprisService::kObjectPath),
                                QStringLiteral("org.freedesktop.DBus.Properties"),
                                QStringLiteral("PropertiesChanged"), &recorder,
                                SLOT(Changed(QString, QVariantMap, QStringList))));
    auto announced = [&](const char* status) {
        return recorder.Announced(QStringLiteral("PlaybackStatus"))
            .contains(QString::fromLatin1(status));
    };
    ASSERT_NO_FATAL_FAILURE(SelectAlbum());
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return announced("Playing"); }, 5000));
    // The song's tags and length, as the track record has them.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QVariantList all = recorder.Announced(QStringLiteral("Metadata"));
            if (all.isEmpty())
                return false;
            QVariantMap last;
            all.last().value<QDBusArgument>() >> last;
            return last.value(QStringLiteral("mpris:length")).toLongLong() > 0;
        },
        1000))
        << "the song's length was not announced";
    EXPECT_EQ(Metadata().value(QStringLiteral("xesam:title")).toString(),
              QStringLiteral("Titel 1"));
    EXPECT_EQ(Metadata().value(QStringLiteral("xesam:artist")).toStringList(),
              QStringList{QStringLiteral("Band")});
    // Each entry has the type sound menus read: the artists are a list of
    // strings, the length a 64-bit count of microseconds, the track an object
    // path.
    EXPECT_EQ(MetadataTypes(), (std::map<std::string, std::string>{{"mpris:length", "x"},
                                                                   {"mpris:trackid", "o"},
                                                                   {"xesam:album", "s"},
                                                                   {"xesam:artist", "as"},
                                                                   {"xesam:title", "s"}}));

    // A pause from the tray is on the bus within a tick.
    recorder.Changes.clear();
    ASSERT_NO_FATAL_FAILURE(ClickTrayIcon(form));
    EXPECT_TRUE(QTest::qWaitFor([&] { return announced("Paused"); }, 100))
        << "the pause was not announced within a tick";
    // Resumed with "Titel nicht abspielen" checked: the song ends, and the
    // player says it has stopped.
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acNoPlay));
    ASSERT_NO_FATAL_FAILURE(ClickTrayIcon(form));
    ASSERT_TRUE(QTest::qWaitFor([&] { return announced("Playing"); }, 100));
    EXPECT_TRUE(QTest::qWaitFor([&] { return announced("Stopped"); }, 4000))
        << "a song ended without automatic playing still plays on the bus";
    EXPECT_EQ(Property("org.mpris.MediaPlayer2.Player", "PlaybackStatus").toString(),
              QStringLiteral("Stopped"));

    // Idle: nothing more is said, once the stop's own changes have been said
    // (within a tick or two).
    LetPlaybackTicksPass(2);
    recorder.Changes.clear();
    LetPlaybackTicksPass(7);
    EXPECT_TRUE(recorder.Changes.empty()) << "announcements while nothing changes";
}

TEST_F(MprisTest, ExtremeMovesAndVolumesStayInBounds) {
    const auto kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
    ChangeRecorder recorder;
    ASSERT_NO_FATAL_FAILURE(Listen(recorder));
    ASSERT_NO_FATAL_FAILURE(SelectAlbum());
    Player("Play");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Title() == QStringLiteral("Titel 1"); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Property("org.mpris.MediaPlayer2.Player", "CanSeek").toBool(); }, 2000));
    // The song's end is known (silent frames tell it once some are decoded).
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Metadata().value(QStringLiteral("mpris:length")).toLongLong() > 0; }, 2000));

    // The furthest moves either way: to the start, and past the end to the
    // next song, without an overflow on the way.
    Call(kPlayer, QStringLiteral("Seek"), {std::numeric_limits<qlonglong>::min()});
    EXPECT_TRUE(QTest::qWaitFor([&] { return recorder.Seeks == std::vector<qlonglong>{0}; }, 1000))
        << "not moved to the start";
    recorder.Seeks.clear();
    Call(kPlayer, QStringLiteral("Seek"), {std::numeric_limits<qlonglong>::max()});
    EXPECT_TRUE(QTest::qWaitFor([&] { return Title() == QStringLiteral("Titel 2"); }, 3000))
        << "a move past the end did not go on to the next song";
    EXPECT_TRUE(recorder.Seeks.empty());

    // A volume that is no number is refused; one beyond the bounds is kept
    // within them; each change is announced once.
    for (double refused :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity()})
        SetProperty("Volume", refused);
    EXPECT_EQ(Property("org.mpris.MediaPlayer2.Player", "Volume").toDouble(), 1.0);
    SetProperty("Volume", -3.0);
    EXPECT_EQ(Property("org.mpris.MediaPlayer2.Player", "Volume").toDouble(), 0.0);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !recorder.Announced(QStringLiteral("Volume")).isEmpty(); }, 3000))
        << "the volume was not announced";
    LetPlaybackTicksPass(3);  // a second announcement would come by now
    EXPECT_EQ(recorder.Announced(QStringLiteral("Volume")), QVariantList{0.0});
}

TEST_F(MprisTest, PositionSeekAndVolumeOfTheSongHeard) {
    const auto kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
    // A long first song to move in; the second one, of 2 s, follows it.
    WriteSilentMp3(music + "Album/01-Lied 1.mp3", 20, "Titel 1", "Band", "Platte");
    ChangeRecorder recorder;
    ASSERT_NO_FATAL_FAILURE(Listen(recorder));
    // A move over the bus, and the Seeked signal that tells where it went.
    auto seekTo = [&](const char* method, const QVariantList& args) {
        recorder.Seeks.clear();
        Call(kPlayer, QString::fromLatin1(method), args);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !recorder.Seeks.empty(); }, 3000))
            << method << " told no Seeked signal";
    };
    // A move that must not happen: a Seeked signal is given the time to come.
    auto seekNowhere = [&](const char* method, const QVariantList& args) {
        recorder.Seeks.clear();
        Call(kPlayer, QString::fromLatin1(method), args);
        LetPlaybackTicksPass(1);
        EXPECT_TRUE(recorder.Seeks.empty()) << method;
    };
    auto canSeek = [&] { return Property("org.mpris.MediaPlayer2.Player", "CanSeek").toBool(); };
    EXPECT_FALSE(canSeek()) << "nothing plays";
    EXPECT_EQ(Position(), 0);
    EXPECT_EQ(Property("org.mpris.MediaPlayer2.Player", "Volume").toDouble(), 1.0);

    ASSERT_NO_FATAL_FAILURE(SelectAlbum());
    Player("Play");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Title() == QStringLiteral("Titel 1"); }, 5000));
    EXPECT_TRUE(canSeek());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return recorder.Announced(QStringLiteral("CanSeek")) == QVariantList{true}; }, 2000));
    // Silent frames carry no table of frames: the length is known once the
    // decoder has read some of them.
    auto length = [&] { return Metadata().value(QStringLiteral("mpris:length")).toLongLong(); };
    EXPECT_TRUE(QTest::qWaitFor([&] { return length() > 0; }, 2000));
    const QVariantMap metadata = Metadata();
    EXPECT_NEAR(metadata.value(QStringLiteral("mpris:length")).toLongLong(), 20e6, 0.1e6);
    const auto track = metadata.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>();
    ASSERT_FALSE(track.path().isEmpty());
    // The position runs on with the clock: it is measured against the time
    // that really passed, which a busy machine may stretch.
    QElapsedTimer passed;
    passed.start();
    const qlonglong early = Position();
    QTest::qWait(500);  // on purpose: the song must play on for a while
    const qlonglong ran = Position() - early;
    EXPECT_NEAR(ran, passed.nsecsElapsed() / 1000, 100e3) << "the position runs with the song";

    // Paused, the song stays where a move puts it, so that the position read
    // back is the one moved to, however slow the machine.
    Player("Pause");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Status() == QStringLiteral("Paused"); }, 2000));

    {
        SCOPED_TRACE("SetPosition, then Seek back by 5 s");
        seekTo("SetPosition", {QVariant::fromValue(track), qlonglong(15'000'000)});
        EXPECT_EQ(recorder.Seeks, std::vector<qlonglong>{15'000'000});
        EXPECT_NEAR(Position(), 15e6, 50e3);
        seekTo("Seek", {qlonglong(-5'000'000)});
        ASSERT_EQ(recorder.Seeks.size(), 1u);
        EXPECT_NEAR(recorder.Seeks[0], 10e6, 50e3);
        EXPECT_NEAR(Position(), 10e6, 50e3);
        seekTo("Seek", {qlonglong(-60'000'000)});
        EXPECT_EQ(recorder.Seeks, std::vector<qlonglong>{0}) << "before the start: the start";
        EXPECT_LT(Position(), 50'000);
    }
    {
        SCOPED_TRACE("SetPosition for another song or outside this one does nothing");
        seekNowhere(
            "SetPosition",
            {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/de/quintor/tunrax/Song/99"))),
             qlonglong(12'000'000)});
        seekNowhere("SetPosition", {QVariant::fromValue(track), qlonglong(25'000'000)});
        seekNowhere("SetPosition", {QVariant::fromValue(track), qlonglong(-1)});
        EXPECT_TRUE(recorder.Seeks.empty());
        EXPECT_LT(Position(), 1'000'000);
        EXPECT_EQ(Title(), QStringLiteral("Titel 1"));
    }
    {
        SCOPED_TRACE("the volume, kept within 0 and 1 and announced");
        SetProperty("Volume", 0.5);
        EXPECT_EQ(Property("org.mpris.MediaPlayer2.Player", "Volume").toDouble(), 0.5);
        SetProperty("Volume", 1.7);
        EXPECT_EQ(Property("org.mpris.MediaPlayer2.Player", "Volume").toDouble(), 1.0);
        SetProperty("Volume", 0.25);
        // The announcement comes over the bus after the call has returned.
        (void)QTest::qWaitFor(
            [&] { return recorder.Announced(QStringLiteral("Volume")).size() >= 3; }, 2000);
        EXPECT_EQ(recorder.Announced(QStringLiteral("Volume")), (QVariantList{0.5, 1.0, 0.25}));
    }
    Player("Play");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Status() == QStringLiteral("Playing"); }, 2000));
    {
        SCOPED_TRACE("near the end the next song follows: its own position and length");
        seekTo("SetPosition", {QVariant::fromValue(track), qlonglong(19'000'000)});
        ASSERT_TRUE(QTest::qWaitFor([&] { return Title() == QStringLiteral("Titel 2"); }, 3000));
        EXPECT_LT(Position(), 800'000);
        EXPECT_TRUE(QTest::qWaitFor([&] { return length() > 0; }, 2000));
        EXPECT_NEAR(length(), 2e6, 0.1e6);
        EXPECT_EQ(Property("org.mpris.MediaPlayer2.Player", "Volume").toDouble(), 0.25);
        EXPECT_EQ(recorder.Announced(QStringLiteral("CanSeek")), QVariantList{true})
            << "seekable from song to song";
    }
    {
        SCOPED_TRACE("a Seek past the end goes on to the next song");
        seekNowhere("Seek", {qlonglong(5'000'000)});
        EXPECT_TRUE(recorder.Seeks.empty());
        EXPECT_TRUE(QTest::qWaitFor([&] { return Title() == QStringLiteral("Titel 3"); }, 3000));
    }
    Player("Stop");
    EXPECT_FALSE(canSeek());
    EXPECT_EQ(Position(), 0);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return recorder.Announced(QStringLiteral("CanSeek")) == (QVariantList{true, false});
        },
        2000));
    seekNowhere("Seek", {qlonglong(1'000'000)});
    EXPECT_TRUE(recorder.Seeks.empty()) << "nothing to move";
    ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Beenden1));
}

#include "Mpris_test.moc"

// The player bar gives the remote control's commands: what the bar does, the
// desktop's sound menu reports, and what comes over the bus, the bar shows.
TEST_F(MprisTest, ThePlayerBarAndTheSoundMenuAgree) {
    WriteSilentMp3(music + "Album/01-Lied 1.mp3", 20, "Titel 1", "Band", "Platte");
    const MainControls ui = Ui(form);
    QToolButton* playPause = BarButton(form, ui.acAbspielen);
    QToolButton* stop = BarButton(form, ui.acStopp);
    ASSERT_TRUE(playPause && stop);
    EXPECT_FALSE(playPause->isEnabled()) << "nothing listed, nothing to play";
    EXPECT_EQ(ui.laZeit->text(), QStringLiteral("0:00 / 0:00"));

    // A click on the bar's play button starts the list; the bar and the bus
    // say so.
    ASSERT_NO_FATAL_FAILURE(SelectAlbum());
    Settle();
    ASSERT_TRUE(playPause->isEnabled());
    EXPECT_FALSE(stop->isEnabled());
    ASSERT_NO_FATAL_FAILURE(ClickIn(playPause, playPause->rect()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Title() == QStringLiteral("Titel 1"); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Status() == QStringLiteral("Playing"); }, 3000));
    EXPECT_EQ(playPause->text(), QStringLiteral("Pause"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui.laZeit->text().endsWith(u"/ 0:20"); }, 3000))
        << ui.laZeit->text().toStdString();

    // Ctrl+Right goes on to the next song, Ctrl+Left back; keys work from
    // the song list as from anywhere in the window.
    ui.lvLieder->setFocus();
    QTest::keyClick(ui.lvLieder, Qt::Key_Right, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Title() == QStringLiteral("Titel 2"); }, 5000));
    QTest::keyClick(ui.lvLieder, Qt::Key_Left, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Title() == QStringLiteral("Titel 1"); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Status() == QStringLiteral("Playing"); }, 3000));

    // Ctrl+Space pauses; the sound menu's PlayPause resumes, and the bar's
    // button follows.
    QTest::keyClick(ui.lvLieder, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(Status(), QStringLiteral("Paused"));
    EXPECT_EQ(playPause->text(), QStringLiteral("Abspielen"));
    Player("PlayPause");
    EXPECT_EQ(Status(), QStringLiteral("Playing"));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return playPause->text() == QStringLiteral("Pause"); }, 2000));

    // Dragging the position slider moves within the song where it is let go.
    QSlider* slider = ui.tbPosition;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return slider->isEnabled() && slider->maximum() > 0; }, 3000));
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = Qt::Horizontal;
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    const QRect handle = slider->style()->subControlRect(QStyle::CC_Slider, &option,
                                                         QStyle::SC_SliderHandle, slider);
    const QRect groove = slider->style()->subControlRect(QStyle::CC_Slider, &option,
                                                         QStyle::SC_SliderGroove, slider);
    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, handle.center());
    const QPoint threeQuarters(groove.left() + groove.width() * 3 / 4, handle.center().y());
    QMouseEvent drag(QEvent::MouseMove, threeQuarters, slider->mapToGlobal(threeQuarters),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(slider, &drag);
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, threeQuarters);
    Settle();
    EXPECT_NEAR(Position(), 15e6, 2e6) << "not moved to three quarters of 20 s";
    EXPECT_NEAR(slider->value(), 15000, 2000);
    // The arrow keys on the slider move by 5 s.
    const qlonglong dragged = Position();
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Left);
    EXPECT_NEAR(dragged - Position(), 5e6, 1e6) << "Left on the slider";

    // Ctrl+Down turns the volume down a step; the bus's volume moves the
    // bar's slider.
    QTest::keyClick(ui.lvLieder, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_NEAR(Property("org.mpris.MediaPlayer2.Player", "Volume").toDouble(), 0.95, 0.001);
    EXPECT_EQ(ui.tbLautstaerke->value(), 95);
    SetProperty("Volume", 0.5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui.tbLautstaerke->value() == 50; }, 2000));
    EXPECT_EQ(Ui(form).lvLieder->currentItem(), Ui(form).lvLieder->topLevelItem(0))
        << "Ctrl+Down moved in the list as well";

    // Stop from the bar.
    ASSERT_NO_FATAL_FAILURE(ClickIn(stop, stop->rect()));
    EXPECT_EQ(Status(), QStringLiteral("Stopped"));
    EXPECT_EQ(ui.laZeit->text(), QStringLiteral("0:00 / 0:00"));
    EXPECT_FALSE(ui.tbPosition->isEnabled());
    ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Beenden1));
}
