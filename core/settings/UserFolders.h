// Where Tunrax keeps its per-user files.
//
// The base folder is $XDG_CONFIG_HOME (when absolute), else ~/.config. Without
// any home folder the program's own folder is used and nothing is created.
// Nothing here throws: a folder that cannot be created is noticed by the first
// file operation in it.
#pragma once

#include <string>

namespace tunrax {

// Base + "/" + vendor + "/" [+ subFolder + "/"], created with every missing
// parent (mode 0700). With an empty vendor: the base folder with a trailing
// "/", and nothing is created.
std::string GetUserDataFolder(const std::string& subFolder, const std::string& vendor);

// $XDG_CACHE_HOME (when absolute, else ~/.cache) + "/" + vendor + "/" +
// subFolder + "/", created like GetUserDataFolder; "" without a home folder:
// then nothing is kept.
std::string GetUserCacheFolder(const std::string& subFolder, const std::string& vendor);

// The folder that holds the running program file, ending in "/".
std::string ProgramFolder();

// The running program file's name without its folder ("tunrax").
std::string ProgramFileName();

// The default collection folder: the user's music folder as xdg-user-dir
// reports it (XDG_MUSIC_DIR of user-dirs.dirs), else ~/Musik when it exists,
// else ~/Music. Ends in "/".
std::string DefaultMusicFolder();

}  // namespace tunrax
