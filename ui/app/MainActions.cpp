#include "app/MainActions.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>

#include "app/CommandRules.h"

namespace tunrax {

TMainActions::TMainActions(QObject* owner) : QObject(owner) {
    const QString favoriten = QStringLiteral("Favoriten");
    const QString lieder = QStringLiteral("Lieder");
    FNewList = Make(QStringLiteral("Neue Liste"), favoriten, 2, {});
    FDeleteList = Make(QStringLiteral("Liste Löschen"), favoriten, 3, {});
    FAddSong = Make(QStringLiteral("zu Favoritenliste hinzufügen"), lieder, 0,
                    QKeySequence(Qt::Key_Insert));
    FRemoveSong = Make(QStringLiteral("von Favoritenliste entfernen"), lieder, 1,
                       QKeySequence(Qt::Key_Delete));
    FNoAutoPlay = Make(QStringLiteral("Titel nicht abspielen"), lieder, 4, {});
    FNoAutoPlay->setCheckable(true);
    FMoveSongUp = Make(QStringLiteral("Lied früher"), favoriten, 5, {});
    FMoveSongDown = Make(QStringLiteral("Lied später"), favoriten, 6, {});
    FCopySongs = Make(QStringLiteral("Lieder kopieren"), favoriten, 7, {});
    FAddAllSongs =
        Make(QStringLiteral("Alle Lieder zur Favoritenliste hinzufügen"), lieder, -1, {});
    FRemoveAllSongs =
        Make(QStringLiteral("Alle Lieder von der Favoritenliste entfernen"), lieder, -1, {});
    FFindSong = Make(QStringLiteral("Lied im Album finden"), lieder, -1, {});
    for (QAction* action : {FAddSong, FRemoveSong})
        action->setShortcutContext(Qt::WindowShortcut);
    // Named as the design names them, so that tools and tests find them.
    const std::pair<QAction*, const char*> named[] = {{FNewList, "acNeuListe"},
                                                      {FDeleteList, "acDelListe"},
                                                      {FAddSong, "acAdd"},
                                                      {FRemoveSong, "acDel"},
                                                      {FNoAutoPlay, "acNoPlay"},
                                                      {FMoveSongUp, "acLiedFrueher"},
                                                      {FMoveSongDown, "acLiedSpaeter"},
                                                      {FCopySongs, "acKopieren"},
                                                      {FAddAllSongs, "acAddAll"},
                                                      {FRemoveAllSongs, "acDelAll"},
                                                      {FFindSong, "acFind"}};
    for (const auto& [action, name] : named)
        action->setObjectName(QString::fromLatin1(name));
}

QAction* TMainActions::Make(const QString& caption, const QString& category, int image,
                            const QKeySequence& shortcut) {
    auto* action = new QAction(caption, this);
    action->setProperty("category", category);
    if (image >= 0)
        action->setIcon(QIcon(QStringLiteral(":/toolbar/%1.svg").arg(image)));
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    action->setEnabled(false);
    return action;
}

void TMainActions::FillToolBar(QToolBar* bar) const {
    const std::initializer_list<QAction*> groups[] = {{FNewList, FDeleteList},
                                                      {FAddSong, FRemoveSong},
                                                      {FMoveSongUp, FMoveSongDown},
                                                      {FNoAutoPlay},
                                                      {FCopySongs}};
    for (const auto& group : groups) {
        if (!bar->actions().isEmpty())
            bar->addSeparator();
        for (QAction* action : group)
            bar->addAction(action);
    }
}

QList<QAction*> TMainActions::MenuActions() const {
    return {FNewList,    FDeleteList,     nullptr,    FAddSong,    FAddAllSongs,
            FRemoveSong, FRemoveAllSongs, nullptr,    FMoveSongUp, FMoveSongDown,
            nullptr,     FNoAutoPlay,     FCopySongs, FFindSong};
}

void TMainActions::AttachMenus(QWidget* window, QTreeWidget* songs, QTreeView* albums) {
    FSongMenu = new QMenu(window);
    FSongMenu->setObjectName(QStringLiteral("PopupMenu1"));
    FSongMenu->addAction(FAddSong);
    FSongMenu->addAction(FAddAllSongs);
    FSongMenu->addSeparator();
    FSongMenu->addAction(FRemoveSong);
    FSongMenu->addAction(FRemoveAllSongs);
    FSongMenu->addSeparator();
    FSongMenu->addAction(FFindSong);
    FAlbumMenu = new QMenu(window);
    FAlbumMenu->setObjectName(QStringLiteral("PopupMenu2"));
    FAlbumMenu->addAction(FAddAllSongs);
    FAlbumMenu->addSeparator();
    FAlbumMenu->addAction(FRemoveAllSongs);
    connect(songs, &QWidget::customContextMenuRequested, this, [this, songs](const QPoint& pos) {
        FSongMenu->popup(songs->viewport()->mapToGlobal(pos));
    });
    connect(albums, &QWidget::customContextMenuRequested, this, [this, albums](const QPoint& pos) {
        FAlbumMenu->popup(albums->viewport()->mapToGlobal(pos));
    });
}

void TMainActions::Enable(const TCommandEnabling& on) {
    const std::pair<QAction*, bool> actions[] = {
        {FNewList, on.NewList},           {FDeleteList, on.DeleteList},
        {FAddSong, on.AddSong},           {FRemoveSong, on.RemoveSong},
        {FNoAutoPlay, on.NoAutoPlay},     {FMoveSongUp, on.MoveSongUp},
        {FMoveSongDown, on.MoveSongDown}, {FCopySongs, on.CopySongs},
        {FAddAllSongs, on.AddAllSongs},   {FRemoveAllSongs, on.RemoveAllSongs},
        {FFindSong, on.FindSong}};
    for (const auto& [action, enabled] : actions)
        action->setEnabled(enabled);
}

}  // namespace tunrax
