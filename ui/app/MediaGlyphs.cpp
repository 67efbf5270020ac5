#include "app/MediaGlyphs.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace tunrax {

namespace {

constexpr int kSize = 16;

// The glyph's shape on a 16 by 16 grid.
QPainterPath GlyphPath(TMediaGlyph glyph) {
    QPainterPath path;
    const auto triangle = [&path](qreal left, qreal right) {
        // Points from left to right (or right to left when right < left).
        path.moveTo(left, 3);
        path.lineTo(right, 8);
        path.lineTo(left, 13);
        path.closeSubpath();
    };
    switch (glyph) {
        case TMediaGlyph::Play: triangle(4, 13); break;
        case TMediaGlyph::Pause:
            path.addRect(4, 3, 3, 10);
            path.addRect(9, 3, 3, 10);
            break;
        case TMediaGlyph::Stop: path.addRect(4, 4, 8, 8); break;
        case TMediaGlyph::Next:
            triangle(2, 8);
            triangle(8, 13);
            path.addRect(13, 3, 2, 10);
            break;
        case TMediaGlyph::Previous:
            path.addRect(1, 3, 2, 10);
            triangle(8, 3);
            triangle(14, 8);
            break;
        case TMediaGlyph::Speaker:
            path.moveTo(2, 6);
            path.lineTo(5, 6);
            path.lineTo(9, 2);
            path.lineTo(9, 14);
            path.lineTo(5, 10);
            path.lineTo(2, 10);
            path.closeSubpath();
            path.addRect(11, 6, 1.5, 4);
            path.addRect(13.5, 4, 1.5, 8);
            break;
    }
    return path;
}

}  // namespace

QIcon MediaGlyphIcon(TMediaGlyph glyph, const QColor& colour, qreal pixelRatio) {
    const int side = static_cast<int>(std::ceil(kSize * pixelRatio));
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(pixelRatio, pixelRatio);
        painter.fillPath(GlyphPath(glyph), colour);
    }
    pixmap.setDevicePixelRatio(pixelRatio);
    return QIcon(pixmap);
}

}  // namespace tunrax
