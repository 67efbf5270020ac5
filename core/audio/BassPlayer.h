// Plays one file at a time through an audio library: opens it as a stream
// (or else as a tracker module), starts, pauses, resumes and stops it, and
// reports its state. A file the library refuses gives no channel and reads
// psStopped; nothing is reported. The player does not own the library.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "audio/AudioLibrary.h"

namespace tunrax {

enum TPlayerState { psStopped = 0, psPlaying = 1, psStalled = 2, psPaused = 3 };

class TBassPlayer {
public:
    explicit TBassPlayer(TAudioLibrary& library);
    ~TBassPlayer();  // frees the library's output
    TBassPlayer(const TBassPlayer&) = delete;
    TBassPlayer& operator=(const TBassPlayer&) = delete;

    uint32_t Channel = 0;
    float Volume = 100.0f;
    std::string FileName;
    uint32_t SyncHandle = 0;

    std::function<void(TBassPlayer*)> OnPlay, OnSongChange, OnPause, OnResume, OnEnd;
    // Shows an error message (text, title); the window gives a message box.
    std::function<void(const std::string& text, const std::string& title)> OnError;

    void Init(void* window);
    void Play(const std::string& fileName);
    void Stop();
    void Pause();
    void Resume();
    TPlayerState State();

private:
    static void EndSync(uint32_t sync, uint32_t channel, uint32_t data, void* user);
    TAudioLibrary& FLibrary;
};

}  // namespace tunrax
