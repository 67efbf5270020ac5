// Finding a folder in a 100,000-folder album tree: the field "Suchen" (Ctrl+F)
// and the tree's type-ahead, driven with keys as a person types.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <memory>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "gst/GstAudioBackend.h"
#include "support/LocalSource.h"
#include "support/RecordingAudioBackend.h"
#include "support/TempDir.h"
#include "support/WindowInput.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

const int kArtists = 5000;
const int kAlbums = 19;

class AlbumSearchTest : public ::testing::Test, protected WindowTestHome {
protected:
    AlbumSearchTest() {
        ChooseLocalSource(settings, music);
        // 5,000 artists of 19 albums each, and a few folders to find among
        // them. A further folder differs from one of them by its accent only.
        std::string text;
        for (int a = 0; a < kArtists; ++a) {
            if (a == 1200)
                text += "Die \xC3\x84rzte\r\n\tJazz ist anders\r\n\tGer\xC3\xA4usch\r\n";
            if (a == 3000)
                text += "Arzte Live\r\n\tBerlin\r\n";
            text += "Interpret " + std::to_string(a) + "\r\n";
            for (int b = 0; b < kAlbums; ++b)
                text += a == kArtists - 1 && b == kAlbums - 1
                            ? "\tGER\xC3\x84USCHE\r\n"
                            : "\tAlbum " + std::to_string(b) + "\r\n";
        }
        WriteFile(music + "tunrax.dat", text);
        WriteFile(music + "Die \xC3\x84rzte/Ger\xC3\xA4usch/01-Laut.mp3", "x");
        WriteFile(music + "Die \xC3\x84rzte/Ger\xC3\xA4usch/02-Leise.mp3", "x");
        WriteFile(music + "Arzte Live/Berlin/01-Zugabe.mp3", "x");
        WriteFile(music + "Interpret 4999/GER\xC3\x84USCHE/01-Stille.mp3", "x");
    }

    // The rows the tree shows, top to bottom, each indented by its depth
    // (at most limit rows).
    static std::vector<std::string> ShownRows(const TMainWindow& form, int limit = 50) {
        QTreeView* tree = Ui(form).tvAlben;
        std::vector<std::string> rows;
        for (QModelIndex at = tree->model()->index(0, 0);
             at.isValid() && static_cast<int>(rows.size()) < limit; at = tree->indexBelow(at)) {
            std::string indent;
            for (QModelIndex up = at.parent(); up.isValid(); up = up.parent())
                indent += ' ';
            rows.push_back(indent + at.data().toString().toStdString());
        }
        return rows;
    }

    // The folder path of the tree's current row, as its rows show it.
    static std::string CurrentFolder(const TMainWindow& form) {
        std::string path;
        for (QModelIndex at = Ui(form).tvAlben->currentIndex(); at.isValid(); at = at.parent())
            path = "\\" + at.data().toString().toStdString() + path;
        return path.empty() ? path : path + "\\";
    }

    // Whether the current row is selected and shows inside the tree.
    static bool CurrentShown(const TMainWindow& form) {
        QTreeView* tree = Ui(form).tvAlben;
        const QModelIndex current = tree->currentIndex();
        return current.isValid() && tree->selectionModel()->isSelected(current) &&
               tree->viewport()->rect().contains(tree->visualRect(current));
    }

    static QLineEdit* SearchField(const TMainWindow& form) {
        return Find<QLineEdit>(form, "edSuchen");
    }

    // Letters typed into the widget with the keyboard focus, one key each.
    static void Type(const QString& text) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr) << "no widget has the keyboard focus";
        for (QChar letter : text) {
            const QString typed(letter);
            const auto key = static_cast<Qt::Key>(letter.toUpper().unicode());
            QTest::sendKeyEvent(QTest::Press, focus, key, typed, Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, focus, key, typed, Qt::NoModifier);
        }
        Settle();
    }

    // Typed after a pause longer than the type-ahead's, so that it starts a
    // new text.
    static void TypeAfterPause(const QString& text) {
        QTest::qWait(QApplication::keyboardInputInterval() + 100);
        Type(text);
    }
};

}  // namespace

TEST_F(AlbumSearchTest, CtrlFFiltersTheTreeEnterSelectsEscapeRestores) {
    TMainWindow form(settings, CreateGStreamerBackend("fakesink"));
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    QLineEdit* field = SearchField(form);
    ASSERT_NE(field, nullptr);
    ASSERT_EQ(ShownRows(form, kArtists + 10).size(), static_cast<size_t>(kArtists + 2));
    EXPECT_FALSE(field->isVisible());
    auto* suchen = form.findChild<QAction*>(QStringLiteral("Suchen1"));
    ASSERT_NE(suchen, nullptr);
    EXPECT_EQ(suchen->text(), QStringLiteral("Suchen"));
    EXPECT_EQ(suchen->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));

    // A folder chosen before the search.
    ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Interpret 3\\"));
    ASSERT_EQ(CurrentFolder(form), "\\Interpret 3\\");

    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    Settle();
    ASSERT_TRUE(field->isVisible()) << "Ctrl+F shows no search field";
    EXPECT_EQ(QApplication::focusWidget(), field);
    EXPECT_EQ(field->accessibleName(), QStringLiteral("Suchen"));

    // Upper case beyond ASCII finds the lower case; the accent is kept, so
    // "Arzte Live" is not found. A match's own sub-folders are not shown.
    ASSERT_NO_FATAL_FAILURE(Type(QStringLiteral("ÄRZTE")));
    EXPECT_EQ(ShownRows(form), (std::vector<std::string>{"Die Ärzte"}));
    // The search goes on through every folder, and shows the parents of
    // sub-folders found, expanded.
    ASSERT_NO_FATAL_FAILURE(TypeOver(field, QStringLiteral("geräusch")));
    Settle();
    EXPECT_EQ(ShownRows(form),
              (std::vector<std::string>{"Die Ärzte", " Geräusch", "Interpret 4999", " GERÄUSCHE"}));
    ASSERT_NO_FATAL_FAILURE(TypeOver(field, QStringLiteral("kein solcher Ordner")));
    Settle();
    EXPECT_TRUE(ShownRows(form).empty());
    QTest::keyClick(field, Qt::Key_Return);
    Settle();
    EXPECT_FALSE(Ui(form).tvAlben->currentIndex().isValid()) << "Enter without a match selects";
    EXPECT_EQ(QApplication::focusWidget(), field);

    // Enter selects the first folder found and lists its songs.
    ASSERT_NO_FATAL_FAILURE(TypeOver(field, QStringLiteral("usch")));
    Settle();
    ASSERT_EQ(ShownRows(form).size(), 4u);
    QTest::keyClick(field, Qt::Key_Return);
    Settle();
    EXPECT_EQ(CurrentFolder(form), "\\Die Ärzte\\Geräusch\\");
    EXPECT_TRUE(CurrentShown(form));
    EXPECT_EQ(QApplication::focusWidget(), field) << "Enter keeps the field";
    EXPECT_EQ(ShownSongPaths(form),
              (std::vector<std::string>{"\\Die \xC3\x84rzte\\Ger\xC3\xA4usch\\01-Laut.mp3",
                                        "\\Die \xC3\x84rzte\\Ger\xC3\xA4usch\\02-Leise.mp3"}));

    // Escape: the whole tree again, the folder still selected and in view,
    // its songs still listed.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    Settle();
    EXPECT_FALSE(field->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), Ui(form).tvAlben);
    EXPECT_EQ(CurrentFolder(form), "\\Die Ärzte\\Geräusch\\");
    EXPECT_TRUE(CurrentShown(form)) << "the selection is not in view";
    EXPECT_EQ(Ui(form).tvAlben->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(ShownRows(form, 100000).size(), static_cast<size_t>(kArtists + 2 + kAlbums + 2))
        << "the tree shows all its top-level folders, the folder expanded before the search "
           "and the selection's sisters";
    EXPECT_EQ(ShownSongPaths(form).size(), 2u);
    EXPECT_FALSE(Ui(form).AlbumModel->Filtered()) << "the filter stays on after the search";

    // From the menu; a folder found that was selected already stays, and
    // Escape keeps a selection that the search had hidden.
    ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, suchen));
    ASSERT_TRUE(field->isVisible());
    EXPECT_TRUE(field->text().isEmpty()) << "the field starts empty";
    ASSERT_NO_FATAL_FAILURE(Type(QStringLiteral("berlin")));
    EXPECT_EQ(ShownRows(form), (std::vector<std::string>{"Arzte Live", " Berlin"}));
    QTest::keyClick(field, Qt::Key_Escape);
    Settle();
    EXPECT_EQ(CurrentFolder(form), "\\Die Ärzte\\Geräusch\\");
    EXPECT_TRUE(CurrentShown(form));
    EXPECT_EQ(ShownSongPaths(form).size(), 2u);

    // A folder found, clicked; Escape in the tree ends the search too.
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    Settle();
    ASSERT_NO_FATAL_FAILURE(Type(QStringLiteral("berlin")));
    ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Arzte Live\\Berlin\\"));
    EXPECT_EQ(ShownSongPaths(form),
              (std::vector<std::string>{"\\Arzte Live\\Berlin\\01-Zugabe.mp3"}));
    ASSERT_NO_FATAL_FAILURE(PressKey(form, Qt::Key_Escape));
    EXPECT_FALSE(field->isVisible()) << "Escape in the tree leaves the search open";
    EXPECT_EQ(CurrentFolder(form), "\\Arzte Live\\Berlin\\");
    EXPECT_TRUE(CurrentShown(form));
    EXPECT_EQ(ShownRows(form, 100000).size(), static_cast<size_t>(kArtists + 2 + kAlbums + 2 + 1));
}

TEST_F(AlbumSearchTest, TypeAheadFindsFoldersInCollapsedBranches) {
    TMainWindow form(settings, CreateGStreamerBackend("fakesink"));
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Arzte Live\\"));
    ASSERT_EQ(QApplication::focusWidget(), Ui(form).tvAlben);
    // Only the top level shows: every artist is collapsed.
    Ui(form).tvAlben->collapseAll();

    // "Berlin" lies in the collapsed "Arzte Live".
    ASSERT_NO_FATAL_FAILURE(TypeAfterPause(QStringLiteral("be")));
    EXPECT_EQ(CurrentFolder(form), "\\Arzte Live\\Berlin\\");
    EXPECT_TRUE(CurrentShown(form));
    EXPECT_EQ(ShownSongPaths(form),
              (std::vector<std::string>{"\\Arzte Live\\Berlin\\01-Zugabe.mp3"}));

    // Without regard to case, beyond ASCII too: the next one after the
    // current folder, then around from the top.
    ASSERT_NO_FATAL_FAILURE(TypeAfterPause(QStringLiteral("gerä")));
    EXPECT_EQ(CurrentFolder(form), "\\Interpret 4999\\GERÄUSCHE\\");
    EXPECT_TRUE(CurrentShown(form));
    ASSERT_NO_FATAL_FAILURE(TypeAfterPause(QStringLiteral("ge")));
    EXPECT_EQ(CurrentFolder(form), "\\Die Ärzte\\Geräusch\\");
    EXPECT_TRUE(CurrentShown(form));
    EXPECT_EQ(ShownSongPaths(form).size(), 2u);

    // The same letter again goes on to the next folder that starts with it;
    // a further letter within the pause narrows from the current folder.
    ASSERT_NO_FATAL_FAILURE(TypeAfterPause(QStringLiteral("a")));
    EXPECT_EQ(CurrentFolder(form), "\\Interpret 1200\\Album 0\\");
    ASSERT_NO_FATAL_FAILURE(Type(QStringLiteral("a")));
    EXPECT_EQ(CurrentFolder(form), "\\Interpret 1200\\Album 1\\");
    ASSERT_NO_FATAL_FAILURE(TypeAfterPause(QStringLiteral("arz")));
    EXPECT_EQ(CurrentFolder(form), "\\Arzte Live\\");
    EXPECT_TRUE(CurrentShown(form));
    // Nothing starts with the text: the selection stays.
    ASSERT_NO_FATAL_FAILURE(TypeAfterPause(QStringLiteral("zzz")));
    EXPECT_EQ(CurrentFolder(form), "\\Arzte Live\\");
}

TEST_F(AlbumSearchTest, TheSearchFollowsTheTreeItSearches) {
    WriteFile(lists + "Laut.favoriten", "\\Die \xC3\x84rzte\\Ger\xC3\xA4usch\\01-Laut.mp3\r\n");
    TMainWindow form(settings, CreateGStreamerBackend("fakesink"));
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    QLineEdit* field = SearchField(form);
    ASSERT_NE(field, nullptr);

    // The tree is scanned anew while the search is open: the search goes on
    // in the new tree, and Escape shows it without a selection, as a scan
    // leaves it, not a folder of the new tree that stands where the one
    // selected stood in the old. (The tree, given the focus without a current
    // row, makes its first row current, unselected, as Qt's views do.)
    ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Interpret 0\\Album 2\\"));
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    Settle();
    ASSERT_NO_FATAL_FAILURE(Type(QStringLiteral("ärzte")));
    ASSERT_EQ(ShownRows(form), (std::vector<std::string>{"Die Ärzte"}));
    ASSERT_NO_FATAL_FAILURE(ClickMainMenu(form, Ui(form).Aktualisieren1));
    EXPECT_TRUE(field->isVisible());
    EXPECT_EQ(ShownRows(form), (std::vector<std::string>{"Die Ärzte"}));
    QTest::keyClick(field, Qt::Key_Escape);
    Settle();
    EXPECT_FALSE(field->isVisible());
    EXPECT_EQ(Ui(form).tvAlben->model()->rowCount(), 3) << "the whole new tree";
    EXPECT_TRUE(Ui(form).tvAlben->selectionModel()->selectedRows().empty())
        << "selected: " << CurrentFolder(form);

    // Leaving the page ends the search: "Lied im Album finden" then finds
    // the album also where the search had hidden it.
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    Settle();
    ASSERT_NO_FATAL_FAILURE(Type(QStringLiteral("berlin")));
    ASSERT_EQ(ShownRows(form), (std::vector<std::string>{"Arzte Live", " Berlin"}));
    ASSERT_NO_FATAL_FAILURE(ChooseList(form, QStringLiteral("Laut")));
    ASSERT_NO_FATAL_FAILURE(ClickPage(form, 1));
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 0));
    ASSERT_NO_FATAL_FAILURE(OpenSongMenu(form, 0));
    ASSERT_NO_FATAL_FAILURE(ClickMenuEntry(Ui(form).PopupMenu1, Ui(form).acFind));
    EXPECT_EQ(Ui(form).pcSeiten->currentIndex(), 0);
    EXPECT_FALSE(field->isVisible());
    EXPECT_EQ(CurrentFolder(form), "\\Die Ärzte\\Geräusch\\");
    EXPECT_TRUE(CurrentShown(form));
    EXPECT_EQ(ShownSongPaths(form).size(), 2u);
}

// The song list belongs to the album chosen before the search: typing and
// Escape leave it as it is, the song chosen in it and the song fetched ahead
// with it.
TEST_F(AlbumSearchTest, TypingAndEscapeLeaveTheSongListAndItsChosenSong) {
    TMainWindow form(settings, std::make_unique<TRecordingAudioBackend>());
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    ASSERT_NO_FATAL_FAILURE(ClickTool(form, Ui(form).acNoPlay));  // nothing to play here
    ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Die \xC3\x84rzte\\Ger\xC3\xA4usch\\"));
    ASSERT_NO_FATAL_FAILURE(ClickSong(form, 1));
    QTreeWidgetItem* const chosen = Ui(form).lvLieder->topLevelItem(1);
    // A list shown anew has new rows: the row object tells.
    const auto unchanged = [&] {
        const QList<QTreeWidgetItem*> selected = Ui(form).lvLieder->selectedItems();
        return Ui(form).lvLieder->topLevelItem(1) == chosen && selected.size() == 1 &&
               selected.first() == chosen;
    };

    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    Settle();
    for (const char* text : {"g", "e", "r", "\xC3\xA4"}) {
        SCOPED_TRACE(text);
        ASSERT_NO_FATAL_FAILURE(Type(QString::fromUtf8(text)));
        EXPECT_TRUE(unchanged()) << "a key in the search field listed the songs anew";
    }
    QTest::keyClick(SearchField(form), Qt::Key_Escape);
    Settle();
    EXPECT_FALSE(SearchField(form)->isVisible());
    EXPECT_TRUE(unchanged()) << "Escape listed the songs anew";
}
