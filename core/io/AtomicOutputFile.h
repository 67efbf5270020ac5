// A file written in full before anyone sees it: the bytes go to a temporary
// file beside the target, which takes the target's name only at Commit(). A
// full disk or an error before then leaves the old file (or none) and no
// temporary file. A killed writer leaves its temporary file behind; the next
// writer of the same target removes such leftovers once they are older than a
// minute (younger ones may belong to a writer still running). Failures are
// thrown as tunrax::SystemError carrying the errno; the caller puts its own
// German context in front.
#pragma once

#include <sys/types.h>

#include <string>

#include "io/FileDescriptor.h"

namespace tunrax {

// How a file is moved to a name that must not be replaced, from the safest
// on.
enum class MoveMethod { RenameNoReplace, HardLink, CheckThenRename };

struct TAtomicOptions {
    // Replace: an existing file is replaced and keeps its mode; a symbolic
    // link (or a chain of them) is written through to its final target,
    // which is made when missing, and the link stays. No replace: Commit()
    // refuses a name that exists meanwhile, a link included.
    bool replace = true;
    // Mode of a new file, less the umask.
    mode_t newFileMode = 0600;
    // fsync before the rename, so that the new name never shows an empty
    // file after a crash; a caller that syncs the whole device later leaves
    // it off.
    bool sync = true;
    // The temporary name: "<target>.tunrax-tmp-XXXXXX" beside the target,
    // or the short hidden form ".tunrax-tmp-HHHHHHHH-XXXXXX" in its folder
    // (for file systems that take only short names; also taken where the
    // long form would be too long a name). X: six letters or digits; H: the
    // 32-bit FNV-1a hash of the target's name in lower-case hexadecimal, so
    // that a leftover is known as one of this target.
    bool hiddenTemp = false;
};

class TAtomicOutputFile {
public:
    // Removes old leftovers of the target (regular files of exactly the two
    // names above, never through a link), then makes the temporary file;
    // throws SystemError (ELOOP for a circle of links).
    TAtomicOutputFile(const std::string& target, const TAtomicOptions& options);
    // The file name (a single name) inside the open folder folderFd, of
    // which the object keeps a descriptor of its own: the file is made,
    // named and removed relative to that folder, so that a folder on the
    // way to it that is swapped for a link meanwhile leads nowhere else. A
    // link of that name is never followed; with replace it is refused like
    // any file that is not a regular one. path is the name the file is
    // known by, for FinalPath(), TempPath() and messages.
    TAtomicOutputFile(TBorrowedFd folder, const std::string& name, const std::string& path,
                      const TAtomicOptions& options);
    // Removes the temporary file unless Commit() moved it.
    ~TAtomicOutputFile();
    TAtomicOutputFile(const TAtomicOutputFile&) = delete;
    TAtomicOutputFile& operator=(const TAtomicOutputFile&) = delete;

    // The open temporary file; -1 after Finish().
    TBorrowedFd Fd() const { return FFile; }
    const std::string& TempPath() const { return FTemp; }
    // The name the file gets: the target, or a link's final target.
    const std::string& FinalPath() const { return FFinal; }

    // Writes all of data; throws SystemError.
    void Write(const char* data, size_t size);
    // Sets the mode, syncs (as asked) and closes the temporary file; throws
    // SystemError. Called by Commit() when not called before.
    void Finish();
    // Gives the file its name. True when it did; false only without replace,
    // when the name exists (the temporary file is then removed). Throws
    // SystemError for any other failure.
    bool Commit();

private:
    // Makes the temporary file in FFolder for the name; statFlags tell how an
    // existing file of that name is looked at.
    void Begin(const std::string& shownFolder, int statFlags);

    TAtomicOptions FOptions;
    std::string FFinal;
    std::string FTemp;
    // The folder, the name in it and the temporary file's name in it.
    TFileDescriptor FFolder;
    std::string FName;
    std::string FTempName;
    TFileDescriptor FFile;
    bool FExisted = false;
    mode_t FOldMode = 0;
    bool FFinished = false;
    bool FCommitted = false;
};

// Moves temp to target unless target exists: true when moved, false when
// target exists (temp stays); throws SystemError for other failures. Where the
// file system cannot rename without replacing, a hard link is tried, and where
// it has no hard links (vfat, exfat), a check followed by a plain rename.
// first skips the methods before it (for tests).
bool MoveNoReplace(const std::string& temp, const std::string& target,
                   MoveMethod first = MoveMethod::RenameNoReplace);
// The same with temp relative to the folder tempFolder and target relative
// to targetFolder (descriptors of open folders, or AT_FDCWD).
bool MoveNoReplaceAt(TBorrowedFd tempFolder, const std::string& temp, TBorrowedFd targetFolder,
                     const std::string& target, MoveMethod first = MoveMethod::RenameNoReplace);

// The whole of bytes as the new content of fileName, replacing it as above.
void WriteFileAtomically(const std::string& fileName, const std::string& bytes,
                         const TAtomicOptions& options);

}  // namespace tunrax
