// What the copy wizard does without a window: naming the target files,
// preparing and clearing the target folder, and copying one song from the
// music source into it.
//
// Song paths are the collection's ("\Artist\Album\01-Title.mp3"); target
// paths are native. Errors are tunrax::Error with a German message.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "io/AtomicOutputFile.h"  // MoveMethod
#include "io/FileTools.h"         // CollapseSeparators

namespace tunrax {

class TSource;

// The flat file name of song number `number` (counted from 1): the song's
// file name (after its last separator) through WithoutTrackNumber, the rule
// of the song list; prefixed by the number in at least three digits and "-"
// ("001-", "1000-").
std::string FlatTargetName(const std::string& songPath, int number);

// The target file of a song: targetDir followed by the song path
// (keepFolders), or targetDir followed by FlatTargetName, each name below
// targetDir made valid for FAT (FatValidName). Throws when the
// song path has a ".." component, a zero byte or no file name, i.e. when its
// file would not be a file inside targetDir.
std::string CopyTargetFile(const std::string& targetDir, const std::string& songPath, int number,
                           bool keepFolders);

// The target folder for the folder text of the wizard, ending in "/", created
// with all missing parents: NormalizeFolder(dirText), plus the list name as a
// sub-folder when useListName and the name is not empty. A list name of "."
// or ".." would mean the folder itself or its parent; it becomes "_" or "__".
// Throws "Bitte ein Verzeichnis wählen" for a blank text and "ungültiges
// Verzeichnis" when the folder cannot be made.
std::string PrepareTargetFolder(const std::string& dirText, bool useListName,
                                const std::string& listName);

// The space needed in MB for a size in KB from GetSizeKB: "???" when unknown
// (0, or a negative size), else kiloBytes / 1024 + 1 rounded to the nearest whole number, a half
// to the even one.
std::string SizeMBText(int64_t kiloBytes);

// The files that clearing the target before a copy deletes, relative to
// targetDir with "/". Flat: every "*.mp3" directly in targetDir. keepFolders:
// every "*.mp3" below targetDir that is not one of keep (paths below targetDir
// in the form of song paths, compared without regard to case).
std::vector<std::string> FilesToClear(const std::string& targetDir,
                                      const std::vector<std::string>& keep, bool keepFolders);

// Deletes files (paths below targetDir) and the folders they leave empty up
// to, not including, targetDir. A file reached through a symbolic link below
// targetDir lies outside it and stays, also when a folder is swapped for a
// link while the clearing runs: every deletion is made relative to a folder
// opened from targetDir without passing a link. Failures are ignored.
void ClearFiles(const std::string& targetDir, const std::vector<std::string>& files);

// Deletes FilesToClear(targetDir, keep, keepFolders).
void ClearTargetFolder(const std::string& targetDir, const std::vector<std::string>& keep,
                       bool keepFolders);

// The target files of all songs, in order, as CopyTargetFile names them, with
// every name valid for FAT (FatValidName). Two songs whose targets would be
// the same file (FAT compares names without regard to case) do not share it:
// the later one gets " (2)", " (3)", … before its extension. A list in the
// same order always gets the same names, so a second run finds them.
std::vector<std::string> CopyTargetFiles(const std::string& targetDir,
                                         const std::vector<std::string>& songs, bool keepFolders);

// What a copy of songs into targetDir will do, worked out before anything is
// changed.
struct TCopyPlan {
    std::vector<std::string> targets;  // CopyTargetFiles
    // Files the clearing deletes (native paths; none without clearing) and the
    // bytes that frees.
    std::vector<std::string> toClear;
    int64_t freedBytes = 0;
    // The songs whose target is not there once cleared: those to be fetched.
    std::vector<std::string> toCopy;
};
TCopyPlan PlanCopy(const std::string& targetDir, const std::vector<std::string>& songs,
                   bool keepFolders, bool clear);

// What clearing takes from the user: the files of toClear that the copy does
// not write again (those not among targets, compared without regard to case
// as FAT compares names), and the distinct folders they lie in.
struct TClearCount {
    size_t files = 0;
    size_t folders = 0;
};
TClearCount CountClearing(const std::vector<std::string>& toClear,
                          const std::vector<std::string>& targets);

// The question before clearing, in singular or plural: "Im Zielverzeichnis
// werden 12 mp3-Dateien in 3 Ordnern gelöscht, die nicht in der Liste stehen.
// Löschen und kopieren?"
std::string ClearQuestion(const TClearCount& count);

// The message of a copy that ended at a failing song: how many of all songs
// were copied, the song's display name (SongDisplayName) and reason on a line
// of its own: "3 von 10 Liedern wurden kopiert. Beim Lied „Titel“ trat ein
// Fehler auf:\n…".
std::string CopyFailureMessage(int copied, size_t total, const std::string& songPath,
                               const std::string& reason);

// The space the user may still write on a file system, and its block size.
struct TFreeSpace {
    int64_t bytes = 0;
    int64_t blockSize = 0;
};
// The free space of the file system of folder, or of its nearest existing
// parent; none when the file system does not tell (it reports no size).
std::optional<TFreeSpace> FreeSpace(const std::string& folder);
// Whole megabytes of free space, rounded down; "???" when unknown.
std::string FreeMBText(const std::optional<TFreeSpace>& free);

// Throws a German error when `files` songs of kiloBytes (GetSizeKB) do not
// fit into the free space plus freedBytes: each song may take one block more
// than its size, as a file takes whole clusters. An unknown size (0) or free
// space is no refusal.
void CheckSongsFit(int64_t kiloBytes, size_t files, const std::optional<TFreeSpace>& free,
                   int64_t freedBytes);

// The name of the playlist of a copy: the list's name, else the name of the
// folder of the first song (its album), else "Wiedergabeliste".
std::string PlaylistName(const std::string& listName, const std::vector<std::string>& songs);

// Writes name + ".m3u" (valid for FAT) into targetDir: the targets, which lie
// below targetDir, as paths relative to it with "/", in order, each line
// ending in CR LF. An older list of that name goes first; the new one appears
// whole or not at all. Returns the file's path; throws tunrax::Error.
std::string WritePlaylist(const std::string& targetDir, const std::string& name,
                          const std::vector<std::string>& targets);

// Copies the song from source to targetFile unless an entry of that name
// exists (false then: nothing is ever overwritten). Missing folders of
// targetFile are made. The song is written to a temporary file beside
// targetFile, which becomes targetFile only once the transfer is complete, and
// never by replacing a file that appeared meanwhile (false then too). On
// failure no file is left behind and tunrax::Error names song and target.
// With targetDir (the folder targetFile lies below), no folder between them
// is entered or made through a symbolic link: such a song is refused. The
// song is then written and named in the folder opened that way, so that a
// folder on the way swapped for a link meanwhile cannot lead it outside.
bool CopySong(TSource& source, const std::string& songPath, const std::string& targetFile,
              const std::string& targetDir = std::string());

// Writes everything still cached for the file system of targetDir to the
// device, so that a player may be unplugged once the copy is reported done;
// throws when the device reports a write error.
void SyncTargetFolder(const std::string& targetDir);

// MoveNoReplace with a German message naming both files: true when moved,
// false when target exists (temp stays); throws tunrax::Error (a
// SystemError unless the name is not allowed on the device) otherwise.
bool MoveWithoutReplacing(const std::string& temp, const std::string& target,
                          MoveMethod first = MoveMethod::RenameNoReplace);

}  // namespace tunrax
