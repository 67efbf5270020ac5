// Room for whole letters. A font's ascent and descent, rounded to pixels, need
// not cover its tallest and deepest glyphs: with DejaVu Sans 9 pt at 96 dpi the
// ascent is 11 pixels while the dots of an "Ö" reach 13 above the baseline, so
// a row or a label exactly as high as the font clips them ("Olzeug"). The
// helpers here give text the height its glyphs really need, for any font and
// scale. Nothing here throws.
#pragma once

#include <QLabel>
#include <QStyledItemDelegate>

class QFontMetrics;

namespace tunrax {

// The height a line of text needs so that, centred vertically as views and
// labels centre it, no accent above a capital and no descender is cut: the
// font's height plus twice the larger overshoot past its ascent or descent.
int WholeGlyphsHeight(const QFontMetrics& metrics);

// An item delegate whose rows are at least WholeGlyphsHeight high.
class TWholeGlyphsDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// A label at least WholeGlyphsHeight high for its font of the moment.
class TWholeGlyphsLabel : public QLabel {
public:
    using QLabel::QLabel;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
};

}  // namespace tunrax
