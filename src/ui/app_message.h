#pragma once

#include <QString>

class QWidget;

namespace hideaway {

/// The application's title, which every message box carries.
inline const QString kAppTitle = QStringLiteral("HideawayV2");

/// A modal message box with the application's title, an OK button only and no icon; returns
/// when the user closes it.
void showAppMessage(QWidget* parent, const QString& text);

}  // namespace hideaway
