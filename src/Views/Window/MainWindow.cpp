#include "Views/Window/MainWindow.h"

#include <QEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include "Models/Kit/MotionPause.h"
#include "Views/Kit/WindowActions.h"
#include "Views/Window/ContentView.h"
#include "Views/Window/WindowOcclusion.h"

MainWindow::MainWindow(AppState& state, Preferences& prefs, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("main"));
    setWindowTitle(tr("Quelto"));
    resize(1000, 680);
    setMinimumSize(860, 600);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    content_ = new ContentView(state, prefs);
    v->addWidget(content_);
    WindowActions::install(this);
    occlusion_ = new WindowOcclusion(this);
    connect(occlusion_, &WindowOcclusion::changed, this, &MainWindow::scheduleVisibilityCheck);
    // A window that never shows (a quiet start) must rest the animations as well.
    scheduleVisibilityCheck();
}

void bringToFront(QWidget* window) {
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

bool MainWindow::isOnScreen() const {
    const QWindow* w = windowHandle();
    return isVisible() && !isMinimized() && w && w->isExposed() && !occlusion_->isCovered();
}

void MainWindow::scheduleVisibilityCheck() {
    // Decide one event-loop turn later, once the platform has settled the window.
    if (checkPending_) return;
    checkPending_ = true;
    QTimer::singleShot(0, this, [this] {
        checkPending_ = false;
        MotionPause::shared().setHidden(!isOnScreen());
    });
}

bool MainWindow::event(QEvent* e) {
    switch (e->type()) {
    case QEvent::Show:
        if (QWindow* w = windowHandle()) w->installEventFilter(this);
        occlusion_->watch();
        scheduleVisibilityCheck();
        break;
    case QEvent::Hide:
    case QEvent::Close:
    case QEvent::WindowStateChange:
        scheduleVisibilityCheck();
        break;
    default:
        break;
    }
    return QWidget::event(e);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e) {
    // Exposure tells when the window is covered or uncovered.
    if (e->type() == QEvent::Expose) scheduleVisibilityCheck();
    return QWidget::eventFilter(watched, e);
}
