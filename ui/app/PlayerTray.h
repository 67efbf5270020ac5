// The main window's icon in the notification area ("NBA"): a CD that shows
// whether a song plays, and a tip that names it. What a click does is the
// owner's (OnClick, with the button pressed). The icon belongs to the owner
// passed in. Nothing here throws.
#pragma once

#include <QIcon>
#include <QString>
#include <functional>

class QObject;

namespace tunrax {

class TTrayIcon;
enum class TMouseButton;

class TPlayerTray {
public:
    explicit TPlayerTray(QObject* owner);

    // Shows the CD turning (on) or resting; the notification area is told
    // only when the picture changes.
    void ShowPlaying(bool on);
    bool PlayingShown() const { return FPlaying; }
    void SetTip(const QString& tip);
    // Adds the icon to the notification area; false when the desktop has
    // none.
    bool Show();

    std::function<void(TMouseButton button)> OnClick;

private:
    TTrayIcon* FIcon;
    QIcon FPlayingIcon, FRestingIcon;
    bool FPlaying = false;
    bool FShownOnce = false;
};

}  // namespace tunrax
