#include "app/AlbumPage.h"

#include <QVBoxLayout>

#include "app/AlbumTree.h"
#include "app/CatalogueModel.h"
#include "app/SongListView.h"
#include "widgets/WholeGlyphs.h"

namespace tunrax {

TAlbumPage::TAlbumPage(const TNameCollator& collator, TCatalogueSession* catalogue, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("tsAlle"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    FTree = new TAlbumTree(collator, this);
    FTree->setObjectName(QStringLiteral("tvAlben"));
    FTree->setAccessibleName(QStringLiteral("Alben"));
    FTree->setItemDelegate(new TWholeGlyphsDelegate(FTree));
    FModel = FTree->Model();
    FModel->Follow(catalogue);
    FTree->setHeaderHidden(true);
    FTree->setUniformRowHeights(true);
    FTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FTree->setSelectionMode(QAbstractItemView::SingleSelection);
    FTree->setMouseTracking(true);  // hot tracking
    FTree->setContextMenuPolicy(Qt::CustomContextMenu);
    KeepSelectionVisible(FTree);
    FSearch = new TAlbumSearch(FTree, FModel, collator, this);
    column->addWidget(FSearch);
    column->addWidget(FTree);
    connect(FTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    FTree->expand(current);
            });
}

QTreeView* TAlbumPage::Tree() const {
    return FTree;
}

int32_t TAlbumPage::SelectedNode() const {
    return FModel->NodeOf(FTree->currentIndex());
}

void TAlbumPage::ChooseAtTop(int32_t node) {
    FTree->selectionModel()->clear();
    const QModelIndex index = FModel->IndexOf(node);
    FTree->setCurrentIndex(index);
    FTree->scrollTo(index, QAbstractItemView::PositionAtTop);
}

void TAlbumPage::OpenSearch() {
    FSearch->Open();
}

void TAlbumPage::CloseSearch() {
    FSearch->Close();
}

}  // namespace tunrax
