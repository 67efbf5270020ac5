// The eleven list commands of the main window as actions: their captions,
// pictures, shortcuts and object names ("acNeuListe" … "acFind"), their
// places in the tool bar and in the context menus of the song list
// ("PopupMenu1") and of the album tree ("PopupMenu2"), and their enabled
// state. What a command does is the window's: it connects to the actions.
//
// The actions belong to this object, the menus to the window. Nothing here
// throws.
#pragma once

#include <QList>
#include <QObject>

class QAction;
class QKeySequence;
class QMenu;
class QToolBar;
class QTreeView;
class QTreeWidget;
class QWidget;

namespace tunrax {

struct TCommandEnabling;

class TMainActions : public QObject {
public:
    // Every command starts disabled.
    explicit TMainActions(QObject* owner);

    QAction* NewList() const { return FNewList; }
    QAction* DeleteList() const { return FDeleteList; }
    QAction* AddSong() const { return FAddSong; }
    QAction* RemoveSong() const { return FRemoveSong; }
    // Checked: songs chosen are not played (automatic playing is off).
    QAction* NoAutoPlay() const { return FNoAutoPlay; }
    QAction* MoveSongUp() const { return FMoveSongUp; }
    QAction* MoveSongDown() const { return FMoveSongDown; }
    QAction* CopySongs() const { return FCopySongs; }
    QAction* AddAllSongs() const { return FAddAllSongs; }
    QAction* RemoveAllSongs() const { return FRemoveAllSongs; }
    QAction* FindSong() const { return FFindSong; }

    // Puts the commands with a picture into bar, in groups.
    void FillToolBar(QToolBar* bar) const;
    // Every command, in groups for the menu "&Favoriten" (null: a separator).
    QList<QAction*> MenuActions() const;
    // Makes the context menus of songs and albums, which open them on a
    // right click.
    void AttachMenus(QWidget* window, QTreeWidget* songs, QTreeView* albums);
    void Enable(const TCommandEnabling& on);

private:
    QAction* Make(const QString& caption, const QString& category, int image,
                  const QKeySequence& shortcut);

    QAction* FNewList;
    QAction* FDeleteList;
    QAction* FAddSong;
    QAction* FRemoveSong;
    QAction* FNoAutoPlay;
    QAction* FMoveSongUp;
    QAction* FMoveSongDown;
    QAction* FCopySongs;
    QAction* FAddAllSongs;
    QAction* FRemoveAllSongs;
    QAction* FFindSong;
    QMenu* FSongMenu = nullptr;
    QMenu* FAlbumMenu = nullptr;
};

}  // namespace tunrax
