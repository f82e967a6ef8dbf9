#include "Updates/IdleUpdateInstaller.h"

#include <QGuiApplication>
#include <QPointer>
#include <QWindow>

#include "Models/Kit/Sleep.h"
#include "Models/Window/AppState.h"
#include "Models/Window/QuietStart.h"
#include "Platform/Clock.h"
#include "Platform/Gui/IdleTime.h"
#include "Platform/UserDefaults.h"

IdleUpdateInstaller::IdleUpdateInstaller(AppState& state, Platform::UserDefaults& defaults, QObject* parent)
    : QObject(parent), idleSeconds([] { return Platform::userIdleSeconds(); }), windowOpen(&hasWindowOpen),
      state_(state), defaults_(defaults) {}

IdleUpdateInstaller::~IdleUpdateInstaller() = default;

void IdleUpdateInstaller::arm(std::function<void()> install) {
    install_ = std::move(install);
    if (looking_) return;  // a second arm keeps the minute's rhythm
    looking_ = true;
    look(++generation_);
}

QCoro::Task<> IdleUpdateInstaller::look(int generation) {
    QPointer<IdleUpdateInstaller> self(this);
    for (;;) {
        co_await Pacing::sleepFor(tickSpan);
        if (!self || self->generation_ != generation) co_return;
        self->tick();
        if (!self || self->generation_ != generation) co_return;
    }
}

void IdleUpdateInstaller::tick() {
    if (!install_) return;
    if (idleSeconds() < idleNeeded) return;
    if (windowOpen() || state_.isAnyBusy()) return;
    looking_ = false;
    ++generation_;
    auto install = std::move(install_);
    install_ = nullptr;
    // Written before installing: the relaunched Quelto must find it.
    defaults_.setDate(QuietStart::relaunchKey, Platform::clock().now());
    install();
}

bool IdleUpdateInstaller::hasWindowOpen() {
    for (const QWindow* w : QGuiApplication::topLevelWindows()) {
        if (!w->isVisible() || (w->flags() & Qt::BypassWindowManagerHint)) continue;
        if (w->type() == Qt::Window || w->type() == Qt::Dialog) return true;
    }
    return false;
}
