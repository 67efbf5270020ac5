// The audio library over GStreamer. Each channel is a pipeline of its own: a
// playbin for streams, filesrc ! openmptdec for tracker modules. Opening a
// file prerolls it (PAUSED), so a file GStreamer cannot decode is refused at
// once, as the player expects. End and errors are read from each pipeline's
// bus by polling in ChannelIsActive; end syncs fire from a bus sync handler,
// that is on the GStreamer streaming thread that posts the end.
#include <gst/gst.h>

#include <algorithm>
#include <atomic>
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
    TChannel(uint32_t handle, ElementPtr pipeline, GstElement* volume)
        : FHandle(handle), FPipeline(std::move(pipeline)), FVolume(volume) {
        FBus.reset(gst_element_get_bus(FPipeline.get()));
        gst_bus_set_sync_handler(FBus.get(), &TChannel::OnBusSync, this, nullptr);
    }
    ~TChannel() {
        gst_element_set_state(FPipeline.get(), GST_STATE_NULL);
        gst_bus_set_sync_handler(FBus.get(), nullptr, nullptr, nullptr);
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

    void AddSync(uint32_t handle, TSyncProc proc, void* user) {
        std::lock_guard lock(FSyncMutex);
        FSyncs.push_back({handle, proc, user});
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

    static GstBusSyncReply OnBusSync(GstBus*, GstMessage* msg, gpointer data) {
        auto* self = static_cast<TChannel*>(data);
        if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS &&
            GST_MESSAGE_SRC(msg) == GST_OBJECT(self->FPipeline.get())) {
            std::vector<TSync> syncs;
            {
                std::lock_guard lock(self->FSyncMutex);
                syncs = self->FSyncs;
            }
            for (const TSync& s : syncs)
                s.Proc(s.Handle, self->FHandle, 0, s.User);
        }
        // The message stays on the bus for PollBus.
        return GST_BUS_PASS;
    }

    const uint32_t FHandle;
    ElementPtr FPipeline;
    BusPtr FBus;
    GstElement* FVolume;  // the pipeline itself or an element inside it
    Mode FMode = Mode::Stopped;
    bool FEnded = false;
    bool FBuffering = false;
    std::mutex FSyncMutex;
    std::vector<TSync> FSyncs;
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
        return Open(std::move(playbin), volume);
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
        return Open(std::move(pipeline), volume);
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
        if (!c || type != kSyncEnd || !proc)
            return 0;
        const uint32_t sync = FNextSync++;
        c->AddSync(sync, proc, user);
        return sync;
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

    uint32_t Open(ElementPtr pipeline, GstElement* volume) {
        const uint32_t handle = FNextChannel;
        auto channel = std::make_unique<TChannel>(handle, std::move(pipeline), volume);
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
