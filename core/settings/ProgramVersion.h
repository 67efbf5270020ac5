// The program's version, as the window caption and the settings show it.
#pragma once

#include <string>

namespace tunrax {

// "a.b.c.d" for the running program file (an empty path names it too);
// empty for any other file, since Linux programs carry no version resource.
std::string GetFileVersionString(const std::string& fileName);

}  // namespace tunrax
