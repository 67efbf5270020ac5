#include "app/AlbumPage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
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
    FAway = new QWidget(this);
    auto* awayRow = new QHBoxLayout(FAway);
    awayRow->setContentsMargins(2, 2, 2, 2);
    FAwayText = new QLabel(FAway);
    FAwayText->setObjectName(QStringLiteral("laStand"));
    FAwayText->setWordWrap(true);
    FRetry = new QPushButton(QStringLiteral("&Aktualisieren"), FAway);
    FRetry->setObjectName(QStringLiteral("btnAktualisieren"));
    awayRow->addWidget(FAwayText, 1);
    awayRow->addWidget(FRetry, 0, Qt::AlignTop);
    FAway->hide();
    column->addWidget(FAway);
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

void TAlbumPage::ShowAway(const QString& line, const QString& reason) {
    FAwayText->setText(line);
    // The whole reason, for the pointer and for screen readers.
    FAwayText->setToolTip(reason);
    FAwayText->setAccessibleDescription(reason);
    FAway->setVisible(!line.isEmpty());
}

void TAlbumPage::OpenSearch() {
    FSearch->Open();
}

void TAlbumPage::CloseSearch() {
    FSearch->Close();
}

}  // namespace tunrax
