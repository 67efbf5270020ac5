// Reads an ID3v2 tag (major version 3 and higher) at the start of an MP3 file
// and offers twelve of its text frames. At most 250 bytes of each frame are
// read; texts are the frame's bytes (no character set conversion) except that
// UTF-16 with a byte order mark (encoding byte 1) loses its zero bytes, which
// turns Latin-1 text into 8-bit text. Of an older tag only its presence is
// reported. Nothing throws: a file that cannot be read gives false.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tunrax {

// The frames the reader collects, in the order of their raw values.
inline constexpr std::array<const char*, 12> FrameTable = {
    "TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON", "COMM", "TCOM", "TENC", "TCOP", "TLAN", "WXXX"};

class TID3v2 {
public:
    // Clears the object, then reads the tag. True when the first 10 bytes of
    // the file could be read; whether a tag was there is TagFound().
    bool LoadFromFile(const std::string& fileName);
    void Clear();

    bool TagFound() const { return FTagFound; }
    uint8_t MajorVersion() const { return FMajorVersion; }
    // Header included; 0 when the header claims more than the file holds.
    int32_t TagSize() const { return FTagSize; }
    const std::string& Title() const { return FTitle; }
    const std::string& Artist() const { return FArtist; }
    const std::string& Album() const { return FAlbum; }
    uint8_t TrackNumber() const { return FTrackNumber; }  // low 8 bits; 0 = none
    const std::string& Year() const { return FYear; }
    const std::string& Genre() const { return FGenre; }
    const std::string& Comment() const { return FComment; }
    const std::string& Composer() const { return FComposer; }
    const std::string& EncodedBy() const { return FEncodedBy; }
    const std::string& RightsNotice() const { return FRightsNotice; }
    const std::string& Language() const { return FLanguage; }
    const std::string& Link() const { return FLink; }

private:
    bool FTagFound = false;
    uint8_t FMajorVersion = 0;
    int32_t FTagSize = 0;
    std::string FTitle;
    std::string FArtist;
    std::string FAlbum;
    uint8_t FTrackNumber = 0;
    std::string FYear;
    std::string FGenre;
    std::string FComment;
    std::string FComposer;
    std::string FEncodedBy;
    std::string FRightsNotice;
    std::string FLanguage;
    std::string FLink;
};

}  // namespace tunrax
