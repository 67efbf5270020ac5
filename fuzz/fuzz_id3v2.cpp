// Fuzz target for the ID3v2 reader: any file must be read without a crash or
// an endless walk, and no text may be longer than the 250-byte frame buffer.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/ID3v2.h"

namespace {

// The reader only takes file names: one scratch file for the whole run, its
// name removed at once and the file reached through its descriptor, so that
// nothing is left behind however the run ends.
int InputFd() {
    static const int fd = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz-id3v2-XXXXXX";
        const int created = ::mkstemp(pattern.data());
        if (created < 0)
            std::abort();
        ::unlink(pattern.c_str());
        return created;
    }();
    return fd;
}

// The input as the content of the scratch file; its name.
std::string WriteInput(const uint8_t* data, size_t size) {
    const int fd = InputFd();
    if (::ftruncate(fd, 0) != 0 ||
        (size > 0 && ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)))
        std::abort();
    return "/proc/self/fd/" + std::to_string(fd);
}

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
