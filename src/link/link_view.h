#pragma once

#include <QString>

namespace hideaway {

/// What opening a link needs from the main window: its three status fields, the COM option
/// buttons and a message box. Every write replaces the whole text and is visible at once, before
/// the library call that follows it.
class LinkView {
public:
    virtual ~LinkView() = default;

    virtual void setCaption(const QString& text) = 0;
    virtual void setStatus(const QString& text) = 0;
    virtual void setLcdStatus(const QString& text) = 0;
    /// Whether the option button ComN (N = 1 to 5) is selected.
    virtual bool isComSelected(int port) const = 0;
    /// A modal message box with an OK button only, no icon and the application's title.
    virtual void showMessage(const QString& text) = 0;
};

}  // namespace hideaway
