#include "io/FolderBelow.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "io/Error.h"

namespace tunrax {

TFileDescriptor OpenSubfolder(TBorrowedFd parent, const std::string& name, bool make) {
    const int parentFd = parent.Get();
    // ".." would climb out; an empty name or "/" in it is no single folder.
    if (name == "..")
        throw SystemError(ELOOP);
    if (name.empty() || name.find('/') != std::string::npos)
        throw SystemError(EINVAL);
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(parentFd, name.c_str(), kFlags);
    if (fd < 0 && errno == ENOENT && make) {
        if (::mkdirat(parentFd, name.c_str(), 0777) != 0 && errno != EEXIST)
            throw SystemError(errno);
        // Whatever has the name now is opened as above: a link put there
        // since the mkdirat is refused as well.
        fd = ::openat(parentFd, name.c_str(), kFlags);
    }
    if (fd < 0)
        throw SystemError(errno);
    return TFileDescriptor(fd);
}

TFileDescriptor OpenFolderBelow(TBorrowedFd root, const std::string& relative, bool make) {
    const int rootFd = root.Get();
    TFileDescriptor folder;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find('/', start);
        if (end == std::string::npos)
            end = relative.size();
        const std::string name = relative.substr(start, end - start);
        if (!name.empty() && name != ".")
            folder =
                OpenSubfolder(TBorrowedFd(folder.IsOpen() ? folder.Get() : rootFd), name, make);
        start = end + 1;
    }
    if (!folder.IsOpen()) {
        const int fd = ::fcntl(rootFd, F_DUPFD_CLOEXEC, 0);
        if (fd < 0)
            throw SystemError(errno);
        folder = TFileDescriptor(fd);
    }
    return folder;
}

bool LeadsOutOfRoot(int error) {
    return error == ELOOP || error == ENOTDIR;
}

}  // namespace tunrax
