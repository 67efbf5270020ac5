// An audio library for tests: records every call with its arguments, in
// order, as text such as "StreamCreateFile(0,a.mp3,0,0,0x20000)", and
// answers from a script. Handles are 32-bit numbers; 0 on a handle-taking call
// is recorded like any other.
#pragma once

#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "audio/AudioBackend.h"

namespace tunrax::test {

class TRecordingAudioBackend : public TAudioBackend {
public:
    // The script.
    uint32_t Version = kLibraryVersion;
    bool InitResult = true;
    std::set<std::string> Streams;       // files StreamCreateFile accepts
    std::set<std::string> Musics;        // files MusicLoad accepts
    uint32_t Activity = kActivePlaying;  // what ChannelIsActive answers
    uint32_t NextHandle = 100;           // given to the next accepted file
    uint32_t NextSync = 500;
    bool QueueResult = true;  // what ChannelQueueNext answers
    int64_t Position = -1;    // ChannelGetPosition's answer; ChannelSetPosition moves it
    int64_t Length = -1;      // ChannelGetLength's answer
    bool SeekResult = true;   // what ChannelSetPosition answers

    // What was called.
    std::vector<std::string> Calls;
    void* LastWindow = nullptr;
    TSyncProc LastSyncProc = nullptr;  // of the last end sync
    void* LastSyncUser = nullptr;
    TSyncProc LastNextProc = nullptr;  // of the last queued-file sync
    void* LastNextUser = nullptr;

    // Fires the last end sync as the library would when a channel ends.
    void FireEnd(uint32_t channel) {
        if (LastSyncProc)
            LastSyncProc(NextSync - 1, channel, 0, LastSyncUser);
    }
    // Fires the last queued-file sync as the library would when the output
    // takes in the queued file, to be heard in `ms` milliseconds.
    void FireNext(uint32_t channel, uint32_t ms = 0) {
        if (LastNextProc)
            LastNextProc(NextSync - 1, channel, ms, LastNextUser);
    }

    uint32_t GetVersion() override {
        Record("GetVersion");
        return Version;
    }
    bool Init(int device, uint32_t frequency, uint32_t flags, void* window,
              const void* classId) override {
        Record("Init", device, frequency, flags, window, classId);
        LastWindow = window;
        return InitResult;
    }
    bool Free() override {
        Record("Free");
        return true;
    }
    uint32_t StreamCreateFile(bool memory, const std::string& fileName, uint64_t offset,
                              uint64_t length, uint32_t flags) override {
        Record("StreamCreateFile", memory, fileName, offset, length, Hex(flags));
        return Streams.count(fileName) ? NextHandle++ : 0;
    }
    uint32_t MusicLoad(bool memory, const std::string& fileName, uint64_t offset, uint32_t length,
                       uint32_t flags, uint32_t frequency) override {
        Record("MusicLoad", memory, fileName, offset, length, Hex(flags), frequency);
        return Musics.count(fileName) ? NextHandle++ : 0;
    }
    bool StreamFree(uint32_t handle) override {
        Record("StreamFree", handle);
        return handle != 0;
    }
    bool ChannelPlay(uint32_t handle, bool restart) override {
        Record("ChannelPlay", handle, restart);
        return handle != 0;
    }
    bool ChannelStop(uint32_t handle) override {
        Record("ChannelStop", handle);
        return handle != 0;
    }
    bool ChannelPause(uint32_t handle) override {
        Record("ChannelPause", handle);
        return handle != 0;
    }
    uint32_t ChannelIsActive(uint32_t handle) override {
        Record("ChannelIsActive", handle);
        return Activity;
    }
    bool ChannelSetAttribute(uint32_t handle, uint32_t attribute, float value) override {
        Record("ChannelSetAttribute", handle, attribute, value);
        return handle != 0;
    }
    uint32_t ChannelSetSync(uint32_t handle, uint32_t type, uint64_t parameter, TSyncProc proc,
                            void* user) override {
        Record("ChannelSetSync", handle, type, parameter, proc != nullptr, user);
        if (type == kSyncNext) {
            LastNextProc = proc;
            LastNextUser = user;
        } else {
            LastSyncProc = proc;
            LastSyncUser = user;
        }
        return NextSync++;
    }
    bool ChannelQueueNext(uint32_t handle, const std::string& fileName) override {
        Record("ChannelQueueNext", handle, fileName);
        return handle != 0 && QueueResult;
    }

    int64_t ChannelGetPosition(uint32_t handle) override {
        Record("ChannelGetPosition", handle);
        return handle != 0 ? Position : -1;
    }
    int64_t ChannelGetLength(uint32_t handle) override {
        Record("ChannelGetLength", handle);
        return handle != 0 ? Length : -1;
    }
    bool ChannelSetPosition(uint32_t handle, int64_t position) override {
        Record("ChannelSetPosition", handle, position);
        if (handle == 0 || !SeekResult)
            return false;
        Position = position;
        return true;
    }

private:
    struct HexValue {
        uint32_t Value;
    };
    static HexValue Hex(uint32_t v) { return {v}; }

    static void Put(std::ostream& out, const HexValue& v) {
        out << "0x" << std::hex << v.Value << std::dec;
    }
    static void Put(std::ostream& out, bool v) { out << (v ? 1 : 0); }
    template <typename T>
    static void Put(std::ostream& out, T* v) {
        out << (v ? "ptr" : "null");
    }
    template <typename T>
    static void Put(std::ostream& out, const T& v) {
        out << v;
    }

    template <typename... Args>
    void Record(const char* name, const Args&... args) {
        std::ostringstream out;
        out << name << '(';
        int index = 0;
        ((out << (index++ ? "," : ""), Put(out, args)), ...);
        out << ')';
        Calls.push_back(out.str());
    }
};

}  // namespace tunrax::test
