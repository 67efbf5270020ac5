// The web server's song listing: any body splits into entries without a
// crash, and no entry holds a line break or a "<br>" of any case.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sources/WebSource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    size_t total = 0;
    for (const std::string& entry : tunrax::SplitListing(body)) {
        if (entry.find_first_of("\r\n") != std::string::npos)
            std::abort();
        std::string lower = entry;
        for (char& c : lower)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        if (lower.find("<br>") != std::string::npos)
            std::abort();
        total += entry.size();
    }
    if (total > body.size())
        std::abort();
    return 0;
}
