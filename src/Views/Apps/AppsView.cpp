#include "Views/Apps/AppsView.h"

#include <QVBoxLayout>

#include "Models/Settings/Preferences.h"
#include "Models/Window/AppState.h"
#include "Views/Apps/StartupView.h"
#include "Views/Apps/UninstallView.h"
#include "Views/Apps/UpdatesView.h"
#include "Views/Kit/ScreenStack.h"
#include "Views/Kit/SubTabs.h"

AppsView::AppsView(AppState& state, Preferences& prefs, QWidget* parent)
    : QWidget(parent), state_(state), prefs_(prefs) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 14, 0, 0);
    column->setSpacing(0);
    QList<SubTabs::Item> items;
    for (AppsMode m : AppsModes::allCases) items.append({rawValue(m), title(m)});
    subTabs_ = new SubTabs(items);
    column->addWidget(subTabs_, 0, Qt::AlignHCenter);
    screens_ = new ScreenStack;
    column->addWidget(screens_, 1);

    connect(subTabs_, &SubTabs::selectionRequested, this, [this](const QString& raw) {
        if (auto mode = appsModeFromRawValue(raw)) state_.setAppsMode(*mode);
    });
    connect(&state_, &AppState::appsModeChanged, this, &AppsView::sync);
    sync();
}

QWidget* AppsView::screen() const { return screens_->screen(); }

QWidget* AppsView::makeScreen(AppsMode mode) {
    QWidget* screen = nullptr;
    switch (mode) {
    case AppsMode::uninstall:
        screen = new UninstallView(state_, prefs_);
        break;
    case AppsMode::updates:
        screen = new UpdatesView(state_.updates());
        break;
    case AppsMode::startup:
        screen = new StartupView(state_.startup());
        break;
    }
    screen->setObjectName(QStringLiteral("apps-") + rawValue(mode));
    return screen;
}

void AppsView::sync() {
    const AppsMode mode = state_.appsMode();
    subTabs_->setSelection(rawValue(mode));
    if (screens_->identity() != rawValue(mode)) screens_->setScreen(rawValue(mode), makeScreen(mode), std::nullopt);
}
