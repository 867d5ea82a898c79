#pragma once

#include <QStringList>

#include "captions.h"

namespace hideaway::test {

/// What the log shows while a link opens on port.
inline QStringList openedLinkSteps(int port = 1) {
    return {
        QStringLiteral("Caption=Initializing GBP Mode..."),
        QStringLiteral("Status=Open COMPORT..."),
        QStringLiteral("LCD=Connect..."),
        QStringLiteral("InitGBPMode(%1)").arg(port),
        QStringLiteral("Status=Ready..."),
        QStringLiteral("Caption=") + kConnectedCaptionText,
    };
}

/// What the log shows when InitGBPMode fails on port 1 and Status then reads errorStatus.
inline QStringList failedLinkSteps(const QString& errorStatus) {
    return {
        QStringLiteral("Caption=Initializing GBP Mode..."),
        QStringLiteral("Status=Open COMPORT..."),
        QStringLiteral("LCD=Connect..."),
        QStringLiteral("InitGBPMode(1)"),
        QStringLiteral("Status=") + errorStatus,
        QStringLiteral("LCD=Error!"),
        QStringLiteral("Message=Unable to initialize GBP Mode..."),
    };
}

}  // namespace hideaway::test
