#include "Platform/Gui/Compositor.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <string>

namespace Platform {

bool hasCompositor() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return true;
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return false;
    int screen = 0;
    char* host = nullptr;
    int display = 0;
    if (xcb_parse_display(nullptr, &host, &display, &screen) == 0) screen = 0;
    std::free(host);
    const std::string name = "_NET_WM_CM_S" + std::to_string(screen);
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, name.size(), name.c_str()), nullptr);
    bool owned = false;
    if (atom && atom->atom != XCB_ATOM_NONE) {
        xcb_get_selection_owner_reply_t* owner =
            xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr);
        owned = owner && owner->owner != XCB_NONE;
        std::free(owner);
    }
    std::free(atom);
    return owned;
}

}  // namespace Platform
