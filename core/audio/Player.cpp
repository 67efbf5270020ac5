#include "audio/Player.h"

#include <algorithm>
#include <chrono>

namespace tunrax {

namespace {

int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

TPlayer::TPlayer(TAudioBackend& library) : FLibrary(library) {}

TPlayer::~TPlayer() {
    FStream.reset();
    FLibrary.Free();
}

void TPlayer::Init() {
    if (!FLibrary.Start() && OnError)
        OnError("Bass 2.3 nicht gefunden", "Fehler");
}

void TPlayer::Play(const std::string& fileName) {
    if (fileName.empty())
        return;
    FFileName = fileName;
    Stop();
    FStream = FLibrary.Open(fileName);
    if (!FStream)
        return;
    // Numbers the streams, so that a handler of one that is gone (it may
    // have been under way as the stream went) is told apart.
    FStreamId = FStreamId == UINT32_MAX ? 1 : FStreamId + 1;
    const uint32_t id = FStreamId;
    if (OnEnd)
        FStream->SetOnEnd([this] {
            if (OnEnd)
                OnEnd(this);
        });
    // data: the milliseconds until the output plays the queued file.
    FStream->SetOnNext([this, id](uint32_t heardInMs) {
        FQueuedHeardAt = SteadyNs() + int64_t{heardInMs} * 1000000;
        FQueuedStarted = id;
    });
    FStream->SetVolume(FVolume);
    FStream->Play();
    if (OnPlay)
        OnPlay(this);
    if (OnSongChange)
        OnSongChange(this);
}

void TPlayer::Stop() {
    FParked = false;
    FStream.reset();
    FQueued.clear();
    FQueuedStarted = 0;
}

void TPlayer::Park() {
    if (!FStream)
        return;
    if (!FQueued.empty())
        FStream->Queue("");
    FQueued.clear();
    FQueuedStarted = 0;
    FStream->Stop();
    FParked = true;
}

bool TPlayer::Restart() {
    if (!FParked || !FStream || !FStream->Play())
        return false;
    FParked = false;
    if (OnPlay)
        OnPlay(this);
    if (OnSongChange)
        OnSongChange(this);
    return true;
}

void TPlayer::Pause() {
    if (FStream)
        FStream->Pause();
    if (OnPause)
        OnPause(this);
}

void TPlayer::Resume() {
    FParked = false;
    if (FStream)
        FStream->Resume();
    if (OnResume)
        OnResume(this);
}

void TPlayer::Rest() {
    if (!FParked && FStream)
        Stop();
    FLibrary.Rest();
}

TStreamState TPlayer::State() {
    FLibrary.Poll();
    return FStream ? FStream->State() : TStreamState::Stopped;
}

int64_t TPlayer::Position() {
    return FStream ? FStream->Position() : -1;
}

int64_t TPlayer::Length() {
    return FStream ? FStream->Length() : -1;
}

bool TPlayer::Seek(int64_t position) {
    return FStream && position >= 0 && FStream->Seek(position);
}

void TPlayer::SetVolume(float volume) {
    FVolume = std::clamp(volume, 0.0f, 100.0f);
    if (FStream)
        FStream->SetVolume(FVolume);
}

bool TPlayer::Queue(const std::string& fileName) {
    if (!FStream || (fileName.empty() && FQueued.empty()))
        return false;
    if (!FStream->Queue(fileName))
        return false;
    FQueued = fileName;
    return true;
}

bool TPlayer::QueuedSongStarted() {
    const uint32_t id = FQueuedStarted.load();
    if (id == 0 || (id == StreamId() && SteadyNs() < FQueuedHeardAt.load()))
        return false;
    FQueuedStarted = 0;
    if (id != StreamId() || FQueued.empty())
        return false;
    FFileName = std::move(FQueued);
    FQueued.clear();
    if (OnSongChange)
        OnSongChange(this);
    return true;
}

}  // namespace tunrax
