#pragma once

#include <QString>
#include <QtGlobal>

namespace hideaway::test {

/// The offscreen platform says, each time, that it cannot raise a window or pass size hints on;
/// that says nothing about the windows under test, so those lines are dropped.
inline void quietOffscreenNotices() {
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (message == QLatin1String("This plugin does not support raise()") ||
                message == QLatin1String("This plugin does not support propagateSizeHints()")) {
                return;
            }
            previous(type, context, message);
        });
}

}  // namespace hideaway::test
