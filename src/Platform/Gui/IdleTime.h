#pragma once
#include <QByteArray>

namespace Platform {

// Seconds since the user last used the keyboard or the pointer, from the X
// server's screen-saver extension. 0 (never idle) where the application does not
// run on X11, or the server has no such extension: under Wayland an X server
// sees only its own clients' input, so its count could call a busy user idle.
double userIdleSeconds();
// The same, asked of the named X display (":3"); 0 when it cannot be opened.
double userIdleSeconds(const QByteArray& display);

}  // namespace Platform
