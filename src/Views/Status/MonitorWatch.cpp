#include "Views/Status/MonitorWatch.h"

#include <QEvent>

#include "Models/Status/Monitor.h"

MonitorWatch::MonitorWatch(QWidget* view, Monitor& monitor) : QObject(view), view_(view), monitor_(&monitor) {
    view->installEventFilter(this);
    shown_ = view->isVisible();
    update();
}

MonitorWatch::~MonitorWatch() {
    if (counted_ && monitor_) monitor_->setProcessWatchers(monitor_->processWatchers() - 1);
}

bool MonitorWatch::eventFilter(QObject* watched, QEvent* event) {
    // Spontaneous events too: a minimised window's views get a hide without
    // becoming invisible, and a show when it is restored.
    if (watched == view_ && event->type() == QEvent::Show) shown_ = true;
    else if (watched == view_ && event->type() == QEvent::Hide) shown_ = false;
    else if (watched != window_ || event->type() != QEvent::WindowStateChange) return false;
    update();
    return false;
}

void MonitorWatch::update() {
    // The window it is in can change until it is first shown.
    if (view_ && view_->window() != window_) {
        if (window_ && window_ != view_) window_->removeEventFilter(this);
        window_ = view_->window();
        if (window_ != view_) window_->installEventFilter(this);
    }
    const bool on = shown_ && view_ && !(window_ && window_->isMinimized());
    if (on == counted_ || !monitor_) return;
    counted_ = on;
    monitor_->setProcessWatchers(monitor_->processWatchers() + (on ? 1 : -1));
    emit countedChanged(on);
}
