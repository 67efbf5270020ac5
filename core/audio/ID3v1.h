// Reads the 128-byte ID3v1 tag at the end of an MP3 file. The texts are the
// tag's bytes as they are (no character set conversion); trailing bytes 0x00
// to 0x20 are removed. Nothing throws: a file that cannot be read gives false.
#pragma once

#include <cstdint>
#include <string>

namespace tunrax {

class TID3v1 {
public:
    // Clears the object, then reads the tag. True when the last 128 bytes of
    // the file could be read; whether a tag was there is TagFound().
    bool LoadFromFile(const std::string& fileName);
    void Clear();

    bool TagFound() const { return FTagFound; }
    // 1 = ID3v1.0, 2 = ID3v1.1 (a track number is present).
    uint8_t TagVersion() const { return FTagVersion; }
    const std::string& Title() const { return FTitle; }
    const std::string& Artist() const { return FArtist; }
    const std::string& Album() const { return FAlbum; }
    const std::string& Year() const { return FYear; }
    const std::string& Comment() const { return FComment; }
    uint8_t TrackNumber() const { return FTrackNumber; }  // 0 = none
    uint8_t GenreIndex() const { return FGenreIndex; }    // as stored; 255 = none

private:
    bool FTagFound = false;
    uint8_t FTagVersion = 1;
    std::string FTitle;
    std::string FArtist;
    std::string FAlbum;
    std::string FYear;
    std::string FComment;
    uint8_t FTrackNumber = 0;
    uint8_t FGenreIndex = 255;
};

}  // namespace tunrax
