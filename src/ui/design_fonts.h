#pragma once

#include <QFont>

namespace hideaway {

/// Registers the faces that stand in for the design's fonts where those are missing: a heavy
/// condensed face for Impact, a metric-compatible one for Arial, a plain sans for MS Sans Serif.
/// Safe to call more than once.
void installFontSubstitutes();

/// Impact at the given size; its stand-in is drawn bold, since Impact itself is a black face.
QFont impactFont(qreal points);
QFont arialFont(qreal points, bool bold = false);
/// The windows' default face, MS Sans Serif.
QFont sansSerifFont(qreal points = 8.25, bool bold = false);

}  // namespace hideaway
