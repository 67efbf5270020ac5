// Folders below a root folder, opened one name at a time and never through a
// symbolic link: a descriptor got this way keeps naming the same folder even
// when a name on the way is swapped for a link meanwhile, so that whatever is
// made or deleted relative to it stays below the root.
#pragma once

#include <string>

#include "io/FileDescriptor.h"

namespace tunrax {

// The folder name inside the open folder parentFd, opened for reading
// without following a link; with make, made first when missing (mode 0777
// less the umask). Throws SystemError: ENOTDIR when name is a symbolic link
// (ELOOP on some kernels) or anything else that is no folder, ELOOP for "..",
// ENOENT when it is missing without make.
TFileDescriptor OpenSubfolder(TBorrowedFd parent, const std::string& name, bool make);

// The folder relative ("a/b/c"; empty, "." and doubled "/" are skipped) below
// the open folder rootFd, through OpenSubfolder for each name on the way;
// throws as OpenSubfolder does. An empty path gives a second descriptor of
// the root.
TFileDescriptor OpenFolderBelow(TBorrowedFd root, const std::string& relative, bool make);

// Whether a failure of the functions above means that the way leads out of
// the root (a link, "..") or through something that is no folder.
bool LeadsOutOfRoot(int error);

}  // namespace tunrax
