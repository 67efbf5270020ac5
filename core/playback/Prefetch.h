// Fetching the song that follows the one playing, in the background, so that
// it need not be fetched when its turn comes. One prefetch at a time, on a
// thread of its own with a source of its own (its own connection); its file
// in the private temporary folder is either whole or not there: the bytes
// go to a part file that gets the prefetch file's name only when complete.
//
// Only Start throws (std::system_error when no thread can be made); a
// prefetch that fails leaves no file and says nothing, and the song is then
// fetched the ordinary way, which reports the error if it is still there. Owned and used by one
// thread (the sequencer's); the background thread touches only what it was given.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace tunrax {

class TSource;

// The file that holds the next song once fetched whole, beside TempFileName().
// Throws tunrax::Error when there is no private temporary folder.
std::string PrefetchFileName();

class TSongPrefetch {
public:
    TSongPrefetch() = default;
    // Calls the prefetch off and deletes its file.
    ~TSongPrefetch();
    TSongPrefetch(const TSongPrefetch&) = delete;
    TSongPrefetch& operator=(const TSongPrefetch&) = delete;

    // Fetches path through source into fileName (a part file beside it until
    // whole). A prefetch under way is called off first. source is used only
    // by the background thread from now on.
    void Start(std::unique_ptr<TSource> source, const std::string& path,
               const std::string& fileName);
    // Calls the prefetch off (its transfer ends within a transfer slice), waits
    // for its thread and deletes its files. Nothing when none is under way.
    void Cancel() noexcept;
    // The song fetched or being fetched; empty when none.
    const std::string& Path() const { return FPath; }
    // The file the song goes to; empty when none.
    const std::string& FileName() const { return FFileName; }
    // Whether the song is in its file, whole.
    bool Complete() const { return FComplete.load(); }
    // When path was fetched whole, moves its file to target (which it
    // replaces) and says so; otherwise calls the prefetch off without
    // waiting for more of it, and the caller fetches the song itself.
    bool TakeInto(const std::string& path, const std::string& target) noexcept;

private:
    std::thread FThread;
    std::atomic<bool> FCancel{false};
    std::atomic<bool> FComplete{false};
    std::string FPath;
    std::string FFileName;
};

}  // namespace tunrax
