#include "playback/PlaybackController.h"

#include <algorithm>
#include <cmath>

namespace tunrax {

TPlaybackController::TPlaybackController(std::unique_ptr<TAudioBackend> library,
                                         TSourceAccess source, TPlaybackClock& clock)
    : FLibrary(std::move(library)),
      FPlayer(*FLibrary),
      FClock(clock),
      FSequencer(FPlayer, FSongs, *this, std::move(source)) {
    FSequencer.SetListPlays(false);
    // The first ticks find the player stopped and show that nothing plays.
    Changed();
}

TPlaybackController::~TPlaybackController() {
    FSequencer.CancelPrefetch();
    if (FClockRunning)
        FClock.Run(false);
}

void TPlaybackController::AddListener(TPlaybackListener& listener) {
    FListeners.push_back(&listener);
}

void TPlaybackController::RemoveListener(TPlaybackListener& listener) {
    FListeners.erase(std::remove(FListeners.begin(), FListeners.end(), &listener),
                     FListeners.end());
}

// --- the list

void TPlaybackController::SetOrigin(TListOrigin origin) {
    FOrigin = origin;
    FSequencer.SetListPlays(origin != TListOrigin::None);
}

void TPlaybackController::TellChoice() {
    for (TPlaybackListener* listener : FListeners)
        listener->OnChoiceChanged(FSongs.Selected());
}

void TPlaybackController::TellList() {
    for (TPlaybackListener* listener : FListeners)
        listener->OnListChanged();
}

void TPlaybackController::Listed(TListOrigin origin) {
    SetOrigin(origin);
    TellList();
    Changed();
}

void TPlaybackController::ShowAlbum(std::vector<std::string>& files, const std::string& folder) {
    FSongs.Fill(files, folder);
    Listed(TListOrigin::Album);
}

void TPlaybackController::ShowFavorites(std::vector<std::string>& entries) {
    FSongs.Fill(entries, "");
    Listed(TListOrigin::Favorites);
}

void TPlaybackController::ClearList() {
    FSongs.Clear();
    Listed(TListOrigin::None);
}

void TPlaybackController::ForgetAlbum() {
    if (FOrigin == TListOrigin::Album)
        SetOrigin(TListOrigin::None);
    Changed();
}

void TPlaybackController::RemoveSong(int row) {
    FSongs.Remove(row);
    // The selection went with the row: as any change of it, the count starts
    // again.
    FSequencer.SongChosen();
    TellList();
    Changed();
}

int TPlaybackController::MoveChosenSong(int delta) {
    const int to = FSongs.MoveSelected(delta);
    TellList();
    Changed();
    return to;
}

// --- what the user does

void TPlaybackController::ChooseSong(int row) {
    FSongs.Select(row);
    FSequencer.SongChosen();
    TellChoice();
    Changed();
}

void TPlaybackController::SetAutoPlay(bool on) {
    if (on != FSequencer.GoesOn()) {
        FSequencer.SetGoesOn(on);
        for (TPlaybackListener* listener : FListeners)
            listener->OnAutoPlayChanged(on);
    }
    Changed();
}

void TPlaybackController::SkipStart() {
    FSequencer.SkipStart();
    Changed();
}

// --- the clock

void TPlaybackController::Tick() {
    if (FHeld > 0)
        return;
    // Also when the fetch of a song failed.
    const TAfterwards changed(*this);
    FSequencer.Tick();
}

void TPlaybackController::StartChosenNow() {
    const TAfterwards changed(*this);
    FSequencer.StartChosenNow();
}

// --- the remote control

void TPlaybackController::Choose(void (TSongSequencer::*command)()) {
    (FSequencer.*command)();
    // A listener who presses a key wants to hear the song now, not after the
    // pause that lets a user pass over songs with the arrow keys; soon, so
    // that the caller has its answer before the song is fetched.
    FClock.CallSoon([this] { StartChosenNow(); });
    Changed();
}

void TPlaybackController::Play() {
    Choose(&TSongSequencer::Play);
}

void TPlaybackController::Pause() {
    FSequencer.Pause();
    Changed();
}

void TPlaybackController::PlayPause() {
    if (Status() == TPlaybackStatus::Playing)
        Pause();
    else
        Play();
}

void TPlaybackController::Stop() {
    FSequencer.Stop();
    Changed();
}

void TPlaybackController::Next() {
    Choose(&TSongSequencer::Next);
}

void TPlaybackController::Previous() {
    Choose(&TSongSequencer::Previous);
}

int64_t TPlaybackController::Position() {
    return FPlayer.Position();
}

bool TPlaybackController::Seek(int64_t position) {
    return FPlayer.Seek(position);
}

double TPlaybackController::Volume() const {
    return FPlayer.Volume() / 100.0;
}

void TPlaybackController::SetVolume(double volume) {
    if (!std::isfinite(volume))
        return;
    volume = std::clamp(volume, 0.0, 1.0);
    FPlayer.SetVolume(static_cast<float>(volume * 100.0));
    for (TPlaybackListener* listener : FListeners)
        listener->OnVolumeChanged(Volume());
}

// --- what the sequencer does

void TPlaybackController::ShowSongStarting(const std::string& caption) {
    for (TPlaybackListener* listener : FListeners)
        listener->OnSongStarting(caption);
}

void TPlaybackController::ShowSongInfo(const TSongTags& tags) {
    FTrack = TTrack{FSequencer.Serial(), FSequencer.SongPath(), FSequencer.SongCaption(), tags, -1};
    for (TPlaybackListener* listener : FListeners)
        listener->OnTrackChanged(FTrack);
}

void TPlaybackController::ShowNoSong() {
    for (TPlaybackListener* listener : FListeners)
        listener->OnNoSong();
}

void TPlaybackController::ShowStatus(TPlaybackStatus status) {
    if (status == FToldStatus)
        return;
    FToldStatus = status;
    for (TPlaybackListener* listener : FListeners)
        listener->OnStatusChanged(status);
}

void TPlaybackController::ShowSelection(int /*row*/) {
    TellChoice();
}

void TPlaybackController::Changed() {
    // A file without a table of its frames tells its length only once the
    // decoder has read some of them; once known it stays, so that an estimate
    // refined later does not announce the song again and again.
    if (FTrack.Serial != 0 && FTrack.Length <= 0 && Status() != TPlaybackStatus::Stopped) {
        if (const int64_t length = FPlayer.Length(); length > 0) {
            FTrack.Length = length;
            for (TPlaybackListener* listener : FListeners)
                listener->OnTrackChanged(FTrack);
        }
    }
    const bool run = FHeld == 0 && !FSequencer.Quiet();
    if (run != FClockRunning) {
        FClockRunning = run;
        FClock.Run(run);
    }
}

}  // namespace tunrax
