// The local (or mounted network) folder source. Root is the "Verzeichnis"
// setting made a folder; every capability is set.
#pragma once

#include <sys/types.h>

#include <utility>
#include <vector>

#include "sources/Source.h"

namespace tunrax {

class TLocalSource : public TSource {
public:
    // A source for the folder root as it is given (no blanks trimmed, "/"
    // appended when missing); the settings' folder is trimmed by
    // NormalizeFolder before (CreateSource).
    TLocalSource(bool alternative, const std::string& root);

    // "\" becomes "/", and runs of "/" collapse to one.
    std::string NormalizePath(const std::string& path) const override;
    void GetFile(std::ostream& dest, const std::string& path) override;
    // Regular files go to fd through sendfile, without a copy in memory.
    bool GetFileToDescriptor(TBorrowedFd fd, const std::string& path) override;
    // Replaces the file atomically (a symbolic link's target, the link
    // stays); the folder must exist, and a file that may not be written is
    // refused. A new file gets 0666 less the umask.
    void PutFile(std::istream& src, const std::string& path) override;
    void ListFiles(std::vector<std::string>& list, const std::string& folder) override;
    // Sub-folders, linked ones included, except hidden ones and links that
    // lead back to a folder on the way from Root down to this one. Within a
    // scan (BeginScan) also each real folder once only, and never a link to
    // a folder that holds Root (such as "/") or into the kernel's own file
    // systems (/proc, /sys, /dev), which would make a scan endless.
    void ListFolders(std::vector<std::string>& list, const std::string& folder,
                     TScanContext* scan) override;
    std::unique_ptr<TScanContext> BeginScan() override;
    int64_t GetSizeKB(const std::vector<std::string>& files) override;
    std::unique_ptr<TSource> CloneForBackground() const override;
    // Throws tunrax::Error when Root is no folder (a drive not mounted, a
    // folder gone): a missing collection is never scanned or written to.
    void Connect() override;

private:
    std::string FullPath(const std::string& path) const;
    std::vector<std::pair<dev_t, ino_t>> FolderChain(const std::string& folder) const;
};

}  // namespace tunrax
