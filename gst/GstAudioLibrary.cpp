// The audio library over GStreamer. Each channel is a pipeline of its own: a
// playbin for streams, filesrc ! openmptdec for tracker modules. Opening a
// file prerolls it (PAUSED), so a file GStreamer cannot decode is refused at
// once, as the player expects. End and errors are read from each pipeline's
// bus by polling in ChannelIsActive; end syncs fire from a bus sync handler,
// that is on the GStreamer streaming thread that posts the end. A file queued
// to follow a stream is handed to its playbin from "about-to-finish", so the
// decoder goes on into it without a gap; the sink's stream start tells when it
// becomes audible. A stream's playbin, when freed, waits at READY for the
// next stream, so a song starts without a new connection to the sound server.
#include <gst/gst.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "audio/AudioLibrary.h"

namespace tunrax {

namespace {

constexpr GstClockTime kPrerollTimeout = 2 * GST_SECOND;
// How long a standby pipeline plays muted: long enough for its sink to have
// begun, which the sound server needs to hold it when it is paused.
constexpr std::chrono::milliseconds kStandbyWarmUp{40};
constexpr std::chrono::nanoseconds kPrerollLimit{kPrerollTimeout};

struct ObjectUnref {
    void operator()(gpointer p) const { gst_object_unref(p); }
};
struct MessageUnref {
    void operator()(GstMessage* m) const { gst_message_unref(m); }
};
struct ErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};
struct CharFree {
    void operator()(gchar* s) const { g_free(s); }
};
using ElementPtr = std::unique_ptr<GstElement, ObjectUnref>;
using BusPtr = std::unique_ptr<GstBus, ObjectUnref>;
using MessagePtr = std::unique_ptr<GstMessage, MessageUnref>;
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;
using CharPtr = std::unique_ptr<gchar, CharFree>;

// Takes a new (floating) element into sole ownership.
ElementPtr Own(GstElement* element) {
    return ElementPtr(element ? GST_ELEMENT(gst_object_ref_sink(element)) : nullptr);
}

bool GstReady() {
    static const bool ready = [] {
        GError* raw = nullptr;
        const bool ok = gst_init_check(nullptr, nullptr, &raw);
        ErrorPtr error(raw);
        return ok;
    }();
    return ready;
}

int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool HasFactory(const char* name) {
    std::unique_ptr<GstElementFactory, ObjectUnref> factory(gst_element_factory_find(name));
    return factory != nullptr;
}

struct TSync {
    uint32_t Handle;
    TSyncProc Proc;
    void* User;
};

// One open stream or module. The pipeline is brought to NULL before the bus
// handler and the object go, so no streaming thread still sees them.
class TChannel {
public:
    // uri is the playbin's, empty for other pipelines (they cannot queue).
    TChannel(uint32_t handle, ElementPtr pipeline, GstElement* volume, std::string uri)
        : FHandle(handle),
          FPipeline(std::move(pipeline)),
          FVolume(volume),
          FCanQueue(!uri.empty()),
          FCurrentUri(std::move(uri)) {
        FBus.reset(gst_element_get_bus(FPipeline.get()));
        gst_bus_set_sync_handler(FBus.get(), &TChannel::OnBusSync, this, nullptr);
        if (FCanQueue) {
            g_signal_connect(FPipeline.get(), "about-to-finish", G_CALLBACK(&OnAboutToFinish),
                             this);
            WatchSinkData();
        }
    }
    ~TChannel() {
        if (!FPipeline)
            return;
        gst_element_set_state(FPipeline.get(), GST_STATE_NULL);
        Unhook();
    }
    TChannel(const TChannel&) = delete;

    // The playbin, back at READY, for the next stream: it keeps its sink's
    // connection to the sound server, which is a good part of a start. None
    // for other pipelines, or after an error.
    ElementPtr Retire() {
        if (!FCanQueue || FBroken ||
            gst_element_set_state(FPipeline.get(), GST_STATE_READY) == GST_STATE_CHANGE_FAILURE)
            return nullptr;
        Unhook();
        DrainBus();
        return std::move(FPipeline);
    }
    TChannel& operator=(const TChannel&) = delete;

    // Prerolls; false when the file cannot be decoded within the time-out.
    bool Preroll() {
        if (gst_element_set_state(FPipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
            return false;
        const GstStateChangeReturn ret =
            gst_element_get_state(FPipeline.get(), nullptr, nullptr, kPrerollTimeout);
        return ret == GST_STATE_CHANGE_SUCCESS || ret == GST_STATE_CHANGE_NO_PREROLL;
    }

    // Freed: silent at once, and no sync of it runs any more.
    void Silence() {
        if (FMode == Mode::Playing)
            gst_element_set_state(FPipeline.get(), GST_STATE_PAUSED);
        FMode = Mode::Stopped;
        std::lock_guard lock(FSyncMutex);
        FSyncs.clear();
        FNextSyncs.clear();
    }

    // A new pipeline, prerolled: it stands at the start of its file.
    void MarkAtStart() { FAtStart = true; }

    bool Play(bool restart) {
        if (restart) {
            // A seek needs a prerolled pipeline; a stopped one starts over anyway.
            if (!Preroll())
                return Fail();
            DrainBus();
            FEnded = false;
            {
                std::lock_guard lock(FQueueMutex);
                FTooLate = false;
                FHeardAtNs = 0;
            }
            // Already there (new, or stopped): a seek would only decode the
            // first piece again before the sound can start.
            if (!FAtStart)
                gst_element_seek_simple(FPipeline.get(), GST_FORMAT_TIME,
                                        GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT),
                                        0);
        }
        if (gst_element_set_state(FPipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
            return Fail();
        FAtStart = false;
        FRewind = false;
        FMode = Mode::Playing;
        return true;
    }
    bool Pause() {
        if (FMode != Mode::Playing)
            return false;
        if (gst_element_set_state(FPipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
            return Fail();
        HoldPosition();
        FMode = Mode::Paused;
        return true;
    }
    void Stop() {
        bool handed = false;
        {
            std::lock_guard lock(FQueueMutex);
            handed = !FHandedUri.empty();
        }
        // A playbin waits, paused, to go back to the start of its file at the
        // next poll (Rewind), so that a restart is heard at once; after a file
        // was handed over it starts afresh from READY, which ends the sound
        // server's stream but keeps its connection. Other pipelines let
        // everything go.
        FAtStart = false;
        FRewind =
            FCanQueue && !handed && !FBroken &&
            gst_element_set_state(FPipeline.get(), GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE;
        if (!FRewind)
            gst_element_set_state(FPipeline.get(), FCanQueue ? GST_STATE_READY : GST_STATE_NULL);
        FAwaitingData = false;
        {
            // A file handed over but not begun must not be what a restart plays.
            std::lock_guard lock(FQueueMutex);
            if (handed)
                g_object_set(FPipeline.get(), "uri", FCurrentUri.c_str(), nullptr);
            FQueuedUri.clear();
            FHandedUri.clear();
            FTooLate = false;
            FHeardAtNs = 0;
        }
        DrainBus();
        FEnded = false;
        FBuffering = false;
        FMode = Mode::Stopped;
    }

    uint32_t Activity() {
        PollBus();
        if (FRewind && FMode == Mode::Stopped) {
            FRewind = false;
            FAtStart = gst_element_seek_simple(
                FPipeline.get(), GST_FORMAT_TIME,
                GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT), 0);
        }
        if (FMode == Mode::Stopped || FEnded)
            return kActiveStopped;
        if (FMode == Mode::Paused)
            return kActivePaused;
        return FBuffering ? kActiveStalled : kActivePlaying;
    }

    void SetVolume(float value) {
        const double v = std::clamp(static_cast<double>(value) / 100.0, 0.0, 1.0);
        g_object_set(FVolume, "volume", v, nullptr);
    }

    void AddSync(uint32_t handle, uint32_t type, TSyncProc proc, void* user) {
        std::lock_guard lock(FSyncMutex);
        (type == kSyncNext ? FNextSyncs : FSyncs).push_back({handle, proc, user});
    }

    bool CanQueue() const { return FCanQueue; }

    // Position and length of the file heard, in microseconds; -1 when not
    // known. The pipeline reports the file that the sink has taken in, which
    // after a queued file began is ahead of the sound: until that file is
    // heard, the file before is, at its end less what is still to play.
    int64_t Position() {
        if (const int64_t before = HeardBefore(true); before >= 0)
            return before;
        if (FAwaitingData)
            return 0;
        gint64 position = -1;
        if (!gst_element_query_position(FPipeline.get(), GST_FORMAT_TIME, &position) ||
            position < 0)
            return -1;
        return position / GST_USECOND;
    }
    int64_t Length() {
        if (const int64_t before = HeardBefore(false); before >= 0)
            return before;
        gint64 duration = -1;
        if (!gst_element_query_duration(FPipeline.get(), GST_FORMAT_TIME, &duration) ||
            duration < 0)
            return -1;
        return duration / GST_USECOND;
    }
    // A flushing seek: the sink drops what it holds, so the sound follows at
    // once, from the exact sample.
    bool Seek(int64_t microseconds) {
        if (FMode == Mode::Stopped || FEnded || microseconds < 0)
            return false;
        bool handed = false;
        FAwaitingData = false;
        {
            std::lock_guard lock(FQueueMutex);
            FHeardAtNs = 0;
            handed = !FHandedUri.empty();
            // Back before the end: the playbin asks for a follower again.
            FTooLate = false;
        }
        // Once the playbin has the next file, a seek would start that one.
        if (handed && !Reopen())
            return Fail();
        if (!gst_element_seek_simple(FPipeline.get(), GST_FORMAT_TIME,
                                     GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                     microseconds * GST_USECOND))
            return false;
        // Until the sink holds data from the new place again the pipeline
        // knows no position; that takes a few milliseconds of decoding.
        gst_element_get_state(FPipeline.get(), nullptr, nullptr, kPrerollTimeout);
        if (handed && FMode == Mode::Playing &&
            gst_element_set_state(FPipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
            return Fail();
        return true;
    }

    // uri empty: calls off, also a file already handed to the playbin that
    // is not yet heard. A file is refused once the decoder has passed the
    // point where the playbin asks for a follower, or while one is on its way.
    bool Queue(std::string uri) {
        gint64 duration = -1;
        if (!uri.empty())
            gst_element_query_duration(FPipeline.get(), GST_FORMAT_TIME, &duration);
        bool handed = false;
        {
            std::lock_guard lock(FQueueMutex);
            handed = !FHandedUri.empty();
            if (!handed || !uri.empty()) {
                if (FTooLate || FEnded || handed)
                    return false;
                FQueuedUri = std::move(uri);
                FCurrentDuration = duration;
                return true;
            }
        }
        return TakeBack();
    }

private:
    enum class Mode { Stopped, Playing, Paused };

    bool Fail() {
        FMode = Mode::Stopped;
        return false;
    }

    void Unhook() {
        gst_bus_set_sync_handler(FBus.get(), nullptr, nullptr, nullptr);
        g_signal_handlers_disconnect_by_data(FPipeline.get(), this);
        // The pipeline may serve another channel: nothing of it calls this one.
        if (FProbePad && FProbe != 0)
            gst_pad_remove_probe(FProbePad.get(), FProbe);
        FProbePad.reset();
        FProbe = 0;
    }

    void PollBus() {
        const auto types =
            GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR | GST_MESSAGE_BUFFERING);
        while (MessagePtr msg{gst_bus_pop_filtered(FBus.get(), types)}) {
            switch (GST_MESSAGE_TYPE(msg.get())) {
                case GST_MESSAGE_EOS: FEnded = true; break;
                case GST_MESSAGE_ERROR:
                    // A broken pipeline plays no more; it reads stopped.
                    FMode = Mode::Stopped;
                    FBroken = true;
                    gst_element_set_state(FPipeline.get(), GST_STATE_NULL);
                    break;
                case GST_MESSAGE_BUFFERING: {
                    gint percent = 100;
                    gst_message_parse_buffering(msg.get(), &percent);
                    FBuffering = percent < 100;
                    break;
                }
                default: break;
            }
        }
    }
    // A pause that comes just as the sink starts to play can find its
    // streaming thread not yet awake; the thread then plays on through the
    // song while the pipeline reads paused, and the song ends at once on
    // resume. A flushing seek to where it stands makes the sink wait there.
    // Before the first position nothing has played yet, and nothing runs on.
    void HoldPosition() {
        gint64 position = 0;
        if (gst_element_query_position(FPipeline.get(), GST_FORMAT_TIME, &position))
            gst_element_seek_simple(FPipeline.get(), GST_FORMAT_TIME,
                                    GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                    position);
    }
    // Drops what an earlier run left on the bus, such as its end.
    void DrainBus() {
        gst_bus_set_flushing(FBus.get(), TRUE);
        gst_bus_set_flushing(FBus.get(), FALSE);
    }

    // On the streaming thread, when the decoder has read all of the file.
    static void OnAboutToFinish(GstElement* playbin, gpointer data) {
        auto* self = static_cast<TChannel*>(data);
        std::lock_guard lock(self->FQueueMutex);
        if (self->FQueuedUri.empty()) {
            self->FTooLate = true;
            return;
        }
        g_object_set(playbin, "uri", self->FQueuedUri.c_str(), nullptr);
        self->FHandedUri = std::move(self->FQueuedUri);
        self->FQueuedUri.clear();
    }

    void FireSyncs(const std::vector<TSync>& list, uint32_t data) {
        std::vector<TSync> syncs;
        {
            std::lock_guard lock(FSyncMutex);
            syncs = list;
        }
        for (const TSync& s : syncs)
            s.Proc(s.Handle, FHandle, data, s.User);
    }

    // How long the sink still plays the file before: an audio sink takes in
    // its data a good deal ahead of the sound (some 150 ms with PulseAudio).
    // The position is still the old file's, as the new one's has not begun.
    uint32_t MsStillToPlay(gint64 duration) {
        gint64 position = 0;
        if (duration <= 0 ||
            !gst_element_query_position(FPipeline.get(), GST_FORMAT_TIME, &position))
            return 0;
        const gint64 left = std::clamp<gint64>(duration - position, 0, 2 * GST_SECOND);
        return static_cast<uint32_t>(left / GST_MSECOND);
    }

    static GstBusSyncReply OnBusSync(GstBus*, GstMessage* msg, gpointer data) {
        auto* self = static_cast<TChannel*>(data);
        if (GST_MESSAGE_SRC(msg) != GST_OBJECT(self->FPipeline.get()))
            return GST_BUS_PASS;
        if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS) {
            self->FireSyncs(self->FSyncs, 0);
        } else if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_STREAM_START) {
            // The sinks post their stream start as the new file's first data
            // reaches them, that is after the last of the file before.
            bool handed = false;
            gint64 duration = -1;
            {
                std::lock_guard lock(self->FQueueMutex);
                if (!self->FHandedUri.empty()) {
                    duration = self->FCurrentDuration;
                    self->FCurrentUri = std::move(self->FHandedUri);
                    self->FHandedUri.clear();
                    // FTooLate stays: the playbin may already have asked for
                    // a follower of this file, which is then too late.
                    handed = true;
                }
            }
            if (handed) {
                const uint32_t ms = self->MsStillToPlay(duration);
                {
                    std::lock_guard lock(self->FQueueMutex);
                    self->FDurationBefore = duration;
                    self->FHeardAtNs = SteadyNs() + int64_t{ms} * 1000000;
                }
                self->FAwaitingData = true;
                self->FireSyncs(self->FNextSyncs, ms);
            }
        }
        // The message stays on the bus for PollBus.
        return GST_BUS_PASS;
    }

    // The sink reports the end of the file before until the new file's
    // first data has reached it (its segment comes with that data): the
    // position is then the new file's start. The stream start is posted
    // on the sink's own streaming thread, ahead of that data.
    void WatchSinkData() {
        GstElement* sink = nullptr;
        g_object_get(FPipeline.get(), "audio-sink", &sink, nullptr);
        if (!sink)
            return;
        if (GstPad* pad = gst_element_get_static_pad(sink, "sink")) {
            FProbe = gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, &OnSinkData, this, nullptr);
            FProbePad.reset(pad);
        }
        gst_object_unref(sink);
    }
    static GstPadProbeReturn OnSinkData(GstPad*, GstPadProbeInfo*, gpointer data) {
        auto* self = static_cast<TChannel*>(data);
        if (self->FAwaitingData)
            self->FAwaitingData = false;
        return GST_PAD_PROBE_OK;
    }

    // Calls off the file the playbin already holds, not yet heard: the one
    // heard is opened again and goes on from where it is, so that nothing
    // follows it that the listener no longer wants. A moment of its sound is
    // lost, which is the price of a change of plan in a song's last second.
    bool TakeBack() {
        if (FMode == Mode::Stopped || FEnded)
            return false;
        gint64 position = 0;
        gst_element_query_position(FPipeline.get(), GST_FORMAT_TIME, &position);
        const bool playing = FMode == Mode::Playing;
        FAwaitingData = false;
        if (!Reopen())
            return Fail();
        {
            std::lock_guard lock(FQueueMutex);
            FQueuedUri.clear();
            FHeardAtNs = 0;
        }
        gst_element_seek_simple(FPipeline.get(), GST_FORMAT_TIME,
                                GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                std::max<gint64>(position, 0));
        gst_element_get_state(FPipeline.get(), nullptr, nullptr, kPrerollTimeout);
        if (playing &&
            gst_element_set_state(FPipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
            return Fail();
        return true;
    }

    // Opens the file heard again, prerolled, in place of the next one that
    // the playbin holds; that one waits to be asked for anew near the end.
    bool Reopen() {
        // The decoder going down may still ask for a follower: only after
        // this no streaming thread runs.
        gst_element_set_state(FPipeline.get(), GST_STATE_READY);
        {
            std::lock_guard lock(FQueueMutex);
            if (!FHandedUri.empty())
                FQueuedUri = std::move(FHandedUri);
            FHandedUri.clear();
            FTooLate = false;
            g_object_set(FPipeline.get(), "uri", FCurrentUri.c_str(), nullptr);
        }
        DrainBus();
        return Preroll();
    }

    // While the file before a queued one is still heard: its position
    // (position true) or length, in microseconds; else -1.
    int64_t HeardBefore(bool position) {
        std::lock_guard lock(FQueueMutex);
        const int64_t left = FHeardAtNs - SteadyNs();
        if (left <= 0 || FDurationBefore <= 0)
            return -1;
        const int64_t at =
            position ? std::max<int64_t>(0, FDurationBefore - left) : FDurationBefore;
        return at / GST_USECOND;
    }

    const uint32_t FHandle;
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
    std::mutex FSyncMutex;
    std::vector<TSync> FSyncs;      // at the end
    std::vector<TSync> FNextSyncs;  // as a queued file becomes audible
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

class TGstAudioLibrary final : public TAudioLibrary {
public:
    explicit TGstAudioLibrary(std::string audioSink) : FAudioSink(std::move(audioSink)) {}
    ~TGstAudioLibrary() override { Free(); }

    uint32_t GetVersion() override {
        if (!GstReady())
            return 0;
        // Without the MP3 path the player must tell the user.
        if (!HasFactory("mpegaudioparse") || !HasFactory("mpg123audiodec"))
            return 0x01000000;
        return kLibraryVersion;
    }

    bool Init(int, uint32_t, uint32_t, void*, const void*) override {
        FInitialised = GstReady();
        return FInitialised;
    }

    bool Free() override {
        FChannels.clear();
        FRetiring.clear();
        if (FSpare)
            gst_element_set_state(FSpare.get(), GST_STATE_NULL);
        FSpare.reset();
        DropStandby();
        const bool was = FInitialised;
        FInitialised = false;
        return was;
    }

    uint32_t StreamCreateFile(bool memory, const std::string& fileName, uint64_t offset,
                              uint64_t length, uint32_t) override {
        if (!FInitialised || memory || offset != 0 || length != 0)
            return 0;
        CharPtr uri(gst_filename_to_uri(fileName.c_str(), nullptr));
        if (!uri)
            return 0;
        if (ElementPtr ready = TakeStandby(fileName)) {
            // Its uri stays as it is: set on a prerolled playbin, a uri would
            // be taken for a song to follow this one.
            GstElement* volume = ready.get();
            if (const uint32_t handle = Open(std::move(ready), volume, uri.get()))
                return handle;
        }
        WindDown();
        if (FSpare) {
            ElementPtr playbin = std::move(FSpare);
            g_object_set(playbin.get(), "uri", uri.get(), "volume", 1.0, nullptr);
            GstElement* volume = playbin.get();
            if (const uint32_t handle = Open(std::move(playbin), volume, uri.get()))
                return handle;
            // A file it cannot decode goes to a new playbin too, which says so
            // in the same way; a spare that no longer works is gone.
        }
        ElementPtr playbin = Own(gst_element_factory_make("playbin", nullptr));
        const bool chosen = !FSinkFactory.empty();
        GstElement* sink = MakeSink();
        if (!playbin || !sink) {
            if (sink)
                gst_object_unref(gst_object_ref_sink(sink));
            return 0;
        }
        // Soft volume keeps the volume ours, not the sound server's stream
        // setting that it may remember for the next run.
        gst_util_set_object_arg(G_OBJECT(playbin.get()), "flags", "audio+soft-volume");
        g_object_set(playbin.get(), "uri", uri.get(), "audio-sink", sink, nullptr);
        GstElement* volume = playbin.get();
        const uint32_t handle = Open(std::move(playbin), volume, uri.get());
        if (handle == 0 && chosen) {
            // The output chosen before may be gone (a sound server ended):
            // the desktop's default is looked for again.
            FSinkFactory.clear();
            return StreamCreateFile(memory, fileName, offset, length, 0);
        }
        if (handle != 0 && FAudioSink.empty() && !chosen)
            FSinkFactory = ChosenOutput(sink);
        return handle;
    }

    // Modules go through the tracker-module decoder only, so a file opens
    // here exactly when it is a module (StreamCreateFile takes the rest).
    uint32_t MusicLoad(bool memory, const std::string& fileName, uint64_t offset, uint32_t length,
                       uint32_t, uint32_t) override {
        if (!FInitialised || memory || offset != 0 || length != 0)
            return 0;
        ElementPtr pipeline = Own(gst_pipeline_new(nullptr));
        GstElement* src = gst_element_factory_make("filesrc", nullptr);
        GstElement* dec = gst_element_factory_make("openmptdec", nullptr);
        GstElement* conv = gst_element_factory_make("audioconvert", nullptr);
        GstElement* resample = gst_element_factory_make("audioresample", nullptr);
        GstElement* volume = gst_element_factory_make("volume", nullptr);
        GstElement* sink = MakeSink();
        bool ok = true;
        for (GstElement* e : {src, dec, conv, resample, volume, sink}) {
            if (e)
                gst_bin_add(GST_BIN(pipeline.get()), e);  // takes the floating ref
            else
                ok = false;
        }
        if (!ok || !gst_element_link_many(src, dec, conv, resample, volume, sink, nullptr))
            return 0;
        g_object_set(src, "location", fileName.c_str(), nullptr);
        return Open(std::move(pipeline), volume, "");
    }

    // The channel goes silent and tells nothing more at once; its pipeline
    // is wound down at the next poll or start, so that a song that follows
    // on a command does not wait for it.
    bool StreamFree(uint32_t handle) override {
        auto it = FChannels.find(handle);
        if (it == FChannels.end())
            return false;
        std::unique_ptr<TChannel> channel = std::move(it->second);
        FChannels.erase(it);
        channel->Silence();
        FRetiring.push_back(std::move(channel));
        return true;
    }

    bool ChannelPlay(uint32_t handle, bool restart) override {
        TChannel* c = Find(handle);
        return c && c->Play(restart);
    }
    bool ChannelStop(uint32_t handle) override {
        TChannel* c = Find(handle);
        if (c)
            c->Stop();
        return c != nullptr;
    }
    bool ChannelPause(uint32_t handle) override {
        TChannel* c = Find(handle);
        return c && c->Pause();
    }
    uint32_t ChannelIsActive(uint32_t handle) override {
        ServiceStandby(false);
        WindDown();
        TChannel* c = Find(handle);
        return c ? c->Activity() : kActiveStopped;
    }
    bool ChannelSetAttribute(uint32_t handle, uint32_t attribute, float value) override {
        TChannel* c = Find(handle);
        if (!c || attribute != kAttribVolume)
            return false;
        c->SetVolume(value);
        return true;
    }
    uint32_t ChannelSetSync(uint32_t handle, uint32_t type, uint64_t, TSyncProc proc,
                            void* user) override {
        TChannel* c = Find(handle);
        if (!c || (type != kSyncEnd && type != kSyncNext) || !proc)
            return 0;
        const uint32_t sync = FNextSync++;
        c->AddSync(sync, type, proc, user);
        return sync;
    }
    int64_t ChannelGetPosition(uint32_t handle) override {
        TChannel* c = Find(handle);
        return c ? c->Position() : -1;
    }
    int64_t ChannelGetLength(uint32_t handle) override {
        TChannel* c = Find(handle);
        return c ? c->Length() : -1;
    }
    bool ChannelSetPosition(uint32_t handle, int64_t position) override {
        TChannel* c = Find(handle);
        return c && c->Seek(position);
    }
    bool ChannelQueueNext(uint32_t handle, const std::string& fileName) override {
        TChannel* c = Find(handle);
        if (!c || !c->CanQueue())
            return false;
        if (fileName.empty())
            return c->Queue("");
        CharPtr uri(gst_filename_to_uri(fileName.c_str(), nullptr));
        return uri && PrepareStandby(fileName, uri.get()) && c->Queue(uri.get());
    }

private:
    // Which file a standby pipeline holds: the same file still, even when it
    // was renamed since (the song fetched ahead becomes "tunrax.mp3" so).
    struct TFileIdentity {
        dev_t Device = 0;
        ino_t Inode = 0;
        off_t Size = -1;
        timespec Modified{};
        bool operator==(const TFileIdentity& o) const {
            return Device == o.Device && Inode == o.Inode && Size == o.Size &&
                   Modified.tv_sec == o.Modified.tv_sec && Modified.tv_nsec == o.Modified.tv_nsec;
        }
    };
    static std::optional<TFileIdentity> IdentityOf(const std::string& fileName) {
        struct stat st;
        if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return std::nullopt;
        return TFileIdentity{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
    }

    // The file queued to follow is prerolled in a pipeline of its own, with
    // the real output: that proves it can be decoded, and should the listener
    // go on to it before its turn (Next), it is heard at once. A sink that
    // was only prerolled would let the sound server run on without it, and
    // the start of the song would be lost when it plays; so it plays muted
    // for a moment first and then waits, paused, at the start.
    bool PrepareStandby(const std::string& fileName, const char* uri) {
        DropStandby();
        const std::optional<TFileIdentity> identity = IdentityOf(fileName);
        ElementPtr playbin = Own(gst_element_factory_make("playbin", nullptr));
        GstElement* sink = MakeSink();
        if (!identity || !playbin || !sink) {
            if (sink)
                gst_object_unref(gst_object_ref_sink(sink));
            return false;
        }
        gst_util_set_object_arg(G_OBJECT(playbin.get()), "flags", "audio+soft-volume");
        g_object_set(playbin.get(), "uri", uri, "audio-sink", sink, "mute", TRUE, nullptr);
        const bool ok =
            gst_element_set_state(playbin.get(), GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE &&
            gst_element_get_state(playbin.get(), nullptr, nullptr, kPrerollTimeout) ==
                GST_STATE_CHANGE_SUCCESS &&
            gst_element_set_state(playbin.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
        if (!ok) {
            gst_element_set_state(playbin.get(), GST_STATE_NULL);
            return false;
        }
        FStandby = std::move(playbin);
        FStandbyFile = *identity;
        FStandbyWarmUntil = std::chrono::steady_clock::now() + kStandbyWarmUp;
        FStandbyWarming = true;
        return true;
    }
    // Ends the muted moment once the sink is seen to play (or now, when
    // forced): back to the start, paused, with the sound on.
    void ServiceStandby(bool force) {
        if (!FStandby || !FStandbyWarming)
            return;
        gint64 position = 0;
        if (!force && std::chrono::steady_clock::now() < FStandbyWarmUntil + kPrerollLimit &&
            (std::chrono::steady_clock::now() < FStandbyWarmUntil ||
             !gst_element_query_position(FStandby.get(), GST_FORMAT_TIME, &position) ||
             position < gint64(kStandbyWarmUp.count()) * gint64(GST_MSECOND) / 2))
            return;
        FStandbyWarming = false;
        const bool ok =
            gst_element_set_state(FStandby.get(), GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE &&
            gst_element_seek_simple(FStandby.get(), GST_FORMAT_TIME,
                                    GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT),
                                    0) &&
            gst_element_get_state(FStandby.get(), nullptr, nullptr, kPrerollTimeout) ==
                GST_STATE_CHANGE_SUCCESS;
        if (!ok) {
            DropStandby();
            return;
        }
        g_object_set(FStandby.get(), "mute", FALSE, nullptr);
    }
    // Freed channels: their playbin waits at READY for the next stream.
    void WindDown() {
        for (std::unique_ptr<TChannel>& channel : FRetiring)
            if (ElementPtr spare = channel->Retire()) {
                if (FSpare)
                    gst_element_set_state(FSpare.get(), GST_STATE_NULL);
                FSpare = std::move(spare);
            }
        FRetiring.clear();
    }

    // The standby pipeline when it holds fileName; else it goes.
    ElementPtr TakeStandby(const std::string& fileName) {
        if (!FStandby)
            return nullptr;
        const std::optional<TFileIdentity> identity = IdentityOf(fileName);
        if (!identity || !(*identity == FStandbyFile)) {
            DropStandby();
            return nullptr;
        }
        ServiceStandby(true);
        return std::move(FStandby);
    }
    void DropStandby() {
        if (FStandby)
            gst_element_set_state(FStandby.get(), GST_STATE_NULL);
        FStandby.reset();
        FStandbyWarming = false;
    }

    // A new, floating sink element: the given description or the desktop's
    // default output.
    GstElement* MakeSink() {
        if (FAudioSink.empty())
            return gst_element_factory_make(
                FSinkFactory.empty() ? "autoaudiosink" : FSinkFactory.c_str(), nullptr);
        GError* raw = nullptr;
        GstElement* sink = gst_parse_bin_from_description(FAudioSink.c_str(), TRUE, &raw);
        ErrorPtr error(raw);
        if (error && sink) {
            gst_object_unref(gst_object_ref_sink(sink));
            return nullptr;
        }
        return sink;
    }

    uint32_t Open(ElementPtr pipeline, GstElement* volume, std::string uri) {
        const uint32_t handle = FNextChannel;
        auto channel =
            std::make_unique<TChannel>(handle, std::move(pipeline), volume, std::move(uri));
        if (!channel->Preroll())
            return 0;
        channel->MarkAtStart();
        ++FNextChannel;  // handles of refused files are never handed out
        FChannels.emplace(handle, std::move(channel));
        return handle;
    }

    TChannel* Find(uint32_t handle) {
        auto it = FChannels.find(handle);
        return it == FChannels.end() ? nullptr : it->second.get();
    }

    // The output element that the desktop's default turned out to be. Made
    // directly from then on: looking for it opens a sound server connection
    // of its own at each start.
    static std::string ChosenOutput(GstElement* autoSink) {
        std::string name;
        if (!GST_IS_BIN(autoSink))
            return name;
        GST_OBJECT_LOCK(autoSink);
        GList* children = GST_BIN_CHILDREN(GST_BIN(autoSink));
        if (children && !children->next) {
            GstElementFactory* factory = gst_element_get_factory(GST_ELEMENT(children->data));
            if (factory)
                name = gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory));
        }
        GST_OBJECT_UNLOCK(autoSink);
        // Stand-ins that play nothing are not kept.
        if (name == "fakesink" || name == "fakeaudiosink")
            name.clear();
        return name;
    }

    const std::string FAudioSink;
    std::string FSinkFactory;
    ElementPtr FSpare;    // a playbin at READY, left by the stream before
    ElementPtr FStandby;  // a playbin prerolled on the file queued to follow
    TFileIdentity FStandbyFile;
    bool FStandbyWarming = false;  // still playing muted
    std::chrono::steady_clock::time_point FStandbyWarmUntil;
    bool FInitialised = false;
    uint32_t FNextChannel = 1;
    uint32_t FNextSync = 1;
    std::map<uint32_t, std::unique_ptr<TChannel>> FChannels;
    std::vector<std::unique_ptr<TChannel>> FRetiring;  // freed, not yet wound down
};

}  // namespace

std::jthread PrepareGStreamer() {
    return std::jthread([] { GstReady(); });
}

std::unique_ptr<TAudioLibrary> CreateGStreamerLibrary(const std::string& audioSink) {
    return std::make_unique<TGstAudioLibrary>(audioSink);
}

}  // namespace tunrax
