// Fetching a song through the source into the one temporary song file.
#pragma once

#include <cstdint>
#include <string>

namespace tunrax {

class TSource;

// Creates fileName anew (never through a symbolic link, mode 0600) and lets
// the source write the song into it. Throws tunrax::Error: "Datei "%s" kann
// nicht erstellt werden. %s" when the file cannot be created, the source's
// error when the song cannot be fetched, and a write error when the disk
// takes no more. After any error the file is gone, so that a half-written
// song is never played as if whole.
// A song larger than maxBytes is not taken: "Das Lied "%s" ist größer als %s;
// es wird nicht geladen." The bound by default: see SongSizeLimit.
void FetchSong(TSource& source, const std::string& songPath, const std::string& fileName);
void FetchSong(TSource& source, const std::string& songPath, const std::string& fileName,
               uint64_t maxBytes);

// The largest song taken into folder: 2 GB, and never more than the folder's
// file system has free less 64 MB, so that an endless song from a server
// cannot fill it.
uint64_t SongSizeLimit(const std::string& folder);

}  // namespace tunrax
