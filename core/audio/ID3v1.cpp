#include "audio/ID3v1.h"

#include "audio/TagFile.h"

namespace tunrax {

namespace {

constexpr int kTagBytes = 128;

// The field's bytes with zero bytes inside kept; only the trailing fill
// (zero bytes or spaces, and any other control byte) goes.
std::string Field(const unsigned char* tag, int offset, int length) {
    while (length > 0 && tag[offset + length - 1] <= 0x20)
        --length;
    return std::string(reinterpret_cast<const char*>(tag + offset), static_cast<size_t>(length));
}

}  // namespace

void TID3v1::Clear() {
    *this = TID3v1();
}

bool TID3v1::LoadFromFile(const std::string& fileName) {
    Clear();
    unsigned char tag[kTagBytes];
    {
        const TTagFile file(fileName.c_str());
        if (!file.IsOpen() || file.Size() < kTagBytes)
            return false;
        if (file.ReadAt(file.Size() - kTagBytes, tag, kTagBytes) != kTagBytes)
            return false;
    }
    if (tag[0] != 'T' || tag[1] != 'A' || tag[2] != 'G')
        return true;

    FTagFound = true;
    // Version 1.1 keeps the track in the comment's last byte behind a zero
    // byte; writers that pad with spaces put a space there instead.
    const bool v11 = (tag[125] == 0 && tag[126] != 0) || (tag[125] == 0x20 && tag[126] != 0x20);
    FTagVersion = v11 ? 2 : 1;
    FTitle = Field(tag, 3, 30);
    FArtist = Field(tag, 33, 30);
    FAlbum = Field(tag, 63, 30);
    FYear = Field(tag, 93, 4);
    if (v11) {
        FComment = Field(tag, 97, 28);
        FTrackNumber = tag[126];
    } else {
        FComment = Field(tag, 97, 30);
    }
    FGenreIndex = tag[127];
    return true;
}

}  // namespace tunrax
