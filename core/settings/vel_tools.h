// Small file utilities shared by the sources, favourites and copy wizard, and
// the scrambling of the stored FTP password.
//
// Paths are byte strings and native ("/"-separated); relative paths that
// FindFiles returns use "\" like the collection's song paths do.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tunrax {

// Trims blanks and control characters at both ends and appends "/" unless the
// text already ends with one ("" gives "/").
std::string NormalizeFolder(const std::string& text);

// A collection path made native: "\" becomes "/", then runs of "/" collapse
// to one.
std::string CollapseSeparators(const std::string& path);

// Windows-style file mask match ("*", "?", "*.*" matches every name), without
// regard to ASCII letter case.
bool MaskMatches(const std::string& mask, const std::string& name);

// Empties the list, then adds the files of folder that match mask. With
// recurse, the files of every visible sub-folder (depth first, as
// "sub\name") come before the folder's own files; sub-folders are entered
// only where they are real folders, never through symbolic links. Hidden
// (dot) folders are skipped; hidden files are listed. A missing or unreadable
// folder adds nothing. Never throws for file-system reasons.
void FindFiles(std::vector<std::string>& list, const std::string& folder, const std::string& mask,
               bool lowerCase, bool recurse);

// -1 when no entry of that name exists or it is a folder; otherwise the low
// 32 bits of the file's size.
int32_t FileSizeOf(const std::string& fileName);
// The full size of a file; -1 when it is missing or a folder.
int64_t FileSize64(const std::string& fileName);

// Replaces the content of fileName with bytes through a temporary file beside
// it, synced and renamed over the old one, so that a crash or a full disk
// leaves the old file or the new one, never a torn one. The old file's mode is
// kept; a new file gets newFileMode less the umask. A symbolic link (or a
// chain of them) is written through to its final target, which is created
// when missing; the link stays. Throws SystemError with the errno of the
// failure (the old file is then untouched and no temporary file remains).
void ReplaceFileContents(const std::string& fileName, const std::string& bytes,
                         mode_t newFileMode = 0600);

// Trims blanks and control characters at both ends, then replaces each of
// " * / : < > ? \ | by "_".
std::string MakeValidFileName(const std::string& text);

// Removes folder, then its parents one level at a time, while they are empty
// and lie below root (root itself is never removed). True when the walk
// reached root. Both are folders ending in "/".
bool RemoveEmptyFolders(const std::string& folder, const std::string& root);

// "a.b.c.d" for the running program file (an empty path names it too);
// empty for any other file, since Linux programs carry no version resource.
std::string GetFileVersionString(const std::string& fileName);

// The folder for the song being played: private to the user (mode 0700,
// owned by the user, never a symbolic link): $XDG_RUNTIME_DIR/tunrax/, else
// ${TMPDIR:-/tmp}/tunrax-<uid>/. Ends in "/". Throws tunrax::Error when the
// folder cannot be made or is not safely the user's own.
std::string GetTempFolder();

// The fixed key of the password scrambling (13 characters).
extern const char* const PasswordKey;

// Scrambles a password (bytes 1..255) into upper-case hexadecimal pairs with a
// random start value; "" for "". Throws tunrax::Error for a zero byte, which
// the scrambling cannot carry.
std::string EncodePassword(const std::string& clearText, const std::string& key);
// The same with a given start value (0..255): repeatable, for tests.
std::string EncodePasswordWithStart(const std::string& clearText, const std::string& key,
                                    int startValue);
// Reverses EncodePassword; "" for "". A trailing single character of an odd
// length is ignored. Throws tunrax::Error for a text too short to hold a
// character or with a pair that is not hexadecimal.
std::string DecodePassword(const std::string& scrambled, const std::string& key);

}  // namespace tunrax
