#pragma once

#include <QImage>
#include <QString>

namespace hideaway {

/// The pictures drawn at build time, compiled into the program as resources.
inline const QString kBackgroundPicture = QStringLiteral(":/pictures/background.bmp");
inline const QString kPhoneFacePicture = QStringLiteral(":/pictures/phone_face.bmp");
inline const QString kLogoPicture = QStringLiteral(":/pictures/logo.bmp");
inline const QString kIconPicture = QStringLiteral(":/pictures/icon.bmp");

/// One of the pictures above. They are stored with their pixels laid out as a QImage holds them:
/// the pictures of the main window lie uncompressed in the program and the image uses that
/// read-only copy, so nothing is decoded and no image plugin is loaded; the about window's logo
/// is only inflated. Any other picture, or one that does not lie that way, is read as usual.
QImage loadPicture(const QString& path);

}  // namespace hideaway
