// The song list shows names as the files have them: a ":" is a character of
// a Linux file name, on an album's page and on a favourite list's page alike.
#include <gtest/gtest.h>

#include <QString>
#include <QTreeWidget>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "settings/IniFile.h"
#include "support/LocalSource.h"
#include "support/RecordingAudioBackend.h"
#include "support/TempDir.h"
#include "support/WindowInput.h"

using namespace tunrax;
using namespace tunrax::test;

namespace {

// The texts of the song list's rows, as drawn.
std::vector<std::string> RowTexts(const TMainWindow& form) {
    std::vector<std::string> texts;
    for (int row = 0; row < Ui(form).lvLieder->topLevelItemCount(); ++row)
        texts.push_back(Ui(form).lvLieder->topLevelItem(row)->text(0).toStdString());
    return texts;
}

class SongNamesShownTest : public ::testing::Test, protected WindowTestHome {
protected:
    void TearDown() override { EXPECT_EQ(boxes.Texts, std::vector<std::string>{}); }
};

}  // namespace

TEST_F(SongNamesShownTest, NamesWithAColonShowWhole) {
    ChooseLocalSource(settings, music);
    WriteFile(music + "tunrax.dat", "Live: 2001\r\n");
    for (const char* file : {"05 Teil 1: Anfang.mp3", "06_Teil_2:_Ende.mp3", "Album.mp3:cover"})
        WriteFile(music + "Live: 2001/" + file, "x");
    WriteFile(lists + "Live.favoriten", "\\Live: 2001\\06_Teil_2:_Ende.mp3\r\n");
    settings.WriteInteger("Favoriten", "Aktuell", 1);

    TMainWindow form(settings, std::make_unique<TRecordingAudioBackend>());
    ASSERT_NO_FATAL_FAILURE(ShowMainWindow(form));
    ASSERT_NO_FATAL_FAILURE(ClickAlbum(form, "\\Live: 2001\\"));
    EXPECT_EQ(RowTexts(form), (std::vector<std::string>{"Teil 1: Anfang", "Teil 2: Ende"}))
        << "\"Album.mp3:cover\" has no extension .mp3";

    ASSERT_NO_FATAL_FAILURE(ClickPage(form, 1));
    EXPECT_EQ(RowTexts(form), std::vector<std::string>{"Teil 2: Ende"});
}
