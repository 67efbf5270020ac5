// The background on which a view marks some of its rows (the songs of the
// current favourite list), taken from the palette so that it suits light and
// dark themes alike: the base colour tinted towards the highlight colour, as
// far as the text on it stays readable. Nothing here throws.
#pragma once

#include <QColor>

class QPalette;

namespace tunrax {

// The contrast ratio of two colours as the web's accessibility guidelines
// define it: 1 (equal) to 21 (black on white).
double ContrastRatio(const QColor& first, const QColor& second);

// Base tinted towards Highlight, with a contrast ratio of at least 4.5 to
// the palette's Text (or, if the palette's own base and text fall short of
// that, the base itself).
QColor ListedRowColour(const QPalette& palette);

}  // namespace tunrax
