#include "app/MainMenu.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>

namespace tunrax {

TMainMenu::TMainMenu(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    auto* rightBar = new QMenuBar(this);
    rightBar->setObjectName(QStringLiteral("MainMenu1Rechts"));
    FHideToTray = rightBar->addAction(QStringLiteral("Minimieren"));
    FBar = new QMenuBar(this);
    QMenu* file = FBar->addMenu(QStringLiteral("&Datei"));
    FFindAlbum = file->addAction(QStringLiteral("Suchen"));
    FFindAlbum->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    FReload = file->addAction(QStringLiteral("Aktualisieren"));
    file->addSeparator();
    FQuit = file->addAction(QStringLiteral("&Beenden"));
    FSettings = FBar->addAction(QStringLiteral("&Einstellungen"));
    row->addWidget(FBar, 1);
    row->addWidget(rightBar, 0);
    const std::pair<QObject*, const char*> named[] = {
        {FBar, "MainMenu1"}, {FFindAlbum, "Suchen1"},       {FReload, "Aktualisieren1"},
        {FQuit, "Beenden1"}, {FSettings, "Einstellungen1"}, {FHideToTray, "Minimieren1"}};
    for (const auto& [control, name] : named)
        control->setObjectName(QString::fromLatin1(name));
}

namespace {

QMenu* MenuOf(const QString& title, const QList<QAction*>& actions, const char* name,
              QWidget* parent) {
    auto* menu = new QMenu(title, parent);
    menu->setObjectName(QString::fromLatin1(name));
    for (QAction* action : actions) {
        if (action)
            menu->addAction(action);
        else
            menu->addSeparator();
    }
    return menu;
}

}  // namespace

void TMainMenu::AddListMenu(const QList<QAction*>& actions) {
    FBar->insertMenu(FSettings, MenuOf(QStringLiteral("&Favoriten"), actions, "mnFavoriten", FBar));
}

void TMainMenu::AddPlaybackMenu(const QList<QAction*>& actions) {
    FBar->addMenu(MenuOf(QStringLiteral("&Wiedergabe"), actions, "mnWiedergabe", FBar));
}

}  // namespace tunrax
