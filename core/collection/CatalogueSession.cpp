#include "collection/CatalogueSession.h"

#include <algorithm>
#include <sstream>

#include "collection/CatalogueScan.h"
#include "collection/Collation.h"
#include "io/Error.h"
#include "sources/Source.h"
#include "sources/TransferControl.h"

namespace tunrax {

namespace {

// Runs a clean-up when the scope ends, also when an error leaves it.
template <class F>
class Finally {
public:
    explicit Finally(F f) : FF(std::move(f)) {}
    ~Finally() { FF(); }
    Finally(const Finally&) = delete;
    Finally& operator=(const Finally&) = delete;

private:
    F FF;
};

}  // namespace

void TCatalogueSession::Replace(TCatalogue& catalogue) {
    if (FListener)
        FListener->OnCatalogueReplacing();
    FCatalogue.Swap(catalogue);
    if (FListener)
        FListener->OnCatalogueReplaced();
}

void TCatalogueSession::Clear() {
    TCatalogue empty;
    Replace(empty);
}

bool TCatalogueSession::Load(TSource& source) {
    TCatalogue catalogue;
    try {
        ParseCatalogue(FetchCatalogueText(source), catalogue);
    } catch (const TransferCancelled&) {
        throw;
    } catch (const Error&) {
        if (!source.Can(CanRebuild))
            throw;
        return false;
    }
    Replace(catalogue);
    return true;
}

void TCatalogueSession::Scan(TSource& source, ProgressDisplay* progress) {
    TCatalogue catalogue;
    // The folders found so far stay, also after an error.
    Finally keep([&] { Replace(catalogue); });
    ScanCatalogue(source, FCollator, catalogue, progress);
}

void TCatalogueSession::Store(TSource& source) const {
    if (!source.Can(CanStoreCatalogue))
        return;
    std::istringstream text(WriteCatalogue(FCatalogue));
    source.PutFile(text, CatalogueFileName(source.Alternative));
}

TAlbumListing TCatalogueSession::ListAlbum(TSource& source, int32_t node) const {
    TAlbumListing album;
    if (node == TCatalogue::kNone)
        return album;
    album.Folder = NodePath(FCatalogue, node);
    source.ListFiles(album.Files, album.Folder);
    // Folders list in no fixed order; sorting by bytes first makes the same
    // one of two names that differ only in case stay every time.
    std::sort(album.Files.begin(), album.Files.end());
    FCollator.SortUnique(album.Files);
    return album;
}

int32_t TCatalogueSession::AlbumOf(const std::string& song) const {
    int32_t album = TCatalogue::kNone;
    for (int32_t parent = TCatalogue::kNone;;) {
        int32_t found = TCatalogue::kNone;
        for (int32_t child : FCatalogue.ChildrenOf(parent))
            if (song.find(NodePath(FCatalogue, child)) != std::string::npos) {
                found = child;
                break;
            }
        if (found == TCatalogue::kNone)
            break;
        album = parent = found;
        if (FCatalogue.ChildrenOf(found).empty())
            break;
    }
    return album;
}

}  // namespace tunrax
