#include "widgets/WholeGlyphs.h"

#include <QFontMetrics>
#include <algorithm>

namespace tunrax {

int WholeGlyphsHeight(const QFontMetrics& metrics) {
    // Capitals with marks above, and letters and marks below the baseline,
    // of the languages a collection's names are most often in.
    const QRect ink = metrics.tightBoundingRect(QStringLiteral("ÄÖÜÅÉÂÇŠÑgjpqyÿ|"));
    const int above = std::max(0, -ink.top() - metrics.ascent());
    const int below = std::max(0, ink.bottom() + 1 - metrics.descent());
    return metrics.height() + 2 * std::max(above, below);
}

QSize TWholeGlyphsDelegate::sizeHint(const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    // What the style adds around the text stays; only the text's own room grows.
    const int padding = std::max(0, size.height() - option.fontMetrics.height());
    size.setHeight(std::max(size.height(), WholeGlyphsHeight(option.fontMetrics) + padding));
    return size;
}

QSize TWholeGlyphsLabel::sizeHint() const {
    QSize size = QLabel::sizeHint();
    size.setHeight(std::max(
        size.height(),
        WholeGlyphsHeight(fontMetrics()) + contentsMargins().top() + contentsMargins().bottom()));
    return size;
}

QSize TWholeGlyphsLabel::minimumSizeHint() const {
    QSize size = QLabel::minimumSizeHint();
    size.setHeight(std::max(size.height(), sizeHint().height()));
    return size;
}

}  // namespace tunrax
