#include "app/CatalogueModel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collection/Catalogue.h"
#include "collection/CatalogueSession.h"
#include "collection/Collation.h"

using namespace tunrax;

namespace {

// Folder names are UTF-8; "\t" gives the level.
const char* const kTree =
    "Rock\r\n"
    "\tLive\r\n"
    "\t\tBerlin\r\n"
    "\tRock am Ring\r\n"
    "Rockabilly\r\n"
    "Pop\r\n"
    "\tRock Hits\r\n"
    "Jazz\r\n"
    "\tBerlin Live\r\n"
    "Die \xC3\x84rzte\r\n"
    "Arzte Live\r\n";

class CatalogueModelTest : public ::testing::Test {
protected:
    CatalogueModelTest() {
        TCatalogue folders;
        ParseCatalogue(kTree, folders);
        session.Replace(folders);
        model.Follow(&session);
    }
    ~CatalogueModelTest() override { model.Follow(nullptr); }

    // What the tree shows, walked through the model as a view walks it: one
    // row a folder, two blanks a level, "*" where the name itself matches.
    std::vector<std::string> Shown(const QModelIndex& parent = {}, int level = 0) const {
        std::vector<std::string> rows;
        for (int row = 0; row < model.rowCount(parent); ++row) {
            const QModelIndex index = model.index(row, 0, parent);
            EXPECT_EQ(model.parent(index), parent);
            rows.push_back(std::string(2 * level, ' ') +
                           model.data(index, Qt::DisplayRole).toString().toStdString() +
                           (model.Matches(model.NodeOf(index)) ? "*" : ""));
            for (std::string& below : Shown(index, level + 1))
                rows.push_back(std::move(below));
        }
        return rows;
    }

    // The same folders in the order NextShown walks them (the type-ahead's
    // order), each name once, without levels and marks.
    std::vector<std::string> Walked() const {
        std::vector<std::string> names;
        const int32_t first = model.NextShown(TCatalogue::kNone);
        for (int32_t node = first; node != TCatalogue::kNone && names.size() < 100;) {
            names.push_back(model.Catalogue().At(node).Name);
            node = model.NextShown(node);
            if (node == first)
                break;
        }
        return names;
    }

    static std::vector<std::string> Plain(std::vector<std::string> rows) {
        for (std::string& row : rows) {
            row.erase(0, row.find_first_not_of(' '));
            if (!row.empty() && row.back() == '*')
                row.pop_back();
        }
        return rows;
    }

    TNameCollator collator{"C"};
    TCatalogueSession session{collator};
    TCatalogueModel model;
};

TEST_F(CatalogueModelTest, ASearchShowsTheMatchesTheirParentsAndFindsTheFirstInTreeOrder) {
    using Rows = std::vector<std::string>;
    struct Case {
        const char* text;
        Rows shown;
        const char* first;  // the first match; "" for none
    };
    const Case cases[] = {
        // A match that has a matching sub-folder is a match, not only its
        // parent; its other sub-folders are not shown.
        {"rock", {"Rock*", "  Rock am Ring*", "Rockabilly*", "Pop", "  Rock Hits*"}, "Rock"},
        // Parents are shown for the way down, however deep.
        {"berlin", {"Rock", "  Live", "    Berlin*", "Jazz", "  Berlin Live*"}, "Berlin"},
        {"LIVE", {"Rock", "  Live*", "Jazz", "  Berlin Live*", "Arzte Live*"}, "Live"},
        // Upper case beyond ASCII finds the lower case; the accent is kept.
        {"\xC3\x84RZTE", {"Die \xC3\x84rzte*"}, "Die \xC3\x84rzte"},
        {"kein solcher Ordner", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        model.SetFilter(QString::fromUtf8(c.text), collator);
        ASSERT_TRUE(model.Filtered());
        const Rows shown = Shown();
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(Walked(), Plain(shown));
        const int32_t first = model.FirstMatch();
        EXPECT_EQ(first == TCatalogue::kNone ? "" : model.Catalogue().At(first).Name, c.first);
    }

    // An empty text shows every folder again, nothing marked.
    model.SetFilter(QString(), collator);
    EXPECT_FALSE(model.Filtered());
    EXPECT_EQ(Shown().size(), 11u);
    EXPECT_EQ(model.FirstMatch(), TCatalogue::kNone);
    model.SetFilter(QStringLiteral("pop"), collator);
    model.EndFilter();
    EXPECT_EQ(Plain(Shown()), Walked());
    EXPECT_EQ(Shown().size(), 11u);
}

}  // namespace
