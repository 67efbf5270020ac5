#include "settings/ProgramVersion.h"

#include <cstdlib>
#include <string>

#include "settings/UserFolders.h"
#include "tunrax_version.h"

namespace tunrax {

std::string GetFileVersionString(const std::string& fileName) {
    if (fileName.empty())
        return kProgramVersion;
    std::string self = ProgramFolder() + ProgramFileName();
    char* a = ::realpath(fileName.c_str(), nullptr);
    char* b = ::realpath(self.c_str(), nullptr);
    bool same = a && b && std::string(a) == b;
    std::free(a);
    std::free(b);
    return same ? kProgramVersion : "";
}

}  // namespace tunrax
