#include "Views/MenuBar/StatusItemController.h"

#include <QPointer>
#include <QSet>

#include <cmath>

#include "Models/Kit/Sleep.h"
#include "Models/Settings/Preferences.h"
#include "Models/Status/Monitor.h"
#include "Models/Window/AppState.h"
#include "Platform/Gui/StatusButton.h"
#include "Platform/MonotonicClock.h"
#include "Views/MenuBar/GlassPanel.h"
#include "Views/MenuBar/MenuBarImage.h"
#include "Views/MenuBar/MenuBarPanel.h"

StatusItemController::StatusItemController(AppState& state, Preferences& prefs, Platform::StatusButton* button,
                                           QObject* parent)
    : QObject(parent), state_(state), prefs_(prefs),
      button_(button ? button : new Platform::TrayStatusButton) {
    button_->setParent(this);
    panel_ = std::make_unique<GlassPanel>([this]() -> QWidget* {
        QPointer<GlassPanel> panel(panel_.get());
        return new MenuBarPanel(state_, prefs_, [panel] {
            if (panel) panel->hide();
        });
    });
    for (int step = 0; step <= pulseSteps; ++step)
        frames_.append(MenuBarImage::glyph(1.0 - (1.0 - pulseLow) * step / pulseSteps));
    connect(button_, &Platform::StatusButton::activated, this, &StatusItemController::toggle);

    // Everything the refresh reads.
    const Monitor& monitor = state_.monitor();
    for (auto signal : {&Monitor::cpuChanged, &Monitor::gpuChanged, &Monitor::memoryChanged, &Monitor::cpuTempChanged,
                        &Monitor::diskChanged, &Monitor::downloadChanged, &Monitor::uploadChanged,
                        &Monitor::batteryChanged, &Monitor::menuBarMetricsChanged})
        connect(&monitor, signal, this, [this] { refreshSoon_.request(); });
    connect(&prefs_, &Preferences::menuBarMetricsChanged, this, [this] { refreshSoon_.request(); });
    connect(&state_, &AppState::busyChanged, this, [this] { refreshSoon_.request(); });
    refresh();
}

StatusItemController::~StatusItemController() = default;

void StatusItemController::setMenu(QMenu* menu) { button_->setMenu(menu); }

void StatusItemController::toggle(QRect frame) {
    if (panel_->isVisible()) panel_->hide();
    // Where the tray tells no frame, `frame` is only a square at the pointer.
    else panel_->showBy(frame, !button_->geometry().isEmpty());
}

void StatusItemController::refresh() {
    ++refreshes_;
    if (!pulsing_) showFrame(0);
    const QList<MenuBarMetric> chosen = prefs_.menuBarMetrics();
    const QString text = MenuBarImage::titleText(MenuBarImage::title(chosen, MenuBarImage::Readings::of(state_.monitor())));
    button_->setToolTip(text.isEmpty() ? tr("Quelto") : text);

    const QSet<MenuBarMetric> shown(chosen.begin(), chosen.end());
    if (state_.monitor().menuBarMetrics() != shown) state_.monitor().setMenuBarMetrics(shown);
    setPulsing(state_.isAnyBusy());
}

void StatusItemController::showFrame(int frame) {
    if (frame == shownFrame_) return;
    shownFrame_ = frame;
    button_->setIcon(frames_[frame]);
}

void StatusItemController::setPulsing(bool on) {
    if (on == pulsing_) return;  // a running pulse is never restarted
    pulsing_ = on;
    ++pulseGeneration_;
    if (on) pulse(pulseGeneration_);
    else showFrame(0);
}

QCoro::Task<> StatusItemController::pulse(int generation) {
    QPointer<StatusItemController> self(this);
    const double step = pulseHalfCycle / pulseSteps;
    const double start = Platform::monotonicSeconds();
    for (;;) {
        co_await Pacing::sleepSeconds(step);
        if (!self || self->pulseGeneration_ != generation) co_return;
        // Down to the low and back up, frame by frame.
        const long n = std::lround((Platform::monotonicSeconds() - start) / step) % (2 * pulseSteps);
        self->showFrame(n <= pulseSteps ? int(n) : int(2 * pulseSteps - n));
    }
}
