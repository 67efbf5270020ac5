// Small file utilities shared by the sources, favourites and copy wizard:
// folder and path forms, file masks and listings, sizes, whole-file
// replacement, valid file names and the removal of emptied folders.
//
// Paths are byte strings and native ("/"-separated); relative paths that
// FindFiles returns use "\\" like the collection's song paths do.
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

}  // namespace tunrax
