// Input to the main window as a person gives it: mouse clicks on the album
// tree, the song list, the page tabs, the tool bar, the menus, the favourites
// chooser and the tray icon, keys to the widget with the focus, message boxes
// read and closed, dialogs answered, and the song list read as it is drawn.
// A helper that does not find what it should click fails the test: call it
// inside ASSERT_NO_FATAL_FAILURE.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QWindow>
#include <deque>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "app/CatalogueModel.h"
#include "app/MainWindow.h"
#include "settings/DisplayText.h"
#include "settings/IniFile.h"
#include "support/TempDir.h"
#include "widgets/ListedColour.h"
#include "widgets/SingleInstance.h"
#include "widgets/TrayIcon.h"
#include "widgets/Wizard.h"

// Lets test failures print texts as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace tunrax::test {

// Finds a control of the window by its object name; a control that is not
// there fails the test.
template <class T>
T* Find(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << "no control " << name;
    return found;
}

// The main window's controls, found by their names as tools find them.
struct MainControls {
    explicit MainControls(const TMainWindow& main) : window(main) {}
    const TMainWindow& window;
    QMenuBar* MainMenu1 = Find<QMenuBar>(window, "MainMenu1");
    QAction* Aktualisieren1 = Find<QAction>(window, "Aktualisieren1");
    QAction* Beenden1 = Find<QAction>(window, "Beenden1");
    QAction* Einstellungen1 = Find<QAction>(window, "Einstellungen1");
    QAction* Minimieren1 = Find<QAction>(window, "Minimieren1");
    QWidget* Panel1 = Find<QWidget>(window, "Panel1");
    QLabel* Label1 = Find<QLabel>(window, "Label1");
    QComboBox* cbFavoriten = Find<QComboBox>(window, "cbFavoriten");
    QToolBar* atMain = Find<QToolBar>(window, "atMain");
    QTabWidget* pcSeiten = Find<QTabWidget>(window, "pcSeiten");
    QWidget* tsAlle = Find<QWidget>(window, "tsAlle");
    QWidget* tsFavoriten = Find<QWidget>(window, "tsFavoriten");
    QLabel* imFavoriten = Find<QLabel>(window, "imFavoriten");
    QTreeView* tvAlben = Find<QTreeView>(window, "tvAlben");
    QTreeWidget* lvLieder = Find<QTreeWidget>(window, "lvLieder");
    QLabel* laTitel = Find<QLabel>(window, "laTitel");
    QLabel* laInterpret = Find<QLabel>(window, "laInterpret");
    QLabel* laAlbum = Find<QLabel>(window, "laAlbum");
    QProgressBar* pbStatus = Find<QProgressBar>(window, "pbStatus");
    QTimer* mmStart = Find<QTimer>(window, "mmStart");
    TTrayIcon* NBA = Find<TTrayIcon>(window, "NBA");
    TSingleInstance* SingleInstance1 = Find<TSingleInstance>(window, "SingleInstance1");
    QMenu* PopupMenu1 = Find<QMenu>(window, "PopupMenu1");
    QMenu* PopupMenu2 = Find<QMenu>(window, "PopupMenu2");
    QAction* acNeuListe = Find<QAction>(window, "acNeuListe");
    QAction* acDelListe = Find<QAction>(window, "acDelListe");
    QAction* acAdd = Find<QAction>(window, "acAdd");
    QAction* acDel = Find<QAction>(window, "acDel");
    QAction* acNoPlay = Find<QAction>(window, "acNoPlay");
    QAction* acLiedFrueher = Find<QAction>(window, "acLiedFrueher");
    QAction* acLiedSpaeter = Find<QAction>(window, "acLiedSpaeter");
    QAction* acKopieren = Find<QAction>(window, "acKopieren");
    QAction* acAddAll = Find<QAction>(window, "acAddAll");
    QAction* acDelAll = Find<QAction>(window, "acDelAll");
    QAction* acFind = Find<QAction>(window, "acFind");
    QSplitter* spTeiler = Find<QSplitter>(window, "spTeiler");
    QWidget* pnWiedergabe = Find<QWidget>(window, "pnWiedergabe");
    QAction* acAbspielen = Find<QAction>(window, "acAbspielen");
    QAction* acStopp = Find<QAction>(window, "acStopp");
    QAction* acNaechstes = Find<QAction>(window, "acNaechstes");
    QAction* acVorheriges = Find<QAction>(window, "acVorheriges");
    QAction* acLauter = Find<QAction>(window, "acLauter");
    QAction* acLeiser = Find<QAction>(window, "acLeiser");
    QSlider* tbPosition = Find<QSlider>(window, "tbPosition");
    QSlider* tbLautstaerke = Find<QSlider>(window, "tbLautstaerke");
    QLabel* laZeit = Find<QLabel>(window, "laZeit");
    // The model behind the album tree.
    TCatalogueModel* AlbumModel =
        tvAlben ? qobject_cast<TCatalogueModel*>(tvAlben->model()) : nullptr;
};

inline MainControls Ui(const TMainWindow& form) {
    return MainControls(form);
}

// Lets the event loop run until what the input set off is done, as between
// two inputs of a person: until the events already posted and the zero-time
// timers already started (the window's idle update, deferred steps) have been
// handled, and what those posted in turn, a few rounds deep. Fails the test
// when the loop does not get there within two seconds.
inline void Settle() {
    for (int round = 0; round < 3; ++round) {
        bool reached = false;
        QTimer::singleShot(0, [&reached] { reached = true; });
        ASSERT_TRUE(QTest::qWaitFor([&reached] { return reached; }, 2000))
            << "the event loop does not come to rest";
    }
}

// That nothing happens (no song starts, say) can only be seen by letting time
// pass: as long as the playback clock takes for this many of its 100 ms ticks.
// A chosen song starts on the second tick, so four are more than enough.
inline void LetPlaybackTicksPass(int ticks) {
    QTest::qWait(ticks * 100);
}

// Shows the window, waits until its start-up is done and makes it the active
// window (keyboard focus and shortcuts need that).
inline void ShowMainWindow(TMainWindow& form) {
    bool started = false;
    const auto connection =
        QObject::connect(&form, &TAppWindow::AfterCreate, &form, [&] { started = true; });
    form.show();
    const bool done = QTest::qWaitFor([&] { return started; }, 5000);
    QObject::disconnect(connection);
    ASSERT_TRUE(done) << "the window's start-up did not finish";
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form, 2000));
    Settle();
}

// Reads every message box that opens while it lives and closes it with its
// default button, as a person would, or with the button named next in
// Answers.
class MessageBoxReader {
public:
    MessageBoxReader() {
        FTimer.setInterval(20);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            Texts.push_back(box->text().toStdString());
            QAbstractButton* button = nullptr;
            if (!Answers.empty()) {
                for (QAbstractButton* offered : box->buttons())
                    if (offered->text() == Answers.front())
                        button = offered;
                EXPECT_NE(button, nullptr) << "no button " << Answers.front().toStdString()
                                           << " on the box " << Texts.back();
                Answers.pop_front();
            }
            if (!button)
                button = box->defaultButton();
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
    // The texts of the buttons ("&Ja") that answer the next boxes, one each.
    std::deque<QString> Answers;

private:
    QTimer FTimer;
};

// What a main-window test starts from: a temporary home with configuration
// and runtime folders of its own, the collection's folder, the list folder,
// a settings file, and a reader that closes any error box.
struct WindowTestHome {
    TempDir tmp;
    ScopedEnv config{"XDG_CONFIG_HOME", (tmp / "config").c_str()};
    ScopedEnv runtime{"XDG_RUNTIME_DIR", tmp.Path().c_str()};
    ScopedEnv cache{"XDG_CACHE_HOME", (tmp / "cache").c_str()};
    const std::string music = tmp / "Musik/";
    const std::string lists = tmp / "config/quintor/tunRax/";
    TIniFile settings{tmp / "tunrax.ini"};
    // An error box would otherwise hold the test until ctest ends it.
    MessageBoxReader boxes;
};

// The control of a window with this object name, as a person finds it on
// screen; a control that is not there ends the test with an exception.
template <class Control>
Control* Find(const QWidget& window, const char* name) {
    auto* control = window.findChild<Control*>(QString::fromLatin1(name));
    if (!control)
        throw std::logic_error(std::string("no control named ") + name);
    return control;
}

// Selects all that a field shows and types text over it. Letters beyond
// ASCII come as a keyboard layout that has them sends them.
inline void TypeOver(QWidget* field, const QString& text) {
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    for (QChar letter : text) {
        if (letter.unicode() < 0x80) {
            QTest::keyClick(field, static_cast<char>(letter.unicode()));
            continue;
        }
        const auto key = static_cast<Qt::Key>(letter.toUpper().unicode());
        QTest::sendKeyEvent(QTest::Press, field, key, QString(letter), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, field, key, QString(letter), Qt::NoModifier);
    }
}

// A left click on a button of a window on screen.
inline void Click(QAbstractButton* button) {
    ASSERT_TRUE(button->isVisible()) << button->text().toStdString();
    QTest::mouseClick(button, Qt::LeftButton);
}

// A left click on the mark of a check box or radio button.
inline void ClickMark(QAbstractButton* button) {
    ASSERT_TRUE(button->isVisible()) << button->text().toStdString();
    QStyleOptionButton option;
    option.initFrom(button);
    const QStyle::SubElement mark = qobject_cast<QRadioButton*>(button)
                                        ? QStyle::SE_RadioButtonIndicator
                                        : QStyle::SE_CheckBoxIndicator;
    const QRect rect = button->style()->subElementRect(mark, &option, button);
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, rect.center());
}

// Clicks the mark of a check box when it does not show on already.
inline void MarkAs(QAbstractButton* box, bool on) {
    if (box->isChecked() != on)
        ClickMark(box);
    ASSERT_EQ(box->isChecked(), on) << box->text().toStdString();
}

// Shows a form that is not the main window and waits until its start-up has
// filled it, as a person meets it.
inline void ShowStarted(TAppWindow& form) {
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Started(); }, 3000)) << "no start-up";
}

// The wizard that fills a wizard window, its pages and its controls.
inline TWizard* WizardOf(QWidget& form) {
    return Find<TWizard>(form, "velWizard1");
}
inline QWidget* PageOf(QWidget& form, const char* name) {
    return Find<QWidget>(form, name);
}
inline QLineEdit* FieldOf(QWidget& form, const char* name) {
    return Find<QLineEdit>(form, name);
}
inline QCheckBox* BoxOf(QWidget& form, const char* name) {
    return Find<QCheckBox>(form, name);
}
// Clicks the wizard's "&Weiter >" (or what stands there on the last page).
inline void ClickNext(QWidget& form) {
    Click(WizardOf(form)->BtnNext.Button());
}
inline void ClickBack(QWidget& form) {
    Click(WizardOf(form)->BtnBack.Button());
}

// A left click in the middle of a rectangle of a widget.
inline void ClickIn(QWidget* widget, const QRect& rect) {
    ASSERT_TRUE(widget->isVisible());
    ASSERT_FALSE(rect.isEmpty()) << "nothing to click on";
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, rect.center());
    Settle();
}

// Clicks the folder of the album tree with this path ("\Artist\Album\"),
// scrolling it into view first.
inline void ClickAlbum(TMainWindow& form, const std::string& path) {
    const TCatalogue& catalogue = Ui(form).AlbumModel->Catalogue();
    int32_t found = TCatalogue::kNone;
    for (int32_t node = 0; node < catalogue.Count(); ++node)
        if (NodePath(catalogue, node) == path)
            found = node;
    ASSERT_NE(found, TCatalogue::kNone) << "no folder " << path << " in the tree";
    const QModelIndex index = Ui(form).AlbumModel->IndexOf(found);
    Ui(form).tvAlben->scrollTo(index);
    ClickIn(Ui(form).tvAlben->viewport(), Ui(form).tvAlben->visualRect(index));
}

// Clicks the song in this row of the song list.
inline void ClickSong(TMainWindow& form, int row) {
    ASSERT_LT(row, Ui(form).lvLieder->topLevelItemCount()) << "the song list is too short";
    QTreeWidgetItem* item = Ui(form).lvLieder->topLevelItem(row);
    Ui(form).lvLieder->scrollToItem(item);
    ClickIn(Ui(form).lvLieder->viewport(), Ui(form).lvLieder->visualItemRect(item));
}

// The song paths of the song list in the order shown. The list widget shows
// captions only: each row's caption is checked against the song it stands
// for, so that an order the widget does not show fails the test.
inline std::vector<std::string> ShownSongPaths(const TMainWindow& form) {
    const TSongList& songs = form.Songs();
    EXPECT_EQ(Ui(form).lvLieder->topLevelItemCount(), songs.Size())
        << "rows shown and listed differ";
    std::vector<std::string> paths;
    for (int row = 0; row < songs.Size(); ++row) {
        const QTreeWidgetItem* item = Ui(form).lvLieder->topLevelItem(row);
        EXPECT_TRUE(item && item->text(0).toStdString() == DisplayText(songs.At(row).Caption))
            << "row " << row << " does not show " << songs.At(row).Path;
        paths.push_back(songs.At(row).Path);
    }
    return paths;
}

// The song path of the song list's item; empty for none.
inline std::string SongPathOf(const TMainWindow& form, QTreeWidgetItem* item) {
    const int row = item ? Ui(form).lvLieder->indexOfTopLevelItem(item) : -1;
    return row >= 0 && row < form.Songs().Size() ? form.Songs().At(row).Path : std::string();
}

// A key pressed and released on the widget of the window that has the
// keyboard focus. A window that lost the focus to a message box gets it back
// first, as a click into it would give it.
inline void PressKey(TMainWindow& form, Qt::Key key) {
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
inline void ClickPage(TMainWindow& form, int page) {
    QTabBar* tabs = Ui(form).pcSeiten->tabBar();
    ASSERT_TRUE(tabs->isTabVisible(page)) << "the tab of page " << page << " is hidden";
    ClickIn(tabs, tabs->tabRect(page));
}

// The player bar's button of the command (null when there is none).
inline QToolButton* BarButton(const TMainWindow& form, QAction* action) {
    for (QToolButton* button : Ui(form).pnWiedergabe->findChildren<QToolButton*>())
        if (button->defaultAction() == action)
            return button;
    return nullptr;
}

// Clicks the tool bar's button of the command.
inline void ClickTool(TMainWindow& form, QAction* action) {
    QWidget* button = Ui(form).atMain->widgetForAction(action);
    ASSERT_NE(button, nullptr) << action->text().toStdString() << " has no tool button";
    ClickIn(button, button->rect());
}

// Opens the chooser's drop-down with a click, moves to the list named text
// with the arrow keys and takes it with Enter (the window may still refuse it).
inline void ChooseList(TMainWindow& form, const QString& text) {
    QComboBox* chooser = Ui(form).cbFavoriten;
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
inline void OpenSongMenu(TMainWindow& form, int row) {
    ASSERT_LT(row, Ui(form).lvLieder->topLevelItemCount()) << "the song list is too short";
    QTreeWidgetItem* item = Ui(form).lvLieder->topLevelItem(row);
    Ui(form).lvLieder->scrollToItem(item);
    const QPoint at = Ui(form).lvLieder->viewport()->mapTo(
        &form, Ui(form).lvLieder->visualItemRect(item).center());
    QTest::mouseClick(form.windowHandle(), Qt::RightButton, Qt::NoModifier, at);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Ui(form).PopupMenu1->isVisible(); }, 2000))
        << "the song list's context menu did not open";
}

// Clicks the entry of an open menu.
inline void ClickMenuEntry(QMenu* menu, QAction* action) {
    ASSERT_TRUE(menu->isVisible());
    ASSERT_TRUE(menu->actions().contains(action)) << action->text().toStdString();
    ClickIn(menu, menu->actionGeometry(action));
}

// Clicks an entry of the menu bar, or of one of its menus ("Minimieren" sits
// in a bar of its own at the right end).
inline void ClickMainMenu(TMainWindow& form, QAction* action) {
    if (auto* menu = qobject_cast<QMenu*>(action->parent())) {
        ASSERT_NO_FATAL_FAILURE(
            ClickIn(Ui(form).MainMenu1, Ui(form).MainMenu1->actionGeometry(menu->menuAction())));
        ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 2000));
        ClickMenuEntry(menu, action);
        return;
    }
    auto* bar = qobject_cast<QMenuBar*>(action->parent());
    ASSERT_NE(bar, nullptr) << action->text().toStdString() << " is in no menu";
    ClickIn(bar, bar->actionGeometry(action));
}

// A left click on the window's icon in the notification area, as the desktop
// reports it through the icon (offscreen has no notification area to click).
inline void ClickTrayIcon(TMainWindow& form) {
    auto& icon = const_cast<QSystemTrayIcon&>(Ui(form).NBA->Tray());
    Q_EMIT icon.activated(QSystemTrayIcon::Trigger);
    Settle();
}

// Answers every modal dialog of type Dialog that opens while it lives, once
// the dialog shows and has started up, as a person does: answer acts on it
// and should close it. A dialog the answer leaves open is rejected and fails
// the test, so that it cannot hold it.
template <class Dialog>
class ModalAnswer {
public:
    explicit ModalAnswer(std::function<void(Dialog&)> answer) : FAnswer(std::move(answer)) {
        FTimer.setInterval(20);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            // A person meets a form once its start-up has filled it.
            if constexpr (std::is_base_of_v<TAppWindow, Dialog>)
                if (!dialog->Started())
                    return;
            FTimer.stop();  // the answer may wait, and the timer must not answer again
            ++FCount;
            QCoreApplication::sendPostedEvents(dialog);
            FAnswer(*dialog);
            if (dialog->isVisible()) {
                ADD_FAILURE() << "the answer left the dialog open";
                dialog->reject();
            }
            FTimer.start();
        });
        FTimer.start();
    }
    // How many dialogs were answered.
    int Count() const { return FCount; }

private:
    std::function<void(Dialog&)> FAnswer;
    QTimer FTimer;
    int FCount = 0;
};

// Answers input boxes: types text into the field and presses Enter.
class InputBoxAnswer : public ModalAnswer<QInputDialog> {
public:
    explicit InputBoxAnswer(const QString& text)
        : ModalAnswer<QInputDialog>([this, text](QInputDialog& box) {
              Title = box.windowTitle();
              auto* field = box.findChild<QLineEdit*>();
              ASSERT_NE(field, nullptr) << "the input box has no text field";
              QTest::keyClicks(field, text);
              QTest::keyClick(field, Qt::Key_Return);
          }) {}
    QString Title;  // of the last box answered
};

// For each row of the song list, whether it is drawn on the palette's tint
// for the songs of the current list (ListedRowColour): sampled at the right
// end of the row, where its background shows past the text. A selected row
// shows the selection's colour instead.
inline std::vector<bool> DrawnHighlights(TMainWindow& form) {
    QTreeWidget* list = Ui(form).lvLieder;
    const QImage image = list->viewport()->grab().toImage();
    const qreal scale = image.devicePixelRatio();
    std::vector<bool> marks;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        const QRect rect = list->visualItemRect(list->topLevelItem(row));
        const QPoint at(rect.right() - 2, rect.center().y());
        marks.push_back(!rect.isEmpty() &&
                        image.pixelColor(at * scale) == ListedRowColour(list->palette()));
    }
    return marks;
}

}  // namespace tunrax::test
