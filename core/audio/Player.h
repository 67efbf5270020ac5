// Plays one file at a time through an audio library: opens a stream for it
// (the library takes a tracker module the same way), starts, pauses,
// resumes and stops it, and reports its state. A file the library refuses
// gives no stream and reads TStreamState::Stopped; nothing is reported. A second file
// may be queued to follow the playing one without a gap. The player owns its
// stream, not the library.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "audio/AudioBackend.h"

namespace tunrax {

class TPlayer {
public:
    explicit TPlayer(TAudioBackend& library);
    ~TPlayer();  // frees the library's output
    TPlayer(const TPlayer&) = delete;
    TPlayer& operator=(const TPlayer&) = delete;

    // The file of the song heard (the last one asked to play, or a queued
    // one once heard). SetFileName tells the player that the file heard now
    // goes by another name (it was moved while it plays).
    const std::string& FileName() const { return FFileName; }
    void SetFileName(std::string fileName) { FFileName = std::move(fileName); }
    // Which stream the song plays in: a new number for every file opened, 0
    // while none is open.
    uint32_t StreamId() const { return FStream ? FStreamId : 0; }
    // The volume (0 to 100) of the song playing and of every song after it.
    float Volume() const { return FVolume; }

    std::function<void(TPlayer*)> OnPlay, OnSongChange, OnPause, OnResume, OnEnd;
    // Shows an error message (text, title); the window gives a message box.
    std::function<void(const std::string& text, const std::string& title)> OnError;

    // Starts the library; tells OnError when it cannot play MP3 files.
    void Init();
    void Play(const std::string& fileName);
    void Stop();
    // Stops the song but keeps its stream, to start it again from its
    // beginning with Restart() at once; Play and Stop let it go.
    void Park();
    bool Parked() const { return FParked; }
    // The parked song from its beginning; false (nothing changed) if there is
    // none or the library cannot start it.
    bool Restart();
    void Pause();
    void Resume();
    TStreamState State();
    // Nothing is to play soon, and the song has ended (or was parked): an
    // ended song's stream goes, a parked one stays, and the library lets go
    // of what it keeps for a quick next start.
    void Rest();

    // The song heard: where it stands and how long it is, in microseconds;
    // -1 when not known or nothing plays.
    int64_t Position();
    int64_t Length();
    // Moves the song to position (microseconds); false when nothing plays
    // or the library cannot.
    bool Seek(int64_t position);
    void SetVolume(float volume);

    // Queues fileName to follow the playing song without a gap; "" calls off
    // a queued song that has not begun. False when nothing plays or the
    // library cannot queue it now: the song is then played after the end, as
    // without queueing. Play and Stop call off what is queued.
    bool Queue(const std::string& fileName);
    // The queued song, until it has begun or is called off.
    const std::string& QueuedFileName() const { return FQueued; }
    // For the caller's poll, like State(): true once when the queued song has
    // become audible; FileName() then names it and OnSongChange has been
    // raised.
    bool QueuedSongStarted();

private:
    TAudioBackend& FLibrary;
    std::unique_ptr<TAudioStream> FStream;
    uint32_t FStreamId = 0;
    std::string FFileName;
    float FVolume = 100.0f;
    std::string FQueued;
    bool FParked = false;
    // Set from the library's thread: the stream whose queued file began,
    // and when it is heard (steady clock, nanoseconds).
    std::atomic<uint32_t> FQueuedStarted{0};
    std::atomic<int64_t> FQueuedHeardAt{0};
};

}  // namespace tunrax
