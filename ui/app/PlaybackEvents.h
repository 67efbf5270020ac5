// The playback controller's news as Qt signals, for the window and the
// desktop's remote control. Changed follows every other signal, so that one
// connection sees every change. Nothing here throws.
#pragma once

#include <QObject>
#include <QString>

#include "playback/PlaybackListener.h"

namespace tunrax {

class TPlaybackEvents : public QObject, public TPlaybackListener {
    Q_OBJECT

public:
    using QObject::QObject;

    void OnSongStarting(const std::string& caption) override;
    void OnTrackChanged(const TTrack& track) override;
    void OnNoSong() override;
    void OnStatusChanged(TPlaybackStatus status) override;
    void OnChoiceChanged(int row) override;
    void OnListChanged() override;
    void OnAutoPlayChanged(bool on) override;
    void OnVolumeChanged(double volume) override;

Q_SIGNALS:
    void SongStarting(const QString& caption);
    void TrackChanged();
    void NoSong();
    void StatusChanged(tunrax::TPlaybackStatus status);
    void ChoiceChanged(int row);
    void ListChanged();
    void AutoPlayChanged(bool on);
    void VolumeChanged(double volume);
    void Changed();
};

}  // namespace tunrax
