#include "widgets/WholeGlyphs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QImage>
#include <QListWidget>
#include <QTest>

using namespace tunrax;

namespace {

// Pixels darker than middle grey: the ink of dark text on a light ground.
int InkOf(const QImage& image) {
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ink += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    return ink;
}

// The rows of a list with these two names, as drawn.
std::pair<QImage, QImage> DrawnRows(const QFont& font, const QString& first,
                                    const QString& second) {
    QListWidget list;
    list.setFont(font);
    list.setItemDelegate(new TWholeGlyphsDelegate(&list));
    list.addItems({first, second});
    list.resize(300, 200);
    list.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&list));
    const QImage image = list.viewport()->grab().toImage();
    const qreal scale = image.devicePixelRatio();
    auto row = [&](int index) {
        const QRect rect = list.visualItemRect(list.item(index));
        return image.copy(QRect(rect.topLeft() * scale, rect.size() * scale));
    };
    return {row(0), row(1)};
}

// The label drawn with this text.
QImage DrawnLabel(const QFont& font, const QString& text) {
    TWholeGlyphsLabel label(text);
    label.setFont(font);
    label.setAlignment(Qt::AlignCenter);
    label.resize(200, label.sizeHint().height());
    return label.grab().toImage();
}

}  // namespace

// The dots of a capital umlaut lie above the font's ascent in common fonts at
// common sizes: a row or a label of the font's height cut them ("Olzeug").
// Drawn, the umlaut must carry more ink than the bare capital.
TEST(WholeGlyphs, CapitalUmlautsAndDescendersAreDrawnWhole) {
    for (const char* family : {"DejaVu Sans", "Sans Serif", "DejaVu Serif"}) {
        for (const int points : {8, 9, 10, 11}) {
            QFont font(QString::fromLatin1(family));
            font.setPointSize(points);
            SCOPED_TRACE(std::string(family) + " " + std::to_string(points) + " pt");
            const QFontMetrics metrics(font);
            EXPECT_GE(WholeGlyphsHeight(metrics),
                      -metrics.tightBoundingRect(QStringLiteral("Ö")).top() + metrics.descent());

            const auto [umlaut, bare] =
                DrawnRows(font, QStringLiteral("Ölzeug"), QStringLiteral("Olzeug"));
            EXPECT_GE(InkOf(umlaut) - InkOf(bare), 2) << "the dots of Ö are cut in a row";
            const int labelDots = InkOf(DrawnLabel(font, QStringLiteral("Über"))) -
                                  InkOf(DrawnLabel(font, QStringLiteral("Uber")));
            EXPECT_GE(labelDots, 2) << "the dots of Ü are cut in a label";
        }
    }
}
