#include "collection/copy_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <ostream>
#include <random>
#include <streambuf>
#include <unordered_set>

#include "collection/favorites.h"
#include "collection/songlist.h"
#include "settings/Error.h"
#include "settings/vel_tools.h"
#include "sources/transfer.h"

namespace tunrax {

namespace {

// Songs are written in blocks of 64 to 128 KB: far fewer system calls than
// the stream's default, while blocks of 1 MB made writing 2.5 GB three times
// slower under the kernel's dirty-page throttling. Blocks the source hands
// over that are at least kDirectWrite long go to the file without a copy.
constexpr size_t kBufferSize = 128 << 10;
constexpr std::streamsize kDirectWrite = 64 << 10;

// An output buffer straight over a file descriptor that remembers the first
// write error, so that the message can say why rather than only that.
class FdOutBuf : public std::streambuf {
public:
    explicit FdOutBuf(int fd) : FFd(fd), FBuffer(new char[kBufferSize]) {
        setp(FBuffer.get(), FBuffer.get() + kBufferSize);
    }
    int Failure() const { return FFailure; }

protected:
    int_type overflow(int_type c) override {
        if (!Drain())
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    std::streamsize xsputn(const char* data, std::streamsize count) override {
        if (count >= kDirectWrite) {
            if (!Drain() || !WriteAll(data, static_cast<size_t>(count)))
                return 0;
            return count;
        }
        if (count > epptr() - pptr() && !Drain())
            return 0;
        std::memcpy(pptr(), data, static_cast<size_t>(count));
        pbump(static_cast<int>(count));
        return count;
    }

    int sync() override { return Drain() ? 0 : -1; }

private:
    bool Drain() {
        bool written = WriteAll(pbase(), static_cast<size_t>(pptr() - pbase()));
        setp(FBuffer.get(), FBuffer.get() + kBufferSize);
        return written;
    }

    bool WriteAll(const char* data, size_t size) {
        if (FFailure)
            return false;
        while (size > 0) {
            ssize_t n = ::write(FFd, data, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                FFailure = n < 0 ? errno : EIO;
                return false;
            }
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }

    int FFd;
    std::unique_ptr<char[]> FBuffer;
    int FFailure = 0;
};

// A new file of a random hidden name in a folder; removed when the object goes
// unless Keep() was called.
class TempFile {
public:
    // 0 in Failure() when the file was made.
    explicit TempFile(const std::string& folder) {
        static thread_local std::mt19937_64 random{std::random_device{}() ^
                                                   static_cast<uint64_t>(::getpid())};
        for (int attempt = 0; attempt < 100; ++attempt) {
            char name[32];
            std::snprintf(name, sizeof name, ".tunrax-%012llx",
                          static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
            FPath = folder + name;
            // 0666: the new song gets the user's usual mode through the umask.
            FFd = ::open(FPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (FFd >= 0 || errno != EEXIST)
                break;
        }
        if (FFd < 0)
            FFailure = errno;
    }
    ~TempFile() {
        if (FFd >= 0)
            ::close(FFd);
        if (FFailure == 0 && !FKept)
            ::unlink(FPath.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int Failure() const { return FFailure; }
    int Fd() const { return FFd; }
    const std::string& Path() const { return FPath; }
    // Closes the file; 0 or the errno of a failed close (a delayed write
    // error on some file systems).
    int Close() {
        int result = ::close(FFd) == 0 ? 0 : errno;
        FFd = -1;
        return result;
    }
    void Keep() { FKept = true; }

private:
    std::string FPath;
    int FFd = -1;
    int FFailure = 0;
    bool FKept = false;
};

std::string WithSlash(const std::string& folder) {
    return !folder.empty() && folder.back() == '/' ? folder : folder + '/';
}

// The folder part of a native path, ending in "/" (empty for a bare name).
std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Makes folder and its missing parents; 0 or an errno.
int MakeFolders(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) == 0)
        return path.empty() || S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    for (size_t end = 1; end <= path.size(); ++end) {
        if (end < path.size() && path[end] != '/')
            continue;
        if (path[end - 1] == '/')
            continue;
        std::string prefix = path.substr(0, end);
        if (::mkdir(prefix.c_str(), 0777) == 0)
            continue;
        int failure = errno;
        if (::stat(prefix.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return ENOTDIR;
            continue;
        }
        return failure;
    }
    return 0;
}

// Why a name could not be made in the target folder. Players mostly use FAT,
// which refuses names with " * : < > ? | that a Linux collection may have.
std::string NameErrorText(int error) {
    return error == EINVAL ? "Der Name ist auf diesem Datenträger nicht erlaubt"
                           : SystemErrorText(error);
}

// The form of a song path that the case-insensitive comparison sees: "\" as
// the only separator, none doubled.
std::string SongKey(const std::string& songPath) {
    std::string path;
    path.reserve(songPath.size());
    for (char c : songPath) {
        if (c == '/')
            c = '\\';
        if (c == '\\' && !path.empty() && path.back() == '\\')
            continue;
        path += c;
    }
    return FavoriteKey(path);
}

// Result of a move that did not fail.
enum class Moved { Yes, TargetExists };

// 0 with the result in moved, or an errno.
int MoveNoReplace(const std::string& temp, const std::string& target, MoveMethod first,
                  Moved& moved) {
    moved = Moved::Yes;
    if (first == MoveMethod::RenameNoReplace) {
        if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
            return 0;
        if (errno == EEXIST) {
            moved = Moved::TargetExists;
            return 0;
        }
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return errno;
    }
    // A file system without the flag: a hard link cannot replace either.
    if (first != MoveMethod::CheckThenRename) {
        if (::link(temp.c_str(), target.c_str()) == 0) {
            ::unlink(temp.c_str());
            return 0;
        }
        if (errno == EEXIST) {
            moved = Moved::TargetExists;
            return 0;
        }
    }
    // vfat and exfat have no hard links: check, then rename. Only a file that
    // appears in between could be replaced.
    struct stat st;
    if (::lstat(target.c_str(), &st) == 0) {
        moved = Moved::TargetExists;
        return 0;
    }
    return ::rename(temp.c_str(), target.c_str()) == 0 ? 0 : errno;
}

}  // namespace

std::string FlatTargetName(const std::string& songPath, int number) {
    // "/" cannot be part of a Linux file name, so it ends the folder part too.
    size_t separator = songPath.find_last_of("\\/");
    const std::string name = WithoutTrackNumber(
        separator == std::string::npos ? songPath : songPath.substr(separator + 1));

    std::string prefix = std::to_string(number);
    if (prefix.size() < 3)
        prefix.insert(0, 3 - prefix.size(), '0');
    return prefix + "-" + name;
}

std::string CopyTargetFile(const std::string& targetDir, const std::string& songPath, int number,
                           bool keepFolders) {
    auto refuse = [&](const char* why) {
        return Error("Das Lied \"" + songPath + "\" kann nicht kopiert werden: " + why);
    };
    if (targetDir.empty())
        throw refuse("Es ist kein Zielverzeichnis gewählt");
    if (songPath.find('\0') != std::string::npos)
        throw refuse("Der Pfad enthält ein Nullzeichen");
    const std::string folder = WithSlash(targetDir);
    if (!keepFolders)
        return folder + FlatTargetName(songPath, number);

    // The song path below the target folder: no component may climb out of
    // it, and the last one must name a file.
    const std::string relative = CollapseSeparators(songPath);
    size_t start = 0;
    std::string component;
    for (;;) {
        size_t end = relative.find('/', start);
        component = relative.substr(start, end == std::string::npos ? end : end - start);
        if (component == "..")
            throw refuse("Der Pfad führt aus dem Zielverzeichnis heraus");
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    if (component.empty() || component == ".")
        throw refuse("Der Pfad nennt keine Datei");

    std::string target = CollapseSeparators(folder + songPath);
    const std::string collapsedFolder = CollapseSeparators(folder);
    if (target.compare(0, collapsedFolder.size(), collapsedFolder) != 0 ||
        target.size() <= collapsedFolder.size())
        throw refuse("Der Pfad führt aus dem Zielverzeichnis heraus");
    return target;
}

std::string PrepareTargetFolder(const std::string& dirText, bool useListName,
                                const std::string& listName) {
    bool blank = true;
    for (char c : dirText)
        blank = blank && static_cast<unsigned char>(c) <= ' ';
    if (blank)
        throw Error("Bitte ein Verzeichnis wählen");

    std::string folder = NormalizeFolder(dirText);
    if (useListName) {
        // MakeValidFileName leaves "." and "..", which would name the folder
        // itself or its parent (where clearing would then delete songs).
        std::string name = MakeValidFileName(listName);
        if (name == "." || name == "..")
            name.assign(name.size(), '_');
        if (!name.empty())
            folder = NormalizeFolder(folder + name);
    }
    if (folder.find('\0') != std::string::npos || MakeFolders(folder) != 0)
        throw Error("ungültiges Verzeichnis");
    return folder;
}

std::string SizeMBText(int64_t kiloBytes) {
    if (kiloBytes <= 0)
        return "???";
    // kiloBytes / 1024 + 1 in whole units and 1024ths; a half goes to even.
    int64_t units = kiloBytes / 1024 + 1;
    int64_t rest = kiloBytes % 1024;
    if (rest > 512 || (rest == 512 && units % 2 != 0))
        ++units;
    return std::to_string(units);
}

void ClearTargetFolder(const std::string& targetDir, const std::vector<std::string>& songs,
                       bool keepFolders) {
    const std::string folder = WithSlash(targetDir);
    std::vector<std::string> files;
    FindFiles(files, folder, "*.mp3", false, keepFolders);
    if (!keepFolders) {
        for (const std::string& name : files)
            ::unlink((folder + name).c_str());
        return;
    }

    std::unordered_set<std::string> listed;
    listed.reserve(songs.size());
    for (const std::string& song : songs)
        listed.insert(SongKey(song));
    for (const std::string& relative : files) {
        if (listed.count(SongKey("\\" + relative)) != 0)
            continue;
        std::string path = folder + relative;
        for (size_t i = folder.size(); i < path.size(); ++i)
            if (path[i] == '\\')
                path[i] = '/';
        ::unlink(path.c_str());
        RemoveEmptyFolders(FolderOf(path), folder);
    }
}

bool CopySong(TCustomTransfer& source, const std::string& songPath, const std::string& targetFile) {
    auto failure = [&](const std::string& why) {
        return Error("Das Lied \"" + songPath + "\" kann nicht nach \"" + targetFile +
                     "\" kopiert werden: " + why);
    };
    struct stat st;
    if (::lstat(targetFile.c_str(), &st) == 0)
        return false;
    const std::string folder = FolderOf(targetFile);
    if (int made = MakeFolders(folder))
        throw failure(NameErrorText(made));

    TempFile temp(folder);
    if (temp.Failure())
        throw failure(SystemErrorText(temp.Failure()));
    std::string problem;
    bool direct = false;
    try {
        direct = source.GetFileToDescriptor(temp.Fd(), songPath);
    } catch (const std::exception& e) {
        problem = e.what();
    }
    if (!direct && problem.empty()) {
        FdOutBuf buffer(temp.Fd());
        try {
            std::ostream out(&buffer);
            source.GetFile(out, songPath);
            out.flush();
            if (buffer.Failure() || !out)
                problem = SystemErrorText(buffer.Failure() ? buffer.Failure() : EIO);
        } catch (const std::exception& e) {
            // A write error surfaces from the source as "target full?": the
            // errno says what really happened.
            problem = buffer.Failure() ? SystemErrorText(buffer.Failure()) : e.what();
        } catch (...) {
            problem = "Unbekannter Fehler bei der Übertragung";
        }
    }
    if (problem.empty()) {
        if (int closed = temp.Close())
            problem = SystemErrorText(closed);
    }
    if (!problem.empty())
        throw failure(problem);

    Moved moved;
    if (int error = MoveNoReplace(temp.Path(), targetFile, MoveMethod::RenameNoReplace, moved))
        throw failure(NameErrorText(error));
    if (moved == Moved::TargetExists)
        return false;
    temp.Keep();
    return true;
}

void SyncTargetFolder(const std::string& targetDir) {
    int fd = ::open(targetDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int error = fd < 0 ? errno : 0;
    if (fd >= 0 && ::syncfs(fd) != 0)
        error = errno;
    if (fd >= 0)
        ::close(fd);
    if (error)
        throw Error("Die kopierten Lieder können nicht vollständig nach \"" + targetDir +
                    "\" geschrieben werden: " + SystemErrorText(error));
}

bool MoveWithoutReplacing(const std::string& temp, const std::string& target, MoveMethod first) {
    Moved moved;
    if (int error = MoveNoReplace(temp, target, first, moved))
        throw Error("Die Datei \"" + temp + "\" kann nicht in \"" + target +
                    "\" umbenannt werden: " + NameErrorText(error));
    return moved == Moved::Yes;
}

}  // namespace tunrax
