// Plays one file at a time through an audio library: opens it as a stream
// (or else as a tracker module), starts, pauses, resumes and stops it, and
// reports its state. A file the library refuses gives no channel and reads
// psStopped; nothing is reported. A second file may be queued to follow the
// playing one without a gap. The player does not own the library.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "audio/AudioBackend.h"

namespace tunrax {

enum TPlayerState { psStopped = 0, psPlaying = 1, psStalled = 2, psPaused = 3 };

class TPlayer {
public:
    explicit TPlayer(TAudioBackend& library);
    ~TPlayer();  // frees the library's output
    TPlayer(const TPlayer&) = delete;
    TPlayer& operator=(const TPlayer&) = delete;

    uint32_t Channel = 0;
    float Volume = 100.0f;
    std::string FileName;
    uint32_t SyncHandle = 0;

    std::function<void(TPlayer*)> OnPlay, OnSongChange, OnPause, OnResume, OnEnd;
    // Shows an error message (text, title); the window gives a message box.
    std::function<void(const std::string& text, const std::string& title)> OnError;

    void Init(void* window);
    void Play(const std::string& fileName);
    void Stop();
    // Stops the song but keeps its channel, to start it again from its
    // beginning with Restart() at once; Play and Stop let it go.
    void Park();
    bool Parked() const { return FParked; }
    // The parked song from its beginning; false (nothing changed) if there is
    // none or the library cannot start it.
    bool Restart();
    void Pause();
    void Resume();
    TPlayerState State();
    // Nothing is to play soon, and the song has ended (or was parked): an
    // ended song's channel goes, a parked one stays, and the library lets go
    // of what it keeps for a quick next start.
    void Rest();

    // The song heard: where it stands and how long it is, in microseconds;
    // -1 when not known or nothing plays.
    int64_t Position();
    int64_t Length();
    // Moves the song to position (microseconds); false when nothing plays
    // or the library cannot.
    bool Seek(int64_t position);
    // The volume (0 to 100) of the song playing and of every song after it.
    void SetVolume(float volume);

    // Queues fileName to follow the playing song without a gap; "" calls off
    // a queued song that has not begun. False when nothing plays or the
    // library cannot queue it now: the song is then played after the end, as
    // without queueing. Play and Stop call off what is queued.
    bool Queue(const std::string& fileName);
    // The queued song, until it has begun or is called off.
    const std::string& QueuedFileName() const { return FQueued; }
    // For the caller's poll, like State(): true once when the queued song has
    // become audible; FileName then names it and OnSongChange has been raised.
    bool QueuedSongStarted();

private:
    static void EndSync(uint32_t sync, uint32_t channel, uint32_t data, void* user);
    static void NextSync(uint32_t sync, uint32_t channel, uint32_t data, void* user);
    TAudioBackend& FLibrary;
    std::string FQueued;
    bool FParked = false;
    uint32_t FNextSyncHandle = 0;
    // Set from the library's thread: the channel whose queued file began,
    // and when it is heard (steady clock, nanoseconds).
    std::atomic<uint32_t> FQueuedStarted{0};
    std::atomic<int64_t> FQueuedHeardAt{0};
};

}  // namespace tunrax
