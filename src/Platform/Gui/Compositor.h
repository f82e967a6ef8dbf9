#pragma once

namespace Platform {
// Whether a compositing manager draws the windows, so a window's transparent parts
// show what lies behind it; without one they show black. Under X11 the manager
// owns the screen's _NET_WM_CM_S selection; other platforms count as composited.
bool hasCompositor();
}  // namespace Platform
