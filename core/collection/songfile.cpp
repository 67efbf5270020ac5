#include "collection/songfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <ostream>

#include "io/Error.h"
#include "io/FdOutBuf.h"
#include "io/FileDescriptor.h"
#include "sources/transfer.h"

namespace tunrax {

void FetchSong(TCustomTransfer& source, const std::string& songPath, const std::string& fileName) {
    TFileDescriptor file =
        WithErrorContext("Datei \"" + fileName + "\" kann nicht erstellt werden. ", [&] {
            return TFileDescriptor::Open(fileName, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0600);
        });
    auto writeError = [&](int errorNumber) {
        return SystemError(errorNumber,
                           "Datei \"" + fileName + "\" kann nicht geschrieben werden: ");
    };
    int failure = 0;
    try {
        TFdOutBuf buffer(file.Get());
        std::ostream out(&buffer);
        source.GetFile(out, songPath);
        failure = buffer.Finish(out);
    } catch (...) {
        file = TFileDescriptor();
        ::unlink(fileName.c_str());
        throw;
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
