// The menu row of the main window: the bar "MainMenu1" with "&Datei"
// ("Suchen1" Ctrl+F, "Aktualisieren1", "Beenden1"), "&Favoriten" (the list
// commands of the tool bar, so that each is reachable from the keyboard with
// its key), "Einstellungen1" and "&Wiedergabe" (the player bar's commands), and
// at the row's right end a bar of its own ("MainMenu1Rechts") with
// "Minimieren1". Both bars sit side by side rather than one in the other's
// corner: a bar in a corner is not on the accessibility bus, so a screen
// reader would never reach the command.
//
// What a command does is the window's: it connects to the actions, which
// belong to the menus. Nothing here throws.
#pragma once

#include <QList>
#include <QWidget>

class QAction;
class QMenuBar;

namespace tunrax {

class TMainMenu : public QWidget {
public:
    explicit TMainMenu(QWidget* parent);

    QMenuBar* Bar() const { return FBar; }
    QAction* FindAlbum() const { return FFindAlbum; }
    QAction* Reload() const { return FReload; }
    QAction* Quit() const { return FQuit; }
    QAction* Settings() const { return FSettings; }
    QAction* HideToTray() const { return FHideToTray; }

    // Adds the menus "&Favoriten" (before "&Einstellungen") and "&Wiedergabe"
    // (after it) with these actions; a null action stands for a separator.
    void AddListMenu(const QList<QAction*>& actions);
    void AddPlaybackMenu(const QList<QAction*>& actions);

private:
    QMenuBar* FBar;
    QAction* FFindAlbum;
    QAction* FReload;
    QAction* FQuit;
    QAction* FSettings;
    QAction* FHideToTray;
};

}  // namespace tunrax
