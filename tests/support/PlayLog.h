// A recording audio library for the sequencing tests: tells which song each
// stream was opened for (by the content of the file it was given) and when
// the player's state was asked. Its streams report playing from the start
// until the test ends a song or a stream is stopped or closed.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>

#include "support/RecordingAudioBackend.h"
#include "support/TempDir.h"

namespace tunrax::test {

class TPlayLog : public TRecordingAudioBackend {
public:
    // Told "play <content of the file>", "restart <content>" (a stream that
    // had begun starts again from its beginning), "queue <content of the
    // file>" ("" for a call-off) and "poll".
    std::function<void(const std::string& event)> OnEvent;

    // Every file opens.
    std::unique_ptr<TAudioStream> Open(const std::string& fileName) override {
        Streams.insert(fileName);
        const uint32_t id = NextId;
        const std::string content = ReadFile(fileName);
        auto stream = TRecordingAudioBackend::Open(fileName);
        Tell("play " + content);
        Activity = TStreamState::Playing;
        FContent[id] = content;
        return stream;
    }

    void Poll() override {
        Tell("poll");
        TRecordingAudioBackend::Poll();
    }

protected:
    bool StreamPlay(uint32_t id) override {
        if (FBegun.count(id)) {
            Tell("restart " + FContent[id]);
            Activity = TStreamState::Playing;
        }
        FBegun.insert(id);
        return TRecordingAudioBackend::StreamPlay(id);
    }
    bool StreamQueue(uint32_t id, const std::string& fileName) override {
        Tell("queue " + (fileName.empty() ? std::string() : ReadFile(fileName)));
        return TRecordingAudioBackend::StreamQueue(id, fileName);
    }
    void StreamStop(uint32_t id) override {
        Activity = TStreamState::Stopped;
        TRecordingAudioBackend::StreamStop(id);
    }
    void StreamClose(uint32_t id) override {
        Activity = TStreamState::Stopped;
        TRecordingAudioBackend::StreamClose(id);
    }

private:
    std::map<uint32_t, std::string> FContent;  // what each stream was opened for
    std::set<uint32_t> FBegun;                 // played at least once
    void Tell(const std::string& event) {
        if (OnEvent)
            OnEvent(event);
    }
};

}  // namespace tunrax::test
