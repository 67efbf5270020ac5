// The player bar's pictures (previous, play, pause, next, stop, the speaker),
// drawn in a colour of the palette so that they show in light and dark
// themes alike; the style's own media pictures are black on any ground.
// Nothing here throws.
#pragma once

#include <QIcon>

class QColor;

namespace tunrax {

enum class TMediaGlyph { Previous, Play, Pause, Next, Stop, Speaker };

// The glyph in colour, sharp at the given device pixel ratio.
QIcon MediaGlyphIcon(TMediaGlyph glyph, const QColor& colour, qreal pixelRatio);

}  // namespace tunrax
