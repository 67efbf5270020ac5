#include "collection/CopyFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <ostream>
#include <unordered_map>
#include <unordered_set>

#include "collection/FatNames.h"
#include "collection/FavoriteList.h"
#include "collection/SongNames.h"
#include "io/AtomicOutputFile.h"
#include "io/Error.h"
#include "io/FdOutBuf.h"
#include "io/FileDescriptor.h"
#include "io/FileTools.h"
#include "io/FolderBelow.h"
#include "settings/DisplayText.h"
#include "sources/Source.h"
#include "sources/TransferControl.h"

namespace tunrax {

namespace {

std::string WithSlash(const std::string& folder) {
    return !folder.empty() && folder.back() == '/' ? folder : folder + '/';
}

// The folder part of a native path, ending in "/" (empty for a bare name).
std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Makes folder and its missing parents; throws SystemError.
void MakeFolders(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) == 0) {
        if (!path.empty() && !S_ISDIR(st.st_mode))
            throw SystemError(ENOTDIR);
        return;
    }
    for (size_t end = 1; end <= path.size(); ++end) {
        if (end < path.size() && path[end] != '/')
            continue;
        if (path[end - 1] == '/')
            continue;
        std::string prefix = path.substr(0, end);
        if (::mkdir(prefix.c_str(), 0777) == 0)
            continue;
        const int failure = errno;
        if (::stat(prefix.c_str(), &st) != 0)
            throw SystemError(failure);
        if (!S_ISDIR(st.st_mode))
            throw SystemError(ENOTDIR);
    }
}

// The folder (below root) opened without passing a symbolic link: a link
// planted in the target would lead the copy, or its clearing, to folders
// outside it. The descriptor keeps naming that folder even if a name on the
// way is swapped for a link afterwards. With make, missing folders are made
// on the way. Throws SystemError; LeadsOutOfRoot(code) for a link or a file
// on the way, or a folder not below root.
TFileDescriptor OpenBelowRoot(const std::string& root, const std::string& folder, bool make) {
    const std::string base = WithSlash(root);
    if (folder.compare(0, base.size(), base) != 0)
        throw SystemError(ELOOP);
    const TFileDescriptor rootFolder = TFileDescriptor::Open(base, O_RDONLY | O_DIRECTORY);
    return OpenFolderBelow(rootFolder, folder.substr(base.size()), make);
}

// Deletes the file at relative below the open folder rootFd, reached without
// passing a link, and the folders that leaves empty up to, not including,
// the root; each is removed by its name in the folder above it. Failures are
// ignored.
void DeleteBelow(TBorrowedFd root, const std::string& relative) {
    const int rootFd = root.Get();
    std::vector<std::string> names;
    for (size_t start = 0; start <= relative.size();) {
        size_t end = relative.find('/', start);
        if (end == std::string::npos)
            end = relative.size();
        std::string name = relative.substr(start, end - start);
        if (!name.empty() && name != ".")
            names.push_back(std::move(name));
        start = end + 1;
    }
    if (names.empty())
        return;
    // folders[i] is the folder names[i] names.
    std::vector<TFileDescriptor> folders;
    for (size_t i = 0; i + 1 < names.size(); ++i) {
        try {
            folders.push_back(OpenSubfolder(
                TBorrowedFd(folders.empty() ? rootFd : folders.back().Get()), names[i], false));
        } catch (const SystemError&) {
            return;  // a song behind a link lies outside the target: it stays
        }
    }
    ::unlinkat(folders.empty() ? rootFd : folders.back().Get(), names.back().c_str(), 0);
    for (size_t i = folders.size(); i-- > 0;)
        if (::unlinkat(i == 0 ? rootFd : folders[i - 1].Get(), names[i].c_str(), AT_REMOVEDIR) != 0)
            break;
}

// Why a name could not be made in the target folder, after context. Players
// mostly use FAT, which refuses names with " * : < > ? | that a Linux
// collection may have.
[[noreturn]] void ThrowNameError(int error, const std::string& context) {
    if (error == EINVAL)
        throw Error(context + "Der Name ist auf diesem Datenträger nicht erlaubt");
    throw SystemError(error, context);
}

// The form of a song path that the case-insensitive comparison sees: "\" as
// the only separator, none doubled.
std::string SongKey(const std::string& songPath) {
    std::string path = CollapseSeparators(songPath);
    std::replace(path.begin(), path.end(), '/', '\\');
    return FavoriteKey(path);
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

namespace {

// The target of a song below the target folder, with "/" and FAT-valid names;
// throws like CopyTargetFile.
std::string TargetBelowFolder(const std::string& targetDir, const std::string& songPath, int number,
                              bool keepFolders) {
    auto refuse = [&](const char* why) {
        return Error("Das Lied \"" + songPath + "\" kann nicht kopiert werden: " + why);
    };
    if (targetDir.empty())
        throw refuse("Es ist kein Zielverzeichnis gewählt");
    if (songPath.find('\0') != std::string::npos)
        throw refuse("Der Pfad enthält ein Nullzeichen");
    if (!keepFolders)
        return FatValidName(FlatTargetName(songPath, number));

    // The song path below the target folder: no component may climb out of
    // it, and the last one must name a file.
    const std::string relative = CollapseSeparators(songPath);
    std::vector<std::string> components;
    size_t start = 0;
    for (;;) {
        size_t end = relative.find('/', start);
        components.push_back(relative.substr(start, end == std::string::npos ? end : end - start));
        if (components.back() == "..")
            throw refuse("Der Pfad führt aus dem Zielverzeichnis heraus");
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    if (components.back().empty() || components.back() == ".")
        throw refuse("Der Pfad nennt keine Datei");
    std::string below;
    for (const std::string& component : components) {
        if (component.empty() || component == ".")
            continue;
        if (!below.empty())
            below += '/';
        below += FatValidName(component);
    }
    return below;
}

}  // namespace

std::string CopyTargetFile(const std::string& targetDir, const std::string& songPath, int number,
                           bool keepFolders) {
    const std::string below = TargetBelowFolder(targetDir, songPath, number, keepFolders);
    return (keepFolders ? CollapseSeparators(WithSlash(targetDir)) : WithSlash(targetDir)) + below;
}

std::vector<std::string> CopyTargetFiles(const std::string& targetDir,
                                         const std::vector<std::string>& songs, bool keepFolders) {
    std::vector<std::string> targets;
    targets.reserve(songs.size());
    std::unordered_set<std::string> taken;
    // Folders that differ in case only are one folder on FAT: the first
    // spelling is kept for all, so that every file system gets the same.
    std::unordered_map<std::string, std::string> folders;
    const size_t below = CollapseSeparators(WithSlash(targetDir)).size();
    int number = 0;
    for (const std::string& song : songs) {
        std::string first = CopyTargetFile(targetDir, song, ++number, keepFolders);
        for (size_t slash = first.find('/', below); keepFolders && slash != std::string::npos;
             slash = first.find('/', slash + 1)) {
            const auto known =
                folders.try_emplace(FavoriteKey(first.substr(0, slash)), first.substr(0, slash));
            first.replace(0, slash, known.first->second);
            slash = known.first->second.size();
        }
        const size_t slash = first.rfind('/');
        std::string target = first;
        for (int copy = 2; !taken.insert(FavoriteKey(target)).second; ++copy)
            target = first.substr(0, slash + 1) +
                     FatNameWithSuffix(first.substr(slash + 1), " (" + std::to_string(copy) + ")");
        targets.push_back(std::move(target));
    }
    return targets;
}

std::string PrepareTargetFolder(const std::string& dirText, bool useListName,
                                const std::string& listName) {
    bool blank = true;
    for (char c : dirText)
        blank = blank && static_cast<unsigned char>(c) <= ' ';
    if (blank)
        throw Error("Bitte ein Verzeichnis wählen");

    std::string folder = NormalizeFolder(dirText);
    const std::string chosen = folder;
    if (useListName) {
        // MakeValidFileName leaves "." and "..", which would name the folder
        // itself or its parent (where clearing would then delete songs).
        std::string name = MakeValidFileName(listName);
        if (name == "." || name == "..")
            name.assign(name.size(), '_');
        if (!name.empty())
            folder = NormalizeFolder(folder + FatValidName(name));
    }
    try {
        if (folder.find('\0') == std::string::npos) {
            MakeFolders(chosen);
            // The list's folder is made, never entered through a link.
            OpenBelowRoot(chosen, folder, true);
            return folder;
        }
    } catch (const SystemError&) {
        // the wizard names no reason for a folder it cannot make
    }
    throw Error("ungültiges Verzeichnis");
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

std::vector<std::string> FilesToClear(const std::string& targetDir,
                                      const std::vector<std::string>& keep, bool keepFolders) {
    std::vector<std::string> files;
    FindFiles(files, WithSlash(targetDir), "*.mp3", false, keepFolders);
    std::unordered_set<std::string> listed;
    if (keepFolders) {
        listed.reserve(keep.size());
        for (const std::string& song : keep)
            listed.insert(SongKey(song));
    }
    std::vector<std::string> clear;
    for (std::string& relative : files) {
        if (keepFolders && listed.count(SongKey("\\" + relative)) != 0)
            continue;
        std::replace(relative.begin(), relative.end(), '\\', '/');
        clear.push_back(std::move(relative));
    }
    return clear;
}

void ClearFiles(const std::string& targetDir, const std::vector<std::string>& files) {
    const std::string folder = WithSlash(targetDir);
    // Everything is deleted relative to the target's own descriptor, so that
    // a folder swapped for a link meanwhile cannot lead outside.
    TFileDescriptor root;
    try {
        root = TFileDescriptor::Open(folder, O_RDONLY | O_DIRECTORY);
    } catch (const SystemError&) {
        return;
    }
    for (const std::string& path : files)
        if (path.compare(0, folder.size(), folder) == 0)
            DeleteBelow(root, path.substr(folder.size()));
}

void ClearTargetFolder(const std::string& targetDir, const std::vector<std::string>& keep,
                       bool keepFolders) {
    std::vector<std::string> files = FilesToClear(targetDir, keep, keepFolders);
    for (std::string& file : files)
        file.insert(0, WithSlash(targetDir));
    ClearFiles(targetDir, files);
}

TCopyPlan PlanCopy(const std::string& targetDir, const std::vector<std::string>& songs,
                   bool keepFolders, bool clear) {
    TCopyPlan plan;
    plan.targets = CopyTargetFiles(targetDir, songs, keepFolders);
    const std::string folder =
        keepFolders ? CollapseSeparators(WithSlash(targetDir)) : WithSlash(targetDir);
    std::unordered_set<std::string> cleared;
    if (clear) {
        std::vector<std::string> keep;
        keep.reserve(plan.targets.size());
        for (const std::string& target : plan.targets)
            keep.push_back('\\' + target.substr(folder.size()));
        for (const std::string& relative : FilesToClear(folder, keep, keepFolders)) {
            plan.toClear.push_back(folder + relative);
            cleared.insert(FavoriteKey(relative));
            struct stat st;
            if (::lstat(plan.toClear.back().c_str(), &st) == 0 && S_ISREG(st.st_mode))
                plan.freedBytes += st.st_blocks > 0 ? st.st_blocks * 512 : st.st_size;
        }
    }
    for (size_t i = 0; i < songs.size(); ++i) {
        struct stat st;
        if (::lstat(plan.targets[i].c_str(), &st) != 0 ||
            cleared.count(FavoriteKey(plan.targets[i].substr(folder.size()))) != 0)
            plan.toCopy.push_back(songs[i]);
    }
    return plan;
}

TClearCount CountClearing(const std::vector<std::string>& toClear,
                          const std::vector<std::string>& targets) {
    std::unordered_set<std::string> copiedAgain;
    copiedAgain.reserve(targets.size());
    for (const std::string& target : targets)
        copiedAgain.insert(FavoriteKey(target));
    std::unordered_set<std::string> folders;
    TClearCount count;
    for (const std::string& file : toClear) {
        // A flat target's own songs are cleared too, and come back at once.
        if (copiedAgain.count(FavoriteKey(file)) != 0)
            continue;
        ++count.files;
        folders.insert(FolderOf(file));
    }
    count.folders = folders.size();
    return count;
}

std::string ClearQuestion(const TClearCount& count) {
    const bool one = count.files == 1;
    return std::string("Im Zielverzeichnis ") + (one ? "wird " : "werden ") +
           std::to_string(count.files) + (one ? " mp3-Datei in " : " mp3-Dateien in ") +
           std::to_string(count.folders) + (count.folders == 1 ? " Ordner" : " Ordnern") +
           " gelöscht, die nicht in der Liste " + (one ? "steht" : "stehen") +
           ". Löschen und kopieren?";
}

std::string CopyFailureMessage(int copied, size_t total, const std::string& songPath,
                               const std::string& reason) {
    // "/" cannot be part of a Linux name: it separates folders as "\" does.
    std::string path = songPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return std::to_string(copied) + " von " + std::to_string(total) +
           (total == 1 ? " Lied " : " Liedern ") + (copied == 1 ? "wurde" : "wurden") +
           " kopiert. Beim Lied „" + DisplayText(SongDisplayName(path)) +
           "“ trat ein Fehler auf:\n" + reason;
}

std::optional<TFreeSpace> FreeSpace(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    for (;;) {
        struct statvfs fs;
        if (::statvfs(path.empty() ? "." : path.c_str(), &fs) == 0) {
            // A file system that reports no size (a FUSE FAT does so) gives
            // no free space either.
            if (fs.f_blocks == 0)
                return std::nullopt;
            return TFreeSpace{static_cast<int64_t>(fs.f_bavail) * static_cast<int64_t>(fs.f_frsize),
                              static_cast<int64_t>(fs.f_frsize)};
        }
        if ((errno != ENOENT && errno != ENOTDIR) || path.empty() || path == "/")
            return std::nullopt;
        const size_t slash = path.rfind('/');
        path = slash == std::string::npos ? std::string()
               : slash == 0               ? "/"
                                          : path.substr(0, slash);
    }
}

std::string FreeMBText(const std::optional<TFreeSpace>& free) {
    return free ? std::to_string(free->bytes >> 20) : "???";
}

void CheckSongsFit(int64_t kiloBytes, size_t files, const std::optional<TFreeSpace>& free,
                   int64_t freedBytes) {
    if (kiloBytes <= 0 || !free)
        return;
    // Sizes that a broken or hostile server reports may add up past any
    // number: such songs do not fit, rather than wrapping round to fit.
    int64_t needed = 0;
    if (__builtin_mul_overflow(kiloBytes, int64_t{1024}, &needed) ||
        __builtin_add_overflow(needed, static_cast<int64_t>(files) * free->blockSize, &needed))
        needed = std::numeric_limits<int64_t>::max();
    const int64_t available = free->bytes + freedBytes;
    if (needed <= available)
        return;
    constexpr int64_t kMB = 1 << 20;
    throw Error("Die Lieder passen nicht auf den Datenträger: Sie brauchen " +
                std::to_string(needed / kMB + (needed % kMB != 0)) + " MB, frei sind nur " +
                std::to_string(available / kMB) + " MB. Es wurde nichts kopiert.");
}

std::string PlaylistName(const std::string& listName, const std::vector<std::string>& songs) {
    if (!listName.empty())
        return listName;
    if (!songs.empty()) {
        const std::string& song = songs.front();
        const size_t end = song.find_last_of("\\/");
        if (end != std::string::npos && end > 0) {
            const size_t start = song.find_last_of("\\/", end - 1);
            const std::string album =
                song.substr(start == std::string::npos ? 0 : start + 1,
                            start == std::string::npos ? end : end - start - 1);
            if (!album.empty())
                return album;
        }
    }
    return "Wiedergabeliste";
}

std::string WritePlaylist(const std::string& targetDir, const std::string& name,
                          const std::vector<std::string>& targets) {
    const std::string folder = CollapseSeparators(WithSlash(targetDir));
    const std::string file = folder + FatValidName(name + ".m3u");
    std::string bytes;
    for (const std::string& target : targets) {
        const std::string path = CollapseSeparators(target);
        if (path.compare(0, folder.size(), folder) != 0)
            throw Error("Das Lied \"" + target + "\" liegt nicht in \"" + folder + "\"");
        bytes += path.substr(folder.size()) + "\r\n";
    }
    // The old list goes first: replacing it would give the new one its mode,
    // which FAT cannot take (FUSE's FAT: "not implemented"). The new list is
    // whole or not there.
    struct stat st;
    if (::lstat(file.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
        ::unlink(file.c_str());
    TAtomicOptions options;
    options.newFileMode = 0666;
    // SyncTargetFolder writes it to the device with the songs.
    options.sync = false;
    options.hiddenTemp = true;
    WithErrorContext("Die Wiedergabeliste \"" + file + "\" kann nicht geschrieben werden: ",
                     [&] { WriteFileAtomically(file, bytes, options); });
    return file;
}

bool CopySong(TSource& source, const std::string& songPath, const std::string& targetFile,
              const std::string& targetDir) {
    const std::string context =
        "Das Lied \"" + songPath + "\" kann nicht nach \"" + targetFile + "\" kopiert werden: ";
    TAtomicOptions options;
    options.replace = false;
    // 0666: the new song gets the user's usual mode through the umask.
    options.newFileMode = 0666;
    // SyncTargetFolder syncs the whole device once all songs are copied.
    options.sync = false;
    options.hiddenTemp = true;
    std::unique_ptr<TAtomicOutputFile> temp;
    struct stat st;
    if (targetDir.empty()) {
        if (::lstat(targetFile.c_str(), &st) == 0)
            return false;
        try {
            MakeFolders(FolderOf(targetFile));
        } catch (const SystemError& e) {
            ThrowNameError(e.Code(), context);
        }
        temp = WithErrorContext(
            context, [&] { return std::make_unique<TAtomicOutputFile>(targetFile, options); });
    } else {
        // The song is made, and named, in the folder opened here, whatever
        // becomes of the names on the way to it meanwhile.
        const std::string folderPath = FolderOf(targetFile);
        TFileDescriptor folder;
        try {
            folder = OpenBelowRoot(targetDir, folderPath, true);
        } catch (const SystemError& e) {
            if (LeadsOutOfRoot(e.Code()))
                throw Error(context +
                            "Ein Ordner auf dem Weg ist ein Verweis (symbolischer Link) "
                            "oder keiner; außerhalb des Zielverzeichnisses wird nichts "
                            "geschrieben.");
            ThrowNameError(e.Code(), context);
        }
        const std::string name = targetFile.substr(folderPath.size());
        if (::fstatat(folder.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
            return false;
        temp = WithErrorContext(context, [&] {
            return std::make_unique<TAtomicOutputFile>(folder, name, targetFile, options);
        });
    }
    std::string problem;
    bool direct = false;
    try {
        direct = source.GetFileToDescriptor(temp->Fd(), songPath);
    } catch (const TransferCancelled&) {
        throw;  // the half-copied song goes with its temporary file
    } catch (const std::exception& e) {
        problem = e.what();
    }
    if (!direct && problem.empty()) {
        TFdOutBuf buffer(temp->Fd());
        int code = 0;
        try {
            std::ostream out(&buffer);
            source.GetFile(out, songPath);
            code = buffer.Finish(out);
        } catch (const TransferCancelled&) {
            throw;
        } catch (const std::exception& e) {
            // A write error surfaces from the source as "target full?": the
            // errno says what really happened.
            code = buffer.Failure();
            if (code == 0)
                problem = e.what();
        } catch (...) {
            problem = "Unbekannter Fehler bei der Übertragung";
        }
        if (code != 0)
            throw SystemError(code, context);
    }
    if (!problem.empty())
        throw Error(context + problem);
    WithErrorContext(context, [&] { temp->Finish(); });
    try {
        return temp->Commit();
    } catch (const SystemError& e) {
        ThrowNameError(e.Code(), context);
    }
}

void SyncTargetFolder(const std::string& targetDir) {
    WithErrorContext("Die kopierten Lieder können nicht vollständig nach \"" + targetDir +
                         "\" geschrieben werden: ",
                     [&] {
                         const TFileDescriptor folder =
                             TFileDescriptor::Open(targetDir, O_RDONLY | O_DIRECTORY);
                         if (::syncfs(folder.Get()) != 0)
                             throw SystemError(errno);
                     });
}

bool MoveWithoutReplacing(const std::string& temp, const std::string& target, MoveMethod first) {
    try {
        return MoveNoReplace(temp, target, first);
    } catch (const SystemError& e) {
        ThrowNameError(e.Code(), "Die Datei \"" + temp + "\" kann nicht in \"" + target +
                                     "\" umbenannt werden: ");
    }
}

}  // namespace tunrax
