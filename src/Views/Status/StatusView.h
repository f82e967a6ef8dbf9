#pragma once
#include <QList>
#include <QScrollArea>
#include <QStringList>

#include <map>
#include <optional>

#include "Models/Kit/CoalescedCall.h"
#include "Sensors/PowerSensors.h"
#include "Views/Kit/Controls.h"
#include "Views/Status/StatusCards.h"
#include "Views/Status/StatusFormat.h"

class AdaptiveGridLayout;
class AppState;
class BaselineTexts;
class BlackHole;
class ChipRow;
class FanControlCard;
class FullDiskAccessBanner;
class Meter;
class MetricCard;
class Monitor;
class MonitorWatch;
class Preferences;
class ProcessesCard;
class QHBoxLayout;
class QLabel;
class Ring;
class SymbolLabel;

// The health score and its word, the processor, memory and system chips, the
// uptime, and a still black hole.
class HealthCard : public Card {
public:
    explicit HealthCard(const Monitor& monitor, QWidget* parent = nullptr);
    void refresh(const StatusCards::Readings& readings);
    ChipRow* chips() const { return chips_; }
    BaselineTexts* score() const { return score_; }
    QString uptimeText() const;
    BlackHole* hole() const { return hole_; }

private:
    const Monitor& monitor_;
    ChipRow* chips_;
    BaselineTexts* score_;
    QLabel* uptime_;
    BlackHole* hole_;
};

// The internal battery: charge, power state, the batteries of accessories as
// rings (else a charge meter), cycles and temperature.
class BatteryCard : public Card {
public:
    explicit BatteryCard(const Monitor& monitor, QWidget* parent = nullptr);
    // "Charging · 96W", "Plugged in", "2h 5m left", "On battery".
    static QString status(const Sensors::Battery& battery);
    // The symbol of an accessory by its name: keyboard, trackpad, mouse, or any other.
    static QString symbol(const QString& name);
    // The cycles and the temperature that are known, joined by " · ".
    static QString footer(const Sensors::Battery& battery);
    void refresh();

    CardLabel* label() const { return label_; }
    std::optional<QString> healthChip() const;
    BaselineTexts* charge() const { return charge_; }
    QList<Ring*> rings() const { return rings_; }
    Meter* meter() const { return meter_; }
    QString footerText() const;

private:
    const Monitor& monitor_;
    QHBoxLayout* header_;
    CardLabel* label_ = nullptr;
    QString labelSymbol_;
    Chip* health_;
    BaselineTexts* charge_;
    QWidget* gauge_;
    QHBoxLayout* ringRow_;
    QList<Ring*> rings_;
    QStringList ringNames_;
    Meter* meter_;
    QLabel* footer_;
};

// The Status tab: a scrolling dashboard of the monitor's live readings. While it is
// on screen it counts as one watcher of the monitor.
class StatusView : public QScrollArea {
    Q_OBJECT
public:
    StatusView(AppState& state, Preferences& prefs, QWidget* parent = nullptr);

    // A temperature as the nearest whole degree, halves away from zero: "45°C".
    static QString temp(double celsius) { return StatusFormat::temp(celsius); }

    FullDiskAccessBanner* banner() const { return banner_; }
    HealthCard* healthCard() const { return health_; }
    MetricCard* metricCard(StatusCards::Metric metric) const { return metrics_.at(metric); }
    BatteryCard* batteryCard() const { return battery_; }
    FanControlCard* fanCard() const { return fans_; }
    ProcessesCard* processesCard() const { return processes_; }
    AdaptiveGridLayout* grid() const { return grid_; }
    MonitorWatch* watch() const { return watch_; }
    // Brings every card up to the monitor's readings now.
    void refresh();

private:
    void scheduleRefresh();
    AppState& state_;
    FullDiskAccessBanner* banner_;
    AdaptiveGridLayout* grid_;
    HealthCard* health_;
    std::map<StatusCards::Metric, MetricCard*> metrics_;
    BatteryCard* battery_;
    FanControlCard* fans_;
    ProcessesCard* processes_;
    MonitorWatch* watch_ = nullptr;
    CoalescedCall refreshSoon_{this, [this] { refresh(); }};
};
