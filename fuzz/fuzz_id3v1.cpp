// Fuzz target for the ID3v1 reader: any file must be read without a crash,
// and no text may be longer than its field in the 128-byte tag.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/ID3v1.h"
#include "fuzz_input.h"

namespace {

using tunrax::fuzz::WriteInput;

void CheckLength(const std::string& text, size_t limit, const char* field) {
    if (text.size() <= limit)
        return;
    std::fprintf(stderr, "fuzz_id3v1: %s has %zu bytes\n", field, text.size());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file = WriteInput(data, size);

    tunrax::TID3v1 tag;
    if (!tag.LoadFromFile(file) || !tag.TagFound())
        return 0;
    (void)tag.TagVersion();
    (void)tag.TrackNumber();
    (void)tag.GenreIndex();
    CheckLength(tag.Title(), 30, "Title");
    CheckLength(tag.Artist(), 30, "Artist");
    CheckLength(tag.Album(), 30, "Album");
    CheckLength(tag.Year(), 4, "Year");
    CheckLength(tag.Comment(), 30, "Comment");
    return 0;
}
