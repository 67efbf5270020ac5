// An icon in the desktop's notification area that turns mouse actions on it
// into events. Over QSystemTrayIcon: a left press (Trigger) is mbLeft, a
// right press (Context) mbRight, a middle press mbMiddle; a double click
// raises the click of its first press and then OnDblClick. A press raises
// OnMouseDown when it is set, otherwise OnClick. With a PopupMenu set, a
// right press opens that menu and raises nothing. The tip shows at most its
// first 63 characters. With no icon set, a stock icon of the theme is shown.
// The menu is opened here and never handed to QSystemTrayIcon, so that it
// opens once on every desktop. The notification area reports no releases or
// moves: OnMouseUp and OnMouseMove are kept for the windows' code but never
// raised.
#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

class QMenu;

namespace tunrax {

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

class TTrayIcon : public QObject {
    Q_OBJECT

public:
    // icon: the picture to start with; without one, a stock icon of the
    // theme (looking it up takes a noticeable part of a program's start).
    explicit TTrayIcon(QObject* owner, const QIcon& icon = {});
    ~TTrayIcon() override;

    void SetIcon(const QIcon& icon);
    QIcon Icon() const { return FIcon; }
    void SetTip(const QString& tip);
    QString Tip() const { return FTip; }
    void SetPopupMenu(QMenu* menu);
    QMenu* PopupMenu() const;
    TMouseButton MouseButton() const { return FMouseButton; }
    // Number of this icon among the tray icons of its owner (first is 1).
    int Index() const { return FIndex; }

    // Adds the icon to the notification area; false when the desktop has
    // none. Showing it again has no effect.
    bool Show();
    bool IsShown() const;
    // Whether the desktop has a notification area at all.
    static bool Available();

    std::function<void(TTrayIcon*)> OnClick, OnDblClick, OnMouseDown, OnMouseUp, OnMouseMove;

    // What the notification area reported; public so that tests can drive it.
    void HandleActivation(QSystemTrayIcon::ActivationReason reason);

    // The tip as shown (first 63 characters).
    static QString ShownTip(const QString& tip);
    // The notification-area icon itself, as shown (icon, tool-tip).
    const QSystemTrayIcon& Tray() const { return *FTray; }

private:
    void Refresh();
    std::unique_ptr<QSystemTrayIcon> FTray;
    QIcon FIcon;
    QString FTip;
    QPointer<QMenu> FPopupMenu;
    TMouseButton FMouseButton = TMouseButton::mbLeft;
    int FIndex = 0;
    bool FShown = false;
};

}  // namespace tunrax
