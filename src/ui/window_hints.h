#pragma once

class QWidget;

namespace hideaway {

/// Keeps a top-level window out of the desktop's taskbar and window lists and gives the window
/// manager no caption for it. Call it before the window is first shown; where the desktop needs
/// no such hint (Windows keeps tool windows out of its taskbar) or has none, it does nothing.
void keepOutOfWindowLists(QWidget* window);

}  // namespace hideaway
