// Fetching a song through the source into the one temporary song file.
#pragma once

#include <string>

namespace tunrax {

class TCustomTransfer;

// Creates fileName anew (never through a symbolic link, mode 0600) and lets
// the source write the song into it. Throws tunrax::Error: "Datei "%s" kann
// nicht erstellt werden. %s" when the file cannot be created, the source's
// error when the song cannot be fetched, and a write error when the disk
// takes no more. After any error the file is gone, so that a half-written
// song is never played as if whole.
void FetchSong(TCustomTransfer& source, const std::string& songPath, const std::string& fileName);

}  // namespace tunrax
