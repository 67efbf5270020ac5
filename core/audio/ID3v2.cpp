#include "audio/ID3v2.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "audio/TagFile.h"

namespace tunrax {

namespace {

constexpr int kHeaderBytes = 10;
constexpr int kFrameBuffer = 250;
// Most tags fit in the first read, so a reading costs one system call.
constexpr size_t kWindowBytes = 4096;

enum {
    kTitle,
    kArtist,
    kAlbum,
    kTrack,
    kYear,
    kGenre,
    kComment,
    kComposer,
    kEncodedBy,
    kRights,
    kLanguage,
    kLink
};

using TFrameBuffer = std::array<unsigned char, kFrameBuffer>;

// Serves the small reads of the frame walk from one cached stretch of the
// file.
class TWindowReader {
public:
    explicit TWindowReader(const TTagFile& file) : FFile(file), FData(kWindowBytes) {}

    // Copies count bytes at offset; false when the file has fewer.
    bool Read(int64_t offset, void* buffer, size_t count) {
        if (offset < FStart || offset + static_cast<int64_t>(count) > FStart + FLength) {
            if (FData.size() < count)
                FData.resize(count);
            const int64_t n = FFile.ReadAt(offset, FData.data(), FData.size());
            FStart = offset;
            FLength = std::max<int64_t>(n, 0);
            if (FLength < static_cast<int64_t>(count))
                return false;
        }
        std::memcpy(buffer, FData.data() + (offset - FStart), count);
        return true;
    }

private:
    const TTagFile& FFile;
    std::vector<unsigned char> FData;
    int64_t FStart = 0;
    int64_t FLength = 0;
};

bool IsBlank(unsigned char c) {
    return c <= 0x20;
}

std::string Trim(const unsigned char* bytes, size_t length) {
    size_t first = 0;
    while (first < length && IsBlank(bytes[first]))
        ++first;
    while (length > first && IsBlank(bytes[length - 1]))
        --length;
    return std::string(reinterpret_cast<const char*>(bytes + first), length - first);
}

std::string Trim(const std::string& s) {
    return Trim(reinterpret_cast<const unsigned char*>(s.data()), s.size());
}

// UTF-16 of Latin-1 characters, either byte order, becomes 8-bit text by
// leaving out every zero byte.
std::string DropZeros(const unsigned char* bytes, size_t length) {
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        if (bytes[i] != 0)
            out.push_back(static_cast<char>(bytes[i]));
    }
    return out;
}

// The raw value of a frame: encoding byte 1 (UTF-16 with byte order mark)
// reduced from the fourth byte on, any other encoding taken whole.
std::string RawValue(const TFrameBuffer& buf) {
    if (buf[0] == 1)
        return DropZeros(buf.data() + 3, buf.size() - 3);
    return std::string(reinterpret_cast<const char*>(buf.data()), buf.size());
}

std::string Text(const TFrameBuffer& buf) {
    return Trim(RawValue(buf));
}

// Everything behind the first zero byte from start on (a description and its
// terminator skipped), trimmed; empty when there is no zero byte.
std::string AfterDescription(const TFrameBuffer& buf, size_t start) {
    const auto* begin = buf.data() + std::min(start, buf.size());
    const auto* end = buf.data() + buf.size();
    const auto* zero = std::find(begin, end, 0);
    return zero == end ? Trim(begin, static_cast<size_t>(end - begin))
                       : Trim(zero + 1, static_cast<size_t>(end - zero - 1));
}

// Offset behind a UTF-16 description that starts at start and ends with a
// zero character; the buffer's end when the terminator is not inside it.
size_t AfterUtf16Description(const TFrameBuffer& buf, size_t start) {
    for (size_t i = start; i + 1 < buf.size(); i += 2) {
        if (buf[i] == 0 && buf[i + 1] == 0)
            return i + 2;
    }
    return buf.size();
}

// COMM: encoding byte, language code, description, text. A UTF-16
// description ends in two zero bytes, so it is skipped before the zero bytes
// are dropped (dropping them first would leave no end to find).
std::string CommentText(const TFrameBuffer& buf) {
    if (buf[0] != 1)
        return AfterDescription(buf, 4);
    size_t text = AfterUtf16Description(buf, 4);
    if (text + 1 < buf.size() && ((buf[text] == 0xFF && buf[text + 1] == 0xFE) ||
                                  (buf[text] == 0xFE && buf[text + 1] == 0xFF)))
        text += 2;
    return Trim(DropZeros(buf.data() + text, buf.size() - text));
}

// WXXX: encoding byte, description, then the address in 8-bit characters
// whatever the encoding.
std::string LinkText(const TFrameBuffer& buf) {
    if (buf[0] != 1)
        return AfterDescription(buf, 1);
    const size_t url = AfterUtf16Description(buf, 1);
    return Trim(buf.data() + url, buf.size() - url);
}

// "3/12" gives 3; a text that is not entirely a decimal number gives 0.
uint8_t TrackOf(const TFrameBuffer& buf) {
    std::string s = Text(buf);
    s = s.substr(0, s.find('/'));
    size_t i = (!s.empty() && (s[0] == '+' || s[0] == '-')) ? 1 : 0;
    if (i == s.size())
        return 0;
    int64_t value = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9')
            return 0;
        value = value * 10 + (s[i] - '0');
        if (value > int64_t{INT32_MAX} + 1)
            return 0;  // not a 32-bit number
    }
    if (s[0] == '-')
        value = -value;
    if (value > INT32_MAX)
        return 0;
    return static_cast<uint8_t>(value & 0xFF);
}

std::string GenreOf(const TFrameBuffer& buf) {
    const std::string s = Text(buf);
    const size_t close = s.rfind(')');
    return close == std::string::npos ? s : s.substr(close + 1);
}

uint32_t BigEndian32(const unsigned char* b) {
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

// Seven bits per byte, each byte counted whole as in the tag size; the sum
// stays below 2^29 whatever the bytes hold.
uint32_t SevenBit32(const unsigned char* b) {
    return (uint32_t{b[0]} << 21) + (uint32_t{b[1]} << 14) + (uint32_t{b[2]} << 7) + b[3];
}

}  // namespace

void TID3v2::Clear() {
    *this = TID3v2();
}

bool TID3v2::LoadFromFile(const std::string& fileName) {
    Clear();
    const TTagFile file(fileName.c_str());
    if (!file.IsOpen())
        return false;
    TWindowReader reader(file);
    unsigned char header[kHeaderBytes];
    if (!reader.Read(0, header, kHeaderBytes))
        return false;
    if (std::memcmp(header, "ID3", 3) != 0)
        return true;

    FTagFound = true;
    FMajorVersion = header[3];
    const int64_t tagSize = int64_t{SevenBit32(header + 6)} + kHeaderBytes;
    FTagSize = tagSize > file.Size() ? 0 : static_cast<int32_t>(tagSize);
    if (FMajorVersion < 3 || FTagSize <= 0)
        return true;

    std::array<TFrameBuffer, FrameTable.size()> raw{};
    // A frame that starts inside the tag is taken even when it runs past the
    // tag's end (taggers that count a few bytes short), as long as its data
    // lies inside the file. Every frame moves the position on by at least its
    // header, and sizes are added in 64 bits, so the walk ends and never moves
    // backwards whatever the size fields say.
    int64_t pos = kHeaderBytes;
    while (pos < FTagSize && pos < file.Size()) {
        unsigned char frame[kHeaderBytes];
        if (!reader.Read(pos, frame, kHeaderBytes))
            break;
        if (frame[0] < 'A' || frame[0] > 'Z')
            break;  // padding or an extended header
        const int64_t dataStart = pos + kHeaderBytes;
        // Version 4 (and anything later) writes frame sizes with seven bits
        // per byte, version 3 with all eight.
        const uint32_t size = FMajorVersion == 3 ? BigEndian32(frame + 4) : SevenBit32(frame + 4);
        if (dataStart + int64_t{size} > file.Size())
            break;  // the rest of the tag is broken; what came before stays
        TFrameBuffer buf{};
        const size_t count = std::min<size_t>(size, kFrameBuffer);
        if (!reader.Read(dataStart, buf.data(), count))
            break;
        for (size_t i = 0; i < FrameTable.size(); ++i) {
            if (std::memcmp(frame, FrameTable[i], 4) == 0) {
                raw[i] = buf;
                break;
            }
        }
        pos = dataStart + size;
    }

    FTitle = Text(raw[kTitle]);
    FArtist = Text(raw[kArtist]);
    FAlbum = Text(raw[kAlbum]);
    FTrackNumber = TrackOf(raw[kTrack]);
    FYear = Text(raw[kYear]);
    FGenre = GenreOf(raw[kGenre]);
    FComment = CommentText(raw[kComment]);
    FComposer = Text(raw[kComposer]);
    FEncodedBy = Text(raw[kEncodedBy]);
    FRightsNotice = Text(raw[kRights]);
    FLanguage = Text(raw[kLanguage]);
    FLink = LinkText(raw[kLink]);
    return true;
}

}  // namespace tunrax
