// The menu row of the main window: the bar "MainMenu1" with "&Datei"
// ("Suchen1" Ctrl+F, "Aktualisieren1", "Beenden1") and "Einstellungen1", and
// at the row's right end a bar of its own ("MainMenu1Rechts") with
// "Minimieren1". Both bars sit side by side rather than one in the other's
// corner: a bar in a corner is not on the accessibility bus, so a screen
// reader would never reach the command.
//
// What a command does is the window's: it connects to the actions, which
// belong to the menus. Nothing here throws.
#pragma once

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

private:
    QMenuBar* FBar;
    QAction* FFindAlbum;
    QAction* FReload;
    QAction* FQuit;
    QAction* FSettings;
    QAction* FHideToTray;
};

}  // namespace tunrax
