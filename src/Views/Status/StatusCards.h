#pragma once
#include <QColor>
#include <QList>
#include <QString>

#include <array>
#include <optional>

#include "Sensors/HostSensors.h"
#include "Sensors/SystemInfo.h"

class Monitor;
class QWidget;

// What the Status tab's metric cards show, worked out from the readings alone:
// one pure function per card behind one list of the cards.
namespace StatusCards {

// The readings the cards use, copied from the monitor in one go.
struct Readings {
    double cpu = 0;
    QList<double> cpuHistory;
    std::optional<double> gpu;
    QList<double> gpuHistory;
    std::optional<double> cpuTemp, gpuTemp;
    Sensors::Memory memory;
    QList<double> memoryHistory;
    Sensors::DiskSpace disk;
    double diskRead = 0, diskWrite = 0;
    double download = 0, upload = 0;
    QList<double> networkHistory;
    std::optional<QString> connection;
    double load = 0;
    int cores = 0;
    std::optional<int> gpuCores;
    Sensors::ThermalState thermal = Sensors::ThermalState::nominal;

    static Readings of(const Monitor& monitor);
};

struct Graph {
    enum class Kind { bars, sparkline, meter };
    Kind kind = Kind::meter;
    QList<double> values;  // bars and sparkline, as fractions of full scale
    double fraction = 0;   // meter
    QColor color;
};

// A network history as fractions of its largest value, or of 1 when that is smaller;
// a value that is not a number counts as 0.
QList<double> networkFractions(const QList<double>& history);

// A widget that draws `graph`, and bringing such a widget up to a new reading.
QWidget* makeGraph(const Graph& graph);
void updateGraph(QWidget* widget, const Graph& graph);

// A metric card's fields, in the order the card takes them.
struct Content {
    QString symbol, title, value, unit;
    std::optional<QString> chip;
    QColor chipColor;
    QString footer;
    Graph graph;
};

enum class Metric { cpu, gpu, memory, disk, network, thermal };
// In the grid's order; the thermal card stands last, where the fan card replaces it.
inline constexpr std::array<Metric, 6> metricCards = {Metric::cpu, Metric::gpu, Metric::memory,
                                                      Metric::disk, Metric::network, Metric::thermal};

Content content(Metric metric, const Readings& readings);

// How many bars of the processor history the CPU card draws.
inline constexpr int cpuBars = 18;

}  // namespace StatusCards
