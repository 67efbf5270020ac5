// The eleven list commands of the main window, wired to their actions, and
// the favourite lists they work on: the chooser's lists and the list chosen
// (its page's tab, its songs on that page, its songs highlighted on "Alle");
// making and deleting lists; adding, removing and arranging their songs;
// finding a song's album; copying the songs listed; and when each command
// may be used.
//
// A changed list is written back to its file about a second after the last
// change (kWriteBackDelay), and stays current; a failing write shows its
// error once until a write succeeds again, keeps the changes and is tried
// again at the next change, the next list chosen and the program's end.
//
// It works on the window's parts, sessions and source, all of which outlive
// it, and on the songs of the playback controller once one is attached. Its
// handlers show their errors (tunrax::Error) where they happen; FillChooser
// and ShowChosenList throw them to the caller.
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string>

namespace tunrax {

class TCatalogueSession;
class TFavoritesChooser;
class TFavoritesSession;
class TIniFile;
class TMainActions;
class TMainDialogs;
class TNameCollator;
class TPlaybackController;
class TSidePages;
class TSongList;
class TSongPanel;
class TSourceOwner;

class TFavoriteCommands : public QObject {
public:
    static constexpr std::chrono::milliseconds kWriteBackDelay{1000};

    // What the commands work on.
    struct TParts {
        QWidget* window;  // the parent of the dialogs
        TMainActions* actions;
        TFavoritesChooser* chooser;
        TSidePages* pages;
        TSongPanel* songs;
        TFavoritesSession* lists;
        TCatalogueSession* catalogue;
        TSourceOwner* source;
        TMainDialogs* dialogs;
        const TNameCollator* collator;
        TIniFile* settings;
    };
    // listAlbum: lists the songs of the album chosen in the tree again.
    TFavoriteCommands(const TParts& parts, std::function<void()> listAlbum);

    void Attach(TPlaybackController* playback) { FPlayback = playback; }

    // Lists the stored lists in the chooser and shows the one chosen last.
    void FillChooser();
    bool ChooserFilled() const { return FChooserFilled; }
    // Shows the list chosen in the chooser, the current one stored first.
    void ShowChosenList();
    // The list's page came up: its songs are listed.
    void ShowListSongs();
    // Enables the commands that may be used now.
    void UpdateEnabled();

private:
    const TSongList& Songs() const;
    bool Highlighted(int row) const;
    void LoadChosenList();
    // Runs a command; a change to the list starts the wait for writing it.
    void Run(const std::function<void()>& command);
    void WriteBack();
    void SelectNextSong();
    void NewList();
    void DeleteList();
    void AddSong();
    void RemoveSong();
    void ToggleAutoPlay();
    void MoveSong(int delta);
    void AddAllSongs();
    void RemoveAllSongs();
    void FindSongInAlbum();
    void CopySongs();

    TParts FParts;
    TFavoritesSession& FLists;
    std::function<void()> FListAlbum;
    TPlaybackController* FPlayback = nullptr;
    bool FChooserFilled = false;
    // Single shot, started anew by each change.
    QTimer FWriteBack;
    // The last write-back failed and said so: no further box until one
    // succeeds or another list is chosen.
    bool FWriteBackFailed = false;
};

}  // namespace tunrax
