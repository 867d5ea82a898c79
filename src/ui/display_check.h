#pragma once

#include <QString>

namespace hideaway {

/// Whether the windowing system can be reached: a platform plugin was chosen explicitly (the
/// QT_QPA_PLATFORM variable or a -platform argument), or, on X11 and Wayland desktops, a display
/// is named. Always true where the desktop is not one of those.
bool displayAvailable(int argc, char** argv);

/// What the program says when there is no display: the command that runs it on a virtual one,
/// with the command the user started it by, preceded by how to install xvfb-run where the path
/// lacks it.
QString noDisplayMessage(const QString& command);

}  // namespace hideaway
