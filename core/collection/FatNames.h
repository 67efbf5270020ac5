// Names that the file systems of portable players take. Players are formatted
// FAT32 or exFAT, which refuse " * : < > ? \ | and control characters in a
// name, drop trailing dots and blanks, and allow 255 UTF-16 units.
#pragma once

#include <cstddef>
#include <string>

namespace tunrax {

// The length of a name in UTF-16 units: a character beyond the basic plane
// counts two; a byte that is not part of valid UTF-8 counts one.
size_t Utf16Length(const std::string& name);

// The name made valid for FAT32 and exFAT: each of " * : < > ? \ | / and each
// control character becomes "_", trailing dots and blanks are removed ("_"
// when nothing is left), a name of one of Windows' devices (CON, PRN, AUX,
// NUL, COM1-9, LPT1-9, before any extension) gets "_" after that part
// ("CON.mp3" becomes "CON_.mp3"), and a name longer than 255 UTF-16 units or
// 255 bytes (the limit of Linux's own file systems) is cut
// between characters, keeping its extension (".mp3"). The same name always
// gives the same result, and a valid name stays as it is.
std::string FatValidName(const std::string& name);

// A valid name with suffix put before its extension ("Song (2).mp3"), the
// part before it cut as FatValidName cuts so that the suffix stays.
std::string FatNameWithSuffix(const std::string& validName, const std::string& suffix);

}  // namespace tunrax
