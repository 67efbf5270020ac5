#include "GstChannel.h"

#include <algorithm>

namespace tunrax::gst {

TChannel::TChannel(ElementPtr pipeline, GstElement* volume, std::string uri)
    : FPipeline(std::move(pipeline)),
      FVolume(volume),
      FCanQueue(!uri.empty()),
      FCurrentUri(std::move(uri)) {
    FBus.reset(gst_element_get_bus(FPipeline.get()));
    gst_bus_set_sync_handler(FBus.get(), &TChannel::OnBusSync, this, nullptr);
    if (FCanQueue) {
        g_signal_connect(FPipeline.get(), "about-to-finish", G_CALLBACK(&OnAboutToFinish), this);
        WatchSinkData();
    }
}

TChannel::~TChannel() {
    if (!FPipeline)
        return;
    gst_element_set_state(FPipeline.get(), GST_STATE_NULL);
    Unhook();
}

ElementPtr TChannel::Retire() {
    if (!FCanQueue || FBroken ||
        gst_element_set_state(FPipeline.get(), GST_STATE_READY) == GST_STATE_CHANGE_FAILURE)
        return nullptr;
    Unhook();
    DrainBus();
    return std::move(FPipeline);
}

bool TChannel::Preroll() {
    if (gst_element_set_state(FPipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
        return false;
    const GstStateChangeReturn ret =
        gst_element_get_state(FPipeline.get(), nullptr, nullptr, kPrerollTimeout);
    return ret == GST_STATE_CHANGE_SUCCESS || ret == GST_STATE_CHANGE_NO_PREROLL;
}

void TChannel::Silence() {
    if (FMode == Mode::Playing)
        gst_element_set_state(FPipeline.get(), GST_STATE_PAUSED);
    FMode = Mode::Stopped;
    std::lock_guard lock(FHandlerMutex);
    FOnEnd = nullptr;
    FOnNext = nullptr;
}

bool TChannel::Play(bool restart) {
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
                                    GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT), 0);
    }
    if (gst_element_set_state(FPipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return Fail();
    FAtStart = false;
    FRewind = false;
    FMode = Mode::Playing;
    return true;
}

bool TChannel::Pause() {
    if (FMode != Mode::Playing)
        return false;
    if (gst_element_set_state(FPipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
        return Fail();
    HoldPosition();
    FMode = Mode::Paused;
    return true;
}

void TChannel::Stop() {
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
    FRewind = FCanQueue && !handed && !FBroken &&
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

TStreamState TChannel::Activity() {
    PollBus();
    if (FRewind && FMode == Mode::Stopped) {
        FRewind = false;
        FAtStart =
            gst_element_seek_simple(FPipeline.get(), GST_FORMAT_TIME,
                                    GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT), 0);
    }
    if (FMode == Mode::Stopped || FEnded)
        return TStreamState::Stopped;
    if (FMode == Mode::Paused)
        return TStreamState::Paused;
    return FBuffering ? TStreamState::Stalled : TStreamState::Playing;
}

void TChannel::SetVolume(float value) {
    const double v = std::clamp(static_cast<double>(value) / 100.0, 0.0, 1.0);
    g_object_set(FVolume, "volume", v, nullptr);
}

void TChannel::SetOnEnd(std::function<void()> onEnd) {
    std::lock_guard lock(FHandlerMutex);
    FOnEnd = std::move(onEnd);
}

void TChannel::SetOnNext(std::function<void(uint32_t)> onNext) {
    std::lock_guard lock(FHandlerMutex);
    FOnNext = std::move(onNext);
}

int64_t TChannel::Position() {
    if (const int64_t before = HeardBefore(true); before >= 0)
        return before;
    if (FAwaitingData)
        return 0;
    gint64 position = -1;
    if (!gst_element_query_position(FPipeline.get(), GST_FORMAT_TIME, &position) || position < 0)
        return -1;
    return position / GST_USECOND;
}

int64_t TChannel::Length() {
    if (const int64_t before = HeardBefore(false); before >= 0)
        return before;
    gint64 duration = -1;
    if (!gst_element_query_duration(FPipeline.get(), GST_FORMAT_TIME, &duration) || duration < 0)
        return -1;
    return duration / GST_USECOND;
}

bool TChannel::Seek(int64_t microseconds) {
    // A place past what nanoseconds can count lies past any song's end.
    if (FMode == Mode::Stopped || FEnded || microseconds < 0 ||
        microseconds > INT64_MAX / GST_USECOND)
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

bool TChannel::Queue(std::string uri) {
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

bool TChannel::Fail() {
    FMode = Mode::Stopped;
    return false;
}

void TChannel::Unhook() {
    gst_bus_set_sync_handler(FBus.get(), nullptr, nullptr, nullptr);
    g_signal_handlers_disconnect_by_data(FPipeline.get(), this);
    // The pipeline may serve another channel: nothing of it calls this one.
    if (FProbePad && FProbe != 0)
        gst_pad_remove_probe(FProbePad.get(), FProbe);
    FProbePad.reset();
    FProbe = 0;
}

void TChannel::PollBus() {
    const auto types = GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR | GST_MESSAGE_BUFFERING);
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

void TChannel::HoldPosition() {
    gint64 position = 0;
    if (gst_element_query_position(FPipeline.get(), GST_FORMAT_TIME, &position))
        gst_element_seek_simple(FPipeline.get(), GST_FORMAT_TIME,
                                GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                position);
}

void TChannel::DrainBus() {
    gst_bus_set_flushing(FBus.get(), TRUE);
    gst_bus_set_flushing(FBus.get(), FALSE);
}

void TChannel::OnAboutToFinish(GstElement* playbin, gpointer data) {
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

// The handler is called outside the lock, so that it may take its time;
// Silence waits for nobody.
void TChannel::FireEnd() {
    std::function<void()> handler;
    {
        std::lock_guard lock(FHandlerMutex);
        handler = FOnEnd;
    }
    if (handler)
        handler();
}

void TChannel::FireNext(uint32_t heardInMs) {
    std::function<void(uint32_t)> handler;
    {
        std::lock_guard lock(FHandlerMutex);
        handler = FOnNext;
    }
    if (handler)
        handler(heardInMs);
}

uint32_t TChannel::MsStillToPlay(gint64 duration) {
    gint64 position = 0;
    if (duration <= 0 || !gst_element_query_position(FPipeline.get(), GST_FORMAT_TIME, &position))
        return 0;
    const gint64 left = std::clamp<gint64>(duration - position, 0, 2 * GST_SECOND);
    return static_cast<uint32_t>(left / GST_MSECOND);
}

GstBusSyncReply TChannel::OnBusSync(GstBus*, GstMessage* msg, gpointer data) {
    auto* self = static_cast<TChannel*>(data);
    if (GST_MESSAGE_SRC(msg) != GST_OBJECT(self->FPipeline.get()))
        return GST_BUS_PASS;
    if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS) {
        self->FireEnd();
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
            self->FireNext(ms);
        }
    }
    // The message stays on the bus for PollBus.
    return GST_BUS_PASS;
}

void TChannel::WatchSinkData() {
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

GstPadProbeReturn TChannel::OnSinkData(GstPad*, GstPadProbeInfo*, gpointer data) {
    auto* self = static_cast<TChannel*>(data);
    if (self->FAwaitingData)
        self->FAwaitingData = false;
    return GST_PAD_PROBE_OK;
}

bool TChannel::TakeBack() {
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

bool TChannel::Reopen() {
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

int64_t TChannel::HeardBefore(bool position) {
    std::lock_guard lock(FQueueMutex);
    const int64_t left = FHeardAtNs - SteadyNs();
    if (left <= 0 || FDurationBefore <= 0)
        return -1;
    const int64_t at = position ? std::max<int64_t>(0, FDurationBefore - left) : FDurationBefore;
    return at / GST_USECOND;
}

}  // namespace tunrax::gst
