#include "app/SongPanel.h"

#include <QLabel>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <tuple>

#include "app/SongListView.h"
#include "playback/SongList.h"
#include "widgets/ListedColour.h"
#include "widgets/WholeGlyphs.h"

namespace tunrax {

// Draws the rows that highlighted picks in bold on a tint of the palette,
// rows tall enough for whole letters.
class THighlightDelegate : public TWholeGlyphsDelegate {
public:
    using TWholeGlyphsDelegate::TWholeGlyphsDelegate;

    std::function<bool(int)> Highlighted;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        TWholeGlyphsDelegate::initStyleOption(option, index);
        if (Highlighted && Highlighted(index.row())) {
            option->backgroundBrush = ListedRowColour(option->palette);
            option->font.setBold(true);
        }
    }
};

namespace {

// What a screen reader says of a song of the current favourite list.
const QString kListedDescription = QStringLiteral("in der Favoritenliste");
// The property that holds what a tag label shows, for its accessible name.
const char* const kCaption = "caption";

}  // namespace

TSongPanel::TSongPanel(QWidget* window) {
    setContentsMargins(0, 0, 0, 0);
    setSpacing(1);
    FList = CreateSongListWidget(window);
    FList->setObjectName(QStringLiteral("lvLieder"));
    FList->setAccessibleName(QStringLiteral("Lieder"));
    FDelegate = new THighlightDelegate(FList);
    FList->setItemDelegate(FDelegate);
    addWidget(FList, 1);
    const std::tuple<QLabel**, const char*, const char*> labels[] = {
        {&FTitle, "laTitel", "Titel"},
        {&FArtist, "laInterpret", "Interpret"},
        {&FAlbum, "laAlbum", "Album"}};
    for (const auto& [label, name, caption] : labels) {
        *label = new TWholeGlyphsLabel(window);
        (*label)->setObjectName(QString::fromLatin1(name));
        (*label)->setProperty(kCaption, QString::fromLatin1(caption));
        (*label)->setAccessibleName(QString::fromLatin1(caption));
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
    FDelegate->Highlighted = std::move(highlighted);
    Redraw();
}

void TSongPanel::Redraw() {
    const QSignalBlocker quiet(FList);
    for (int row = 0; row < FList->topLevelItemCount(); ++row)
        FList->topLevelItem(row)->setData(
            0, Qt::AccessibleDescriptionRole,
            FDelegate->Highlighted && FDelegate->Highlighted(row) ? kListedDescription : QString());
    FList->viewport()->update();
}

void TSongPanel::ShowSongs(const TSongList& songs) {
    const QSignalBlocker quiet(FList);
    ShowSongList(songs, FList);
    Redraw();
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
    // A screen reader says what each line is, then what it shows.
    const std::pair<QLabel*, const QString&> lines[] = {
        {FTitle, title}, {FArtist, artist}, {FAlbum, album}};
    for (const auto& [label, text] : lines) {
        label->setText(text);
        label->setAccessibleName(text.isEmpty() ? label->property(kCaption).toString()
                                                : label->property(kCaption).toString() +
                                                      QStringLiteral(": ") + text);
    }
}

}  // namespace tunrax
