#include "Views/Window/WindowOcclusion.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>

WindowOcclusion::WindowOcclusion(QWidget* window) : QObject(window), window_(window) {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

void WindowOcclusion::watch() {
    if (!window_) return;
    const auto id = uint32_t(window_->winId());
    if (id == watched_) return;
    watched_ = id;
    covered_ = false;
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return;
    // Add visibility changes to the events the toolkit already asked for.
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, id), nullptr);
    if (!attributes) return;
    const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_VISIBILITY_CHANGE;
    std::free(attributes);
    xcb_change_window_attributes(connection, id, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
}

bool WindowOcclusion::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || !watched_) return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_VISIBILITY_NOTIFY) return false;
    const auto* visibility = static_cast<const xcb_visibility_notify_event_t*>(message);
    if (visibility->window != watched_) return false;
    const bool covered = visibility->state == XCB_VISIBILITY_FULLY_OBSCURED;
    if (covered != covered_) {
        covered_ = covered;
        emit changed();
    }
    return false;
}
