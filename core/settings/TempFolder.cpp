#include "settings/TempFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "io/Error.h"

namespace tunrax {

namespace {

// Makes folder (ending in "/") a private folder of this user. Throws
// SystemError when a call fails, Error when the folder is not safely ours.
void MakePrivateFolder(const std::string& folder) {
    const std::string context =
        "Der temporäre Ordner \"" + folder + "\" kann nicht benutzt werden: ";
    std::string path = folder.substr(0, folder.size() - 1);
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        throw SystemError(errno, context);
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        throw SystemError(errno, context);
    if (!S_ISDIR(st.st_mode))
        throw Error(context + "Der Pfad ist kein Verzeichnis oder eine Verknüpfung");
    if (st.st_uid != ::geteuid())
        throw Error(context + "Das Verzeichnis gehört einem anderen Benutzer");
    if ((st.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0)
        throw SystemError(errno, context);
}

}  // namespace

std::string GetTempFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') {
        std::string folder = std::string(runtime);
        if (folder.back() != '/')
            folder += '/';
        folder += "tunrax/";
        // A runtime folder that is gone falls back to the temporary folder;
        // one that is not safely ours is an error.
        try {
            MakePrivateFolder(folder);
            return folder;
        } catch (const SystemError& e) {
            if (!e.IsNotFound())
                throw;
        }
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = tmp && tmp[0] == '/' ? tmp : "/tmp";
    if (folder.back() != '/')
        folder += '/';
    folder += "tunrax-" + std::to_string(::geteuid()) + "/";
    MakePrivateFolder(folder);
    return folder;
}

}  // namespace tunrax
