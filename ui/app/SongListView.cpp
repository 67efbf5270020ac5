#include "app/SongListView.h"

#include <QScopeGuard>
#include <QTreeWidget>

#include "playback/SongList.h"
#include "settings/DisplayText.h"

namespace tunrax {

QTreeWidget* CreateSongListWidget(QWidget* parent) {
    auto* view = new QTreeWidget(parent);
    view->setColumnCount(1);
    view->setHeaderLabels({QStringLiteral("Lieder")});
    view->setHeaderHidden(true);
    view->setColumnWidth(0, 266);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    KeepSelectionVisible(view);
    return view;
}

void KeepSelectionVisible(QWidget* view) {
    QPalette palette = view->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    view->setPalette(palette);
}

void ShowSongList(const TSongList& songs, QTreeWidget* view) {
    view->setUpdatesEnabled(false);
    auto redraw = qScopeGuard([view] { view->setUpdatesEnabled(true); });
    view->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(songs.Size());
    for (int row = 0; row < songs.Size(); ++row) {
        auto* item = new QTreeWidgetItem;  // owned by view once added below
        item->setText(0, QString::fromStdString(DisplayText(songs.At(row).Caption)));
        items.append(item);
    }
    view->addTopLevelItems(items);
}

void MoveSongItem(QTreeWidget* view, int from, int to) {
    view->setUpdatesEnabled(false);
    auto redraw = qScopeGuard([view] { view->setUpdatesEnabled(true); });
    QTreeWidgetItem* item = view->takeTopLevelItem(from);
    if (!item)
        return;
    view->insertTopLevelItem(to, item);
    view->setCurrentItem(item);
}

int SelectedRow(const QTreeWidget* view) {
    // The row drawn selected, wherever the current row is (Tab and Ctrl with
    // an arrow key move the current row without selecting it).
    const QList<QTreeWidgetItem*> selected = view->selectedItems();
    return selected.size() == 1 ? view->indexOfTopLevelItem(selected.first()) : TSongList::kNoRow;
}

}  // namespace tunrax
