// The player on the session bus as an MPRIS media player, so that media
// keys, the desktop's sound menu and playerctl control it. Calls go to a
// TMediaControl; every change it reports through its events is announced,
// whatever caused it (a click on the tray icon, the list's end).
#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace tunrax {

class TMediaControl;

class TMprisService : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kServiceName = "org.mpris.MediaPlayer2.tunrax";
    static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";

    // Registers on connection; without a bus (or with the name taken) the
    // player simply has no remote control: Registered() tells.
    TMprisService(TMediaControl& control, const QString& desktopEntry,
                  QDBusConnection connection = QDBusConnection::sessionBus(),
                  QObject* parent = nullptr);
    ~TMprisService() override;

    bool Registered() const { return FRegistered; }
    TMediaControl& Control() { return FControl; }
    const QString& DesktopEntry() const { return FDesktopEntry; }

    // The player's state as the bus sees it.
    QString PlaybackStatus();
    QVariantMap Metadata();
    QDBusObjectPath TrackId();
    // The song heard, in microseconds: where it stands (0 when nothing
    // plays) and how long it is (-1: not known).
    qlonglong Position();
    qlonglong Length();
    // While a song plays or is paused.
    bool CanSeek();

    // Reads the state now and announces what changed.
    void Refresh();

private:
    QVariantMap PlayerProperties();
    TMediaControl& FControl;
    QString FDesktopEntry;
    QDBusConnection FConnection;
    bool FRegistered = false;
    QVariantMap FAnnounced;  // the player's properties as last announced
};

}  // namespace tunrax
