// The playback controller's news as Qt signals, for the window and the
// desktop's remote control. Changed follows every other signal, so that one
// connection sees every change. Nothing here throws.
#pragma once

#include <QObject>
#include <QString>

#include <utility>

#include "playback/PlaybackListener.h"

namespace tunrax {

class TPlaybackEvents : public QObject, public TPlaybackListener {
    Q_OBJECT

public:
    using QObject::QObject;

    void OnSongStarting(const std::string& caption) override;
    void OnTrackChanged(const TTrack&) override { Tell(&TPlaybackEvents::TrackChanged); }
    void OnNoSong() override { Tell(&TPlaybackEvents::NoSong); }
    void OnStatusChanged(TPlaybackStatus status) override {
        Tell(&TPlaybackEvents::StatusChanged, status);
    }
    void OnChoiceChanged(int row) override { Tell(&TPlaybackEvents::ChoiceChanged, row); }
    void OnListChanged() override { Tell(&TPlaybackEvents::ListChanged); }
    void OnAutoPlayChanged(bool on) override { Tell(&TPlaybackEvents::AutoPlayChanged, on); }
    void OnVolumeChanged(double volume) override { Tell(&TPlaybackEvents::VolumeChanged, volume); }

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

private:
    // Emits the signal, then Changed.
    template <typename... Params, typename... Args>
    void Tell(void (TPlaybackEvents::*signal)(Params...), Args&&... args) {
        Q_EMIT(this->*signal)(std::forward<Args>(args)...);
        Q_EMIT Changed();
    }
};

}  // namespace tunrax
