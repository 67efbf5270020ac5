// Fuzz target for the ID3v2 reader: any file must be read without a crash or
// an endless walk, and no text may be longer than the 250-byte frame buffer.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/ID3v2.h"
#include "fuzz_input.h"

namespace {

using tunrax::fuzz::WriteInput;

void CheckLength(const std::string& text, const char* field) {
    if (text.size() <= 250)
        return;
    std::fprintf(stderr, "fuzz_id3v2: %s has %zu bytes\n", field, text.size());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file = WriteInput(data, size);

    tunrax::TID3v2 tag;
    if (!tag.LoadFromFile(file) || !tag.TagFound())
        return 0;
    (void)tag.MajorVersion();
    (void)tag.TagSize();
    (void)tag.TrackNumber();
    CheckLength(tag.Title(), "Title");
    CheckLength(tag.Artist(), "Artist");
    CheckLength(tag.Album(), "Album");
    CheckLength(tag.Year(), "Year");
    CheckLength(tag.Genre(), "Genre");
    CheckLength(tag.Comment(), "Comment");
    CheckLength(tag.Composer(), "Composer");
    CheckLength(tag.EncodedBy(), "EncodedBy");
    CheckLength(tag.RightsNotice(), "RightsNotice");
    CheckLength(tag.Language(), "Language");
    CheckLength(tag.Link(), "Link");
    return 0;
}
