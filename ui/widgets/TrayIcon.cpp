#include "widgets/TrayIcon.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QStyle>
#include <QWidget>

namespace tunrax {

namespace {

constexpr int kMaxTipCharacters = 63;

}  // namespace

TTrayIcon::TTrayIcon(QObject* owner, const QIcon& icon)
    : QObject(owner), FTray(std::make_unique<QSystemTrayIcon>()), FIcon(icon) {
    const auto* form = qobject_cast<QWidget*>(owner);
    if (form && form->isWindow()) {
        // QObject's constructor has already added this icon to the owner.
        for (const QObject* child : owner->children())
            if (qobject_cast<const TTrayIcon*>(child))
                ++FIndex;
    }
    connect(FTray.get(), &QSystemTrayIcon::activated, this, &TTrayIcon::HandleActivation);
    Refresh();
}

// Deleting the QSystemTrayIcon removes the icon from the notification area.
TTrayIcon::~TTrayIcon() = default;

void TTrayIcon::SetIcon(const QIcon& icon) {
    FIcon = icon;
    Refresh();
}

void TTrayIcon::SetTip(const QString& tip) {
    FTip = tip;
    Refresh();
}

void TTrayIcon::SetPopupMenu(QMenu* menu) {
    FPopupMenu = menu;
}

QMenu* TTrayIcon::PopupMenu() const {
    return FPopupMenu;
}

bool TTrayIcon::Show() {
    if (FShown)
        return true;
    if (!Available())
        return false;
    Refresh();
    FTray->show();
    FShown = FTray->isVisible();
    return FShown;
}

bool TTrayIcon::IsShown() const {
    return FShown;
}

bool TTrayIcon::Available() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TTrayIcon::HandleActivation(QSystemTrayIcon::ActivationReason reason) {
    // A press of this button: the press handler, else the click handler.
    const auto press = [this](TMouseButton button) {
        FMouseButton = button;
        if (OnMouseDown)
            OnMouseDown(this);
        else if (OnClick)
            OnClick(this);
    };
    switch (reason) {
        case QSystemTrayIcon::Trigger: press(TMouseButton::mbLeft); break;
        case QSystemTrayIcon::Context:
            if (!FPopupMenu) {
                press(TMouseButton::mbRight);
                break;
            }
            FMouseButton = TMouseButton::mbRight;
            FPopupMenu->popup(QCursor::pos());
            break;
        case QSystemTrayIcon::MiddleClick: press(TMouseButton::mbMiddle); break;
        case QSystemTrayIcon::DoubleClick:
            // Its first press came as a Trigger already.
            FMouseButton = TMouseButton::mbLeft;
            if (OnDblClick)
                OnDblClick(this);
            break;
        case QSystemTrayIcon::Unknown: break;
    }
}

QString TTrayIcon::ShownTip(const QString& tip) {
    // Counted in characters, so that no surrogate pair is cut in half.
    qsizetype units = 0;
    for (int characters = 0; units < tip.size() && characters < kMaxTipCharacters; ++characters) {
        const bool pair = tip.at(units).isHighSurrogate() && units + 1 < tip.size() &&
                          tip.at(units + 1).isLowSurrogate();
        units += pair ? 2 : 1;
    }
    return tip.left(units);
}

void TTrayIcon::Refresh() {
    // QSystemTrayIcon refuses to show an empty icon.
    FTray->setIcon(FIcon.isNull() ? QApplication::style()->standardIcon(QStyle::SP_ComputerIcon)
                                  : FIcon);
    FTray->setToolTip(ShownTip(FTip));
}

}  // namespace tunrax
