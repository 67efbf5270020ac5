#include "app/AlbumTree.h"

#include <QApplication>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <cctype>

#include "app/CatalogueModel.h"
#include "collection/Collation.h"

namespace tunrax {

TAlbumTree::TAlbumTree(const TNameCollator& collator, QWidget* parent)
    : QTreeView(parent), FModel(new TCatalogueModel(this)), FCollator(collator) {
    setModel(FModel);
}

void TAlbumTree::ShowNode(int32_t node, bool notify) {
    const QModelIndex index = FModel->IndexOf(node);
    if (!index.isValid())
        return;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        expand(up);
    if (notify) {
        setCurrentIndex(index);
    } else {
        const QSignalBlocker quiet(selectionModel());
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        viewport()->update();
    }
    scrollTo(index);
}

bool TAlbumTree::StartsWith(const std::string& name, const std::string& prefix) const {
    // A name that starts with a plain ASCII character starts its match text
    // with that character folded: most names are turned down by it alone.
    const auto first = static_cast<unsigned char>(name.empty() ? 0 : name[0]);
    const auto wanted = static_cast<unsigned char>(prefix.empty() ? 0 : prefix[0]);
    if (first > 0 && first < 0x80 && wanted > 0 && wanted < 0x80 && std::tolower(first) != wanted)
        return false;
    return FCollator.MatchText(name).starts_with(prefix);
}

void TAlbumTree::keyboardSearch(const QString& search) {
    if (search.isEmpty())
        return;
    const int32_t current = FModel->NodeOf(currentIndex());
    // As Qt's own type-ahead: a pause starts a new text, searched from the
    // folder after the current one; a further letter within the pause
    // searches from the current one; the same letter again goes on to the
    // next folder that starts with it.
    bool fromNext = true;
    if (!FTypedAt.isValid() || FTypedAt.elapsed() > QApplication::keyboardInputInterval()) {
        FTyped = search;
    } else {
        FTyped += search;
        fromNext = false;
    }
    FTypedAt.start();
    QString sought = FTyped;
    if (FTyped.size() > 1 && FTyped.count(FTyped.front()) == FTyped.size()) {
        sought = FTyped.left(1);
        fromNext = true;
    }
    const std::string prefix = FCollator.MatchText(sought.toStdString());

    const int32_t count = FModel->Catalogue().Count();
    int32_t node = current;
    if (node == TCatalogue::kNone || fromNext)
        node = FModel->NextShown(node);
    for (int32_t seen = 0; node != TCatalogue::kNone && seen < count;
         node = FModel->NextShown(node), ++seen) {
        if (StartsWith(FModel->Catalogue().At(node).Name, prefix)) {
            if (node != current)
                ShowNode(node);
            return;
        }
    }
}

TAlbumSearch::TAlbumSearch(TAlbumTree* tree, TCatalogueModel* model, const TNameCollator& collator,
                           QWidget* parent)
    : QLineEdit(parent), FTree(tree), FModel(model), FCollator(collator) {
    setObjectName(QStringLiteral("edSuchen"));
    setAccessibleName(QStringLiteral("Suchen"));
    setPlaceholderText(QStringLiteral("Suchen"));
    setClearButtonEnabled(true);
    hide();
    connect(this, &QLineEdit::textChanged, this, &TAlbumSearch::Filter);
    // A new tree (a scan, another source) has its own folders and no
    // selection; a search under way goes on in it.
    connect(model, &TCatalogueModel::Replaced, this, [this] {
        FSelected = TCatalogue::kNone;
        FExpanded.clear();
        if (!isHidden())
            Filter(text());
    });
    // Escape in the tree, after a click on a folder found, ends the search
    // as in the field.
    tree->installEventFilter(this);
    // Tracks the selection also when a click or the keyboard in the tree
    // makes it, so that Escape keeps it.
    connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    FSelected = FModel->NodeOf(current);
            });
}

int32_t TAlbumSearch::CurrentNode() const {
    return FModel->NodeOf(FTree->currentIndex());
}

void TAlbumSearch::Open() {
    if (isHidden()) {
        FSelected = CurrentNode();
        // Only what the user can reach is walked: expanded folders.
        FExpanded.clear();
        std::vector<int32_t> open{TCatalogue::kNone};
        while (!open.empty()) {
            const int32_t parent = open.back();
            open.pop_back();
            for (int32_t child : FModel->ShownChildren(parent))
                if (FTree->isExpanded(FModel->IndexOf(child))) {
                    FExpanded.push_back(child);
                    open.push_back(child);
                }
        }
        FModel->BeginFilter(FCollator);
        show();
    }
    setFocus(Qt::ShortcutFocusReason);
    selectAll();
}

void TAlbumSearch::Close() {
    if (isHidden())
        return;
    hide();
    {
        const QSignalBlocker quiet(this);
        clear();
    }
    FModel->EndFilter();
    for (int32_t node : FExpanded)
        FTree->expand(FModel->IndexOf(node));
    FExpanded.clear();
    if (FSelected != TCatalogue::kNone)
        FTree->ShowNode(FSelected, false);
    FTree->setFocus(Qt::OtherFocusReason);
}

void TAlbumSearch::Filter(const QString& text) {
    FModel->SetFilter(text, FCollator);
    if (FModel->Filtered())
        FTree->expandAll();
    else
        for (int32_t node : FExpanded)
            FTree->expand(FModel->IndexOf(node));
    // The reset of the model took the selection; it comes back where the
    // folder is still shown, without listing its songs once more. The tree
    // stays at its top, where the first matches are.
    const QModelIndex selected = FModel->IndexOf(FSelected);
    if (selected.isValid()) {
        const QSignalBlocker quiet(FTree->selectionModel());
        FTree->selectionModel()->setCurrentIndex(selected, QItemSelectionModel::ClearAndSelect);
    }
}

void TAlbumSearch::SelectFirstMatch() {
    const int32_t first = FModel->FirstMatch();
    if (first == TCatalogue::kNone)
        return;
    if (first == CurrentNode()) {
        // Selected already: its songs are listed.
        FTree->scrollTo(FModel->IndexOf(first));
        return;
    }
    FTree->ShowNode(first);
}

bool TAlbumSearch::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FTree && event->type() == QEvent::KeyPress && !isHidden() &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        Close();
        return true;
    }
    return QLineEdit::eventFilter(watched, event);
}

void TAlbumSearch::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Escape) {
        Close();
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Taken here: passed on, the window would turn it into Tab.
        SelectFirstMatch();
    } else if (key == Qt::Key_Down) {
        FTree->setFocus(Qt::TabFocusReason);
    } else {
        QLineEdit::keyPressEvent(event);
    }
}

}  // namespace tunrax
