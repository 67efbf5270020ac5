#include "app/PlaybackEvents.h"

#include "settings/DisplayText.h"

namespace tunrax {

void TPlaybackEvents::OnSongStarting(const std::string& caption) {
    Q_EMIT SongStarting(QString::fromStdString(DisplayText(caption)));
    Q_EMIT Changed();
}

void TPlaybackEvents::OnTrackChanged(const TTrack&) {
    Q_EMIT TrackChanged();
    Q_EMIT Changed();
}

void TPlaybackEvents::OnNoSong() {
    Q_EMIT NoSong();
    Q_EMIT Changed();
}

void TPlaybackEvents::OnStatusChanged(TPlaybackStatus status) {
    Q_EMIT StatusChanged(status);
    Q_EMIT Changed();
}

void TPlaybackEvents::OnChoiceChanged(int row) {
    Q_EMIT ChoiceChanged(row);
    Q_EMIT Changed();
}

void TPlaybackEvents::OnListChanged() {
    Q_EMIT ListChanged();
    Q_EMIT Changed();
}

void TPlaybackEvents::OnAutoPlayChanged(bool on) {
    Q_EMIT AutoPlayChanged(on);
    Q_EMIT Changed();
}

void TPlaybackEvents::OnVolumeChanged(double volume) {
    Q_EMIT VolumeChanged(volume);
    Q_EMIT Changed();
}

}  // namespace tunrax
