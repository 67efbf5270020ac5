#include "collection/copy_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <ostream>
#include <unordered_set>

#include "collection/favorites.h"
#include "collection/songlist.h"
#include "io/AtomicOutputFile.h"
#include "io/Error.h"
#include "io/FdOutBuf.h"
#include "io/FileDescriptor.h"
#include "settings/vel_tools.h"
#include "sources/TransferControl.h"
#include "sources/transfer.h"

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
    try {
        if (folder.find('\0') == std::string::npos) {
            MakeFolders(folder);
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
    const std::string context =
        "Das Lied \"" + songPath + "\" kann nicht nach \"" + targetFile + "\" kopiert werden: ";
    struct stat st;
    if (::lstat(targetFile.c_str(), &st) == 0)
        return false;
    try {
        MakeFolders(FolderOf(targetFile));
    } catch (const SystemError& e) {
        ThrowNameError(e.Code(), context);
    }

    TAtomicOptions options;
    options.replace = false;
    // 0666: the new song gets the user's usual mode through the umask.
    options.newFileMode = 0666;
    // SyncTargetFolder syncs the whole device once all songs are copied.
    options.sync = false;
    options.hiddenTemp = true;
    const auto temp = WithErrorContext(
        context, [&] { return std::make_unique<TAtomicOutputFile>(targetFile, options); });
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
