// What the player needs of an audio library, as two small interfaces: the
// backend opens one stream per song, and the stream plays it. The real one
// plays through GStreamer (gst/GstAudioBackend.h), a recording one serves the
// player's own tests. Nothing here throws.
//
// The caller owns each stream. The backend's Free() (and its end) silences
// the streams still open for good: they then read stopped and do nothing.
// The end and next-song handlers run on the library's own thread; they are
// set once, before the stream plays. None is called once the stream is gone,
// but one already under way on that thread may still be finishing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tunrax {

enum class TStreamState { Stopped, Playing, Stalled, Paused };

class TAudioStream {
public:
    // Silent at once; its handlers are no longer called.
    virtual ~TAudioStream() = default;

    // Plays from the start of the file (a new stream, or one stopped or at
    // its end); false when it cannot.
    virtual bool Play() = 0;
    // Holds the sound where it is; false when it does not play.
    virtual bool Pause() = 0;
    // Plays on from where it stands.
    virtual bool Resume() = 0;
    // Stops; the stream stays open, to be played again from its start.
    virtual void Stop() = 0;
    // The caller's poll: how it does now.
    virtual TStreamState State() = 0;
    // 0 to 100; more is taken as 100.
    virtual void SetVolume(float volume) = 0;

    // Queues fileName to follow the file heard without a gap; the stream
    // then ends only after it, and the next-song handler runs as the output
    // takes it in. "" calls off a queued file that is not yet heard. False
    // when it cannot queue here (a module, the end is too near, the file is
    // already on its way, a file it cannot decode): the caller then plays
    // the file after the end.
    virtual bool Queue(const std::string&) { return false; }

    // Where the sound stands and how long its file is, in microseconds; -1
    // when not known. Once a queued file is heard they are that file's;
    // before, the file still heard.
    virtual int64_t Position() { return -1; }
    virtual int64_t Length() { return -1; }
    // Moves a playing or paused stream to the position (microseconds from
    // the start of the file heard); false when it cannot.
    virtual bool Seek(int64_t) { return false; }

    // Runs when the stream has played to its end (after what was queued).
    virtual void SetOnEnd(std::function<void()> onEnd) = 0;
    // Runs when the output has taken in a queued file, which is heard
    // heardInMs milliseconds later.
    virtual void SetOnNext(std::function<void(uint32_t heardInMs)> onNext) = 0;
};

class TAudioBackend {
public:
    virtual ~TAudioBackend() = default;

    // Makes the library ready to open files; true when it can play MP3
    // files (without, it may still play others). Nothing opens before.
    virtual bool Start() = 0;
    // Lets go of every output: open streams fall silent for good, and
    // nothing opens until the next Start.
    virtual void Free() = 0;
    // fileName as a stream, or else as a tracker module, ready to play at
    // its start; nullptr when the library cannot decode it.
    virtual std::unique_ptr<TAudioStream> Open(const std::string& fileName) = 0;
    // The caller's poll, made before it asks a stream how it does, and also
    // while it has none: the library's own work that is due (winding down
    // what was closed, holding ready what is to follow) gets its turn.
    virtual void Poll() {}
    // Nothing is to play soon: what was closed and is being kept for the
    // next start may go now (an idle output need not keep the sound server
    // busy).
    virtual void Rest() {}
};

}  // namespace tunrax
