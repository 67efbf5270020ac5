// The audio library over GStreamer. Each channel is a pipeline of its own: a
// playbin for streams, filesrc ! openmptdec for tracker modules. Opening a
// file prerolls it (PAUSED), so a file GStreamer cannot decode is refused at
// once, as the player expects. End and errors are read from each pipeline's
// bus by polling in ChannelIsActive; end syncs fire from a bus sync handler,
// that is on the GStreamer streaming thread that posts the end. A file queued
// to follow a stream is handed to its playbin from "about-to-finish", so the
// decoder goes on into it without a gap; the sink's stream start tells when it
// becomes audible.
#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/AudioLibrary.h"

namespace tunrax {

namespace {

constexpr GstClockTime kPrerollTimeout = 2 * GST_SECOND;

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

// Whether a playbin can decode the file: prerolled into a sink that drops
// everything. A file that fails only after a queue would stop the song before
// it at once, since the playbin reads the next file well ahead of the end.
bool Decodable(const char* uri) {
    ElementPtr playbin = Own(gst_element_factory_make("playbin", nullptr));
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    if (!playbin || !sink) {
        if (sink)
            gst_object_unref(gst_object_ref_sink(sink));
        return false;
    }
    gst_util_set_object_arg(G_OBJECT(playbin.get()), "flags", "audio");
    g_object_set(playbin.get(), "uri", uri, "audio-sink", sink, nullptr);
    bool ok = gst_element_set_state(playbin.get(), GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE;
    if (ok) {
        const GstStateChangeReturn ret =
            gst_element_get_state(playbin.get(), nullptr, nullptr, kPrerollTimeout);
        ok = ret == GST_STATE_CHANGE_SUCCESS || ret == GST_STATE_CHANGE_NO_PREROLL;
    }
    gst_element_set_state(playbin.get(), GST_STATE_NULL);
    return ok;
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
        gst_element_set_state(FPipeline.get(), GST_STATE_NULL);
        gst_bus_set_sync_handler(FBus.get(), nullptr, nullptr, nullptr);
        g_signal_handlers_disconnect_by_data(FPipeline.get(), this);
    }
    TChannel(const TChannel&) = delete;
    TChannel& operator=(const TChannel&) = delete;

    // Prerolls; false when the file cannot be decoded within the time-out.
    bool Preroll() {
        if (gst_element_set_state(FPipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
            return false;
        const GstStateChangeReturn ret =
            gst_element_get_state(FPipeline.get(), nullptr, nullptr, kPrerollTimeout);
        return ret == GST_STATE_CHANGE_SUCCESS || ret == GST_STATE_CHANGE_NO_PREROLL;
    }

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
            gst_element_seek_simple(FPipeline.get(), GST_FORMAT_TIME,
                                    GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT), 0);
        }
        if (gst_element_set_state(FPipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
            return Fail();
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
        gst_element_set_state(FPipeline.get(), GST_STATE_NULL);
        FAwaitingData = false;
        {
            // A file handed over but not begun must not be what a restart plays.
            std::lock_guard lock(FQueueMutex);
            if (!FHandedUri.empty())
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

    // uri empty: calls off. Refused once the decoder has passed the point
    // where the playbin asks for a follower, or while one is on its way.
    bool Queue(std::string uri) {
        gint64 duration = -1;
        if (!uri.empty())
            gst_element_query_duration(FPipeline.get(), GST_FORMAT_TIME, &duration);
        std::lock_guard lock(FQueueMutex);
        if (FTooLate || FEnded || !FHandedUri.empty())
            return false;
        FQueuedUri = std::move(uri);
        FCurrentDuration = duration;
        return true;
    }

private:
    enum class Mode { Stopped, Playing, Paused };

    bool Fail() {
        FMode = Mode::Stopped;
        return false;
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
            gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, &OnSinkData, this, nullptr);
            gst_object_unref(pad);
        }
        gst_object_unref(sink);
    }
    static GstPadProbeReturn OnSinkData(GstPad*, GstPadProbeInfo*, gpointer data) {
        auto* self = static_cast<TChannel*>(data);
        if (self->FAwaitingData)
            self->FAwaitingData = false;
        return GST_PAD_PROBE_OK;
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
        const bool was = FInitialised;
        FInitialised = false;
        return was;
    }

    uint32_t StreamCreateFile(bool memory, const std::string& fileName, uint64_t offset,
                              uint64_t length, uint32_t) override {
        if (!FInitialised || memory || offset != 0 || length != 0)
            return 0;
        CharPtr uri(gst_filename_to_uri(fileName.c_str(), nullptr));
        ElementPtr playbin = Own(gst_element_factory_make("playbin", nullptr));
        GstElement* sink = MakeSink();
        if (!uri || !playbin || !sink) {
            if (sink)
                gst_object_unref(gst_object_ref_sink(sink));
            return 0;
        }
        // Soft volume keeps the volume ours, not the sound server's stream
        // setting that it may remember for the next run.
        gst_util_set_object_arg(G_OBJECT(playbin.get()), "flags", "audio+soft-volume");
        g_object_set(playbin.get(), "uri", uri.get(), "audio-sink", sink, nullptr);
        GstElement* volume = playbin.get();
        return Open(std::move(playbin), volume, uri.get());
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

    bool StreamFree(uint32_t handle) override { return FChannels.erase(handle) != 0; }

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
        return uri && Decodable(uri.get()) && c->Queue(uri.get());
    }

private:
    // A new, floating sink element: the given description or the desktop's
    // default output.
    GstElement* MakeSink() {
        if (FAudioSink.empty())
            return gst_element_factory_make("autoaudiosink", nullptr);
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
        ++FNextChannel;  // handles of refused files are never handed out
        FChannels.emplace(handle, std::move(channel));
        return handle;
    }

    TChannel* Find(uint32_t handle) {
        auto it = FChannels.find(handle);
        return it == FChannels.end() ? nullptr : it->second.get();
    }

    const std::string FAudioSink;
    bool FInitialised = false;
    uint32_t FNextChannel = 1;
    uint32_t FNextSync = 1;
    std::map<uint32_t, std::unique_ptr<TChannel>> FChannels;
};

}  // namespace

std::jthread PrepareGStreamer() {
    return std::jthread([] { GstReady(); });
}

std::unique_ptr<TAudioLibrary> CreateGStreamerLibrary(const std::string& audioSink) {
    return std::make_unique<TGstAudioLibrary>(audioSink);
}

}  // namespace tunrax
