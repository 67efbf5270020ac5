// The operations of the audio library that the player uses, as one small
// interface: the real one plays through GStreamer, a recording one serves the
// player's own tests. Handles are 32-bit numbers, 0 meaning none; calls on
// handle 0 do nothing and fail quietly.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace tunrax {

// Activity codes of ChannelIsActive.
enum : uint32_t {
    kActiveStopped = 0,
    kActivePlaying = 1,
    kActiveStalled = 2,
    kActivePaused = 3,
};

enum : uint32_t {
    kAttribVolume = 2,             // ChannelSetAttribute: volume
    kSyncEnd = 2,                  // ChannelSetSync: end of playback
    kSyncNext = 0x100,             // ChannelSetSync: a queued file begins (data: in so many ms)
    kStreamPrescan = 0x20000,      // StreamCreateFile/MusicLoad: exact length
    kMusicRamp = 0x200,            // MusicLoad: normal ramping
    kLibraryVersion = 0x02040000,  // the version a complete library reports
};

// Called from the library's own thread when a sync fires.
using TSyncProc = void (*)(uint32_t sync, uint32_t channel, uint32_t data, void* user);

class TAudioBackend {
public:
    virtual ~TAudioBackend() = default;
    // 0x0204xxxx when the library can play MP3 files; anything else when it
    // cannot be initialised or lacks an MP3 decoder.
    virtual uint32_t GetVersion() = 0;
    virtual bool Init(int device, uint32_t frequency, uint32_t flags, void* window,
                      const void* classId) = 0;
    virtual bool Free() = 0;
    virtual uint32_t StreamCreateFile(bool memory, const std::string& fileName, uint64_t offset,
                                      uint64_t length, uint32_t flags) = 0;
    virtual uint32_t MusicLoad(bool memory, const std::string& fileName, uint64_t offset,
                               uint32_t length, uint32_t flags, uint32_t frequency) = 0;
    virtual bool StreamFree(uint32_t handle) = 0;
    virtual bool ChannelPlay(uint32_t handle, bool restart) = 0;
    virtual bool ChannelStop(uint32_t handle) = 0;
    virtual bool ChannelPause(uint32_t handle) = 0;
    virtual uint32_t ChannelIsActive(uint32_t handle) = 0;
    virtual bool ChannelSetAttribute(uint32_t handle, uint32_t attribute, float value) = 0;
    virtual uint32_t ChannelSetSync(uint32_t handle, uint32_t type, uint64_t parameter,
                                    TSyncProc proc, void* user) = 0;
    // Queues a file to follow the channel's file without a gap; the channel
    // then ends only after it, and its kSyncNext syncs fire when the output
    // has taken it in, with the milliseconds until it is heard as data. An empty name calls off a
    // queued file that has not begun. False when the library cannot queue here (a module, the end
    // is too near, the file is already on its way): the caller plays the file after the end.
    virtual bool ChannelQueueNext(uint32_t, const std::string&) { return false; }
    // Where the channel's sound stands and how long its file is, in
    // microseconds; -1 when not known (no such channel, not yet opened far
    // enough, or a library without positions). Once a queued file is heard
    // they are that file's; before, the file still heard.
    virtual int64_t ChannelGetPosition(uint32_t) { return -1; }
    virtual int64_t ChannelGetLength(uint32_t) { return -1; }
    // Moves a playing or paused channel to the position (microseconds from
    // the start of the file heard); false when it cannot.
    virtual bool ChannelSetPosition(uint32_t, int64_t) { return false; }
    // Nothing is to play soon: what was freed and is being kept for the next
    // start may go now (an idle output need not keep the sound server busy).
    virtual void Rest() {}
};

// The real library over GStreamer, playing on the desktop's default audio
// output; audioSink, when not empty, is a GStreamer sink description used
// instead (e.g. "fakesink sync=true" for tests that need real time but no
// sound card).
std::unique_ptr<TAudioBackend> CreateGStreamerBackend(const std::string& audioSink = "");

// Starts GStreamer (it checks its whole plugin registry) on a thread of its
// own, so that this overlaps the program's other start-up work; the first
// use of the library waits for it. The thread is joined when the result goes.
std::jthread PrepareGStreamer();

}  // namespace tunrax
