// The last good catalogue, kept: a start while the server is down or the
// drive is not mounted shows the kept tree with a line that says so, and
// "Aktualisieren" loads the source's own once it is back. Nothing is written
// into a collection that is missing.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "app/MainWindow.h"
#include "collection/Catalogue.h"
#include "io/FileTools.h"
#include "support/LocalSource.h"
#include "support/RecordingAudioBackend.h"
#include "support/Servers.h"
#include "support/TempDir.h"
#include "support/WindowInput.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

class KeptCatalogueTest : public ::testing::Test, protected WindowTestHome {
protected:
    // The top-level folders the tree shows.
    static std::vector<std::string> TopFolders(const TMainWindow& form) {
        std::vector<std::string> names;
        const TCatalogue& catalogue = Ui(form).AlbumModel->Catalogue();
        for (int32_t node : catalogue.ChildrenOf(TCatalogue::kNone))
            names.push_back(catalogue.At(node).Name);
        return names;
    }
    static QLabel* AwayLine(const TMainWindow& form) { return Find<QLabel>(form, "laStand"); }
};

}  // namespace

TEST_F(KeptCatalogueTest, AServerThatIsDownShowsTheKeptTreeUntilItIsBack) {
    const std::string www = tmp / "www/";
    WriteFile(www + "mp3/tunrax.dat", "Beatles\r\nQueen\r\n");
    auto server = std::make_unique<PhpServer>(www, "mp3/");
    const int port = server->Port();
    settings.WriteInteger("Einstellungen", "Typ", 1);
    settings.WriteString("Einstellungen", "Server Adresse", server->Address());
    {
        TMainWindow form(settings, std::make_unique<TRecordingAudioBackend>());
        ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
        EXPECT_EQ(TopFolders(form), (std::vector<std::string>{"Beatles", "Queen"}));
        EXPECT_FALSE(AwayLine(form)->isVisible());
    }

    server.reset();
    TMainWindow form(settings, std::make_unique<TRecordingAudioBackend>());
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    EXPECT_EQ(TopFolders(form), (std::vector<std::string>{"Beatles", "Queen"}));
    ASSERT_TRUE(AwayLine(form)->isVisible());
    EXPECT_TRUE(
        AwayLine(form)->text().startsWith(QStringLiteral("Server nicht erreichbar – Stand vom ")))
        << AwayLine(form)->text().toStdString();
    EXPECT_TRUE(AwayLine(form)->toolTip().startsWith(QStringLiteral("Keine Verbindung")))
        << AwayLine(form)->toolTip().toStdString();
    EXPECT_EQ(boxes.Texts, std::vector<std::string>{}) << "the line says it; no box";

    // Back, with a catalogue that changed meanwhile.
    WriteFile(www + "mp3/tunrax.dat", "Beatles\r\nKinks\r\nQueen\r\n");
    PhpServer back(www, "mp3/", port);
    QTest::mouseClick(Find<QPushButton>(form, "btnAktualisieren"), Qt::LeftButton);
    EXPECT_EQ(TopFolders(form), (std::vector<std::string>{"Beatles", "Kinks", "Queen"}));
    EXPECT_FALSE(AwayLine(form)->isVisible());
    EXPECT_EQ(boxes.Texts, std::vector<std::string>{});
}

TEST_F(KeptCatalogueTest, AMissingCollectionIsNeverWrittenToAndItsKeptTreeShows) {
    const std::string drive = tmp / "media/musik/";
    WriteFile(drive + "Band/Album/01.mp3", "ID3");
    ChooseLocalSource(settings, drive);
    {
        TMainWindow form(settings, std::make_unique<TRecordingAudioBackend>());
        ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
        EXPECT_EQ(TopFolders(form), std::vector<std::string>{"Band"});
    }

    // The drive is away: the kept tree, and the line names the folder.
    ASSERT_EQ(::rename((tmp / "media/musik").c_str(), (tmp / "media/weg").c_str()), 0);
    {
        TMainWindow form(settings, std::make_unique<TRecordingAudioBackend>());
        ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
        EXPECT_EQ(TopFolders(form), std::vector<std::string>{"Band"});
        ASSERT_TRUE(AwayLine(form)->isVisible());
        EXPECT_TRUE(AwayLine(form)->text().startsWith(
            QString::fromStdString("Sammlung nicht gefunden: " + tmp / "media/musik" +
                                   " – ist das Laufwerk eingehängt? Stand vom ")))
            << AwayLine(form)->text().toStdString();
    }
    EXPECT_FALSE(Exists(tmp / "media/musik")) << "something was written into the missing folder";

    // Nothing kept for another missing folder: the message, and still nothing
    // written.
    ChooseLocalSource(settings, tmp / "nie/da/");
    {
        TMainWindow form(settings, std::make_unique<TRecordingAudioBackend>());
        ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
        EXPECT_TRUE(TopFolders(form).empty());
    }
    EXPECT_EQ(boxes.Texts, std::vector<std::string>{"Sammlung nicht gefunden: " + tmp / "nie/da" +
                                                    " – ist das Laufwerk eingehängt?"});
    EXPECT_FALSE(Exists(tmp / "nie"));
    boxes.Texts.clear();
}
