#include "settings/UserFolders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <string>

#include "io/Error.h"
#include "io/FileDescriptor.h"

namespace tunrax {

namespace {

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// A base folder without trailing "/": $variable when absolute, else ~/fallback; "" without a home
// folder.
std::string XdgBase(const char* variable, const char* fallback) {
    std::string xdg = EnvOrEmpty(variable);
    // Relative values are to be ignored by the XDG rules.
    if (!xdg.empty() && xdg[0] == '/') {
        while (xdg.size() > 1 && xdg.back() == '/')
            xdg.pop_back();
        return xdg;
    }
    std::string home = EnvOrEmpty("HOME");
    if (home.empty() || home[0] != '/')
        return "";
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return (home == "/" ? "" : home) + "/" + fallback;
}

// The configuration base; empty when there is none.
std::string ConfigBase() {
    return XdgBase("XDG_CONFIG_HOME", ".config");
}

void MakePath(const std::string& folder) {
    // mkdir -p with private modes; failures surface at the first file
    // operation in the folder.
    for (size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos == folder.size() || folder[pos] == '/') {
            std::string part = folder.substr(0, pos);
            if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
                return;
        }
    }
}

std::string SelfPath() {
    std::string buffer(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0)
        return "";
    buffer.resize(static_cast<size_t>(n));
    return buffer;
}

std::string HomeFolder() {
    std::string home = EnvOrEmpty("HOME");
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return home;
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// XDG_MUSIC_DIR from user-dirs.dirs: a line XDG_MUSIC_DIR="$HOME/Musik".
std::string MusicDirFromUserDirs(const std::string& configBase, const std::string& home) {
    if (configBase.empty())
        return "";
    // Read only as a regular file of sane size: a FIFO would block the start,
    // a link to a device would fill the memory. Unreadable means "not set".
    constexpr off_t kUserDirsLimit = 1 << 20;
    std::string text;
    try {
        text = ReadRegularFile(configBase + "/user-dirs.dirs", kUserDirsLimit);
    } catch (const Error&) {
        return "";
    }
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, 14, "XDG_MUSIC_DIR=") != 0)
            continue;
        std::string value = line.substr(start + 14);
        while (!value.empty() && (value.back() == '\r' || value.back() == ' '))
            value.pop_back();
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.compare(0, 5, "$HOME") == 0) {
            if (home.empty())
                return "";
            value = home + value.substr(5);
        }
        if (value.empty() || value[0] != '/')
            return "";
        // A music folder equal to the home folder means "not set".
        if (value == home || value == home + "/")
            return "";
        return value;
    }
    return "";
}

}  // namespace

std::string ProgramFolder() {
    std::string self = SelfPath();
    size_t slash = self.rfind('/');
    if (slash == std::string::npos)
        return "./";
    return self.substr(0, slash + 1);
}

std::string ProgramFileName() {
    std::string self = SelfPath();
    size_t slash = self.rfind('/');
    std::string name = slash == std::string::npos ? self : self.substr(slash + 1);
    return name.empty() ? "tunrax" : name;
}

std::string GetUserDataFolder(const std::string& subFolder, const std::string& vendor) {
    std::string base = ConfigBase();
    if (base.empty())
        return ProgramFolder();
    if (vendor.empty())
        return WithSlash(base);
    std::string folder = WithSlash(base) + vendor + "/";
    if (!subFolder.empty())
        folder += subFolder + "/";
    MakePath(folder);
    return folder;
}

std::string GetUserCacheFolder(const std::string& subFolder, const std::string& vendor) {
    const std::string base = XdgBase("XDG_CACHE_HOME", ".cache");
    if (base.empty())
        return std::string();
    const std::string folder = WithSlash(base) + vendor + "/" + subFolder + "/";
    MakePath(folder);
    return folder;
}

std::string DefaultMusicFolder() {
    std::string home = HomeFolder();
    std::string music = MusicDirFromUserDirs(ConfigBase(), home);
    if (!music.empty())
        return WithSlash(music);
    if (home.empty())
        return ProgramFolder();
    if (IsFolder(home + "/Musik"))
        return home + "/Musik/";
    return home + "/Music/";
}

}  // namespace tunrax
