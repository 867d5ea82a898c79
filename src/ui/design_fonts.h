#pragma once

#include <QFont>

namespace hideaway {

/// The design's fonts. Where a design face is missing, the font asks straight for the face
/// installed to stand in for it (a heavy condensed face for Impact, a metric-compatible one for
/// Arial, a plain sans for MS Sans Serif), so no missing face is ever looked up.
/// Impact at the given size; its stand-in is drawn bold, since Impact itself is a black face.
QFont impactFont(qreal points);
QFont arialFont(qreal points, bool bold = false);
/// The windows' default face, MS Sans Serif.
QFont sansSerifFont(qreal points = 8.25, bool bold = false);

}  // namespace hideaway
