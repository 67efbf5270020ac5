#include "io/AtomicOutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <random>
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

// A new file of a random name for target, with mode less the umask as for
// any new file.
TFileDescriptor MakeTempFile(const std::string& target, const TAtomicOptions& options,
                             std::string& temp) {
    static thread_local std::mt19937_64 random{std::random_device{}() ^
                                               static_cast<uint64_t>(::getpid())};
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const size_t slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    int failure = EEXIST;
    for (int attempt = 0; attempt < 100 && failure == EEXIST; ++attempt) {
        if (options.hiddenTemp) {
            char name[32];
            std::snprintf(name, sizeof name, ".tunrax-%012llx",
                          static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
            temp = folder + name;
        } else {
            temp = target + ".";
            for (int i = 0; i < 6; ++i)
                temp += kLetters[random() % (sizeof kLetters - 1)];
        }
        const int fd =
            ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, options.newFileMode);
        if (fd >= 0)
            return TFileDescriptor(fd);
        failure = errno;
    }
    throw SystemError(failure);
}

}  // namespace

TAtomicOutputFile::TAtomicOutputFile(const std::string& target, const TAtomicOptions& options)
    : FOptions(options), FFinal(options.replace ? FinalTarget(target) : target) {
    struct stat st;
    if (FOptions.replace && ::stat(FFinal.c_str(), &st) == 0) {
        // A FIFO or a device (through a link: /dev/zero) is not replaced by
        // a file; its name would stand for something else afterwards.
        if (S_ISDIR(st.st_mode))
            throw SystemError(EISDIR);
        if (!S_ISREG(st.st_mode))
            throw RefusedFileError(FFinal, "ist keine gewöhnliche Datei und wird nicht ersetzt");
        FExisted = true;
        FOldMode = st.st_mode & 07777;
    }
    FFile = MakeTempFile(FFinal, FOptions, FTemp);
}

TAtomicOutputFile::~TAtomicOutputFile() {
    if (FCommitted)
        return;
    FFile = TFileDescriptor();
    ::unlink(FTemp.c_str());
}

void TAtomicOutputFile::Write(const char* data, size_t size) {
    if (int failure = WriteAll(FFile.Get(), data, size))
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
        if (::rename(FTemp.c_str(), FFinal.c_str()) != 0)
            throw SystemError(errno);
        FCommitted = true;
        return true;
    }
    FCommitted = MoveNoReplace(FTemp, FFinal);
    return FCommitted;
}

bool MoveNoReplace(const std::string& temp, const std::string& target, MoveMethod first) {
    if (first == MoveMethod::RenameNoReplace) {
        if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
            return true;
        if (errno == EEXIST)
            return false;
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            throw SystemError(errno);
    }
    // A file system without the flag: a hard link cannot replace either.
    if (first != MoveMethod::CheckThenRename) {
        if (::link(temp.c_str(), target.c_str()) == 0) {
            ::unlink(temp.c_str());
            return true;
        }
        if (errno == EEXIST)
            return false;
    }
    // vfat and exfat have no hard links: check, then rename. Only a file that
    // appears in between could be replaced.
    struct stat st;
    if (::lstat(target.c_str(), &st) == 0)
        return false;
    if (::rename(temp.c_str(), target.c_str()) != 0)
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
