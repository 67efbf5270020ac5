#include "app/PlaybackRemote.h"

#include "playback/PlaybackController.h"
#include "settings/DisplayText.h"
#include "sources/SourceOwner.h"

namespace tunrax {

namespace {

QString DisplayName(const std::string& bytes) {
    return QString::fromStdString(DisplayText(bytes));
}

}  // namespace

TPlaybackRemote::TPlaybackRemote(const TSourceOwner& source, TPlaybackEvents& events,
                                 std::function<void()> raise, std::function<void()> quit)
    : FSource(source), FEvents(events), FRaise(std::move(raise)), FQuit(std::move(quit)) {}

TPlaybackStatus TPlaybackRemote::MediaStatus() const {
    return FPlayback ? FPlayback->Status() : TPlaybackStatus::Stopped;
}

TMediaTrack TPlaybackRemote::MediaTrack() const {
    TMediaTrack track;
    if (!FPlayback)
        return track;
    const TTrack& playing = FPlayback->Track();
    track.Serial = playing.Serial;
    // A song without tags is known by its caption in the list.
    track.Title = DisplayName(playing.Tags.Title);
    if (track.Title.isEmpty())
        track.Title = DisplayName(playing.Caption);
    track.Artist = DisplayName(playing.Tags.Artist);
    track.Album = DisplayName(playing.Tags.Album);
    track.Length = playing.Length;
    return track;
}

bool TPlaybackRemote::MediaCanGoNext() const {
    return FPlayback && FPlayback->CanGoNext();
}

bool TPlaybackRemote::MediaCanGoPrevious() const {
    return FPlayback && FPlayback->CanGoPrevious();
}

bool TPlaybackRemote::MediaCanPlay() const {
    return FSource && FPlayback && FPlayback->CanPlay();
}

int64_t TPlaybackRemote::MediaPosition() {
    return FPlayback ? FPlayback->Position() : -1;
}

bool TPlaybackRemote::MediaSeek(int64_t position) {
    return FPlayback && FPlayback->Seek(position);
}

double TPlaybackRemote::MediaVolume() const {
    return FPlayback ? FPlayback->Volume() : 1.0;
}

void TPlaybackRemote::MediaSetVolume(double volume) {
    if (FPlayback)
        FPlayback->SetVolume(volume);
}

void TPlaybackRemote::Command(void (TPlaybackController::*command)()) {
    if (FPlayback)
        (FPlayback->*command)();
}

void TPlaybackRemote::MediaPlay() {
    Command(&TPlaybackController::Play);
}

void TPlaybackRemote::MediaPause() {
    Command(&TPlaybackController::Pause);
}

void TPlaybackRemote::MediaPlayPause() {
    Command(&TPlaybackController::PlayPause);
}

void TPlaybackRemote::MediaStop() {
    Command(&TPlaybackController::Stop);
}

void TPlaybackRemote::MediaNext() {
    Command(&TPlaybackController::Next);
}

void TPlaybackRemote::MediaPrevious() {
    Command(&TPlaybackController::Previous);
}

void TPlaybackRemote::MediaRaise() {
    FRaise();
}

void TPlaybackRemote::MediaQuit() {
    FQuit();
}

}  // namespace tunrax
