#include "display_check.h"

#include <QtGlobal>

#include <cstring>

namespace hideaway {

bool displayAvailable(int argc, char** argv) {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        return true;
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
            return true;
        }
    }
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && !defined(Q_OS_ANDROID)
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

QString noDisplayMessage(const QString& programPath) {
    return QStringLiteral(
               "hideaway100k: no display found. Run it on a desktop, or under a virtual one: "
               "xvfb-run -a ") +
           programPath;
}

}  // namespace hideaway
