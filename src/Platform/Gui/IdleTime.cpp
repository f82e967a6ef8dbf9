#include "Platform/Gui/IdleTime.h"

#include <QGuiApplication>

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace Platform {

namespace {
double idleOn(Display* display) {
    if (!display) return 0;
    int event = 0, error = 0;
    if (!XScreenSaverQueryExtension(display, &event, &error)) return 0;
    XScreenSaverInfo* info = XScreenSaverAllocInfo();
    if (!info) return 0;
    double seconds = 0;
    if (XScreenSaverQueryInfo(display, DefaultRootWindow(display), info)) seconds = info->idle / 1000.0;
    XFree(info);
    return seconds;
}
}  // namespace

double userIdleSeconds() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return 0;
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? idleOn(x11->display()) : 0;
}

double userIdleSeconds(const QByteArray& name) {
    Display* display = XOpenDisplay(name.constData());
    if (!display) return 0;
    const double seconds = idleOn(display);
    XCloseDisplay(display);
    return seconds;
}

}  // namespace Platform
