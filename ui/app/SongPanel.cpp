#include "app/SongPanel.h"

#include <QLabel>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include "app/SongListView.h"
#include "playback/SongList.h"

namespace tunrax {

namespace {

const QColor kHighlight(192, 220, 192);

// Draws the rows that highlighted picks on the highlight colour.
class THighlightDelegate : public QStyledItemDelegate {
public:
    THighlightDelegate(std::function<bool(int)> highlighted, QTreeWidget* list)
        : QStyledItemDelegate(list), FHighlighted(std::move(highlighted)) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (FHighlighted(index.row()))
            option->backgroundBrush = kHighlight;
    }

private:
    std::function<bool(int)> FHighlighted;
};

}  // namespace

TSongPanel::TSongPanel(QWidget* window) {
    setSpacing(1);
    FList = CreateSongListWidget(window);
    FList->setObjectName(QStringLiteral("lvLieder"));
    addWidget(FList, 1);
    const std::pair<QLabel**, const char*> labels[] = {
        {&FTitle, "laTitel"}, {&FArtist, "laInterpret"}, {&FAlbum, "laAlbum"}};
    for (const auto& [label, name] : labels) {
        *label = new QLabel(window);
        (*label)->setObjectName(QString::fromLatin1(name));
        (*label)->setAlignment(Qt::AlignCenter);
        (*label)->setTextFormat(Qt::PlainText);
        addWidget(*label);
    }
    FProgressBar = new QProgressBar(window);
    FProgressBar->setObjectName(QStringLiteral("pbStatus"));
    FProgressBar->setRange(0, 1000);
    FProgressBar->setTextVisible(false);
    FProgressBar->setFixedHeight(12);
    FProgressBar->hide();
    // Keep the space of the bar so that the labels do not jump when it shows.
    QSizePolicy keep = FProgressBar->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    FProgressBar->setSizePolicy(keep);
    addWidget(FProgressBar);
}

void TSongPanel::Highlight(std::function<bool(int row)> highlighted) {
    FList->setItemDelegate(new THighlightDelegate(std::move(highlighted), FList));
}

void TSongPanel::Redraw() {
    FList->viewport()->update();
}

void TSongPanel::ShowSongs(const TSongList& songs) {
    const QSignalBlocker quiet(FList);
    ShowSongList(songs, FList);
    ShowChoice(songs.Selected());
}

void TSongPanel::ShowChoice(int row) {
    if (tunrax::SelectedRow(FList) == row)
        return;
    const QSignalBlocker quiet(FList);
    QTreeWidgetItem* item = row >= 0 ? FList->topLevelItem(row) : nullptr;
    if (!item) {
        FList->clearSelection();
        FList->setCurrentItem(nullptr);
        return;
    }
    FList->setCurrentItem(item, 0, QItemSelectionModel::ClearAndSelect);
}

void TSongPanel::RemoveRow(int row) {
    const QSignalBlocker quiet(FList);
    delete FList->topLevelItem(row);
}

void TSongPanel::MoveRow(int from, int to) {
    const QSignalBlocker quiet(FList);
    MoveSongItem(FList, from, to);
}

void TSongPanel::ScrollTo(int row) {
    FList->scrollToItem(FList->topLevelItem(row));
}

int TSongPanel::SelectedRow() const {
    return tunrax::SelectedRow(FList);
}

void TSongPanel::ShowTags(const QString& title, const QString& artist, const QString& album) {
    FTitle->setText(title);
    FArtist->setText(artist);
    FAlbum->setText(album);
}

}  // namespace tunrax
