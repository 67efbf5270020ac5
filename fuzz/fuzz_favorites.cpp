// Fuzz target for the favourite list reader: any file reads without a crash,
// no entry holds a line break or a zero byte, and what is written back reads
// back as the same entries.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "collection/FavoriteList.h"

namespace {

// A private scratch folder for the whole run, for the input and the copy.
const std::string& Folder() {
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz-favorites-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            std::abort();
        return pattern + "/";
    }();
    return folder;
}

void Write(const std::string& path, const uint8_t* data, size_t size) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out || (size > 0 && std::fwrite(data, 1, size, out) != size) || std::fclose(out) != 0)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = Folder() + "input.favoriten";
    const std::string copy = Folder() + "copy.favoriten";
    Write(input, data, size);
    const std::vector<std::string> entries = tunrax::ReadFavorites(input);
    size_t total = 0;
    for (const std::string& entry : entries) {
        if (entry.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
            std::abort();
        total += entry.size();
    }
    if (total > size)
        std::abort();
    tunrax::WriteFavorites(copy, entries);
    if (tunrax::ReadFavorites(copy) != entries)
        std::abort();
    return 0;
}
