#include "app/SidePages.h"

#include <QLabel>

#include "app/AlbumPage.h"

namespace tunrax {

TSidePages::TSidePages(const TNameCollator& collator, TCatalogueSession* catalogue, QWidget* parent)
    : QTabWidget(parent) {
    setObjectName(QStringLiteral("pcSeiten"));
    setTabPosition(QTabWidget::West);
    setMinimumWidth(160);
    FAlbumPage = new TAlbumPage(collator, catalogue, this);
    connect(this, &QTabWidget::currentChanged, this, &TSidePages::OnCurrentChanged);
    auto* listPage = new QWidget(this);
    listPage->setObjectName(QStringLiteral("tsFavoriten"));
    addTab(FAlbumPage, QStringLiteral("Alle"));
    addTab(listPage, QStringLiteral("Favoriten"));
    setTabVisible(1, false);  // until a favourite list is chosen
    auto* picture = new QLabel(listPage);
    picture->setObjectName(QStringLiteral("imFavoriten"));
    picture->setPixmap(QPixmap(QStringLiteral(":/favoriten.jpg")));
    picture->setAlignment(Qt::AlignCenter);
    picture->resize(240, 300);
}

void TSidePages::OnCurrentChanged(int page) {
    if (page != 0)
        FAlbumPage->CloseSearch();
    if (!FQuiet && OnPageChosen)
        OnPageChosen();
}

void TSidePages::ShowAllQuietly() {
    FQuiet = true;
    setCurrentIndex(0);
    FQuiet = false;
}

void TSidePages::ShowListTab(bool shown, const QString& caption) {
    FQuiet = true;
    setTabVisible(1, shown);
    FQuiet = false;
    setTabText(1, caption);
}

void TSidePages::OpenSearch() {
    setCurrentIndex(0);
    FAlbumPage->OpenSearch();
}

}  // namespace tunrax
