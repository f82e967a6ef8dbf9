#pragma once
#include <QIcon>
#include <QList>
#include <QString>

#include <optional>

#include "Models/Settings/MenuBarMetric.h"
#include "Sensors/HostSensors.h"
#include "Sensors/PowerSensors.h"

class Monitor;

// What the status item shows: its glyph and the short live readings of the
// chosen metrics.
namespace MenuBarImage {

// The readings the values are made of, as the monitor holds them.
struct Readings {
    double cpu = 0;
    std::optional<double> gpu;
    Sensors::Memory memory;
    std::optional<double> cpuTemp;
    Sensors::DiskSpace disk;
    double download = 0, upload = 0;  // bytes per second
    std::optional<Sensors::Battery> battery;

    static Readings of(const Monitor& monitor);
};

// The glyph ("MenuBarHole", or the "circle" symbol when that is missing) at
// `opacity`, in the sizes trays ask for.
QIcon glyph(double opacity = 1.0);

// One metric's piece of the title: its symbol and its value.
struct TitlePart {
    MenuBarMetric metric;
    QString symbol;
    QString value;
    bool operator==(const TitlePart&) const = default;
};
// The title, one part per chosen metric in the chosen order; empty with none chosen.
QList<TitlePart> title(const QList<MenuBarMetric>& metrics, const Readings& readings);
// The title as text, each symbol spoken as a short word ("CPU 12%  Memory 63%"):
// trays take square icons only, so this is what the tool tip shows.
QString titleText(const QList<TitlePart>& parts);

// One metric's reading as the item shows it ("12%", "48°", "↓1K ↑0K", "—").
QString value(MenuBarMetric metric, const Readings& readings);
// A rate in bytes per second as "0K", "523K" or "1.5M".
QString compact(double bytesPerSecond);

}  // namespace MenuBarImage
