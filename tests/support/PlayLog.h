// A recording audio library for the sequencing tests: tells which song each
// stream was opened for (by the content of the file it was given) and when
// the player's state was asked. It reports playing from the start (as while a
// song of another album plays) until the test ends a song or the player is
// stopped.
#pragma once

#include <functional>
#include <map>
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

    uint32_t StreamCreateFile(bool memory, const std::string& fileName, uint64_t offset,
                              uint64_t length, uint32_t flags) override {
        TRecordingAudioBackend::StreamCreateFile(memory, fileName, offset, length, flags);
        const std::string content = ReadFile(fileName);
        Tell("play " + content);
        Activity = kActivePlaying;
        FContent[NextHandle] = content;
        FFresh = NextHandle;
        return NextHandle++;
    }
    bool ChannelPlay(uint32_t handle, bool restart) override {
        if (restart && handle != FFresh && FContent.count(handle)) {
            Tell("restart " + FContent[handle]);
            Activity = kActivePlaying;
        }
        FFresh = 0;
        return TRecordingAudioBackend::ChannelPlay(handle, restart);
    }
    bool ChannelQueueNext(uint32_t handle, const std::string& fileName) override {
        Tell("queue " + (fileName.empty() ? std::string() : ReadFile(fileName)));
        return TRecordingAudioBackend::ChannelQueueNext(handle, fileName);
    }
    bool ChannelStop(uint32_t handle) override {
        Activity = kActiveStopped;
        return TRecordingAudioBackend::ChannelStop(handle);
    }
    uint32_t ChannelIsActive(uint32_t handle) override {
        Tell("poll");
        return TRecordingAudioBackend::ChannelIsActive(handle);
    }

private:
    std::map<uint32_t, std::string> FContent;  // what each stream was opened for
    uint32_t FFresh = 0;                       // opened, not yet started
    void Tell(const std::string& event) {
        if (OnEvent)
            OnEvent(event);
    }
};

}  // namespace tunrax::test
