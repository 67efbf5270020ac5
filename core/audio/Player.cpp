#include "audio/Player.h"

#include <algorithm>
#include <cctype>
#include <chrono>

namespace tunrax {

namespace {

// The MPEG audio files are pre-scanned so that their length and seeking are
// exact; other files are opened as they are.
bool IsMpegAudioName(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || fileName.find('/', dot) != std::string::npos)
        return false;
    std::string ext = fileName.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".mp3" || ext == ".mp2" || ext == ".mp1";
}

int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

TPlayer::TPlayer(TAudioBackend& library) : FLibrary(library) {}

TPlayer::~TPlayer() {
    FLibrary.Free();
}

void TPlayer::Init(void* window) {
    const uint32_t version = FLibrary.GetVersion();
    FLibrary.Init(-1, 44100, 0, window, nullptr);
    if ((version >> 16) != (kLibraryVersion >> 16) && OnError)
        OnError("Bass 2.3 nicht gefunden", "Fehler");
}

void TPlayer::Play(const std::string& fileName) {
    if (fileName.empty())
        return;
    FileName = fileName;
    Stop();
    const uint32_t flags = IsMpegAudioName(fileName) ? uint32_t{kStreamPrescan} : 0u;
    Channel = FLibrary.StreamCreateFile(false, fileName, 0, 0, flags);
    if (Channel == 0)
        Channel = FLibrary.MusicLoad(false, fileName, 0, 0, kStreamPrescan | kMusicRamp, 0);
    if (OnEnd)
        SyncHandle = FLibrary.ChannelSetSync(Channel, kSyncEnd, 0, &TPlayer::EndSync, this);
    FLibrary.ChannelSetAttribute(Channel, kAttribVolume, Volume);
    FLibrary.ChannelPlay(Channel, true);
    if (Channel != 0) {
        if (OnPlay)
            OnPlay(this);
        if (OnSongChange)
            OnSongChange(this);
    }
}

void TPlayer::Stop() {
    FParked = false;
    FLibrary.ChannelStop(Channel);
    FLibrary.StreamFree(Channel);
    Channel = 0;
    // The syncs went with the channel; a stale handle would name nothing.
    SyncHandle = 0;
    FNextSyncHandle = 0;
    FQueued.clear();
    FQueuedStarted = 0;
}

void TPlayer::Park() {
    if (Channel == 0)
        return;
    if (!FQueued.empty())
        FLibrary.ChannelQueueNext(Channel, "");
    FQueued.clear();
    FQueuedStarted = 0;
    FLibrary.ChannelStop(Channel);
    FParked = true;
}

bool TPlayer::Restart() {
    if (!FParked || Channel == 0 || !FLibrary.ChannelPlay(Channel, true))
        return false;
    FParked = false;
    if (OnPlay)
        OnPlay(this);
    if (OnSongChange)
        OnSongChange(this);
    return true;
}

void TPlayer::Pause() {
    FLibrary.ChannelPause(Channel);
    if (OnPause)
        OnPause(this);
}

void TPlayer::Resume() {
    FParked = false;
    FLibrary.ChannelPlay(Channel, false);
    if (OnResume)
        OnResume(this);
}

void TPlayer::Rest() {
    if (!FParked && Channel != 0)
        Stop();
    FLibrary.Rest();
}

TPlayerState TPlayer::State() {
    switch (FLibrary.ChannelIsActive(Channel)) {
        case kActivePlaying: return psPlaying;
        case kActiveStalled: return psStalled;
        case kActivePaused: return psPaused;
        default: return psStopped;
    }
}

int64_t TPlayer::Position() {
    return Channel == 0 ? -1 : FLibrary.ChannelGetPosition(Channel);
}

int64_t TPlayer::Length() {
    return Channel == 0 ? -1 : FLibrary.ChannelGetLength(Channel);
}

bool TPlayer::Seek(int64_t position) {
    return Channel != 0 && position >= 0 && FLibrary.ChannelSetPosition(Channel, position);
}

void TPlayer::SetVolume(float volume) {
    Volume = std::clamp(volume, 0.0f, 100.0f);
    if (Channel != 0)
        FLibrary.ChannelSetAttribute(Channel, kAttribVolume, Volume);
}

bool TPlayer::Queue(const std::string& fileName) {
    if (Channel == 0 || (fileName.empty() && FQueued.empty()))
        return false;
    if (!fileName.empty() && FNextSyncHandle == 0)
        FNextSyncHandle = FLibrary.ChannelSetSync(Channel, kSyncNext, 0, &TPlayer::NextSync, this);
    if (!FLibrary.ChannelQueueNext(Channel, fileName))
        return false;
    FQueued = fileName;
    return true;
}

bool TPlayer::QueuedSongStarted() {
    const uint32_t channel = FQueuedStarted.load();
    if (channel == 0 || (channel == Channel && SteadyNs() < FQueuedHeardAt.load()))
        return false;
    FQueuedStarted = 0;
    if (channel != Channel || FQueued.empty())
        return false;
    FileName = std::move(FQueued);
    FQueued.clear();
    if (OnSongChange)
        OnSongChange(this);
    return true;
}

// data: the milliseconds until the output plays the queued file.
void TPlayer::NextSync(uint32_t, uint32_t channel, uint32_t data, void* user) {
    auto* player = static_cast<TPlayer*>(user);
    player->FQueuedHeardAt = SteadyNs() + int64_t{data} * 1000000;
    player->FQueuedStarted = channel;
}

void TPlayer::EndSync(uint32_t, uint32_t, uint32_t, void* user) {
    auto* player = static_cast<TPlayer*>(user);
    if (player->OnEnd)
        player->OnEnd(player);
}

}  // namespace tunrax
