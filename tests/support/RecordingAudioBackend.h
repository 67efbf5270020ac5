// An audio library for tests: records every call with its arguments, in
// order, as text such as "Open(a.mp3)" or "SetVolume(100,40)", and answers
// from a script. Each stream opened gets a number, from NextId on, which
// names it in the calls of that stream ("Play(100)") and in FireEnd and
// FireNext; "Close(100)" is the stream's end.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "audio/AudioBackend.h"

namespace tunrax::test {

class TRecordingAudioBackend : public TAudioBackend {
public:
    // The script.
    bool StartResult = true;
    std::set<std::string> Streams;                  // files Open accepts
    TStreamState Activity = TStreamState::Playing;  // what every stream's State answers
    uint32_t NextId = 100;                          // given to the next stream opened
    bool QueueResult = true;                        // what Queue answers
    int64_t Position = -1;                          // Position's answer; Seek moves it
    int64_t Length = -1;                            // Length's answer
    bool SeekResult = true;                         // what Seek answers

    // What was called.
    std::vector<std::string> Calls;
    // The number of the stream opened last (NextId - 1).
    uint32_t LastStream() const { return NextId - 1; }
    // How many times a song was opened (to be played or queued).
    size_t SongsOpened() const {
        size_t opened = 0;
        for (const std::string& call : Calls)
            opened += call.starts_with("Open(") ? 1 : 0;
        return opened;
    }

    // Runs the end handler of stream id as the library would when it ends.
    // A closed stream's handler still runs: one can be under way on the
    // library's thread as the stream goes.
    void FireEnd(uint32_t id) {
        if (FOnEnd.count(id) && FOnEnd[id])
            FOnEnd[id]();
    }
    // Runs the next-song handler of stream id as the library would when the
    // output takes in the queued file, to be heard in `ms` milliseconds.
    void FireNext(uint32_t id, uint32_t ms = 0) {
        if (FOnNext.count(id) && FOnNext[id])
            FOnNext[id](ms);
    }

    bool Start() override {
        Record("Start");
        return StartResult;
    }
    void Free() override { Record("Free"); }
    std::unique_ptr<TAudioStream> Open(const std::string& fileName) override {
        Record("Open", fileName);
        if (!Streams.count(fileName))
            return nullptr;
        return std::make_unique<Stream>(*this, NextId++);
    }
    void Poll() override { Record("Poll"); }
    void Rest() override { Record("Rest"); }

protected:
    // What each stream does; a fake of a fake overrides these.
    virtual bool StreamPlay(uint32_t id) {
        Record("Play", id);
        return true;
    }
    virtual void StreamStop(uint32_t id) { Record("Stop", id); }
    virtual void StreamClose(uint32_t id) { Record("Close", id); }
    virtual TStreamState StreamState(uint32_t id) {
        Record("State", id);
        return Activity;
    }
    virtual bool StreamQueue(uint32_t id, const std::string& fileName) {
        Record("Queue", id, fileName);
        return QueueResult;
    }

    template <typename... Args>
    void Record(const char* name, const Args&... args) {
        std::ostringstream out;
        out << name << '(';
        int index = 0;
        ((out << (index++ ? "," : "") << args), ...);
        out << ')';
        Calls.push_back(out.str());
    }

private:
    class Stream : public TAudioStream {
    public:
        Stream(TRecordingAudioBackend& owner, uint32_t id) : FOwner(owner), FId(id) {}
        ~Stream() override { FOwner.StreamClose(FId); }

        bool Play() override { return FOwner.StreamPlay(FId); }
        bool Pause() override {
            FOwner.Record("Pause", FId);
            return true;
        }
        bool Resume() override {
            FOwner.Record("Resume", FId);
            return true;
        }
        void Stop() override { FOwner.StreamStop(FId); }
        TStreamState State() override { return FOwner.StreamState(FId); }
        void SetVolume(float volume) override { FOwner.Record("SetVolume", FId, volume); }
        bool Queue(const std::string& fileName) override {
            return FOwner.StreamQueue(FId, fileName);
        }
        int64_t Position() override {
            FOwner.Record("Position", FId);
            return FOwner.Position;
        }
        int64_t Length() override {
            FOwner.Record("Length", FId);
            return FOwner.Length;
        }
        bool Seek(int64_t position) override {
            FOwner.Record("Seek", FId, position);
            if (!FOwner.SeekResult)
                return false;
            FOwner.Position = position;
            return true;
        }
        void SetOnEnd(std::function<void()> onEnd) override {
            FOwner.Record("SetOnEnd", FId);
            FOwner.FOnEnd[FId] = std::move(onEnd);
        }
        void SetOnNext(std::function<void(uint32_t)> onNext) override {
            FOwner.FOnNext[FId] = std::move(onNext);
        }

    private:
        TRecordingAudioBackend& FOwner;
        const uint32_t FId;
    };

    std::map<uint32_t, std::function<void()>> FOnEnd;
    std::map<uint32_t, std::function<void(uint32_t)>> FOnNext;
};

}  // namespace tunrax::test
