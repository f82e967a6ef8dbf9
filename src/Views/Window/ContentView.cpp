#include "Views/Window/ContentView.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPointer>
#include <QVBoxLayout>

#include "Models/Window/AppState.h"
#include "Models/Window/CleanMode.h"
#include "Models/Settings/Preferences.h"
#include "Platform/LoginItemService.h"
#include "Models/Clean/CleanListModel.h"
#include "Views/Analyze/AnalyzeView.h"
#include "Views/Apps/AppsView.h"
#include "Views/Clean/CleanScreen.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/OverflowOverlay.h"
#include "Views/Window/MainWindow.h"
#include "Views/Kit/ScreenStack.h"
#include "Views/Settings/SettingsView.h"
#include "Views/Status/HistoryView.h"
#include "Views/Status/OptimizeView.h"
#include "Views/Status/StatusView.h"
#include "Views/Kit/SpaceBackground.h"
#include "Views/Kit/SubTabs.h"
#include "Views/Kit/TabBar.h"
#include "Views/Kit/Theme.h"

namespace {
const char* cleanTitles[] = {
    QT_TRANSLATE_NOOP("ContentView", "System"),
    QT_TRANSLATE_NOOP("ContentView", "AI"),
    QT_TRANSLATE_NOOP("ContentView", "Projects"),
    QT_TRANSLATE_NOOP("ContentView", "Installers"),
};
const QString settingsIdentity = QStringLiteral("settings");

// The Clean screen's texts for each sub-mode, in the order of CleanMode.
struct CleanTexts {
    const char* idleTitle;
    const char* idleSubtitle;
    const char* reviewTitle;
    const char* actionTitle;
};
const CleanTexts cleanTexts[] = {
    {QT_TRANSLATE_NOOP("ContentView", "Ready to clean"),
     QT_TRANSLATE_NOOP("ContentView", "Caches, logs, Xcode, package managers, browsers and the Trash"),
     QT_TRANSLATE_NOOP("ContentView", "System junk"), QT_TRANSLATE_NOOP("ContentView", "Clean")},
    {QT_TRANSLATE_NOOP("ContentView", "AI leftovers"),
     QT_TRANSLATE_NOOP("ContentView", "Old Claude Code and Codex sessions, agent worktrees, CLI versions and local models"),
     QT_TRANSLATE_NOOP("ContentView", "AI tools"), QT_TRANSLATE_NOOP("ContentView", "Clean")},
    {QT_TRANSLATE_NOOP("ContentView", "Project artifacts"),
     QT_TRANSLATE_NOOP("ContentView", "node_modules, target, .venv and friends in projects you're not touching"),
     QT_TRANSLATE_NOOP("ContentView", "Build artifacts"), QT_TRANSLATE_NOOP("ContentView", "Purge")},
    {QT_TRANSLATE_NOOP("ContentView", "Leftover installers"),
     QT_TRANSLATE_NOOP("ContentView", ".dmg, .pkg and .xip files in Downloads, Desktop and Documents"),
     QT_TRANSLATE_NOOP("ContentView", "Installers"), QT_TRANSLATE_NOOP("ContentView", "Remove")},
};

CleanListModel& cleanList(AppState& state, CleanMode mode) {
    switch (mode) {
    case CleanMode::system: return state.junk();
    case CleanMode::ai: return state.ai();
    case CleanMode::projects: return state.projects();
    case CleanMode::installers: return state.installers();
    }
    return state.junk();
}
// Every sub-mode's hero glows in the same blue.
const QColor cleanGlow = QColor::fromRgbF(0.4f, 0.62f, 1.0f, 1.0f);

// The sky stands still on the Status tab (unless the settings screen covers it).
bool skyIsLive(AppTab tab, bool settings) { return tab != AppTab::status || settings; }
}  // namespace

ContentView::ContentView(AppState& state, Preferences& prefs, QWidget* parent)
    : ContentView(state, prefs, Platform::LoginItemService::mainApp(), parent) {}

ContentView::ContentView(AppState& state, Preferences& prefs, Platform::LoginItemService& loginItem, QWidget* parent)
    : QWidget(parent), state_(state), prefs_(prefs), loginItem_(&loginItem) {
    background_ = new SpaceBackground(state_.tab(), skyIsLive(state_.tab(), state_.showSettings()), this);
    background_->lower();
    // Heroes draw past their screens (over the sub-tabs and the header), just above the sky.
    OverflowOverlay::markHost(this, background_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // Header: the tab bar centred, the two buttons over it at the right.
    auto* header = new QWidget;
    auto* grid = new QGridLayout(header);
    grid->setContentsMargins(0, 14, 0, 0);
    tabBar_ = new TabBar;
    grid->addWidget(tabBar_, 0, 0, Qt::AlignCenter);
    auto* buttons = new QWidget;
    auto* row = new QHBoxLayout(buttons);
    row->setContentsMargins(0, 0, 20, 0);
    row->setSpacing(6);
    history_ = new SymbolButton(QStringLiteral("clock.arrow.circlepath"), 14);
    history_->setToolTip(tr("History"));
    settings_ = new SymbolButton(QStringLiteral("gearshape"), 14);
    settings_->setToolTip(tr("Settings"));
    row->addWidget(history_);
    row->addWidget(settings_);
    grid->addWidget(buttons, 0, 0, Qt::AlignRight | Qt::AlignVCenter);
    column->addWidget(header);

    subTabsSlot_ = new QWidget;
    auto* slot = new QVBoxLayout(subTabsSlot_);
    slot->setContentsMargins(0, 14, 0, 0);
    QList<SubTabs::Item> items;
    for (CleanMode m : CleanModes::allCases) items.append({rawValue(m), tr(cleanTitles[static_cast<int>(m)])});
    subTabs_ = new SubTabs(items);
    slot->addWidget(subTabs_, 0, Qt::AlignHCenter);
    column->addWidget(subTabsSlot_);

    screens_ = new ScreenStack;
    column->addWidget(screens_, 1);

    tabBar_->setBusyTest([this](AppTab t) { return state_.isBusy(t); });
    connect(&state_, &AppState::busyChanged, tabBar_, &TabBar::refreshBusy);
    connect(tabBar_, &TabBar::tabClicked, this, &ContentView::chooseTab);
    connect(settings_, &QAbstractButton::clicked, this, &ContentView::toggleSettings);
    connect(history_, &QAbstractButton::clicked, this, [this] { state_.setShowHistory(true); });
    connect(subTabs_, &SubTabs::selectionRequested, this, [this](const QString& raw) {
        if (auto mode = cleanModeFromRawValue(raw)) state_.setCleanMode(*mode);
    });
    connect(&state_, &AppState::tabChanged, this, &ContentView::sync);
    connect(&state_, &AppState::cleanModeChanged, this, &ContentView::sync);
    connect(&state_, &AppState::showSettingsChanged, this, &ContentView::sync);
    connect(&state_, &AppState::showHistoryChanged, this, &ContentView::syncHistory);
    sync();
    syncHistory();
}

HistoryView* ContentView::historySheet() const { return historySheet_; }

void ContentView::syncHistory() {
    if (state_.showHistory() && !historySheet_) {
        historySheet_ = HistoryView::present(this, [this] {
            // Gone at once, though deleted later: showing the history again brings a new sheet.
            historySheet_ = nullptr;
            state_.setShowHistory(false);
        });
    } else if (!state_.showHistory() && historySheet_) {
        historySheet_->dismiss();
    }
}

QString ContentView::screenIdentity() const {
    return state_.showSettings() ? settingsIdentity : rawValue(state_.tab());
}

void ContentView::chooseTab(AppTab tab) {
    pendingAnimation_ = Spring::tabSelection();
    // Both writes land as one change of screen.
    batching_ = true;
    state_.setTab(tab);
    state_.setShowSettings(false);
    batching_ = false;
    sync();
    pendingAnimation_.reset();
}

void ContentView::toggleSettings() {
    pendingAnimation_ = Spring::standard();
    state_.setShowSettings(!state_.showSettings());
    pendingAnimation_.reset();
}

QWidget* ContentView::makeScreen() {
    if (state_.showSettings()) return new SettingsView(prefs_, *loginItem_);
    if (state_.tab() == AppTab::clean) {
        const CleanTexts& texts = cleanTexts[static_cast<int>(state_.cleanMode())];
        auto* screen = new CleanScreen(cleanList(state_, state_.cleanMode()), prefs_, cleanGlow,
                                       {tr(texts.idleTitle), tr(texts.idleSubtitle), tr(texts.reviewTitle),
                                        tr(texts.actionTitle)});
        screen->setObjectName(QStringLiteral("screen-clean"));
        return screen;
    }
    if (state_.tab() == AppTab::apps) {
        auto* screen = new AppsView(state_, prefs_);
        screen->setObjectName(QStringLiteral("screen-apps"));
        return screen;
    }
    if (state_.tab() == AppTab::analyze) {
        auto* screen = new AnalyzeView(state_.analyze(), state_.monitor());
        screen->setObjectName(QStringLiteral("screen-analyze"));
        return screen;
    }
    if (state_.tab() == AppTab::optimize) {
        auto* screen = new OptimizeView(state_.optimize());
        screen->setObjectName(QStringLiteral("screen-optimize"));
        return screen;
    }
    auto* screen = new StatusView(state_, prefs_);
    screen->setObjectName(QStringLiteral("screen-status"));
    return screen;
}

void ContentView::sync() {
    if (batching_) return;
    const AppTab tab = state_.tab();
    const bool settings = state_.showSettings();
    tabBar_->setSelection(tab);
    tabBar_->setShowsSelection(!settings);
    settings_->setColor(settings ? Theme::text() : Theme::secondary());
    subTabs_->setSelection(rawValue(state_.cleanMode()));
    // The leaving screen's picture is taken before the sub-tabs come or go and move it.
    const QString identity = screenIdentity();
    if (identity != screens_->identity()) {
        screens_->setScreen(identity, makeScreen(), pendingAnimation_);
        shownCleanMode_ = state_.cleanMode();
    } else if (tab == AppTab::clean && !settings && state_.cleanMode() != shownCleanMode_) {
        // Each sub-mode gets a fresh screen of its own, swapped in place.
        screens_->setScreen(identity, makeScreen(), std::nullopt);
        shownCleanMode_ = state_.cleanMode();
    }
    subTabsSlot_->setVisible(tab == AppTab::clean && !settings);
    background_->setTab(tab);
    background_->setAnimated(skyIsLive(tab, settings));
}

void ContentView::resizeEvent(QResizeEvent*) { background_->setGeometry(rect()); }

void ContentView::showEvent(QShowEvent*) {
    // From now on, "open the main window" brings this window back, and the status item is there.
    state_.installStatusItem(prefs_, [window = QPointer<QWidget>(window())] {
        // Showing the window installs a new opener, replacing this one mid-call:
        // work from a copy.
        if (QWidget* w = window.data()) bringToFront(w);
    });
}
