// The pages on the left of the main window ("pcSeiten"), their tabs on the
// left: "Alle" with the album tree (TAlbumPage, "tsAlle") and the page of the
// favourite list ("tsFavoriten", its tab named after the list), which shows
// only a picture, hidden while no list is chosen. Leaving "Alle" ends a
// search of the tree, so that the tree is whole when a command comes back.
//
// OnPageChosen is raised when another page comes up, but not for the changes
// the program makes quietly. Nothing here throws.
#pragma once

#include <QTabWidget>
#include <functional>

namespace tunrax {

class TAlbumPage;
class TCatalogueSession;
class TNameCollator;

class TSidePages : public QTabWidget {
public:
    // The album page shows catalogue; collator must outlive the pages.
    TSidePages(const TNameCollator& collator, TCatalogueSession* catalogue, QWidget* parent);

    TAlbumPage* AlbumPage() const { return FAlbumPage; }
    bool AllShown() const { return currentIndex() == 0; }
    bool ListShown() const { return currentIndex() == 1; }

    // Shows "Alle", quietly.
    void ShowAllQuietly();
    // Shows or hides the tab of the list's page, quietly, and names it.
    void ShowListTab(bool shown, const QString& caption);
    // Shows "Alle", as a click on its tab does, and opens the tree's search.
    void OpenSearch();

    std::function<void()> OnPageChosen;

private:
    void OnCurrentChanged(int page);

    TAlbumPage* FAlbumPage;
    bool FQuiet = false;
};

}  // namespace tunrax
