// What the copy wizard does without a window: naming the target files,
// preparing and clearing the target folder, and copying one song from the
// music source into it.
//
// Song paths are the collection's ("\Artist\Album\01-Title.mp3"); target
// paths are native. Errors are tunrax::Error with a German message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/AtomicOutputFile.h"  // MoveMethod
#include "settings/vel_tools.h"   // CollapseSeparators

namespace tunrax {

class TCustomTransfer;

// The flat file name of song number `number` (counted from 1): the song's
// file name (after its last separator) through WithoutTrackNumber, the rule
// of the song list; prefixed by the number in at least three digits and "-"
// ("001-", "1000-").
std::string FlatTargetName(const std::string& songPath, int number);

// The target file of a song: targetDir followed by the song path
// (keepFolders), or targetDir followed by FlatTargetName. Throws when the
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

// Clears the target before a copy. Flat: every "*.mp3" directly in targetDir
// is deleted. keepFolders: every "*.mp3" below targetDir that is not one of
// songs (compared without regard to case) is deleted, and the folders it
// leaves empty up to, not including, targetDir. Failures are ignored.
void ClearTargetFolder(const std::string& targetDir, const std::vector<std::string>& songs,
                       bool keepFolders);

// Copies the song from source to targetFile unless an entry of that name
// exists (false then: nothing is ever overwritten). Missing folders of
// targetFile are made. The song is written to a temporary file beside
// targetFile, which becomes targetFile only once the transfer is complete, and
// never by replacing a file that appeared meanwhile (false then too). On
// failure no file is left behind and tunrax::Error names song and target.
bool CopySong(TCustomTransfer& source, const std::string& songPath, const std::string& targetFile);

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
