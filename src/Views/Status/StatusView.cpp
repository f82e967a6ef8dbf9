#include "Views/Status/StatusView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "Core/Clean/CleanTypes.h"
#include "Models/Kit/QtBridge.h"
#include "Models/Status/Monitor.h"
#include "Models/Window/AppState.h"
#include "Models/Window/AppTab.h"
#include "Views/Clean/BlackHole.h"
#include "Views/Kit/AdaptiveGrid.h"
#include "Views/Kit/OverflowOverlay.h"
#include "Views/Kit/Theme.h"
#include "Views/Status/FanControlCard.h"
#include "Views/Status/FullDiskAccessBanner.h"
#include "Views/Status/MetricViews.h"
#include "Views/Status/MonitorWatch.h"
#include "Views/Status/ProcessesCard.h"
#include "Views/Status/StatusTexts.h"
#include "Models/Kit/Localization.h"

using StatusCards::Metric;

namespace {
QVBoxLayout* cardColumn(Card* card, int spacing) {
    auto* column = card->contentLayout();
    column->setSpacing(spacing);
    return column;
}

void apply(MetricCard* card, const StatusCards::Content& c) {
    card->setValue(c.value, c.unit);
    card->setChip(c.chip, c.chipColor);
    card->setFooter(c.footer);
    StatusCards::updateGraph(card->graph(), c.graph);
}
}  // namespace

// ---- HealthCard

HealthCard::HealthCard(const Monitor& monitor, QWidget* parent) : Card(16, parent), monitor_(monitor) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* column = cardColumn(this, 10);
    auto* header = new QHBoxLayout;
    header->addWidget(new CardLabel(QStringLiteral("sun.max"), tr("Health"), Theme::good(), this));
    header->addStretch(1);
    column->addLayout(header);
    chips_ = new ChipRow(Theme::secondary(), this);
    column->addWidget(chips_);

    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    score_ = new BaselineTexts({{QString(), Theme::font(30, QFont::Bold), Theme::text()},
                                {QString(), Theme::font(13, QFont::DemiBold), Theme::secondary()}},
                               6, this);
    // In a narrow card the word goes under the score rather than under the hole's disk.
    score_->setWraps(true);
    uptime_ = plainLabel({}, Theme::font(12), Theme::secondary(), this);
    // Centred beside the hole, at the height the width gives them.
    texts->addStretch(1);
    texts->addWidget(score_);
    texts->addWidget(uptime_);
    texts->addStretch(1);
    row->addLayout(texts);
    hole_ = new BlackHole(64, this);
    hole_->setGlow(Theme::color(glow(AppTab::status)));
    hole_->setOpen(0.5);
    hole_->setFeed(BlackHole::Events{});
    hole_->setAnimated(false);
    // The hole's glowing disk reaches past its box; the texts keep clear of all of it.
    const double overhang = -hole_->layerBounds(hole_->shownFrame()).left() - hole_->heroSize() / 2;
    row->addSpacing(int(std::ceil(std::max(overhang, 0.0))));
    row->addStretch(1);
    row->addWidget(hole_, 0, Qt::AlignVCenter);
    column->addLayout(row);
    column->addStretch(1);
}

QString HealthCard::uptimeText() const { return uptime_->text(); }

void HealthCard::refresh(const StatusCards::Readings& r) {
    chips_->setTexts({monitor_.chip(), toQString(formattedMemory(r.memory.total)), StatusFormat::system(monitor_.system())});
    const int score = Monitor::healthScore(r.disk, r.memory, r.cpu, r.thermal);
    score_->setText(0, QString::number(score));
    score_->setText(1, StatusFormat::healthWord(score));
    const QString up = tr("up %1").arg(StatusFormat::uptime(monitor_.uptime(), 2));
    if (uptime_->text() != up) uptime_->setText(up);
}

// ---- BatteryCard

BatteryCard::BatteryCard(const Monitor& monitor, QWidget* parent) : Card(16, parent), monitor_(monitor) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* column = cardColumn(this, 12);
    header_ = new QHBoxLayout;
    header_->addStretch(1);
    health_ = new Chip(QString(), Theme::secondary(), this);
    health_->hide();
    header_->addWidget(health_, 0, Qt::AlignVCenter);
    column->addLayout(header_);
    charge_ = new BaselineTexts({{QString(), Theme::font(30, QFont::Bold), Theme::text()},
                                 {QStringLiteral("%"), Theme::font(13, QFont::DemiBold), Theme::secondary()},
                                 {QString(), Theme::font(12, QFont::DemiBold), Theme::secondary()}},
                                6, this);
    column->addWidget(charge_);
    gauge_ = new QWidget(this);
    gauge_->setFixedHeight(MetricCard::graphHeight);
    ringRow_ = new QHBoxLayout(gauge_);
    ringRow_->setContentsMargins(0, 0, 0, 0);
    ringRow_->setSpacing(10);
    ringRow_->addStretch(1);
    column->addWidget(gauge_);
    meter_ = new Meter(0, Theme::good(), this);
    meter_->setFixedHeight(MetricCard::graphHeight);
    column->addWidget(meter_);
    footer_ = plainLabel({}, Theme::font(12), Theme::secondary(), this);
    column->addWidget(footer_);
    column->addStretch(1);
}

QString BatteryCard::status(const Sensors::Battery& b) {
    if (b.pluggedIn) {
        QString s = b.charging ? tr("Charging") : tr("Plugged in");
        if (b.adapterWatts) s += QStringLiteral(" · %1W").arg(*b.adapterWatts);
        return s;
    }
    if (b.minutesLeft && *b.minutesLeft >= 0) return tr("%1h %2m left").arg(*b.minutesLeft / 60).arg(*b.minutesLeft % 60);
    return tr("On battery");
}

QString BatteryCard::symbol(const QString& name) {
    const QString n = name.toLower();
    if (n.contains(QLatin1String("keyboard"))) return QStringLiteral("keyboard");
    if (n.contains(QLatin1String("trackpad"))) return QStringLiteral("rectangle.and.hand.point.up.left");
    if (n.contains(QLatin1String("mouse"))) return QStringLiteral("magicmouse");
    return QStringLiteral("dot.radiowaves.left.and.right");
}

QString BatteryCard::footer(const Sensors::Battery& b) {
    QStringList parts;
    if (b.cycles) parts << counted("%n cycles", *b.cycles);
    if (const auto t = StatusFormat::finite(b.temperature)) parts << StatusFormat::temp(*t);
    return parts.join(QStringLiteral(" · "));
}


QString BatteryCard::footerText() const { return footer_->text(); }

std::optional<QString> BatteryCard::healthChip() const {
    if (health_->isHidden()) return std::nullopt;
    return health_->text();
}

void BatteryCard::refresh() {
    const auto& battery = monitor_.battery();
    if (!battery) return;
    const Sensors::Battery& b = *battery;
    const QString look = b.charging ? QStringLiteral("battery.100percent.bolt") : QStringLiteral("battery.75percent");
    if (look != labelSymbol_) {
        delete label_;
        label_ = new CardLabel(look, tr("Battery"), Theme::good(), this);
        header_->insertWidget(0, label_, 0, Qt::AlignVCenter);
        labelSymbol_ = look;
    }
    const QString health = b.health ? tr("%1% health").arg(*b.health) : QString();
    if (health != health_->text()) health_->setText(health);
    health_->setVisible(b.health.has_value());
    charge_->setText(0, QString::number(b.percent));
    charge_->setText(2, status(b));

    const auto& accessories = monitor_.accessories();
    QStringList names;
    for (const auto& a : accessories) names << toQString(a.name);
    if (names != ringNames_) {
        qDeleteAll(rings_);
        rings_.clear();
        for (const QString& name : names) {
            auto* ring = new Ring(0, symbol(name), gauge_);
            ringRow_->insertWidget(ringRow_->count() - 1, ring, 0, Qt::AlignVCenter);
            rings_.append(ring);
        }
        ringNames_ = names;
    }
    for (qsizetype i = 0; i < rings_.size(); ++i) {
        const auto& a = accessories[size_t(i)];
        rings_[i]->setFraction(a.percent / 100.0);
        rings_[i]->setToolTip(QStringLiteral("%1: %2%").arg(names[i]).arg(a.percent));
    }
    gauge_->setVisible(!rings_.isEmpty());
    meter_->setVisible(rings_.isEmpty());
    meter_->setFraction(b.percent / 100.0);
    const QString text = footer(b);
    if (footer_->text() != text) footer_->setText(text);
}

// ---- StatusView

StatusView::StatusView(AppState& state, Preferences& prefs, QWidget* parent) : QScrollArea(parent), state_(state) {
    makePlainScrollArea(this);
    setWidgetResizable(true);
    auto* content = new QWidget;
    // The black hole's glow stays inside the page, under its cards.
    OverflowOverlay::markHost(content);
    setWidget(content);
    content->setAutoFillBackground(false);  // the scroll area turned it on: the sky shows through
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(14);

    Monitor& monitor = state_.monitor();
    banner_ = new FullDiskAccessBanner(state_, content);
    column->addWidget(banner_);

    auto* cells = new QWidget(content);
    grid_ = new AdaptiveGridLayout(200, 14, cells);
    health_ = new HealthCard(monitor, cells);
    grid_->addWidget(health_);
    const auto readings = StatusCards::Readings::of(monitor);
    for (Metric card : StatusCards::metricCards) {
        const auto c = StatusCards::content(card, readings);
        auto* metric = new MetricCard(c.symbol, c.title, c.value, c.unit, c.chip, c.chipColor, c.footer,
                                      StatusCards::makeGraph(c.graph), cells);
        metrics_[card] = metric;
    }
    battery_ = new BatteryCard(monitor, cells);
    fans_ = new FanControlCard(state_, false, cells);
    // In the grid's order: the battery after memory, the fan card in the thermal card's place.
    for (Metric card : {Metric::cpu, Metric::gpu, Metric::memory}) grid_->addWidget(metrics_[card]);
    grid_->addWidget(battery_);
    for (Metric card : {Metric::disk, Metric::network, Metric::thermal}) grid_->addWidget(metrics_[card]);
    grid_->addWidget(fans_);
    column->addWidget(cells);

    processes_ = new ProcessesCard(monitor, prefs, content);
    column->addWidget(processes_);
    column->addStretch(1);

    for (auto signal : {&Monitor::cpuHistoryChanged, &Monitor::gpuChanged, &Monitor::gpuHistoryChanged,
                        &Monitor::cpuTempChanged, &Monitor::gpuTempChanged, &Monitor::memoryChanged,
                        &Monitor::memoryHistoryChanged, &Monitor::diskChanged, &Monitor::diskReadChanged,
                        &Monitor::diskWriteChanged, &Monitor::downloadChanged, &Monitor::uploadChanged,
                        &Monitor::networkHistoryChanged, &Monitor::connectionChanged, &Monitor::batteryChanged,
                        &Monitor::accessoriesChanged, &Monitor::fansChanged, &Monitor::loadChanged})
        connect(&monitor, signal, this, &StatusView::scheduleRefresh);
    connect(&state_, &AppState::hasFullDiskAccessChanged, this, &StatusView::scheduleRefresh);
    refresh();
    watch_ = new MonitorWatch(this, monitor);
    // Back on screen (shown, restored), the page catches up at once.
    connect(watch_, &MonitorWatch::countedChanged, this, [this](bool on) {
        if (on) refresh();
    });
}

void StatusView::scheduleRefresh() {
    // A tick sends a dozen changes; they come in as one refresh. A page off screen
    // (hidden, its window minimised) draws nothing and catches up when it is back.
    if (watch_ && watch_->counted()) refreshSoon_.request();
}

void StatusView::refresh() {
    const Monitor& monitor = state_.monitor();
    const auto readings = StatusCards::Readings::of(monitor);
    for (Metric card : StatusCards::metricCards) apply(metrics_[card], StatusCards::content(card, readings));
    health_->refresh(readings);
    battery_->setVisible(monitor.battery().has_value());
    battery_->refresh();
    const bool fans = !monitor.fans().empty();
    metrics_[Metric::thermal]->setVisible(!fans);
    fans_->setVisible(fans);
    banner_->setVisible(!state_.hasFullDiskAccess());
}


