#include "window_hints.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <cstring>

namespace hideaway {

void keepOutOfWindowLists(QWidget* window) {
#if QT_CONFIG(xcb)
    // The offscreen platform answers to the X11 interface too, without a connection.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (QGuiApplication::platformName() != QLatin1String("xcb") || x11 == nullptr ||
        x11->connection() == nullptr) {
        return;
    }
    xcb_connection_t* connection = x11->connection();
    const std::array<const char*, 5> names = {"_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR",
                                              "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_NAME",
                                              "UTF8_STRING"};
    std::array<xcb_intern_atom_cookie_t, names.size()> cookies{};
    for (std::size_t i = 0; i < names.size(); ++i) {
        cookies[i] = xcb_intern_atom(connection, 0,
                                     static_cast<std::uint16_t>(std::strlen(names[i])), names[i]);
    }
    std::array<xcb_atom_t, names.size()> atoms{};
    for (std::size_t i = 0; i < names.size(); ++i) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookies[i], nullptr);
        if (reply == nullptr) {
            return;
        }
        atoms[i] = reply->atom;
        std::free(reply);
    }
    const auto id = static_cast<xcb_window_t>(window->winId());
    // On a window not mapped yet the state is the client's to set; Qt adds its own states to
    // these when it maps the window.
    const std::array<xcb_atom_t, 2> states = {atoms[1], atoms[2]};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atoms[0], XCB_ATOM_ATOM, 32,
                        states.size(), states.data());
    // Qt names a window without a title after the program; this one has no caption at all.
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atoms[3], atoms[4], 8, 0, nullptr);
    xcb_flush(connection);
#else
    Q_UNUSED(window);
#endif
}

}  // namespace hideaway
