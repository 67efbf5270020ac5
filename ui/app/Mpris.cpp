#include "app/Mpris.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>

#include "app/MediaControl.h"
#include "app/PlaybackEvents.h"

namespace tunrax {

namespace {

// org.mpris.MediaPlayer2: the program as a whole.
class TMprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

public:
    explicit TMprisRootAdaptor(TMprisService* service)
        : QDBusAbstractAdaptor(service), FService(service) {}

    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const { return QStringLiteral("Tunrax"); }
    QString DesktopEntry() const { return FService->DesktopEntry(); }
    // Songs come from the collection only: nothing can be opened from outside.
    QStringList SupportedUriSchemes() const { return {}; }
    QStringList SupportedMimeTypes() const { return {}; }

public Q_SLOTS:
    void Raise() { FService->Control().MediaRaise(); }
    void Quit() { FService->Control().MediaQuit(); }

private:
    TMprisService* FService;
};

// org.mpris.MediaPlayer2.Player: playing the song list.
class TMprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ Rate)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(bool CanGoNext READ CanGoNext)
    Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPause)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)

public:
    explicit TMprisPlayerAdaptor(TMprisService* service)
        : QDBusAbstractAdaptor(service), FService(service) {}

    QString PlaybackStatus() const { return FService->PlaybackStatus(); }
    double Rate() const { return 1.0; }
    QVariantMap Metadata() const { return FService->Metadata(); }
    bool CanGoNext() const { return FService->Control().MediaCanGoNext(); }
    bool CanGoPrevious() const { return FService->Control().MediaCanGoPrevious(); }
    bool CanPlay() const { return FService->Control().MediaCanPlay(); }
    bool CanPause() const { return FService->Control().MediaCanPlay(); }
    bool CanSeek() const { return FService->CanSeek(); }
    bool CanControl() const { return true; }
    qlonglong Position() const { return FService->Position(); }
    double Volume() const { return FService->Control().MediaVolume(); }
    void SetVolume(double volume) {
        // No number is no volume; beyond the bounds is the bound.
        if (!std::isfinite(volume))
            return;
        FService->Control().MediaSetVolume(std::clamp(volume, 0.0, 1.0));
        FService->Refresh();
    }

Q_SIGNALS:
    void Seeked(qlonglong Position);

public Q_SLOTS:
    void Play() { Do(&TMediaControl::MediaPlay); }
    void Pause() { Do(&TMediaControl::MediaPause); }
    void PlayPause() { Do(&TMediaControl::MediaPlayPause); }
    void Stop() { Do(&TMediaControl::MediaStop); }
    void Next() { Do(&TMediaControl::MediaNext); }
    void Previous() { Do(&TMediaControl::MediaPrevious); }
    // A move past the song's end goes on to the next song; one before its
    // start goes to the start.
    void Seek(qlonglong offset) {
        if (!FService->CanSeek())
            return;
        // The position is never negative: only a move forward can overflow,
        // and the furthest one goes past any end.
        qlonglong target = 0;
        if (__builtin_add_overflow(FService->Position(), offset, &target))
            target = std::numeric_limits<qlonglong>::max();
        target = std::max<qlonglong>(0, target);
        if (const qlonglong length = FService->Length(); length > 0 && target > length) {
            Next();
            return;
        }
        MoveTo(target);
    }
    // Only within the song named: a track id of a song gone by (a late
    // request) or a position outside the song does nothing.
    void SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
        const qlonglong length = FService->Length();
        if (!FService->CanSeek() || trackId != FService->TrackId() || position < 0 ||
            (length > 0 && position > length))
            return;
        MoveTo(position);
    }

private:
    void Do(void (TMediaControl::*command)()) {
        (FService->Control().*command)();
        FService->Refresh();
    }
    void MoveTo(qlonglong position) {
        if (FService->Control().MediaSeek(position))
            Q_EMIT Seeked(position);
    }
    TMprisService* FService;
};

}  // namespace

TMprisService::TMprisService(TMediaControl& control, const QString& desktopEntry,
                             QDBusConnection connection, QObject* parent)
    : QObject(parent), FControl(control), FDesktopEntry(desktopEntry), FConnection(connection) {
    new TMprisRootAdaptor(this);
    new TMprisPlayerAdaptor(this);
    if (!FConnection.isConnected())
        return;
    if (!FConnection.registerObject(QString::fromLatin1(kObjectPath), this,
                                    QDBusConnection::ExportAdaptors))
        return;
    if (!FConnection.registerService(QString::fromLatin1(kServiceName))) {
        FConnection.unregisterObject(QString::fromLatin1(kObjectPath));
        return;
    }
    FRegistered = true;
    FAnnounced = PlayerProperties();
    // Every change, whatever caused it (the window's own controls, the tray
    // icon, a song's end), is announced as it happens.
    connect(&FControl.MediaEvents(), &TPlaybackEvents::Changed, this, &TMprisService::Refresh);
}

TMprisService::~TMprisService() {
    if (FRegistered) {
        FConnection.unregisterService(QString::fromLatin1(kServiceName));
        FConnection.unregisterObject(QString::fromLatin1(kObjectPath));
    }
}

QString TMprisService::PlaybackStatus() {
    switch (FControl.MediaStatus()) {
        case TPlaybackStatus::Playing: return QStringLiteral("Playing");
        case TPlaybackStatus::Paused: return QStringLiteral("Paused");
        case TPlaybackStatus::Stopped: break;
    }
    return QStringLiteral("Stopped");
}

QDBusObjectPath TMprisService::TrackId() {
    const int serial = FControl.MediaTrack().Serial;
    if (FControl.MediaStatus() == TPlaybackStatus::Stopped || serial == 0)
        return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
    return QDBusObjectPath(QStringLiteral("/de/quintor/tunrax/Song/%1").arg(serial));
}

qlonglong TMprisService::Position() {
    if (FControl.MediaStatus() == TPlaybackStatus::Stopped)
        return 0;
    return std::max<qlonglong>(0, FControl.MediaPosition());
}

qlonglong TMprisService::Length() {
    return FControl.MediaStatus() == TPlaybackStatus::Stopped ? -1 : FControl.MediaTrack().Length;
}

bool TMprisService::CanSeek() {
    // Also while the length is not yet known: a file without a table of its
    // frames tells it only once the decoder has read some of them.
    return FControl.MediaStatus() != TPlaybackStatus::Stopped;
}

QVariantMap TMprisService::Metadata() {
    QVariantMap metadata;
    TMediaTrack track = FControl.MediaTrack();
    metadata.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(TrackId()));
    if (FControl.MediaStatus() == TPlaybackStatus::Stopped || track.Serial == 0)
        return metadata;
    if (const qlonglong length = Length(); length > 0)
        metadata.insert(QStringLiteral("mpris:length"), length);
    metadata.insert(QStringLiteral("xesam:title"), track.Title);
    if (!track.Artist.isEmpty())
        metadata.insert(QStringLiteral("xesam:artist"), QStringList{track.Artist});
    if (!track.Album.isEmpty())
        metadata.insert(QStringLiteral("xesam:album"), track.Album);
    return metadata;
}

QVariantMap TMprisService::PlayerProperties() {
    return {
        {QStringLiteral("PlaybackStatus"), PlaybackStatus()},
        {QStringLiteral("Metadata"), Metadata()},
        {QStringLiteral("CanGoNext"), FControl.MediaCanGoNext()},
        {QStringLiteral("CanGoPrevious"), FControl.MediaCanGoPrevious()},
        {QStringLiteral("CanPlay"), FControl.MediaCanPlay()},
        {QStringLiteral("CanPause"), FControl.MediaCanPlay()},
        {QStringLiteral("CanSeek"), CanSeek()},
        {QStringLiteral("Volume"), FControl.MediaVolume()},
    };
}

void TMprisService::Refresh() {
    if (!FRegistered)
        return;
    QVariantMap now = PlayerProperties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (FAnnounced.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    if (changed.isEmpty())
        return;
    FAnnounced = now;
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
    FConnection.send(signal);
}

}  // namespace tunrax

#include "Mpris.moc"
