#include "collection/CatalogueCheck.h"

#include <vector>

#include "collection/Catalogue.h"
#include "collection/CatalogueScan.h"
#include "io/Error.h"
#include "sources/Source.h"

namespace tunrax {

std::string CheckCatalogue(TSource& source) {
    // What the server allows decides what is said below.
    source.Connect();
    // The root's listing shows that the server answers for this folder,
    // before the missing catalogue is taken for an empty collection.
    try {
        std::vector<std::string> songs;
        source.ListFiles(songs, std::string());
    } catch (const NotFoundError& error) {
        throw Error("Der Server antwortet, aber unter \"" + source.Root +
                    "\" ist keine Sammlung zu finden (" + error.what() + ")");
    }
    const bool canMake = source.Can(CanRebuild) && source.Can(CanStoreCatalogue);
    const std::string name = CatalogueFileName(source.Alternative);
    std::string text;
    try {
        text = FetchCatalogueText(source);
    } catch (const NotFoundError&) {
        if (canMake)
            return "Verbindung in Ordnung, kein Katalog: er wird beim ersten Start erstellt";
        return "Verbindung in Ordnung, aber kein Katalog \"" + name +
               "\": er kann hier nicht erstellt werden (bitte auf dem Server anlegen)";
    }
    TCatalogue catalogue;
    try {
        ParseCatalogue(text, catalogue);
    } catch (const Error& error) {
        // The start scans anew where it may, as for a missing catalogue.
        if (canMake)
            return "Verbindung in Ordnung, der Katalog \"" + name +
                   "\" ist unlesbar: er wird beim ersten Start neu erstellt";
        throw Error("Verbindung in Ordnung, aber der Katalog \"" + name +
                    "\" ist unlesbar: " + error.what());
    }
    return "Verbindung in Ordnung, Katalog gefunden";
}

}  // namespace tunrax
