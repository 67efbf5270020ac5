#include "app/FavoriteCommands.h"

#include <QAction>
#include <QCoreApplication>
#include <utility>

#include "app/AlbumPage.h"
#include "app/Application.h"
#include "app/CommandRules.h"
#include "app/FavoritesChooser.h"
#include "app/MainActions.h"
#include "app/MainDialogs.h"
#include "app/SidePages.h"
#include "app/SongPanel.h"
#include "collection/CatalogueSession.h"
#include "collection/FavoritesSession.h"
#include "io/Error.h"
#include "playback/PlaybackController.h"
#include "settings/IniFile.h"
#include "sources/Source.h"
#include "sources/SourceOwner.h"
#include "widgets/ModalDialogs.h"

namespace tunrax {

namespace {

// The path of the selected song; empty when none is selected.
std::string SelectedPath(const TSongList& songs) {
    const TSongItem* song = songs.SelectedSong();
    return song ? song->Path : std::string();
}

}  // namespace

TFavoriteCommands::TFavoriteCommands(const TParts& parts, std::function<void()> listAlbum)
    : QObject(parts.window), FParts(parts), FLists(*parts.lists), FListAlbum(std::move(listAlbum)) {
    FParts.songs->Highlight([this](int row) { return Highlighted(row); });
    connect(FParts.chooser, qOverload<int>(&QComboBox::activated), this,
            [this] { ShowErrorsOf([this] { ShowChosenList(); }); });
    TMainActions& actions = *FParts.actions;
    const std::pair<QAction*, void (TFavoriteCommands::*)()> commands[] = {
        {actions.NewList(), &TFavoriteCommands::NewList},
        {actions.DeleteList(), &TFavoriteCommands::DeleteList},
        {actions.AddSong(), &TFavoriteCommands::AddSong},
        {actions.RemoveSong(), &TFavoriteCommands::RemoveSong},
        {actions.NoAutoPlay(), &TFavoriteCommands::ToggleAutoPlay},
        {actions.AddAllSongs(), &TFavoriteCommands::AddAllSongs},
        {actions.RemoveAllSongs(), &TFavoriteCommands::RemoveAllSongs},
        {actions.FindSong(), &TFavoriteCommands::FindSongInAlbum},
        {actions.CopySongs(), &TFavoriteCommands::CopySongs}};
    for (const auto& command : commands)
        connect(command.first, &QAction::triggered, this,
                [this, handler = command.second] { Run([this, handler] { (this->*handler)(); }); });
    connect(actions.MoveSongUp(), &QAction::triggered, this,
            [this] { Run([this] { MoveSong(-1); }); });
    connect(actions.MoveSongDown(), &QAction::triggered, this,
            [this] { Run([this] { MoveSong(+1); }); });
    FWriteBack.setSingleShot(true);
    FWriteBack.setInterval(kWriteBackDelay);
    connect(&FWriteBack, &QTimer::timeout, this, [this] { WriteBack(); });
}

void TFavoriteCommands::Run(const std::function<void()>& command) {
    const int32_t changes = FLists.Changes();
    ShowErrorsOf(command);
    // A command that chose another list has stored the old one already and
    // starts the new one with no changes.
    if (FLists.Changes() > 0 && FLists.Changes() != changes)
        FWriteBack.start();
}

void TFavoriteCommands::WriteBack() {
    try {
        FLists.Flush();
        FWriteBackFailed = false;
    } catch (const Error& error) {
        // Said once: a box at every change while the disk stays full or the
        // folder unwritable would keep the user from working.
        if (!std::exchange(FWriteBackFailed, true))
            TApplication::ShowError(QString::fromUtf8(error.what()));
    }
}

const TSongList& TFavoriteCommands::Songs() const {
    static const TSongList none;
    return FPlayback ? FPlayback->Songs() : none;
}

// --- the chooser and the list chosen

void TFavoriteCommands::FillChooser() {
    FParts.chooser->Fill(TFavoritesSession::ListNames(*FParts.collator),
                         FParts.settings->ReadInteger("Favoriten", "Aktuell", 0));
    FChooserFilled = true;
    ShowChosenList();
}

void TFavoriteCommands::ShowChosenList() {
    TFavoritesChooser& chooser = *FParts.chooser;
    TSidePages& pages = *FParts.pages;
    const int index = chooser.currentIndex();
    // Choosing a list stores the current one at once.
    FWriteBack.stop();
    FWriteBackFailed = false;
    try {
        FLists.Save();
    } catch (const Error&) {
        // The list that could not be stored stays current with its changes,
        // and the chooser shows it again; the user sees why.
        chooser.Choose(FLists.Name());
        throw;
    }
    const bool listPageShown = pages.ListShown();
    pages.ShowListTab(index > 0, index >= 0 ? chooser.currentText() : QString());
    LoadChosenList();
    // Without a list its page goes and "Alle" shows: the song list follows
    // the album tree again instead of keeping the list's songs.
    if (listPageShown && pages.AllShown())
        FListAlbum();
}

void TFavoriteCommands::LoadChosenList() {
    // The list's songs show on its page, on "Alle" its highlighting; a list
    // that could not be read shows empty.
    auto show = [this] {
        if (!FParts.pages->AllShown())
            ShowListSongs();
        else
            FParts.songs->Redraw();
    };
    try {
        FLists.Load(FParts.chooser->ChosenName());
    } catch (const Error&) {
        show();
        throw;
    }
    show();
}

void TFavoriteCommands::ShowListSongs() {
    std::vector<std::string> entries = FLists.List().Entries();
    FPlayback->ShowFavorites(entries);
    FParts.songs->ShowSongs(Songs());
}

void TFavoriteCommands::UpdateEnabled() {
    const std::string path = SelectedPath(Songs());
    const TSourceOwner& source = *FParts.source;
    TCommandState state;
    state.PageAll = FParts.pages->AllShown();
    state.PageList = FParts.pages->ListShown();
    state.ListCurrent = FLists.Current();
    state.ListEditable = FLists.Editable();
    state.ListEmpty = FLists.List().Empty();
    state.SongChosen = Songs().SelectedSong() != nullptr;
    state.ChosenHasPath = !path.empty();
    state.ChosenInList = !path.empty() && FLists.Contains(path);
    state.ChosenRow = Songs().Selected();
    state.SongCount = Songs().Size();
    state.SourceCanCopy = source && source->Can(CanCopy);
    FParts.actions->Enable(EnabledCommands(state));
}

bool TFavoriteCommands::Highlighted(int row) const {
    return row >= 0 && row < Songs().Size() && FParts.pages->AllShown() &&
           FLists.Contains(Songs().At(row).Path);
}

// --- the commands

void TFavoriteCommands::SelectNextSong() {
    const int index = Songs().Selected();
    FPlayback->ChooseSong(index + 1 < Songs().Size() ? index + 1 : TSongList::kNoRow);
}

void TFavoriteCommands::NewList() {
    QCoreApplication::processEvents();
    QString input;
    if (!FParts.dialogs->AskListName(FParts.window, input))
        return;
    std::string name = TFavoritesSession::NewListName(input.toStdString());
    if (name.empty())
        return;
    FParts.chooser->AddList(name, *FParts.collator);
    ShowChosenList();
}

void TFavoriteCommands::DeleteList() {
    if (!AskYesNo(QStringLiteral("Favoritenliste wirklich löschen?"), true, FParts.window))
        return;
    if (FLists.DeleteCurrent())
        FillChooser();
}

void TFavoriteCommands::AddSong() {
    FLists.Add(SelectedPath(Songs()));
    FParts.songs->Redraw();
    if (!FPlayback->AutoPlay())
        SelectNextSong();
}

void TFavoriteCommands::RemoveSong() {
    const int row = Songs().Selected();
    FLists.Remove(SelectedPath(Songs()));
    if (FParts.pages->ListShown() && row != TSongList::kNoRow) {
        // The song leaves the list it shows.
        FPlayback->RemoveSong(row);
        FParts.songs->RemoveRow(row);
        FParts.songs->ShowChoice(Songs().Selected());
    }
    FParts.songs->Redraw();
    if (!FPlayback->AutoPlay())
        SelectNextSong();
}

void TFavoriteCommands::ToggleAutoPlay() {
    // The action toggled its check mark; the controller's state follows it
    // and shows itself in the mark again.
    FPlayback->SetAutoPlay(!FParts.actions->NoAutoPlay()->isChecked());
}

void TFavoriteCommands::MoveSong(int delta) {
    // The list is being arranged: nothing is to start meanwhile, and the
    // check mark says so.
    FPlayback->SetAutoPlay(false);
    const int from = Songs().Selected();
    const int to = FPlayback->MoveChosenSong(delta);
    if (to != TSongList::kNoRow)
        FParts.songs->MoveRow(from, to);
    FParts.songs->ShowChoice(Songs().Selected());
    FLists.Rearrange(Songs().Paths());
}

void TFavoriteCommands::AddAllSongs() {
    FLists.AddAll(Songs().Paths());
    FParts.songs->Redraw();
}

void TFavoriteCommands::RemoveAllSongs() {
    if (FParts.pages->ListShown()) {
        FLists.Clear();
        std::vector<std::string> none;
        FPlayback->ShowFavorites(none);
        FParts.songs->ShowSongs(Songs());
    } else {
        FLists.RemoveAll(Songs().Paths());
        FParts.songs->Redraw();
    }
}

void TFavoriteCommands::FindSongInAlbum() {
    const std::string song = SelectedPath(Songs());
    const int32_t album = FParts.catalogue->AlbumOf(song);
    if (album == TCatalogue::kNone)
        return;

    // No tick counts while the selection moves, also when a step fails.
    const TPlaybackController::THold hold(*FPlayback);
    FParts.pages->ShowAllQuietly();
    FParts.pages->AlbumPage()->ChooseAtTop(album);
    FPlayback->ChooseSong(TSongList::kNoRow);
    const int row = Songs().IndexOf(song);
    if (row != TSongList::kNoRow) {
        FPlayback->ChooseSong(row);
        FParts.songs->ScrollTo(row);
    }
    FPlayback->SkipStart();
}

void TFavoriteCommands::CopySongs() {
    TSourceOwner& source = *FParts.source;
    if (!source || !source->Can(CanCopy))
        return;
    const std::vector<std::string> songs = Songs().Paths();
    if (songs.empty())
        return;
    const std::string listName = FParts.pages->ListShown() ? FLists.Name() : std::string();
    FParts.dialogs->ShowCopy(FParts.window, source, songs, listName, *FParts.settings);
}

}  // namespace tunrax
