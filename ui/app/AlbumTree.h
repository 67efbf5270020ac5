// The album tree's view and its search field.
//
// TAlbumTree: a tree view of a TCatalogueModel whose type-ahead (letters typed
// while it has the focus) goes to the next folder whose name starts with
// them, also inside collapsed folders, which it expands.
//
// TAlbumSearch: the field "Suchen" above the tree. While it is open the tree
// shows only the folders whose name contains its text, and their parents;
// Enter selects the first of them, Escape (in the field or the tree) closes
// the field and shows the whole tree again with the selection kept.
//
// Names are compared as the tree sorts them (TNameCollator::MatchText). The
// collator must outlive both widgets; the tree owns its model; the field is
// not to be used once the tree is gone. Nothing here throws.
#pragma once

#include <QElapsedTimer>
#include <QLineEdit>
#include <QTreeView>
#include <string>
#include <vector>

namespace tunrax {

class TCatalogueModel;
class TNameCollator;

class TAlbumTree : public QTreeView {
    Q_OBJECT

public:
    // Shows a model of its own, which it owns.
    TAlbumTree(const TNameCollator& collator, QWidget* parent = nullptr);

    TCatalogueModel* Model() const { return FModel; }

    // Makes node the current and selected folder, its parents expanded and
    // it scrolled into view. notify false: the selection changes without the
    // selection model's signals (the folder's songs are listed already).
    void ShowNode(int32_t node, bool notify = true);

    void keyboardSearch(const QString& search) override;

private:
    // Whether name's match text starts with prefix (a match text).
    bool StartsWith(const std::string& name, const std::string& prefix) const;

    TCatalogueModel* FModel;
    const TNameCollator& FCollator;
    QString FTyped;
    QElapsedTimer FTypedAt;
};

class TAlbumSearch : public QLineEdit {
    Q_OBJECT

public:
    TAlbumSearch(TAlbumTree* tree, TCatalogueModel* model, const TNameCollator& collator,
                 QWidget* parent = nullptr);

    // Shows the field with the keyboard focus, its text selected.
    void Open();
    // Closes the field: the whole tree, the selection kept and scrolled to.
    void Close();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Filter(const QString& text);
    void SelectFirstMatch();
    int32_t CurrentNode() const;

    TAlbumTree* FTree;
    TCatalogueModel* FModel;
    const TNameCollator& FCollator;
    // The folders expanded before the search, expanded again after it.
    std::vector<int32_t> FExpanded;
    // The folder selected last; it stays selected while the search hides it.
    int32_t FSelected = -1;
};

}  // namespace tunrax
