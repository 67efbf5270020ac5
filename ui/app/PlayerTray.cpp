#include "app/PlayerTray.h"

#include "widgets/TrayIcon.h"

namespace tunrax {

TPlayerTray::TPlayerTray(QObject* owner)
    : FPlayingIcon(QStringLiteral(":/CD_AN.svg")), FRestingIcon(QStringLiteral(":/CD_AUS.svg")) {
    FIcon = new TTrayIcon(owner, FRestingIcon);
    FIcon->setObjectName(QStringLiteral("NBA"));
    FIcon->OnClick = [this](TTrayIcon* icon) {
        if (OnClick)
            OnClick(icon->MouseButton());
    };
}

void TPlayerTray::ShowPlaying(bool on) {
    if (FShownOnce && FPlaying == on)
        return;
    FShownOnce = true;
    FPlaying = on;
    FIcon->SetIcon(on ? FPlayingIcon : FRestingIcon);
}

void TPlayerTray::SetTip(const QString& tip) {
    FIcon->SetTip(tip);
}

bool TPlayerTray::Show() {
    return FIcon->Show();
}

}  // namespace tunrax
