#include "io/AtomicOutputFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <random>
#include <string_view>
#include <utility>

#include "io/Error.h"

namespace tunrax {

namespace {

// The file a chain of symbolic links ends at (it need not exist yet), or
// fileName itself when it is no link.
std::string FinalTarget(const std::string& fileName) {
    std::string target = fileName;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return target;
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(target.c_str(), buffer, sizeof buffer);
        if (n < 0)
            throw SystemError(errno);
        if (static_cast<size_t>(n) == sizeof buffer)
            throw SystemError(ENAMETOOLONG);
        std::string next(buffer, static_cast<size_t>(n));
        if (next.empty() || next[0] != '/') {
            // Relative to the folder that holds the link.
            const size_t slash = target.rfind('/');
            next.insert(0,
                        slash == std::string::npos ? std::string() : target.substr(0, slash + 1));
        }
        target = std::move(next);
    }
    throw SystemError(ELOOP);
}

// Every temporary file of ours carries this mark, so that a leftover of a
// killed writer can be told from the user's own files.
constexpr std::string_view kTempMark = ".tunrax-tmp-";
constexpr size_t kRandomLength = 6;
// A writer changes its file at least every few seconds (a transfer that
// stalls for 30 s ends), so an older one has lost its writer.
constexpr time_t kLeftoverAge = 60;

bool IsRandomTail(std::string_view text) {
    if (text.size() != kRandomLength)
        return false;
    for (char c : text)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

// The start of the short hidden form for a file named baseName: the name
// itself may not fit, so it is represented by its 32-bit FNV-1a hash.
std::string ShortTempPrefix(std::string_view baseName) {
    uint32_t hash = 2166136261u;
    for (char c : baseName) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08x-", static_cast<unsigned>(hash));
    return std::string(kTempMark) + hex;
}

std::string LongTempPrefix(std::string_view baseName) {
    return std::string(baseName) + std::string(kTempMark);
}

// Splits path into its folder (with "/"; empty for none) and its last name.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {std::string(), path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// Removes the temporary files that writers of baseName in folderFd left when
// they were killed: regular files of exactly our names for it, older than
// kLeftoverAge. Younger ones may belong to a writer still running. Failures
// are ignored; the write that follows reports what is wrong with the folder.
void RemoveLeftovers(int folderFd, const std::string& baseName) {
    const std::string longPrefix = LongTempPrefix(baseName);
    const std::string shortPrefix = ShortTempPrefix(baseName);
    const int fd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        const bool ours =
            (name.starts_with(longPrefix) && IsRandomTail(name.substr(longPrefix.size()))) ||
            (name.starts_with(shortPrefix) && IsRandomTail(name.substr(shortPrefix.size())));
        if (!ours || (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN))
            continue;
        struct stat st;
        if (::fstatat(folderFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode) || now - st.st_mtime <= kLeftoverAge)
            continue;
        ::unlinkat(folderFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

// A new file of a random name for baseName in folderFd, with mode less the
// umask as for any new file: "<baseName>.tunrax-tmp-XXXXXX", or the short
// hidden form where asked or where the long name does not fit.
TFileDescriptor MakeTempFile(int folderFd, const std::string& baseName,
                             const TAtomicOptions& options, std::string& temp) {
    static thread_local std::mt19937_64 random{std::random_device{}() ^
                                               static_cast<uint64_t>(::getpid())};
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    bool hidden =
        options.hiddenTemp || baseName.size() + kTempMark.size() + kRandomLength > NAME_MAX;
    int failure = EEXIST;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = hidden ? ShortTempPrefix(baseName) : LongTempPrefix(baseName);
        for (size_t i = 0; i < kRandomLength; ++i)
            temp += kLetters[random() % (sizeof kLetters - 1)];
        const int fd = ::openat(folderFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                                options.newFileMode);
        if (fd >= 0)
            return TFileDescriptor(fd);
        failure = errno;
        // A file system with shorter names than usual (eCryptfs: 143).
        if (failure == ENAMETOOLONG && !hidden)
            hidden = true;
        else if (failure != EEXIST)
            break;
    }
    throw SystemError(failure);
}

}  // namespace

TAtomicOutputFile::TAtomicOutputFile(const std::string& target, const TAtomicOptions& options)
    : FOptions(options), FFinal(options.replace ? FinalTarget(target) : target) {
    const auto [folder, name] = SplitPath(FFinal);
    FName = name;
    // The folder is opened once (following links, as a path would): the
    // file's temporary and final names are then both in the same one.
    FFolder = TFileDescriptor::Open(folder.empty() ? "." : folder, O_PATH | O_DIRECTORY);
    Begin(folder, 0);
}

TAtomicOutputFile::TAtomicOutputFile(TBorrowedFd folder, const std::string& name,
                                     const std::string& path, const TAtomicOptions& options)
    : FOptions(options), FFinal(path), FName(name) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        throw SystemError(EINVAL);
    const int fd = ::fcntl(folder.Get(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        throw SystemError(errno);
    FFolder = TFileDescriptor(fd);
    Begin(SplitPath(path).first, AT_SYMLINK_NOFOLLOW);
}

void TAtomicOutputFile::Begin(const std::string& shownFolder, int statFlags) {
    struct stat st;
    if (FOptions.replace && ::fstatat(FFolder.Get(), FName.c_str(), &st, statFlags) == 0) {
        // A FIFO or a device (through a link: /dev/zero) is not replaced by
        // a file; its name would stand for something else afterwards.
        if (S_ISDIR(st.st_mode))
            throw SystemError(EISDIR);
        if (!S_ISREG(st.st_mode))
            throw RefusedFileError(FFinal, "ist keine gewöhnliche Datei und wird nicht ersetzt");
        FExisted = true;
        FOldMode = st.st_mode & 07777;
    }
    RemoveLeftovers(FFolder.Get(), FName);
    FFile = MakeTempFile(FFolder.Get(), FName, FOptions, FTempName);
    FTemp = shownFolder + FTempName;
}

TAtomicOutputFile::~TAtomicOutputFile() {
    if (FCommitted)
        return;
    FFile = TFileDescriptor();
    ::unlinkat(FFolder.Get(), FTempName.c_str(), 0);
}

void TAtomicOutputFile::Write(const char* data, size_t size) {
    if (int failure = WriteAll(FFile, data, size))
        throw SystemError(failure);
}

void TAtomicOutputFile::Finish() {
    if (FFinished)
        return;
    FFinished = true;
    if (FExisted && ::fchmod(FFile.Get(), FOldMode) != 0)
        throw SystemError(errno);
    if (FOptions.sync && ::fsync(FFile.Get()) != 0)
        throw SystemError(errno);
    FFile.Close();
}

bool TAtomicOutputFile::Commit() {
    Finish();
    if (FOptions.replace) {
        if (::renameat(FFolder.Get(), FTempName.c_str(), FFolder.Get(), FName.c_str()) != 0)
            throw SystemError(errno);
        FCommitted = true;
        return true;
    }
    FCommitted = MoveNoReplaceAt(FFolder, FTempName, FFolder, FName);
    return FCommitted;
}

bool MoveNoReplace(const std::string& temp, const std::string& target, MoveMethod first) {
    return MoveNoReplaceAt(TBorrowedFd(AT_FDCWD), temp, TBorrowedFd(AT_FDCWD), target, first);
}

bool MoveNoReplaceAt(TBorrowedFd tempFolder, const std::string& temp, TBorrowedFd targetFolder,
                     const std::string& target, MoveMethod first) {
    const int from = tempFolder.Get();
    const int to = targetFolder.Get();
    if (first == MoveMethod::RenameNoReplace) {
        if (::renameat2(from, temp.c_str(), to, target.c_str(), RENAME_NOREPLACE) == 0)
            return true;
        if (errno == EEXIST)
            return false;
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            throw SystemError(errno);
    }
    // A file system without the flag: a hard link cannot replace either.
    if (first != MoveMethod::CheckThenRename) {
        if (::linkat(from, temp.c_str(), to, target.c_str(), 0) == 0) {
            ::unlinkat(from, temp.c_str(), 0);
            return true;
        }
        if (errno == EEXIST)
            return false;
    }
    // vfat and exfat have no hard links: check, then rename. Only a file that
    // appears in between could be replaced.
    struct stat st;
    if (::fstatat(to, target.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return false;
    if (::renameat(from, temp.c_str(), to, target.c_str()) != 0)
        throw SystemError(errno);
    return true;
}

void WriteFileAtomically(const std::string& fileName, const std::string& bytes,
                         const TAtomicOptions& options) {
    TAtomicOutputFile file(fileName, options);
    file.Write(bytes.data(), bytes.size());
    file.Commit();
}

}  // namespace tunrax
