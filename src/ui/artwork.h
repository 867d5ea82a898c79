#pragma once

#include <QImage>
#include <QString>

namespace hideaway {

/// The pictures drawn at build time, compiled into the program as resources.
inline const QString kBackgroundPicture = QStringLiteral(":/pictures/background.bmp");
inline const QString kPhoneFacePicture = QStringLiteral(":/pictures/phone_face.bmp");
inline const QString kLogoPicture = QStringLiteral(":/pictures/logo.bmp");
inline const QString kIconPicture = QStringLiteral(":/pictures/icon.bmp");

/// One of the pictures above. They are stored with their pixels laid out as a QImage holds them,
/// so the image uses the program's own read-only copy: nothing is decoded and no image plugin is
/// loaded. Any other picture, or one that does not lie that way, is read as usual.
QImage loadPicture(const QString& path);

}  // namespace hideaway
