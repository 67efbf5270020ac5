// The audio library over GStreamer: each channel (GstChannel.h) is a
// pipeline of its own. Opening a file prerolls it (PAUSED), so a file
// GStreamer cannot decode is refused at once, as the player expects. A
// freed playbin waits at READY for the next stream, and the file queued to
// follow waits prerolled on the real output: a song starts without a new
// connection to the sound server, and going on early is heard at once.
#include <gst/gst.h>
#include <sys/stat.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "GstChannel.h"
#include "GstSupport.h"
#include "audio/AudioBackend.h"

namespace tunrax {

namespace {

using namespace gst;

// How long a standby pipeline plays muted: long enough for its sink to have
// begun, which the sound server needs to hold it when it is paused.
constexpr std::chrono::milliseconds kStandbyWarmUp{40};
constexpr std::chrono::nanoseconds kPrerollLimit{kPrerollTimeout};

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

class TGstAudioBackend final : public TAudioBackend {
public:
    explicit TGstAudioBackend(std::string audioSink) : FAudioSink(std::move(audioSink)) {}
    ~TGstAudioBackend() override { Free(); }

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
    // Nothing plays soon: freed channels are wound down now rather than at
    // the next poll, which may not come, and neither they nor the song held
    // ready to follow keep a stream at the sound server.
    void Rest() override {
        WindDown();
        DropStandby();
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

std::unique_ptr<TAudioBackend> CreateGStreamerBackend(const std::string& audioSink) {
    return std::make_unique<TGstAudioBackend>(audioSink);
}

}  // namespace tunrax
