// The last good catalogue of each source, kept in the user's cache folder
// ($XDG_CACHE_HOME/quintor/tunRax/), so that the album tree can be shown
// while the source is away (a server down, a drive not mounted). One file
// per source: its kind, address, root and catalogue choice name it.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace tunrax {

struct TSourceSettings;

struct TKeptCatalogue {
    std::string Text;  // as WriteCatalogue writes it
    std::time_t Kept = 0;
};

// The file that keeps the catalogue of the source settings choose; "" when
// there is no cache folder (no home folder).
std::string KeptCatalogueFile(const TSourceSettings& settings);

// Replaces the kept catalogue atomically. Throws tunrax::Error (German).
void KeepCatalogue(const std::string& file, const std::string& text);
// The kept catalogue; none when there is none or it cannot be read.
std::optional<TKeptCatalogue> ReadKeptCatalogue(const std::string& file);

// "07.12.26, 14:03": when a kept catalogue was kept, in local time.
std::string KeptTimeText(std::time_t kept);

}  // namespace tunrax
