#include "window_hints.h"

namespace hideaway {

// Windows keeps tool windows out of its taskbar by itself; elsewhere without X11 no hint exists.
void keepOutOfWindowLists(QWidget*) {}

}  // namespace hideaway
