// One open stream or module of the GStreamer audio library: a playbin for
// streams, filesrc ! openmptdec for tracker modules. End and errors are read
// from its bus by polling (Activity); the end handler runs from a bus sync
// handler, that is on the GStreamer streaming thread that posts the end. A file queued
// to follow is handed to the playbin from "about-to-finish", so the decoder
// goes on into it without a gap; the sink's stream start tells when it
// becomes audible.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "GstSupport.h"
#include "audio/AudioBackend.h"

namespace tunrax::gst {

// The pipeline is brought to NULL before the bus handler and the object go,
// so no streaming thread still sees them.
class TChannel {
public:
    // uri is the playbin's, empty for other pipelines (they cannot queue).
    TChannel(ElementPtr pipeline, GstElement* volume, std::string uri);
    ~TChannel();
    TChannel(const TChannel&) = delete;
    TChannel& operator=(const TChannel&) = delete;

    // The playbin, back at READY, for the next stream: it keeps its sink's
    // connection to the sound server, which is a good part of a start. None
    // for other pipelines, or after an error.
    ElementPtr Retire();

    // Prerolls; false when the file cannot be decoded within the time-out.
    bool Preroll();

    // Freed: silent at once, and no handler of it is called any more.
    void Silence();

    // A new pipeline, prerolled: it stands at the start of its file.
    void MarkAtStart() { FAtStart = true; }

    bool Play(bool restart);
    bool Pause();
    void Stop();

    TStreamState Activity();

    void SetVolume(float value);

    void SetOnEnd(std::function<void()> onEnd);
    void SetOnNext(std::function<void(uint32_t)> onNext);

    bool CanQueue() const { return FCanQueue; }

    // Position and length of the file heard, in microseconds; -1 when not
    // known. The pipeline reports the file that the sink has taken in, which
    // after a queued file began is ahead of the sound: until that file is
    // heard, the file before is, at its end less what is still to play.
    int64_t Position();
    int64_t Length();
    // A flushing seek: the sink drops what it holds, so the sound follows at
    // once, from the exact sample.
    bool Seek(int64_t microseconds);

    // uri empty: calls off, also a file already handed to the playbin that
    // is not yet heard. A file is refused once the decoder has passed the
    // point where the playbin asks for a follower, or while one is on its way.
    bool Queue(std::string uri);

private:
    enum class Mode { Stopped, Playing, Paused };

    bool Fail();

    void Unhook();

    void PollBus();
    // A pause that comes just as the sink starts to play can find its
    // streaming thread not yet awake; the thread then plays on through the
    // song while the pipeline reads paused, and the song ends at once on
    // resume. A flushing seek to where it stands makes the sink wait there.
    // Before the first position nothing has played yet, and nothing runs on.
    void HoldPosition();
    // Drops what an earlier run left on the bus, such as its end.
    void DrainBus();

    // On the streaming thread, when the decoder has read all of the file.
    static void OnAboutToFinish(GstElement* playbin, gpointer data);

    void FireEnd();
    void FireNext(uint32_t heardInMs);

    // How long the sink still plays the file before: an audio sink takes in
    // its data a good deal ahead of the sound (some 150 ms with PulseAudio).
    // The position is still the old file's, as the new one's has not begun.
    uint32_t MsStillToPlay(gint64 duration);

    static GstBusSyncReply OnBusSync(GstBus*, GstMessage* msg, gpointer data);

    // The sink reports the end of the file before until the new file's
    // first data has reached it (its segment comes with that data): the
    // position is then the new file's start. The stream start is posted
    // on the sink's own streaming thread, ahead of that data.
    void WatchSinkData();
    static GstPadProbeReturn OnSinkData(GstPad*, GstPadProbeInfo*, gpointer data);

    // Calls off the file the playbin already holds, not yet heard: the one
    // heard is opened again and goes on from where it is, so that nothing
    // follows it that the listener no longer wants. A moment of its sound is
    // lost, which is the price of a change of plan in a song's last second.
    bool TakeBack();

    // Opens the file heard again, prerolled, in place of the next one that
    // the playbin holds; that one waits to be asked for anew near the end.
    bool Reopen();

    // While the file before a queued one is still heard: its position
    // (position true) or length, in microseconds; else -1.
    int64_t HeardBefore(bool position);

    ElementPtr FPipeline;
    BusPtr FBus;
    GstElement* FVolume;  // the pipeline itself or an element inside it
    const bool FCanQueue;
    Mode FMode = Mode::Stopped;
    bool FEnded = false;
    bool FBuffering = false;
    bool FBroken = false;   // an error stopped it
    bool FAtStart = false;  // prerolled at the start of the file, not yet played
    bool FRewind = false;   // stopped, paused where it was: to go to the start
    std::mutex FHandlerMutex;
    std::function<void()> FOnEnd;           // at the end
    std::function<void(uint32_t)> FOnNext;  // as a queued file becomes audible
    // The queue, shared with the streaming threads.
    std::mutex FQueueMutex;
    std::string FCurrentUri;                 // what plays now
    std::string FQueuedUri;                  // to follow, not yet asked for
    std::string FHandedUri;                  // given to the playbin, not yet begun
    gint64 FCurrentDuration = -1;            // of what plays now, when the next was queued
    bool FTooLate = false;                   // asked for a follower when none was queued
    gint64 FDurationBefore = -1;             // of the file still heard after a queued one began
    int64_t FHeardAtNs = 0;                  // when that one is heard (steady clock)
    std::atomic<bool> FAwaitingData{false};  // a queued file began; none of its data arrived
    std::unique_ptr<GstPad, ObjectUnref> FProbePad;  // the sink's, watched for data
    gulong FProbe = 0;
};

}  // namespace tunrax::gst
