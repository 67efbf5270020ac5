// Building the catalogue by scanning a source's folders, depth first.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "collection/Catalogue.h"

namespace tunrax {

class TSource;
class TNameCollator;
class ProgressDisplay;

// Clears catalogue, then adds every folder of the source: each parent's
// sub-folders sorted and without case duplicates (collator); of names equal
// without regard to case the one first in byte order stays, whatever order
// the source listed them in. Folders whose names are not IsListableName (a
// CR, LF or zero byte) are left out, since the catalogue file could not
// carry them. progress (may be none)
// gets as maximum the number of top-level folders and one step after each of
// them. Uses one scan context of the source (BeginScan) for the whole scan,
// freed at the end, also on error. Errors of the source pass through; the
// folders added so far stay. Before each folder it looks whether the scan was
// called off (see TransferControl.h) and throws TransferCancelled then. More
// folders or deeper ones than bounds allow end it with tunrax::Error.
// How far a scan goes: a tree beyond these is no music collection (a link
// round in a circle, a copy of a whole disk); the scan ends with a message.
struct TScanBounds {
    int32_t maxFolders = kCatalogueMaxFolders;
    size_t maxDepth = 1000;
};

void ScanCatalogue(TSource& source, const TNameCollator& collator, TCatalogue& catalogue,
                   ProgressDisplay* progress, const TScanBounds& bounds = {});

// The catalogue file's name for the source: "tunrax2.dat" when alternative.
const char* CatalogueFileName(bool alternative);

// A folder takes some 20 bytes in the catalogue: the limit leaves room for
// more than ten million of them; a larger file is a hostile or broken
// server's. The time limit is that of a listing.
inline constexpr size_t kCatalogueMaxBytes = size_t{256} << 20;
inline constexpr std::chrono::milliseconds kCatalogueTimeLimit{120000};

// The text of the source's catalogue file (CatalogueFileName). Throws
// tunrax::Error (German, naming the file and the limit) when it is longer than
// maxBytes, without taking more memory, or when fetching it takes longer than
// timeLimit; errors of the source pass through.
std::string FetchCatalogueText(TSource& source, size_t maxBytes = kCatalogueMaxBytes,
                               std::chrono::milliseconds timeLimit = kCatalogueTimeLimit);

}  // namespace tunrax
