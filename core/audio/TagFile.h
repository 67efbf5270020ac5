// A file opened read-only for one tag reading: the descriptor is closed when
// the object goes, so no path of a reader leaves the file open. Only regular
// files are read; a folder, a pipe or a device counts as unreadable (a pipe
// would otherwise block the reader). Never throws.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "io/FileDescriptor.h"

namespace tunrax {

class TTagFile {
public:
    explicit TTagFile(const char* fileName) {
        struct stat st;
        try {
            FFile = TFileDescriptor::OpenRegularForReading(fileName, -1, &st);
            FSize = st.st_size;
        } catch (const Error&) {
            // unreadable: IsOpen() says so
        }
    }

    bool IsOpen() const { return FFile.IsOpen(); }
    int64_t Size() const { return FSize; }

    // Reads up to count bytes at offset; the number read, -1 on a read error.
    // Fewer than count only at the end of the file.
    int64_t ReadAt(int64_t offset, void* buffer, size_t count) const {
        size_t done = 0;
        while (done < count) {
            const ssize_t n = ::pread(FFile.Get(), static_cast<char*>(buffer) + done, count - done,
                                      static_cast<off_t>(offset + static_cast<int64_t>(done)));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return -1;
            if (n == 0)
                break;
            done += static_cast<size_t>(n);
        }
        return static_cast<int64_t>(done);
    }

private:
    TFileDescriptor FFile;
    int64_t FSize = 0;
};

}  // namespace tunrax
