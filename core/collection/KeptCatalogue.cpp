#include "collection/KeptCatalogue.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "io/AtomicOutputFile.h"
#include "settings/UserFolders.h"
#include "sources/SourceSettings.h"

namespace tunrax {

namespace {

// 64-bit FNV-1a: a short stable file name for any address and root.
uint64_t Fnv1a(const std::string& text) {
    uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace

std::string KeptCatalogueFile(const TSourceSettings& settings) {
    const std::string folder = GetUserCacheFolder("tunRax", "quintor");
    if (folder.empty())
        return std::string();
    std::string what = std::to_string(settings.Type) + "\n";
    switch (settings.Kind().value_or(TSourceKind::Local)) {
        case TSourceKind::Local: what += settings.Folder; break;
        case TSourceKind::Web: what += settings.WebAddress + "\n" + settings.WebRoot; break;
        case TSourceKind::Ftp:
            what += settings.FtpAddress + "\n" + settings.FtpUser + "\n" + settings.FtpRoot;
            break;
    }
    what += settings.Alternative ? "\n2" : "\n1";
    char name[32];
    std::snprintf(name, sizeof name, "katalog-%016llx.dat",
                  static_cast<unsigned long long>(Fnv1a(what)));
    return folder + name;
}

void KeepCatalogue(const std::string& file, const std::string& text) {
    TAtomicOptions options;
    WriteFileAtomically(file, text, options);
}

std::optional<TKeptCatalogue> ReadKeptCatalogue(const std::string& file) {
    struct stat st;
    if (file.empty() || ::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in)
        return std::nullopt;
    return TKeptCatalogue{text.str(), st.st_mtime};
}

std::string KeptTimeText(std::time_t kept) {
    std::tm local{};
    localtime_r(&kept, &local);
    char text[32];
    std::strftime(text, sizeof text, "%d.%m.%y, %H:%M", &local);
    return text;
}

}  // namespace tunrax
