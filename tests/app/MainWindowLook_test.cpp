// What a person sees of the main window and what a screen reader tells of
// it: accessible names and roles, a menu entry for every command, the songs
// of the current list in light and dark themes.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QMenuBar>
#include <QTest>

#include "app/MainWindow.h"
#include "gst/GstAudioBackend.h"
#include "support/LocalSource.h"
#include "support/WindowInput.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

class LookTest : public ::testing::Test, protected WindowTestHome {
protected:
    LookTest() {
        ChooseLocalSource(settings, music);
        WriteFile(music + "tunrax.dat", "Rock\r\n\tLive\r\n");
        for (const char* song : {"01-Intro.mp3", "02-Song.mp3", "03-Ende.mp3"})
            WriteFile(music + "Rock/Live/" + song, "x");
        WriteFile(lists + "Rock.favoriten", "\\Rock\\Live\\01-Intro.mp3\r\n");
        settings.WriteInteger("Favoriten", "Aktuell", 1);
    }
    void TearDown() override { EXPECT_EQ(boxes.Texts, std::vector<std::string>{}); }

    static QAccessibleInterface* Accessible(QObject* object) {
        return QAccessible::queryAccessibleInterface(object);
    }
};

// The actions of every menu of the menu bar.
QList<QAction*> MenuEntries(const TMainWindow& form) {
    QList<QAction*> entries;
    for (QAction* title : Ui(form).MainMenu1->actions())
        if (title->menu())
            entries += title->menu()->actions();
    return entries;
}

}  // namespace

TEST_F(LookTest, ScreenReadersFindEveryPartByItsGermanName) {
    TMainWindow form(settings, CreateGStreamerBackend("fakesink sync=true"));
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    const MainControls ui = Ui(form);
    EXPECT_EQ(Accessible(&form)->role(), QAccessible::Window) << "a frame, not a dialog";
    const std::pair<QWidget*, const char*> named[] = {
        {ui.tvAlben, "Alben"},           {ui.lvLieder, "Lieder"}, {ui.laTitel, "Titel"},
        {ui.laInterpret, "Interpret"},   {ui.laAlbum, "Album"},   {ui.tbPosition, "Position"},
        {ui.tbLautstaerke, "Lautstärke"}};
    for (const auto& [widget, name] : named)
        EXPECT_EQ(Accessible(widget)->text(QAccessible::Name), QString::fromUtf8(name))
            << widget->objectName().toStdString();
    // A chooser's name is its choice; its caption comes as the label that
    // labels it.
    QStringList chooserLabels;
    for (const auto& [label, relation] : Accessible(ui.cbFavoriten)->relations(QAccessible::Label))
        chooserLabels << label->text(QAccessible::Name);
    EXPECT_EQ(chooserLabels, QStringList{QStringLiteral("Favoriten")});

    // Every command of the tool bar and of the player bar is in a menu, with
    // its key.
    const QList<QAction*> entries = MenuEntries(form);
    for (QAction* command : ui.atMain->actions()) {
        if (command->isSeparator())
            continue;
        EXPECT_TRUE(entries.contains(command)) << command->text().toStdString();
    }
    for (QAction* command :
         {ui.acAbspielen, ui.acStopp, ui.acNaechstes, ui.acVorheriges, ui.acLauter, ui.acLeiser})
        EXPECT_TRUE(entries.contains(command)) << command->text().toStdString();
    EXPECT_EQ(ui.acAbspielen->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Space));
    QStringList titles;
    for (QAction* title : ui.MainMenu1->actions())
        titles << title->text();
    EXPECT_EQ(titles,
              (QStringList{QStringLiteral("&Datei"), QStringLiteral("&Favoriten"),
                           QStringLiteral("&Einstellungen"), QStringLiteral("&Wiedergabe")}));
    ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, ui.Beenden1));
}

// A listed song is drawn on a tint of the palette that keeps its text
// readable, in bold, and described to screen readers; in a dark theme too.
TEST_F(LookTest, ListedSongsAreMarkedReadablyInLightAndDarkThemes) {
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::Base, QColor(0x23, 0x26, 0x29));
    dark.setColor(QPalette::Window, QColor(0x31, 0x36, 0x3b));
    dark.setColor(QPalette::Text, QColor(0xfc, 0xfc, 0xfc));
    dark.setColor(QPalette::WindowText, QColor(0xfc, 0xfc, 0xfc));
    dark.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    for (const QPalette& palette : {before, dark}) {
        QApplication::setPalette(palette);
        TMainWindow form(settings, CreateGStreamerBackend("fakesink sync=true"));
        ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
        ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Rock\\Live\\"));
        QTreeWidget* list = Ui(form).lvLieder;
        ASSERT_EQ(list->topLevelItemCount(), 3);
        EXPECT_EQ(DrawnHighlights(form), (std::vector<bool>{true, false, false}));
        const QColor drawn = ListedRowColour(list->palette());
        EXPECT_GE(ContrastRatio(drawn, list->palette().color(QPalette::Text)), 4.5);
        EXPECT_NE(drawn, list->palette().color(QPalette::Base));

        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(list);
        ASSERT_NE(table, nullptr);
        std::vector<std::string> described;
        for (int i = 0; i < table->childCount(); ++i)
            if (QAccessibleInterface* cell = table->child(i);
                cell && cell->role() != QAccessible::ColumnHeader)
                described.push_back(cell->text(QAccessible::Description).toStdString());
        EXPECT_EQ(described, (std::vector<std::string>{"in der Favoritenliste", "", ""}));
        ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Beenden1));
    }
    QApplication::setPalette(before);
}
