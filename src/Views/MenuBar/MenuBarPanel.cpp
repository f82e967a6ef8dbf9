#include "Views/MenuBar/MenuBarPanel.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "Models/Status/Monitor.h"
#include "Models/Window/AppState.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/SpaceBackground.h"
#include "Views/Kit/Theme.h"
#include "Models/MenuBar/QuickClean.h"
#include "Views/MenuBar/CleaningTotals.h"
#include "Views/MenuBar/GlassPanel.h"
#include "Views/MenuBar/PanelCard.h"
#include "Views/MenuBar/PanelSections.h"
#include "Views/MenuBar/QuickCleanCard.h"
#include "Views/Status/MonitorWatch.h"
#include "Views/Status/StatusView.h"

MenuBarPanel::MenuBarPanel(AppState& state, Preferences& prefs, std::function<void()> close, QWidget* parent)
    : QWidget(parent), state_(state), prefs_(prefs), close_(std::move(close)) {
    setObjectName(QStringLiteral("menu-bar-panel"));
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedWidth(width);

    column_ = new QWidget;
    column_->setAttribute(Qt::WA_TranslucentBackground);
    auto* v = new QVBoxLayout(column_);
    v->setContentsMargins(padding, padding, padding, padding);
    v->setSpacing(8);

    Monitor& monitor = state_.monitor();
    header_ = new PanelHeader(column_);
    v->addWidget(header_);
    const auto readings = StatusCards::Readings::of(monitor);
    QHBoxLayout* row = nullptr;
    for (PanelCards::Card card : PanelCards::cards) {
        if (!row || row->count() == 2) {
            row = new QHBoxLayout;
            row->setSpacing(8);
            v->addLayout(row);
        }
        PanelCard* made = nullptr;
        if (card == PanelCards::Card::heat) {
            made = new PanelHeat(state_, column_);
        } else {
            const auto c = PanelCards::content(card, readings, {});
            made = new PanelCard(c.symbol, c.title, c.chip, c.value, c.unit, c.footer, StatusCards::makeGraph(c.graph),
                                 column_);
        }
        cards_[card] = made;
        row->addWidget(made, 1);
    }
    battery_ = new PanelBattery(monitor, column_);
    v->addWidget(battery_);
    processes_ = new PanelProcesses(monitor, column_);
    v->addWidget(processes_);
    quickClean_ = new QuickCleanCard(state_, prefs_, [this](std::optional<AppTab> tab) { open(tab); }, column_);
    v->addWidget(quickClean_);
    v->addWidget(makeActions());
    totals_ = new CleaningTotals(column_);
    v->addWidget(totals_);
    // A quick clean made while the panel is open counts at once, not at the next show.
    connect(&state_.quickClean(), &QuickClean::phaseChanged, totals_, [this] {
        if (state_.quickClean().phase().kind == QuickClean::Phase::Kind::done) totals_->load();
    });
    v->addStretch(1);
    // On a screen too short for it the panel is cut to the screen and its content scrolls.
    scroll_ = makeTransparentScrollArea(column_, true);
    scroll_->setParent(this);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll_);
    // The scroll area keeps the column's size to itself; the glass panel asks ours.
    column_->installEventFilter(this);
    scroll_->verticalScrollBar()->installEventFilter(this);

    // While on screen it is one more watcher: the monitor reads everything.
    watch_ = new MonitorWatch(this, monitor);
    for (auto signal : {&Monitor::cpuChanged, &Monitor::cpuHistoryChanged, &Monitor::gpuChanged,
                        &Monitor::gpuHistoryChanged, &Monitor::cpuTempChanged, &Monitor::gpuTempChanged,
                        &Monitor::memoryChanged, &Monitor::memoryHistoryChanged, &Monitor::diskChanged,
                        &Monitor::downloadChanged, &Monitor::uploadChanged, &Monitor::networkHistoryChanged,
                        &Monitor::connectionChanged, &Monitor::loadChanged, &Monitor::fansChanged})
        connect(&monitor, signal, this, [this] { refreshSoon_.request(); });
    refresh();
}

void MenuBarPanel::refresh() {
    const Monitor& monitor = state_.monitor();
    const auto r = StatusCards::Readings::of(monitor);
    header_->refresh(monitor, Monitor::healthScore(r.disk, r.memory, r.cpu, r.thermal), r.memory.total);
    for (PanelCards::Card card : PanelCards::cards) {
        const auto c = PanelCards::content(card, r, monitor.fans());
        if (card == PanelCards::Card::heat) {
            heat()->refresh(c, !monitor.fans().empty());
            continue;
        }
        cards_[card]->setTexts(c);
        StatusCards::updateGraph(cards_[card]->graph(), c.graph);
    }
}

PanelHeat* MenuBarPanel::heat() const { return static_cast<PanelHeat*>(cards_.at(PanelCards::Card::heat)); }

QWidget* MenuBarPanel::makeActions() {
    auto* row = new QWidget(column_);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(6);
    openButton_ = new PillButton(tr("Open Quelto"), PillButtonStyle::Kind::primary, row);
    openButton_->setSymbol(QStringLiteral("macwindow"));
    cleanButton_ = new PillButton(tr("Clean"), PillButtonStyle::Kind::secondary, row);
    cleanButton_->setSymbol(QStringLiteral("sparkles"));
    settingsButton_ = new SymbolButton(QStringLiteral("gearshape"), 14, row);
    settingsButton_->setToolTip(plainToolTip(tr("Settings")));
    quitButton_ = new SymbolButton(QStringLiteral("power"), 14, row);
    quitButton_->setToolTip(plainToolTip(tr("Quit Quelto")));
    for (PillButton* b : {openButton_, cleanButton_}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setHorizontalPadding(14);
    }
    h->addWidget(openButton_);
    h->addWidget(cleanButton_);
    h->addStretch(1);
    h->addWidget(settingsButton_);
    h->addWidget(quitButton_);

    connect(openButton_, &QAbstractButton::clicked, this, [this] { open(std::nullopt); });
    connect(cleanButton_, &QAbstractButton::clicked, this, [this] { open(AppTab::clean); });
    connect(settingsButton_, &QAbstractButton::clicked, this, [this] {
        state_.setShowSettings(true);
        open(std::nullopt);
    });
    // An ordinary end of the event loop: the fan tool's watcher sees the process go.
    connect(quitButton_, &QAbstractButton::clicked, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    return row;
}

void MenuBarPanel::open(std::optional<AppTab> tab) {
    AppState& state = state_;  // closing lets go of this panel once the click is over
    if (close_) close_();
    if (tab) state.setTab(*tab);
    state.bringUpMainWindow();
}

QString MenuBarPanel::accessorySymbol(const QString& name) {
    const QString n = name.toLower();
    if (n.contains(QLatin1String("airpods")) || n.contains(QLatin1String("buds")) || n.contains(QLatin1String("headphone")))
        return QStringLiteral("airpodspro");
    // Otherwise as the Status tab's battery card names them.
    return BatteryCard::symbol(name);
}

std::vector<Processes::Info> MenuBarPanel::topProcesses(std::vector<Processes::Info> processes) {
    Processes::sortLargestFirst(processes, Processes::SortKey::cpu);
    if (processes.size() > 5) processes.resize(5);
    return processes;
}

std::optional<Processes::Info> MenuBarPanel::topEnergy(const std::vector<Processes::Info>& processes) {
    const Processes::Info* top = nullptr;
    for (const Processes::Info& p : processes)
        if (p.power > 0 && std::isfinite(p.power) && (!top || p.power > top->power)) top = &p;
    return top ? std::optional<Processes::Info>(*top) : std::nullopt;
}

QSize MenuBarPanel::sizeHint() const {
    // The chips wrap, so the column's height depends on its width: the width it has
    // with no scroll bar in its margin.
    const QLayout* l = column_->layout();
    const QMargins m = l->contentsMargins();
    const int w = width - 2 * padding + m.left() + m.right();
    return QSize(width, l->hasHeightForWidth() ? l->totalHeightForWidth(w) : l->totalSizeHint().height());
}

bool MenuBarPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == column_ && event->type() == QEvent::LayoutRequest) updateGeometry();
    // A scroll bar stands in the right margin, so the column keeps its width and the
    // cards their room.
    QScrollBar* bar = scroll_->verticalScrollBar();
    if (watched == bar && (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)) {
        const int right = bar->isHidden() ? padding : std::max(padding - bar->sizeHint().width(), 2);
        column_->layout()->setContentsMargins(padding, padding, right, padding);
    }
    return QWidget::eventFilter(watched, event);
}

void MenuBarPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (sky_.size() == size() * devicePixelRatioF()) return;
    // The Status tab's sky, still: drawn once for this size.
    SpaceBackground still(AppTab::status, false);
    still.resize(size());
    sky_ = QImage(size() * devicePixelRatioF(), QImage::Format_ARGB32_Premultiplied);
    sky_.setDevicePixelRatio(devicePixelRatioF());
    QPainter p(&sky_);
    still.paintSky(p);
}

void MenuBarPanel::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setClipRegion(event->region());
    const double r = GlassPanel::cornerRadius;
    QPainterPath glass;
    glass.addRoundedRect(QRectF(rect()), r, r);
    p.setClipPath(glass, Qt::IntersectClip);
    p.drawImage(QPointF(0, 0), sky_);
    p.setClipping(false);
    p.setPen(QPen(Theme::stroke(), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), r - 0.5, r - 0.5);
}

