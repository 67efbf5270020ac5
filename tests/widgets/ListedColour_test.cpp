#include "widgets/ListedColour.h"

#include <gtest/gtest.h>

#include <QPalette>

using namespace tunrax;

namespace {

QPalette PaletteOf(const char* base, const char* text, const char* highlight) {
    QPalette palette;
    palette.setColor(QPalette::Base, QColor::fromString(QLatin1String(base)));
    palette.setColor(QPalette::Text, QColor::fromString(QLatin1String(text)));
    palette.setColor(QPalette::Highlight, QColor::fromString(QLatin1String(highlight)));
    return palette;
}

}  // namespace

TEST(ListedColour, ContrastRatioMatchesTheKnownValues) {
    EXPECT_NEAR(ContrastRatio(Qt::black, Qt::white), 21.0, 0.01);
    EXPECT_NEAR(ContrastRatio(Qt::white, Qt::black), 21.0, 0.01) << "in either order";
    EXPECT_NEAR(ContrastRatio(QColor(0x77, 0x77, 0x77), Qt::white), 4.48, 0.01);
    EXPECT_DOUBLE_EQ(ContrastRatio(Qt::red, Qt::red), 1.0);
}

// The tint marks the row and the text on it stays readable, in light and
// dark themes alike, and with a highlight colour close to the text's.
TEST(ListedColour, TheTintIsVisibleAndTheTextReadableInEveryTheme) {
    struct Case {
        const char* name;
        QPalette palette;
        bool tinted;  // whether a visible tint is possible at all
    } cases[] = {
        {"light (Fusion)", PaletteOf("#ffffff", "#000000", "#308cc6"), true},
        {"dark (Breeze Dark)", PaletteOf("#232629", "#fcfcfc", "#3daee9"), true},
        {"dark, white highlight", PaletteOf("#202020", "#ffffff", "#f0f0f0"), true},
        {"light, black highlight", PaletteOf("#ffffff", "#000000", "#000000"), true},
        {"grey on grey, no room for a tint", PaletteOf("#808080", "#333333", "#303030"), false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const QColor base = test.palette.color(QPalette::Base);
        const QColor text = test.palette.color(QPalette::Text);
        const QColor listed = ListedRowColour(test.palette);
        if (ContrastRatio(base, text) >= 4.5) {
            EXPECT_GE(ContrastRatio(listed, text), 4.5);
        }
        if (test.tinted) {
            EXPECT_GE(ContrastRatio(listed, base), 1.1) << "no visible tint";
        } else {
            EXPECT_EQ(listed, base);
        }
    }
}
