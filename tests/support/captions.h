#pragma once

#include <QString>

namespace hideaway::test {

/// The window's title once a link has opened, as the tests expect it (not read from the code).
inline const QString kConnectedCaptionText =
    QStringLiteral("Hideaway100K V1.1 for Sony CMD-J7/70 by Corvane");
/// The title at start carries a trailing space that the connected title drops.
inline const QString kStartCaptionText = kConnectedCaptionText + QLatin1Char(' ');

}  // namespace hideaway::test
