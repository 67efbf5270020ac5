// The catalogue of the current source as the main window works with it,
// without any widget: reading it from the source or scanning the source's
// folders, writing a scanned one back, the songs of an album and the album
// of a song. The album tree shows what the session holds through its
// listener.
//
// Errors of the source and of the catalogue text (tunrax::Error, German)
// pass through, TransferCancelled among them. The session owns the
// catalogue; the source and the collator are lent for each call (the
// collator for the session's life), the listener is not owned.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "collection/Catalogue.h"

namespace tunrax {

class ProgressDisplay;
class TSource;
class TNameCollator;

// Told around each replacement of the folders. Neither may throw.
class TCatalogueListener {
public:
    virtual ~TCatalogueListener() = default;
    // The old folders are still there and their node numbers valid.
    virtual void OnCatalogueReplacing() = 0;
    // The new folders are in place; the old node numbers mean nothing.
    virtual void OnCatalogueReplaced() = 0;
};

// An album's songs: the folder's path (NodePath) and its file names.
struct TAlbumListing {
    std::string Folder;
    std::vector<std::string> Files;
};

class TCatalogueSession {
public:
    explicit TCatalogueSession(const TNameCollator& collator) : FCollator(collator) {}
    TCatalogueSession(const TCatalogueSession&) = delete;
    TCatalogueSession& operator=(const TCatalogueSession&) = delete;

    const TCatalogue& Catalogue() const { return FCatalogue; }
    // One listener at most; none stops telling.
    void SetListener(TCatalogueListener* listener) { FListener = listener; }

    // No folders (the source is being changed).
    void Clear();
    // Reads the source's catalogue file and holds its folders. False when
    // the file could not be fetched or read and the source can scan instead:
    // the caller scans (Scan). Otherwise the error passes through;
    // TransferCancelled always does. The folders held stay as they were
    // unless the file was read.
    bool Load(TSource& source);
    // Scans the source's folders (ScanCatalogue, with progress, which may be
    // none). The folders found so far are held also when an error ends the
    // scan.
    void Scan(TSource& source, ProgressDisplay* progress);
    // Writes the folders back to the source's catalogue file when the source
    // can store it.
    void Store(TSource& source) const;

    // The files of the folder node (none for kNone), sorted as the collator
    // sorts them, each name once without regard to case.
    TAlbumListing ListAlbum(TSource& source, int32_t node) const;
    // The album of a song path: the deepest folder reached by going down from
    // the top, each step to the first child whose path occurs in song.
    // kNone when no top-level folder's path occurs in it.
    int32_t AlbumOf(const std::string& song) const;

    // Holds catalogue's folders in place of the current ones, which
    // catalogue receives (a swap: nothing is copied).
    void Replace(TCatalogue& catalogue);

private:
    const TNameCollator& FCollator;
    TCatalogue FCatalogue;
    TCatalogueListener* FListener = nullptr;
};

}  // namespace tunrax
