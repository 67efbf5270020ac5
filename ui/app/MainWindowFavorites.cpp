// The favourite lists of the main window: the chooser, the page "Favoriten",
// the highlighting on the page "Alle", and the eleven list commands with
// their tool bar entries and context menus.
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>
#include <functional>

#include "app/CatalogueModel.h"
#include "app/CommandRules.h"
#include "app/MainWindow.h"
#include "app/SongListView.h"
#include "collection/Collation.h"
#include "io/Error.h"
#include "settings/DisplayText.h"
#include "settings/IniFile.h"
#include "sources/Source.h"
#include "widgets/ModalDialogs.h"

namespace tunrax {

namespace {

const char kNone[] = "(keine)";
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

QString DisplayName(const std::string& bytes) {
    return QString::fromStdString(DisplayText(bytes));
}

// The path of the selected song; empty when none is selected.
std::string SelectedPath(const TSongList& songs) {
    const TSongItem* song = songs.SelectedSong();
    return song ? song->Path : std::string();
}

std::string ListName(const QComboBox* chooser, int index) {
    return chooser->itemData(index).toByteArray().toStdString();
}

}  // namespace

QAction* TMainWindow::MakeAction(const QString& caption, const QString& category, int image,
                                 const QKeySequence& shortcut) {
    auto* action = new QAction(caption, this);
    action->setProperty("category", category);
    if (image >= 0)
        action->setIcon(QIcon(QStringLiteral(":/toolbar/%1.svg").arg(image)));
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    action->setEnabled(false);
    return action;
}

void TMainWindow::CreateActions() {
    const QString favoriten = QStringLiteral("Favoriten");
    const QString lieder = QStringLiteral("Lieder");
    acNeuListe = MakeAction(QStringLiteral("Neue Liste"), favoriten, 2);
    acDelListe = MakeAction(QStringLiteral("Liste Löschen"), favoriten, 3);
    acAdd = MakeAction(QStringLiteral("zu Favoritenliste hinzufügen"), lieder, 0,
                       QKeySequence(Qt::Key_Insert));
    acDel = MakeAction(QStringLiteral("von Favoritenliste entfernen"), lieder, 1,
                       QKeySequence(Qt::Key_Delete));
    acNoPlay = MakeAction(QStringLiteral("Titel nicht abspielen"), lieder, 4);
    acNoPlay->setCheckable(true);
    acLiedFrueher = MakeAction(QStringLiteral("Lied früher"), favoriten, 5);
    acLiedSpaeter = MakeAction(QStringLiteral("Lied später"), favoriten, 6);
    acKopieren = MakeAction(QStringLiteral("Lieder kopieren"), favoriten, 7);
    acAddAll = MakeAction(QStringLiteral("Alle Lieder zur Favoritenliste hinzufügen"), lieder, -1);
    acDelAll =
        MakeAction(QStringLiteral("Alle Lieder von der Favoritenliste entfernen"), lieder, -1);
    acFind = MakeAction(QStringLiteral("Lied im Album finden"), lieder, -1);
    for (QAction* action : {acAdd, acDel})
        action->setShortcutContext(Qt::WindowShortcut);
    // Named as their fields, so that tools and tests find them.
    const std::pair<QAction*, const char*> named[] = {{acNeuListe, "acNeuListe"},
                                                      {acDelListe, "acDelListe"},
                                                      {acAdd, "acAdd"},
                                                      {acDel, "acDel"},
                                                      {acNoPlay, "acNoPlay"},
                                                      {acLiedFrueher, "acLiedFrueher"},
                                                      {acLiedSpaeter, "acLiedSpaeter"},
                                                      {acKopieren, "acKopieren"},
                                                      {acAddAll, "acAddAll"},
                                                      {acDelAll, "acDelAll"},
                                                      {acFind, "acFind"}};
    for (const auto& [action, name] : named)
        action->setObjectName(QString::fromLatin1(name));
}

void TMainWindow::ConnectFavoriteCommands() {
    // Context menus of the song list and the album tree.
    PopupMenu1 = new QMenu(this);
    PopupMenu1->addAction(acAdd);
    PopupMenu1->addAction(acAddAll);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(acDel);
    PopupMenu1->addAction(acDelAll);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(acFind);
    PopupMenu2 = new QMenu(this);
    PopupMenu2->addAction(acAddAll);
    PopupMenu2->addSeparator();
    PopupMenu2->addAction(acDelAll);
    connect(lvLieder, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopupMenu1->popup(lvLieder->viewport()->mapToGlobal(pos));
    });
    connect(tvAlben, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopupMenu2->popup(tvAlben->viewport()->mapToGlobal(pos));
    });

    lvLieder->setItemDelegate(
        new THighlightDelegate([this](int row) { return Highlighted(row); }, lvLieder));
    imFavoriten = new QLabel(tsFavoriten);
    imFavoriten->setPixmap(QPixmap(QStringLiteral(":/favoriten.jpg")));
    imFavoriten->setAlignment(Qt::AlignCenter);
    imFavoriten->resize(240, 300);
    connect(cbFavoriten, qOverload<int>(&QComboBox::activated), this,
            Guarded(&TMainWindow::cbFavoritenChange));
    connect(pcSeiten, &QTabWidget::currentChanged, this, [this] {
        if (FPageChangeAttached)
            ShowErrorsOf([this] { pcSeitenChange(); });
    });
    connect(acNeuListe, &QAction::triggered, this, Guarded(&TMainWindow::acNeuListeExecute));
    connect(acDelListe, &QAction::triggered, this, Guarded(&TMainWindow::acDelListeExecute));
    connect(acAdd, &QAction::triggered, this, Guarded(&TMainWindow::acAddExecute));
    connect(acDel, &QAction::triggered, this, Guarded(&TMainWindow::acDelExecute));
    connect(acNoPlay, &QAction::triggered, this, Guarded(&TMainWindow::acNoPlayExecute));
    connect(acLiedFrueher, &QAction::triggered, this,
            [this] { ShowErrorsOf([this] { MoveFavorite(-1); }); });
    connect(acLiedSpaeter, &QAction::triggered, this,
            [this] { ShowErrorsOf([this] { MoveFavorite(+1); }); });
    connect(acAddAll, &QAction::triggered, this, Guarded(&TMainWindow::acAddAllExecute));
    connect(acDelAll, &QAction::triggered, this, Guarded(&TMainWindow::acDelAllExecute));
    connect(acFind, &QAction::triggered, this, Guarded(&TMainWindow::acFindExecute));
    connect(acKopieren, &QAction::triggered, this, Guarded(&TMainWindow::acKopierenExecute));
}

// --- the chooser and the current list

void TMainWindow::FillFavoriteChooser() {
    QSignalBlocker quiet(cbFavoriten);
    cbFavoriten->clear();
    cbFavoriten->addItem(QString::fromLatin1(kNone), QByteArray());
    for (const std::string& name : TFavoritesSession::ListNames(*FCollator))
        cbFavoriten->addItem(DisplayName(name), QByteArray::fromStdString(name));
    int stored = FSettings.ReadInteger("Favoriten", "Aktuell", 0);
    cbFavoriten->setCurrentIndex(std::min(stored, cbFavoriten->count() - 1));
    FFavoriteChooserFilled = true;
    cbFavoritenChange();
}

void TMainWindow::cbFavoritenChange() {
    int index = cbFavoriten->currentIndex();
    try {
        FFavorites.Save();
    } catch (const Error&) {
        // The list that could not be stored stays current with its changes,
        // and the chooser shows it again; the user sees why.
        QSignalBlocker quiet(cbFavoriten);
        cbFavoriten->setCurrentIndex(FavoriteChooserIndex(FFavorites.Name()));
        throw;
    }
    const bool listPageShown = pcSeiten->currentIndex() == 1;
    FPageChangeAttached = false;
    pcSeiten->setTabVisible(1, index > 0);
    FPageChangeAttached = true;
    pcSeiten->setTabText(1, index >= 0 ? cbFavoriten->currentText() : QString());
    LoadFavorites();
    // Without a list its page goes and "Alle" shows: the song list follows
    // the album tree again instead of keeping the list's songs.
    if (listPageShown && pcSeiten->currentIndex() == 0)
        tvAlbenChange();
}

int TMainWindow::FavoriteChooserIndex(const std::string& name) const {
    for (int i = 1; i < cbFavoriten->count(); ++i)
        if (ListName(cbFavoriten, i) == name)
            return i;
    return 0;
}

void TMainWindow::LoadFavorites() {
    // The list's songs show on its page, on "Alle" its highlighting; a list
    // that could not be read shows empty.
    auto show = [this] {
        if (pcSeiten->currentIndex() != 0)
            pcSeitenChange();
        else
            lvLieder->viewport()->update();
    };
    const int index = cbFavoriten->currentIndex();
    try {
        FFavorites.Load(index <= 0 ? std::string() : ListName(cbFavoriten, index));
    } catch (const Error&) {
        show();
        throw;
    }
    show();
}

void TMainWindow::pcSeitenChange() {
    if (pcSeiten->currentIndex() == 0) {
        tvAlbenChange();
    } else {
        std::vector<std::string> entries = FFavorites.List().Entries();
        FPlayback->ShowFavorites(entries);
        ShowSongs();
    }
}

bool TMainWindow::Highlighted(int row) const {
    return row >= 0 && row < Songs().Size() && pcSeiten->currentIndex() == 0 &&
           FFavorites.Contains(Songs().At(row).Path);
}

// --- the commands

void TMainWindow::UpdateActions() {
    // While a long transfer runs only the ways out work; the commands are
    // brought up to date when it has ended.
    if (FTransferWait && FTransferWait->Busy())
        return;
    const std::string path = SelectedPath(Songs());
    TCommandState state;
    state.PageAll = pcSeiten->currentIndex() == 0;
    state.PageList = pcSeiten->currentIndex() == 1;
    state.ListCurrent = FFavorites.Current();
    state.ListEditable = FFavorites.Editable();
    state.ListEmpty = FFavorites.List().Empty();
    state.SongChosen = Songs().SelectedSong() != nullptr;
    state.ChosenHasPath = !path.empty();
    state.ChosenInList = !path.empty() && FFavorites.Contains(path);
    state.ChosenRow = Songs().Selected();
    state.SongCount = Songs().Size();
    state.SourceCanCopy = FSource && FSource->Can(CanCopy);
    const TCommandEnabling on = EnabledCommands(state);
    const std::pair<QAction*, bool> actions[] = {{acNeuListe, on.NeuListe},
                                                 {acDelListe, on.DelListe},
                                                 {acAdd, on.Add},
                                                 {acDel, on.Del},
                                                 {acNoPlay, on.NoPlay},
                                                 {acLiedFrueher, on.LiedFrueher},
                                                 {acLiedSpaeter, on.LiedSpaeter},
                                                 {acKopieren, on.Kopieren},
                                                 {acAddAll, on.AddAll},
                                                 {acDelAll, on.DelAll},
                                                 {acFind, on.Find}};
    for (const auto& [action, enabled] : actions)
        action->setEnabled(enabled);
}

void TMainWindow::SelectNextSong() {
    const int index = Songs().Selected();
    SelectSong(index + 1 < Songs().Size() ? index + 1 : -1);
}

void TMainWindow::acNeuListeExecute() {
    QCoreApplication::processEvents();
    QString input;
    if (!FDialogs->AskListName(this, input))
        return;
    std::string name = TFavoritesSession::NewListName(input.toStdString());
    if (name.empty())
        return;
    QString shown = DisplayName(name);
    for (int i = 0; i < cbFavoriten->count(); ++i)
        if (cbFavoriten->itemText(i).compare(shown, Qt::CaseInsensitive) == 0)
            throw Error("Der Name ist schon vorhanden");
    // The new entry takes its sorted place after "(keine)".
    int at = 1;
    while (at < cbFavoriten->count() && FCollator->Compare(ListName(cbFavoriten, at), name) <= 0)
        ++at;
    QSignalBlocker quiet(cbFavoriten);
    cbFavoriten->insertItem(at, shown, QByteArray::fromStdString(name));
    cbFavoriten->setCurrentIndex(at);
    cbFavoritenChange();
}

void TMainWindow::acDelListeExecute() {
    if (!AskYesNo(QStringLiteral("Favoritenliste wirklich löschen?"), true, this))
        return;
    if (FFavorites.DeleteCurrent())
        FillFavoriteChooser();
}

void TMainWindow::acAddExecute() {
    FFavorites.Add(SelectedPath(Songs()));
    lvLieder->viewport()->update();
    if (!FPlayback->AutoPlay())
        SelectNextSong();
}

void TMainWindow::acDelExecute() {
    const int row = Songs().Selected();
    FFavorites.Remove(SelectedPath(Songs()));
    if (pcSeiten->currentIndex() == 1 && row != TSongList::kNoRow) {
        // The song leaves the list it shows.
        FPlayback->RemoveSong(row);
        {
            const QSignalBlocker quiet(lvLieder);
            delete lvLieder->topLevelItem(row);
        }
        ShowChoice();
    }
    lvLieder->viewport()->update();
    if (!FPlayback->AutoPlay())
        SelectNextSong();
}

void TMainWindow::acNoPlayExecute() {
    // The action toggled its check mark; the controller's state follows it
    // and shows itself in the mark again.
    FPlayback->SetAutoPlay(!acNoPlay->isChecked());
}

void TMainWindow::MoveFavorite(int delta) {
    // The list is being arranged: nothing is to start meanwhile, and the
    // check mark says so.
    FPlayback->SetAutoPlay(false);
    const int from = Songs().Selected();
    const int to = FPlayback->MoveChosenSong(delta);
    if (to != TSongList::kNoRow) {
        const QSignalBlocker quiet(lvLieder);
        MoveSongItem(lvLieder, from, to);
    }
    ShowChoice();
    FFavorites.Rearrange(Songs().Paths());
}

void TMainWindow::acAddAllExecute() {
    FFavorites.AddAll(Songs().Paths());
    lvLieder->viewport()->update();
}

void TMainWindow::acDelAllExecute() {
    if (pcSeiten->currentIndex() == 1) {
        FFavorites.Clear();
        std::vector<std::string> none;
        FPlayback->ShowFavorites(none);
        ShowSongs();
    } else {
        FFavorites.RemoveAll(Songs().Paths());
        lvLieder->viewport()->update();
    }
}

void TMainWindow::acKopierenExecute() {
    if (!FSource || !FSource->Can(CanCopy))
        return;
    const std::vector<std::string> songs = Songs().Paths();
    if (songs.empty())
        return;
    const std::string listName = pcSeiten->currentIndex() == 1 ? FFavorites.Name() : std::string();
    FDialogs->ShowCopy(this, FSource, songs, listName, FSettings);
}

void TMainWindow::acFindExecute() {
    const std::string song = SelectedPath(Songs());
    const int32_t album = FCatalogue->AlbumOf(song);
    if (album == TCatalogue::kNone)
        return;

    // No tick counts while the selection moves, also when a step fails.
    const TPlaybackController::THold hold(*FPlayback);
    // The tree's current node goes too: selecting the album then always
    // lists its songs, also when it was the current node already.
    tvAlben->selectionModel()->clear();
    FPageChangeAttached = false;
    pcSeiten->setCurrentIndex(0);
    FPageChangeAttached = true;
    QModelIndex albumIndex = FAlben->IndexOf(album);
    tvAlben->setCurrentIndex(albumIndex);
    tvAlben->scrollTo(albumIndex, QAbstractItemView::PositionAtTop);
    SelectSong(-1);
    const int row = Songs().IndexOf(song);
    if (row != TSongList::kNoRow) {
        SelectSong(row);
        lvLieder->scrollToItem(lvLieder->topLevelItem(row));
    }
    FPlayback->SkipStart();
}

}  // namespace tunrax
