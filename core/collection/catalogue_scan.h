// Building the catalogue by scanning a source's folders, depth first.
#pragma once

#include "collection/catalogue.h"

namespace tunrax {

class TCustomTransfer;
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
// folders added so far stay.
void ScanCatalogue(TCustomTransfer& source, const TNameCollator& collator, TCatalogue& catalogue,
                   ProgressDisplay* progress);

// The catalogue file's name for the source: "tunrax2.dat" when alternative.
const char* CatalogueFileName(bool alternative);

}  // namespace tunrax
