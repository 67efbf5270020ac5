// Input to the main window as a person gives it: mouse clicks on the album
// tree, the song list, the page tabs, the tool bar, the menus and the
// favourites chooser, keys to the widget with the focus, and message boxes
// read and closed. A helper that does not find what it should click fails the
// test: call it inside ASSERT_NO_FATAL_FAILURE.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QWindow>
#include <ostream>
#include <string>
#include <vector>

#include "app/CatalogueModel.h"
#include "app/haupt.h"

// Lets test failures print texts as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace tunrax::test {

// Lets the event loop run until what the input set off is done, as between
// two inputs of a person; far less than a playback tick is needed for that.
inline void Settle() {
    QTest::qWait(50);
}

// Shows the window, waits until its start-up is done and makes it the active
// window (keyboard focus and shortcuts need that).
inline void ShowMainWindow(TfmMain& form) {
    bool started = false;
    const auto connection =
        QObject::connect(&form, &TVelForm::AfterCreate, &form, [&] { started = true; });
    form.show();
    const bool done = QTest::qWaitFor([&] { return started; }, 5000);
    QObject::disconnect(connection);
    ASSERT_TRUE(done) << "the window's start-up did not finish";
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form, 2000));
    Settle();
}

// Reads every message box that opens while it lives and closes it with its
// default button, as a person would.
class MessageBoxReader {
public:
    MessageBoxReader() {
        FTimer.setInterval(20);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            Texts.push_back(box->text().toStdString());
            QAbstractButton* button = box->defaultButton();
            if (!button && !box->buttons().isEmpty())
                button = box->buttons().first();
            if (button)
                QTest::mouseClick(button, Qt::LeftButton);
            else
                box->reject();
        });
        FTimer.start();
    }
    // Waits until at least count boxes were read.
    bool WaitFor(size_t count) {
        return QTest::qWaitFor([&] { return Texts.size() >= count; }, 3000);
    }
    std::vector<std::string> Texts;

private:
    QTimer FTimer;
};

// A left click in the middle of a rectangle of a widget.
inline void ClickIn(QWidget* widget, const QRect& rect) {
    ASSERT_TRUE(widget->isVisible());
    ASSERT_FALSE(rect.isEmpty()) << "nothing to click on";
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, rect.center());
    Settle();
}

// Clicks the folder of the album tree with this path ("\Artist\Album\"),
// scrolling it into view first.
inline void ClickAlbum(TfmMain& form, const std::string& path) {
    const TCatalogue& catalogue = form.FAlben->Catalogue();
    int32_t found = TCatalogue::kNone;
    for (int32_t node = 0; node < catalogue.Count(); ++node)
        if (NodePath(catalogue, node) == path)
            found = node;
    ASSERT_NE(found, TCatalogue::kNone) << "no folder " << path << " in the tree";
    const QModelIndex index = form.FAlben->IndexOf(found);
    form.tvAlben->scrollTo(index);
    ClickIn(form.tvAlben->viewport(), form.tvAlben->visualRect(index));
}

// Clicks the song in this row of the song list.
inline void ClickSong(TfmMain& form, int row) {
    ASSERT_LT(row, form.lvLieder->topLevelItemCount()) << "the song list is too short";
    QTreeWidgetItem* item = form.lvLieder->topLevelItem(row);
    form.lvLieder->scrollToItem(item);
    ClickIn(form.lvLieder->viewport(), form.lvLieder->visualItemRect(item));
}

// A key pressed and released on the widget of the window that has the
// keyboard focus. A window that lost the focus to a message box gets it back
// first, as a click into it would give it.
inline void PressKey(TfmMain& form, Qt::Key key) {
    if (!form.isActiveWindow()) {
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form, 2000));
    }
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr) << "no widget has the keyboard focus";
    QTest::keyClick(focus, key);
    Settle();
}

// Clicks the tab of a page ("Alle" is 0, the list's page 1).
inline void ClickPage(TfmMain& form, int page) {
    QTabBar* tabs = form.pcSeiten->tabBar();
    ASSERT_TRUE(tabs->isTabVisible(page)) << "the tab of page " << page << " is hidden";
    ClickIn(tabs, tabs->tabRect(page));
}

// Clicks the tool bar's button of the command.
inline void ClickTool(TfmMain& form, QAction* action) {
    QWidget* button = form.atMain->widgetForAction(action);
    ASSERT_NE(button, nullptr) << action->text().toStdString() << " has no tool button";
    ClickIn(button, button->rect());
}

// Opens the chooser's drop-down with a click, moves to the list named text
// with the arrow keys and takes it with Enter (the window may still refuse it).
inline void ChooseList(TfmMain& form, const QString& text) {
    QComboBox* chooser = form.cbFavoriten;
    const int row = chooser->findText(text);
    ASSERT_GE(row, 0) << "no list " << text.toStdString() << " in the chooser";
    ASSERT_NO_FATAL_FAILURE(ClickIn(chooser, chooser->rect()));
    QAbstractItemView* view = chooser->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->isVisible(); }, 2000)) << "no drop-down";
    for (int moves = 0; moves < chooser->count() && view->currentIndex().row() != row; ++moves)
        QTest::keyClick(view, view->currentIndex().row() < row ? Qt::Key_Down : Qt::Key_Up);
    ASSERT_EQ(view->currentIndex().row(), row);
    QTest::keyClick(view, Qt::Key_Return);
    Settle();
    ASSERT_FALSE(view->isVisible()) << "the drop-down stays open";
}

// A right click on the song in this row, through the window system as a real
// click comes, so that the song list's context menu opens.
inline void OpenSongMenu(TfmMain& form, int row) {
    ASSERT_LT(row, form.lvLieder->topLevelItemCount()) << "the song list is too short";
    QTreeWidgetItem* item = form.lvLieder->topLevelItem(row);
    form.lvLieder->scrollToItem(item);
    const QPoint at =
        form.lvLieder->viewport()->mapTo(&form, form.lvLieder->visualItemRect(item).center());
    QTest::mouseClick(form.windowHandle(), Qt::RightButton, Qt::NoModifier, at);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.PopupMenu1->isVisible(); }, 2000))
        << "the song list's context menu did not open";
}

// Clicks the entry of an open menu.
inline void ClickMenuEntry(QMenu* menu, QAction* action) {
    ASSERT_TRUE(menu->isVisible());
    ASSERT_TRUE(menu->actions().contains(action)) << action->text().toStdString();
    ClickIn(menu, menu->actionGeometry(action));
}

// Clicks an entry of the menu bar, or of one of its menus.
inline void ClickMainMenu(TfmMain& form, QAction* action) {
    if (auto* menu = qobject_cast<QMenu*>(action->parent())) {
        ASSERT_NO_FATAL_FAILURE(
            ClickIn(form.MainMenu1, form.MainMenu1->actionGeometry(menu->menuAction())));
        ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 2000));
        ClickMenuEntry(menu, action);
        return;
    }
    ClickIn(form.MainMenu1, form.MainMenu1->actionGeometry(action));
}

}  // namespace tunrax::test
