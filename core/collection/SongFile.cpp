#include "collection/SongFile.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ostream>

#include "io/Error.h"
#include "io/FdOutBuf.h"
#include "io/FileDescriptor.h"
#include "sources/Source.h"
#include "sources/TransferControl.h"

namespace tunrax {

namespace {

constexpr uint64_t kMaxSongBytes = uint64_t{2} << 30;
constexpr uint64_t kFreeMargin = uint64_t{64} << 20;

}  // namespace

uint64_t SongSizeLimit(const std::string& folder) {
    struct statvfs fs;
    if (::statvfs(folder.c_str(), &fs) != 0)
        return kMaxSongBytes;
    const uint64_t free = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
    return std::min(kMaxSongBytes, free > kFreeMargin ? free - kFreeMargin : 0);
}

void FetchSong(TSource& source, const std::string& songPath, const std::string& fileName) {
    const size_t slash = fileName.rfind('/');
    FetchSong(source, songPath, fileName,
              SongSizeLimit(slash == std::string::npos ? "." : fileName.substr(0, slash + 1)));
}

void FetchSong(TSource& source, const std::string& songPath, const std::string& fileName,
               uint64_t maxBytes) {
    TFileDescriptor file =
        WithErrorContext("Datei \"" + fileName + "\" kann nicht erstellt werden. ", [&] {
            return TFileDescriptor::Open(fileName, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0600);
        });
    auto writeError = [&](int errorNumber) {
        return SystemError(errorNumber,
                           "Datei \"" + fileName + "\" kann nicht geschrieben werden: ");
    };
    int failure = 0;
    TFdOutBuf buffer(file);
    buffer.SetLimit(maxBytes);
    const auto tooLarge = [&] {
        return Error("Das Lied \"" + songPath + "\" ist größer als " + AmountText(maxBytes) +
                     "; es wird nicht geladen.");
    };
    try {
        std::ostream out(&buffer);
        source.GetFile(out, songPath);
        failure = buffer.Finish(out);
    } catch (...) {
        file = TFileDescriptor();
        ::unlink(fileName.c_str());
        // The source ends when the song can be written no further; why is
        // the bound's to say.
        if (buffer.Failure() == EFBIG)
            throw tooLarge();
        throw;
    }
    if (failure == EFBIG) {
        file = TFileDescriptor();
        ::unlink(fileName.c_str());
        throw tooLarge();
    }
    if (failure == 0) {
        // A failed close is a delayed write error.
        try {
            file.Close();
        } catch (const SystemError& e) {
            failure = e.Code();
        }
    }
    if (failure != 0) {
        file = TFileDescriptor();
        ::unlink(fileName.c_str());
        throw writeError(failure);
    }
}

}  // namespace tunrax
