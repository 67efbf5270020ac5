// The page "Alle" of the main window ("tsAlle"): the album tree ("tvAlben")
// over the catalogue session's folders, and the search field above it
// ("edSuchen"). The tree expands a folder when it becomes current.
//
// The page follows the session it is given until it is told to follow none;
// the collator must outlive the page. Nothing here throws.
#pragma once

#include <QWidget>
#include <cstdint>

class QLabel;
class QPushButton;
class QTreeView;

namespace tunrax {

class TAlbumSearch;
class TAlbumTree;
class TCatalogueModel;
class TCatalogueSession;
class TNameCollator;

class TAlbumPage : public QWidget {
public:
    TAlbumPage(const TNameCollator& collator, TCatalogueSession* catalogue, QWidget* parent);

    QTreeView* Tree() const;
    TCatalogueModel* Model() const { return FModel; }

    // The folder selected (TCatalogue::kNone when none).
    int32_t SelectedNode() const;
    // Selects the folder node as a click does and shows it at the top; the
    // selection goes first, so that it counts as chosen even when it was
    // selected already.
    void ChooseAtTop(int32_t node);
    // The search field: opened with the keyboard focus, or closed with the
    // whole tree shown again.
    void OpenSearch();
    void CloseSearch();
    // The line above the tree ("laStand") when it shows a kept catalogue,
    // with "Aktualisieren" ("btnAktualisieren"); an empty line hides both.
    void ShowAway(const QString& line, const QString& reason);
    QPushButton* RetryButton() const { return FRetry; }

private:
    TAlbumTree* FTree;
    TCatalogueModel* FModel;
    TAlbumSearch* FSearch;
    QWidget* FAway;
    QLabel* FAwayText;
    QPushButton* FRetry;
};

}  // namespace tunrax
