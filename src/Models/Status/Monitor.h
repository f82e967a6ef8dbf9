#pragma once
#include <QCoroTask>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <optional>
#include <vector>

#include "Core/Status/Processes.h"
#include "Models/Settings/MenuBarMetric.h"
#include "Platform/MonotonicClock.h"
#include "Sensors/Fans/FanReader.h"
#include "Sensors/HostSensors.h"
#include "Sensors/PowerSensors.h"
#include "Sensors/SystemInfo.h"
#include "Sensors/Temperatures/TemperatureReader.h"

// The one live model of the machine's condition. Samples every two seconds on the
// monotonic clock; the expensive readings (graphics, disks, temperatures, fans,
// accessories, processes) only while a detailed view watches or the menu bar
// shows them. Scalar readings notify only when they change; histories on every
// push. Main thread only.
class Monitor final : public QObject {
    Q_OBJECT
    Q_PROPERTY(double cpu READ cpu NOTIFY cpuChanged)
    Q_PROPERTY(double diskRead READ diskRead NOTIFY diskReadChanged)
    Q_PROPERTY(double diskWrite READ diskWrite NOTIFY diskWriteChanged)
    Q_PROPERTY(double download READ download NOTIFY downloadChanged)
    Q_PROPERTY(double upload READ upload NOTIFY uploadChanged)
    Q_PROPERTY(double load READ load NOTIFY loadChanged)
    Q_PROPERTY(bool fanControlAvailable READ fanControlAvailable NOTIFY fanControlAvailableChanged)
    Q_PROPERTY(int processWatchers READ processWatchers WRITE setProcessWatchers NOTIFY processWatchersChanged)

public:
    static constexpr int historyLength = 40;
    static constexpr std::chrono::seconds tick{2};

    // Takes the first readings, samples once at once, then every two seconds.
    // `roots` are where the sensors read; tests point them at fixture trees.
    explicit Monitor(const Sensors::Roots& roots = {}, QObject* parent = nullptr);

    double cpu() const { return cpu_; }
    const QList<double>& cpuHistory() const { return cpuHistory_; }
    std::optional<double> gpu() const { return gpu_; }
    const QList<double>& gpuHistory() const { return gpuHistory_; }
    std::optional<double> cpuTemp() const { return cpuTemp_; }
    std::optional<double> gpuTemp() const { return gpuTemp_; }
    const Sensors::Memory& memory() const { return memory_; }
    const QList<double>& memoryHistory() const { return memoryHistory_; }
    const Sensors::DiskSpace& disk() const { return disk_; }
    double diskRead() const { return diskRead_; }
    double diskWrite() const { return diskWrite_; }
    double download() const { return download_; }
    double upload() const { return upload_; }
    const QList<double>& networkHistory() const { return networkHistory_; }
    const std::optional<QString>& connection() const { return connection_; }
    const std::optional<Sensors::Battery>& battery() const { return battery_; }
    const std::vector<Sensors::Level>& accessories() const { return accessories_; }
    // One (rpm, max) per fan with a speed reading.
    const std::vector<FanReader::Fan>& fans() const { return fans_; }
    bool fanControlAvailable() const { return fanControlAvailable_; }
    double load() const { return load_; }
    const std::vector<Processes::Info>& processes() const { return processes_; }

    // Open detailed views: each adds 1 when it appears and takes 1 away when it
    // goes. Never below 0. A rise from 0 samples at once, slow readings included.
    int processWatchers() const { return processWatchers_; }
    void setProcessWatchers(int value);

    // The metrics the status item's title shows; read on every tick even unwatched.
    const QSet<MenuBarMetric>& menuBarMetrics() const { return menuBarMetrics_; }
    void setMenuBarMetrics(const QSet<MenuBarMetric>& value);

    // Fixed at construction.
    int cores() const { return cores_; }
    std::optional<int> gpuCores() const { return gpuCores_; }
    const QString& chip() const { return chip_; }
    // The running system's name and major version.
    const Sensors::OSVersion& system() const { return system_; }

    // Read afresh on every call, cheap enough for each refresh of a view: the
    // machine's thermal state, and the seconds since boot (nil when unknown).
    Sensors::ThermalState thermalState() const;
    std::optional<double> uptime() const;

    // 0-100 from disk fullness, memory pressure, processor load and the thermal
    // state; worked out on every read (it changes with disk, memory and cpu).
    int healthScore() const;
    static int healthScore(const Sensors::DiskSpace& disk, const Sensors::Memory& memory, double cpu,
                           Sensors::ThermalState thermal);

    // Whether a disk measurement, process snapshot or Bluetooth query is in flight.
    bool measuringDisk() const { return measuringDisk_; }
    bool samplingProcesses() const { return samplingProcesses_; }
    bool samplingBluetooth() const { return samplingBluetooth_; }

signals:
    void cpuChanged();
    void cpuHistoryChanged();
    void gpuChanged();
    void gpuHistoryChanged();
    void cpuTempChanged();
    void gpuTempChanged();
    void memoryChanged();
    void memoryHistoryChanged();
    void diskChanged();
    void diskReadChanged();
    void diskWriteChanged();
    void downloadChanged();
    void uploadChanged();
    void networkHistoryChanged();
    void connectionChanged();
    void batteryChanged();
    void accessoriesChanged();
    void fansChanged();
    void fanControlAvailableChanged();
    void loadChanged();
    void processesChanged();
    void processWatchersChanged();
    void menuBarMetricsChanged();

private:
    void sample();
    QCoro::Task<> run();
    // Runs `work` on a pool thread with `flag` raised, then hands its result to `done`
    // here on the main thread, unless the monitor is gone by then.
    template <class Work, class Done>
    QCoro::Task<> offMainThread(bool Monitor::*flag, Work work, Done done);
    bool shows(MenuBarMetric metric) const { return menuBarMetrics_.contains(metric); }

    Sensors::Roots roots_;
    double cpu_ = 0;
    QList<double> cpuHistory_;
    std::optional<double> gpu_;
    QList<double> gpuHistory_;
    std::optional<double> cpuTemp_, gpuTemp_;
    Sensors::Memory memory_{0, 1, 0, 1};
    QList<double> memoryHistory_;
    Sensors::DiskSpace disk_;
    double diskRead_ = 0, diskWrite_ = 0;
    double download_ = 0, upload_ = 0;
    QList<double> networkHistory_;
    std::optional<QString> connection_;
    std::optional<Sensors::Battery> battery_;
    std::vector<Sensors::Level> accessories_;
    std::vector<FanReader::Fan> fans_;
    bool fanControlAvailable_ = false;
    double load_ = 0;
    std::vector<Processes::Info> processes_;
    int processWatchers_ = 0;
    QSet<MenuBarMetric> menuBarMetrics_{MenuBarMetric::cpu, MenuBarMetric::memory};

    std::vector<Sensors::Level> bluetoothAudio_;
    bool samplingProcesses_ = false;
    bool samplingBluetooth_ = false;
    bool measuringDisk_ = false;
    std::vector<Sensors::CPUTicks> lastTicks_;
    std::optional<Sensors::DiskIO> lastIO_;
    std::optional<Platform::MonotonicClock::TimePoint> lastProcessSample_;
    Sensors::NetworkBytes lastNet_;
    Platform::MonotonicClock::TimePoint lastSample_;
    int slowTick_ = 0;

    int cores_;
    std::optional<int> gpuCores_;
    QString chip_;
    Sensors::OSVersion system_;
    TemperatureReader temperatures_;
    FanReader fanReader_;  // read only: the fan tool alone drives the fans
};

// A bytes-per-second value as text: "1.2 MB/s"; "0 bytes/s" for anything not a
// positive finite number.
QString formattedRate(double bytesPerSecond);
