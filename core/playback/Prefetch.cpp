#include "playback/Prefetch.h"

#include <unistd.h>

#include <cstdio>
#include <utility>

#include "collection/SongFile.h"
#include "settings/TempFolder.h"
#include "sources/Source.h"
#include "sources/TransferControl.h"

namespace tunrax {

namespace {

std::string PartFileName(const std::string& fileName) {
    return fileName + ".part";
}

}  // namespace

std::string PrefetchFileName() {
    // Beside "tunrax.mp3", named so that whoever looks into the folder sees
    // what it is.
    return GetTempFolder() + "tunrax-naechstes.mp3";
}

TSongPrefetch::~TSongPrefetch() {
    Cancel();
}

void TSongPrefetch::Start(std::unique_ptr<TSource> source, const std::string& path,
                          const std::string& fileName) {
    Cancel();
    FThread = std::thread([this, source = std::move(source), path, fileName] {
        // The cancel flag reaches every transfer of this thread; the window's
        // wait hook does not run here.
        TTransferCancelScope scope(FCancel);
        const std::string part = PartFileName(fileName);
        try {
            FetchSong(*source, path, part);
        } catch (...) {
            // FetchSong leaves no file; the song is fetched again when due.
            return;
        }
        if (!FCancel.load() && ::rename(part.c_str(), fileName.c_str()) == 0)
            FComplete.store(true);
        else
            ::unlink(part.c_str());
    });
    FPath = path;
    FFileName = fileName;
}

void TSongPrefetch::Cancel() noexcept {
    if (FThread.joinable()) {
        FCancel.store(true);
        FThread.join();
    }
    if (!FFileName.empty()) {
        ::unlink(PartFileName(FFileName).c_str());
        ::unlink(FFileName.c_str());
    }
    FCancel.store(false);
    FComplete.store(false);
    FPath.clear();
    FFileName.clear();
}

bool TSongPrefetch::TakeInto(const std::string& path, const std::string& target) noexcept {
    const bool usable = !FPath.empty() && FPath == path && FComplete.load();
    if (usable) {
        // The thread has finished once the file is complete.
        FThread.join();
        const bool moved = ::rename(FFileName.c_str(), target.c_str()) == 0;
        Cancel();
        return moved;
    }
    Cancel();
    return false;
}

}  // namespace tunrax
