#include "app/FavoritesChooser.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <string>
#include <vector>

#include "collection/Collation.h"
#include "io/Error.h"

using namespace tunrax;

namespace {

std::vector<std::string> Shown(const QComboBox& chooser) {
    std::vector<std::string> texts;
    for (int i = 0; i < chooser.count(); ++i)
        texts.push_back(chooser.itemText(i).toStdString());
    return texts;
}

}  // namespace

// The window counts on the chooser's own changes raising nothing: only a
// choice of the user may load another list.
TEST(FavoritesChooser, FillsChoosesAndAddsListsQuietlyByTheirNames) {
    const TNameCollator collator("de_DE");
    TFavoritesChooser chooser(nullptr);
    QSignalSpy changed(&chooser, &QComboBox::currentIndexChanged);

    // "(keine)" first; an index past the end takes the last list.
    chooser.Fill({"Jazz", "Rock"}, 7);
    EXPECT_EQ(Shown(chooser), (std::vector<std::string>{"(keine)", "Jazz", "Rock"}));
    EXPECT_EQ(chooser.ChosenName(), "Rock");
    chooser.Fill({"Jazz", "Rock"}, 0);
    EXPECT_EQ(chooser.ChosenName(), "") << "(keine) names no list";

    // A name that is no UTF-8 is shown as text and kept as its bytes.
    chooser.Fill({"Caf\xe9"}, 1);
    EXPECT_EQ(Shown(chooser)[1], "Caf\xc3\xa9");
    EXPECT_EQ(chooser.ChosenName(), "Caf\xe9");
    chooser.Choose("unbekannt");
    EXPECT_EQ(chooser.currentIndex(), 0) << "a list that is not there chooses (keine)";
    chooser.Choose("Caf\xe9");
    EXPECT_EQ(chooser.currentIndex(), 1);

    // A new list takes its sorted place after "(keine)" and is chosen.
    chooser.Fill({"Jazz", "Rock"}, 0);
    chooser.AddList("Klassik", collator);
    chooser.AddList("Acapella", collator);
    chooser.AddList("Zydeco", collator);
    EXPECT_EQ(Shown(chooser), (std::vector<std::string>{"(keine)", "Acapella", "Jazz", "Klassik",
                                                        "Rock", "Zydeco"}));
    EXPECT_EQ(chooser.ChosenName(), "Zydeco");

    // A name shown already, whatever its case, is refused and changes nothing.
    EXPECT_THROW(chooser.AddList("rock", collator), Error);
    EXPECT_THROW(chooser.AddList("(KEINE)", collator), Error);
    EXPECT_EQ(chooser.count(), 6);
    EXPECT_EQ(chooser.ChosenName(), "Zydeco");

    EXPECT_EQ(changed.count(), 0) << "the chooser's own changes raised a signal";
}
