// Checking a source before its settings are saved: does the server answer,
// and does it hold the collection's catalogue, or may the program make one?
#pragma once

#include <string>

namespace tunrax {

class TSource;

// Connects the source, lists the collection's root folder and loads the catalogue as the program's
// start does (FetchCatalogueText, ParseCatalogue, with the same bounds), and
// says in German what it found: the catalogue; none, but the source may scan
// and store one (CanRebuild and CanStoreCatalogue); or none that can be made.
// Writes nothing. Throws tunrax::Error with the source's message when the
// server cannot be reached or refuses, TransferCancelled when called off.
std::string CheckCatalogue(TSource& source);

}  // namespace tunrax
