// The audio library over GStreamer: each stream holds a channel
// (GstChannel.h), a pipeline of its own. Opening a file prerolls it
// (PAUSED), so a file GStreamer cannot decode is refused at once, as the
// player expects. A closed playbin waits at READY for the next stream, and
// the file queued to follow waits prerolled on the real output: a song
// starts without a new connection to the sound server, and going on early is
// heard at once.
#include "gst/GstAudioBackend.h"

#include <gst/gst.h>
#include <sys/stat.h>

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "GstChannel.h"
#include "GstSupport.h"

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

class TGstAudioBackend;

// A stream: its channel, while the backend has not been freed. Closing it
// hands the channel back to the backend, which winds it down later.
class TGstStream final : public TAudioStream {
public:
    TGstStream(TGstAudioBackend& owner, std::unique_ptr<TChannel> channel);
    ~TGstStream() override;
    TGstStream(const TGstStream&) = delete;
    TGstStream& operator=(const TGstStream&) = delete;

    bool Play() override { return FChannel && FChannel->Play(true); }
    bool Pause() override { return FChannel && FChannel->Pause(); }
    bool Resume() override { return FChannel && FChannel->Play(false); }
    void Stop() override {
        if (FChannel)
            FChannel->Stop();
    }
    TStreamState State() override {
        return FChannel ? FChannel->Activity() : TStreamState::Stopped;
    }
    void SetVolume(float volume) override {
        if (FChannel)
            FChannel->SetVolume(volume);
    }
    bool Queue(const std::string& fileName) override;
    int64_t Position() override { return FChannel ? FChannel->Position() : -1; }
    int64_t Length() override { return FChannel ? FChannel->Length() : -1; }
    bool Seek(int64_t position) override { return FChannel && FChannel->Seek(position); }
    void SetOnEnd(std::function<void()> onEnd) override {
        if (FChannel)
            FChannel->SetOnEnd(std::move(onEnd));
    }
    void SetOnNext(std::function<void(uint32_t)> onNext) override {
        if (FChannel)
            FChannel->SetOnNext(std::move(onNext));
    }

    // The backend is freed: the channel goes now, silent for good.
    void Detach() {
        FChannel.reset();
        FOwner = nullptr;
    }

private:
    TGstAudioBackend* FOwner;
    std::unique_ptr<TChannel> FChannel;
};

class TGstAudioBackend final : public TAudioBackend {
public:
    explicit TGstAudioBackend(std::string audioSink) : FAudioSink(std::move(audioSink)) {}
    ~TGstAudioBackend() override { Free(); }

    bool Start() override {
        FInitialised = GstReady();
        // Without the MP3 path the player must tell the user.
        return FInitialised && HasFactory("mpegaudioparse") && HasFactory("mpg123audiodec");
    }

    void Free() override {
        for (TGstStream* stream : FStreams)
            stream->Detach();
        FStreams.clear();
        FRetiring.clear();
        if (FSpare)
            gst_element_set_state(FSpare.get(), GST_STATE_NULL);
        FSpare.reset();
        DropStandby();
        FInitialised = false;
    }

    std::unique_ptr<TAudioStream> Open(const std::string& fileName) override {
        if (!FInitialised)
            return nullptr;
        if (std::unique_ptr<TChannel> stream = OpenStream(fileName))
            return Adopt(std::move(stream));
        if (std::unique_ptr<TChannel> module = OpenModule(fileName))
            return Adopt(std::move(module));
        return nullptr;
    }

    // Nothing plays soon: closed channels are wound down now rather than at
    // the next poll, which may not come, and neither they nor the song held
    // ready to follow keep a stream at the sound server.
    void Rest() override {
        WindDown();
        DropStandby();
    }

    // A stream closed: silent at once and told nothing more; its pipeline is
    // wound down at the next poll or start, so that a song that follows on a
    // command does not wait for it.
    void Close(TGstStream* stream, std::unique_ptr<TChannel> channel) {
        FStreams.erase(stream);
        channel->Stop();
        channel->Silence();
        FRetiring.push_back(std::move(channel));
    }

    // The standby's muted moment ends, and closed channels are wound down.
    void Poll() override {
        ServiceStandby(false);
        WindDown();
    }

    bool QueueOn(TChannel& channel, const std::string& fileName) {
        if (!channel.CanQueue())
            return false;
        if (fileName.empty())
            return channel.Queue("");
        CharPtr uri(gst_filename_to_uri(fileName.c_str(), nullptr));
        return uri && PrepareStandby(fileName, uri.get()) && channel.Queue(uri.get());
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
    // Closed channels: their playbin waits at READY for the next stream.
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

    // The pipeline prerolled at the start of its file; none when it cannot
    // decode the file.
    static std::unique_ptr<TChannel> Preroll(ElementPtr pipeline, GstElement* volume,
                                             std::string uri) {
        auto channel = std::make_unique<TChannel>(std::move(pipeline), volume, std::move(uri));
        if (!channel->Preroll())
            return nullptr;
        channel->MarkAtStart();
        return channel;
    }

    std::unique_ptr<TAudioStream> Adopt(std::unique_ptr<TChannel> channel) {
        auto stream = std::make_unique<TGstStream>(*this, std::move(channel));
        FStreams.insert(stream.get());
        return stream;
    }

    std::unique_ptr<TChannel> OpenStream(const std::string& fileName) {
        CharPtr uri(gst_filename_to_uri(fileName.c_str(), nullptr));
        if (!uri)
            return nullptr;
        if (ElementPtr ready = TakeStandby(fileName)) {
            // Its uri stays as it is: set on a prerolled playbin, a uri would
            // be taken for a song to follow this one.
            GstElement* volume = ready.get();
            if (auto channel = Preroll(std::move(ready), volume, uri.get()))
                return channel;
        }
        WindDown();
        if (FSpare) {
            ElementPtr playbin = std::move(FSpare);
            g_object_set(playbin.get(), "uri", uri.get(), "volume", 1.0, nullptr);
            GstElement* volume = playbin.get();
            if (auto channel = Preroll(std::move(playbin), volume, uri.get()))
                return channel;
            // A file it cannot decode goes to a new playbin too, which says so
            // in the same way; a spare that no longer works is gone.
        }
        ElementPtr playbin = Own(gst_element_factory_make("playbin", nullptr));
        const bool chosen = !FSinkFactory.empty();
        GstElement* sink = MakeSink();
        if (!playbin || !sink) {
            if (sink)
                gst_object_unref(gst_object_ref_sink(sink));
            return nullptr;
        }
        // Soft volume keeps the volume ours, not the sound server's stream
        // setting that it may remember for the next run.
        gst_util_set_object_arg(G_OBJECT(playbin.get()), "flags", "audio+soft-volume");
        g_object_set(playbin.get(), "uri", uri.get(), "audio-sink", sink, nullptr);
        GstElement* volume = playbin.get();
        auto channel = Preroll(std::move(playbin), volume, uri.get());
        if (!channel && chosen) {
            // The output chosen before may be gone (a sound server ended):
            // the desktop's default is looked for again.
            FSinkFactory.clear();
            return OpenStream(fileName);
        }
        if (channel && FAudioSink.empty() && !chosen)
            FSinkFactory = ChosenOutput(sink);
        return channel;
    }

    // Modules go through the tracker-module decoder only, so a file opens
    // here exactly when it is a module (OpenStream takes the rest).
    std::unique_ptr<TChannel> OpenModule(const std::string& fileName) {
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
            return nullptr;
        g_object_set(src, "location", fileName.c_str(), nullptr);
        return Preroll(std::move(pipeline), volume, "");
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
    std::set<TGstStream*> FStreams;                    // open
    std::vector<std::unique_ptr<TChannel>> FRetiring;  // closed, not yet wound down
};

TGstStream::TGstStream(TGstAudioBackend& owner, std::unique_ptr<TChannel> channel)
    : FOwner(&owner), FChannel(std::move(channel)) {}

TGstStream::~TGstStream() {
    if (FOwner && FChannel)
        FOwner->Close(this, std::move(FChannel));
}

bool TGstStream::Queue(const std::string& fileName) {
    return FOwner && FChannel && FOwner->QueueOn(*FChannel, fileName);
}

}  // namespace

std::jthread PrepareGStreamer() {
    return std::jthread([] { GstReady(); });
}

std::unique_ptr<TAudioBackend> CreateGStreamerBackend(const std::string& audioSink) {
    return std::make_unique<TGstAudioBackend>(audioSink);
}

}  // namespace tunrax
