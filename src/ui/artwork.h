#pragma once

#include <QString>

namespace hideaway {

/// The pictures drawn at build time, compiled into the program as resources.
inline const QString kBackgroundPicture = QStringLiteral(":/pictures/background.jpg");
inline const QString kPhoneFacePicture = QStringLiteral(":/pictures/phone_face.jpg");
inline const QString kLogoPicture = QStringLiteral(":/pictures/logo.jpg");
inline const QString kIconPicture = QStringLiteral(":/pictures/hideaway.ico");

}  // namespace hideaway
