#include "sources/LocalSource.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <istream>
#include <ostream>
#include <set>

#include "io/AtomicOutputFile.h"
#include "io/Error.h"
#include "io/FileDescriptor.h"
#include "io/FileTools.h"
#include "settings/IniFile.h"
#include "settings/UserFolders.h"
#include "sources/TransferControl.h"

namespace tunrax {

namespace {

// What a failure of the file is about; the reason follows.
std::string ReadContext(const std::string& path) {
    return "Datei \"" + path + "\" kann nicht gelesen werden: ";
}

std::string WriteContext(const std::string& path) {
    return "Datei \"" + path + "\" kann nicht geschrieben werden: ";
}

// A local copy moves as fast as the disk does: no pace bound, but it can be
// called off and lets the window repaint.
TTransferWatch LocalWatch(const std::string& full) {
    TPaceLimits unbounded;
    unbounded.minBytes = 0;
    return TTransferWatch("\"" + full + "\"", unbounded);
}

// Opens a song or a catalogue for reading; throws for a missing file, a
// folder and anything but a regular file (a FIFO or a device).
TFileDescriptor OpenSong(const std::string& full, struct stat& st) {
    return WithErrorContext(ReadContext(full),
                            [&] { return TFileDescriptor::OpenRegularForReading(full, -1, &st); });
}

}  // namespace

TLocalSource::TLocalSource(bool alternative, const std::string& root) : TSource(alternative) {
    Root = root.empty() || root.back() != '/' ? root + "/" : root;
    Capabilities = CanCopy | CanRebuild | CanStoreCatalogue;
}

void TLocalSource::Connect() {
    struct stat st;
    if (::stat(Root.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return;
    std::string shown = Root;
    if (shown.size() > 1)
        shown.pop_back();
    throw Error("Sammlung nicht gefunden: " + shown + " – ist das Laufwerk eingehängt?");
}

std::string TLocalSource::NormalizePath(const std::string& path) const {
    return CollapseSeparators(path);
}

std::string TLocalSource::FullPath(const std::string& path) const {
    return NormalizePath(Root + path);
}

void TLocalSource::GetFile(std::ostream& dest, const std::string& path) {
    std::string full = FullPath(path);
    struct stat st;
    const TFileDescriptor fd = OpenSong(full, st);
    // The size at the moment of opening: a file that grows while it is read
    // is taken as it was.
    off_t remaining = st.st_size;
    TTransferWatch watch = LocalWatch(full);
    char buffer[1 << 16];
    while (remaining > 0) {
        watch.Check();
        size_t want = sizeof buffer;
        if (static_cast<off_t>(want) > remaining)
            want = static_cast<size_t>(remaining);
        ssize_t n = ::read(fd.Get(), buffer, want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw SystemError(errno, ReadContext(full));
        if (n == 0)
            break;
        dest.write(buffer, n);
        if (!dest)
            throw Error("Datei \"" + full +
                        "\" kann nicht übertragen werden: Das Ziel "
                        "nimmt keine Daten mehr an (Datenträger voll?)");
        remaining -= n;
    }
}

std::unique_ptr<TSource> TLocalSource::CloneForBackground() const {
    auto clone = std::unique_ptr<TLocalSource>(new TLocalSource(*this));
    clone->ProgressBar = nullptr;
    return clone;
}

bool TLocalSource::GetFileToDescriptor(TBorrowedFd out, const std::string& path) {
    std::string full = FullPath(path);
    struct stat st;
    const TFileDescriptor fd = OpenSong(full, st);
    // As GetFile: the size at the moment of opening.
    off_t remaining = st.st_size;
    bool started = false;
    TTransferWatch watch = LocalWatch(full);
    while (remaining > 0) {
        watch.Check();
        // In pieces small enough for a slow stick to take in a moment.
        ssize_t n = ::sendfile(out.Get(), fd.Get(), nullptr,
                               static_cast<size_t>(std::min<off_t>(remaining, 4 << 20)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && !started && (errno == EINVAL || errno == ENOSYS))
            return false;  // a target sendfile cannot write to
        if (n < 0)
            throw SystemError(errno, "Datei \"" + full + "\" kann nicht übertragen werden: ");
        if (n == 0)
            break;  // the file became shorter meanwhile
        started = true;
        remaining -= n;
    }
    return true;
}

void TLocalSource::PutFile(std::istream& src, const std::string& path) {
    std::string full = FullPath(path);
    // A file that may not be written is refused, even though the folder
    // would let it be replaced.
    struct stat st;
    bool exists = ::stat(full.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        throw SystemError(EISDIR, WriteContext(full));
    if (exists && ::access(full.c_str(), W_OK) != 0)
        throw SystemError(errno, WriteContext(full));

    // Written beside the file (a link's target) and renamed over it, so that
    // a full disk or a crash leaves the old file, never a torn one.
    RewindForPut(src, WriteContext(full));
    WithErrorContext(WriteContext(full), [&] {
        TAtomicOptions options;
        options.newFileMode = 0666;
        TAtomicOutputFile file(full, options);
        TTransferWatch watch = LocalWatch(full);
        char buffer[1 << 16];
        while (src) {
            watch.Check();
            src.read(buffer, sizeof buffer);
            file.Write(buffer, static_cast<size_t>(src.gcount()));
        }
        // A stream that fails while it is read leaves the old file.
        if (src.bad())
            throw SystemError(EIO);
        file.Commit();
    });
}

void TLocalSource::ListFiles(std::vector<std::string>& list, const std::string& folder) {
    FindFiles(list, FullPath(folder), "*.mp3", false, false);
    // A song whose name holds a line break would come back from a favourite
    // list as broken entries, so it is not listed at all.
    std::erase_if(list, [](const std::string& name) { return !IsListableName(name); });
}

namespace {

using TFolderId = std::pair<dev_t, ino_t>;

// What one scan of the folder tree has seen.
class TFolderScan : public TScanContext {
public:
    explicit TFolderScan(const std::string& root) {
        // The root and every folder above it, up to "/": a link to one of
        // them leads out of the collection and back round it for ever.
        char* real = ::realpath(root.c_str(), nullptr);
        std::string path = real ? real : root;
        std::free(real);
        for (;;) {
            struct stat st;
            if (::stat(path.c_str(), &st) == 0) {
                Holding.insert({st.st_dev, st.st_ino});
                if (path == "/")
                    Visited.insert({st.st_dev, st.st_ino});
            }
            if (path.empty() || path == "/")
                break;
            const size_t slash = path.find_last_of('/', path.size() - 1);
            path = slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
        }
    }
    std::set<TFolderId> Holding;  // the root and the folders that hold it
    std::set<TFolderId> Visited;  // the folders listed so far
};

// The kernel's own file systems hold links that lead round and round and
// folders without end: no music lies there.
bool OnKernelFileSystem(int dirFd, const char* name) {
    const int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return true;
    struct statfs fs;
    const bool ok = ::fstatfs(fd, &fs) == 0;
    ::close(fd);
    if (!ok)
        return true;
    switch (static_cast<unsigned long>(fs.f_type)) {
        case PROC_SUPER_MAGIC:
        case SYSFS_MAGIC:
        case DEBUGFS_MAGIC:
        case TRACEFS_MAGIC:
        case CGROUP_SUPER_MAGIC:
        case CGROUP2_SUPER_MAGIC:
        case DEVPTS_SUPER_MAGIC:
        case SECURITYFS_MAGIC:
        case BPF_FS_MAGIC: return true;
        default: return false;
    }
}

}  // namespace

std::unique_ptr<TScanContext> TLocalSource::BeginScan() {
    return std::make_unique<TFolderScan>(NormalizePath(Root));
}

void TLocalSource::ListFolders(std::vector<std::string>& list, const std::string& folder,
                               TScanContext* context) {
    list.clear();
    auto* scan = dynamic_cast<TFolderScan*>(context);
    std::string full = NormalizeFolder(FullPath(folder));
    DIR* dir = ::opendir(full.c_str());
    if (!dir)
        return;
    std::vector<std::pair<dev_t, ino_t>> chain;
    bool chainKnown = false;
    std::vector<std::pair<std::string, TFolderId>> linked;
    while (dirent* entry = ::readdir(dir)) {
        // Hidden (dot) folders stay out, as "." and ".." do; so do names with
        // a line break, which the catalogue file could not carry.
        if (entry->d_name[0] == '.' || !IsListableName(entry->d_name))
            continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat st;
            isFolder = ::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
            // Linked album folders belong to the collection, but a link back
            // to a folder on the way down would make a scan endless.
            if (isFolder && entry->d_type == DT_LNK) {
                if (!chainKnown) {
                    chain = FolderChain(folder);
                    chainKnown = true;
                }
                for (const auto& id : chain)
                    if (id.first == st.st_dev && id.second == st.st_ino)
                        isFolder = false;
            }
        }
        if (isFolder && scan) {
            struct stat st;
            if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) != 0)
                continue;
            const TFolderId id{st.st_dev, st.st_ino};
            if (entry->d_type != DT_DIR &&
                (scan->Holding.count(id) != 0 || OnKernelFileSystem(::dirfd(dir), entry->d_name)))
                continue;
            // Real folders first within a folder, so that a link to one of
            // them is the one left out.
            if (entry->d_type == DT_DIR) {
                if (!scan->Visited.insert(id).second)
                    continue;
            } else {
                linked.emplace_back(entry->d_name, id);
                continue;
            }
        }
        if (isFolder)
            list.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    if (scan)
        for (auto& [name, id] : linked)
            if (scan->Visited.insert(id).second)
                list.push_back(std::move(name));
}

std::vector<std::pair<dev_t, ino_t>> TLocalSource::FolderChain(const std::string& folder) const {
    // Device and inode of the root and of every folder on the path below it.
    std::vector<std::pair<dev_t, ino_t>> chain;
    std::string path = NormalizePath(Root);
    auto add = [&](const std::string& p) {
        struct stat st;
        if (::stat(p.c_str(), &st) == 0)
            chain.emplace_back(st.st_dev, st.st_ino);
    };
    add(path);
    std::string rest = NormalizePath(folder);
    size_t pos = 0;
    while (pos < rest.size()) {
        size_t slash = rest.find('/', pos);
        if (slash == std::string::npos)
            slash = rest.size();
        if (slash > pos) {
            if (path.empty() || path.back() != '/')
                path += '/';
            path += rest.substr(pos, slash - pos);
            add(path);
        }
        pos = slash + 1;
    }
    return chain;
}

int64_t TLocalSource::GetSizeKB(const std::vector<std::string>& files) {
    // Full 64-bit sizes: a file past 2 GiB must not make the sum negative.
    int64_t sum = 0;
    for (const std::string& file : files)
        sum += FileSize64(FullPath(file)) / 1024 + 1;
    return sum;
}

}  // namespace tunrax
