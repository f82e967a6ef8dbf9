#include "Models/Status/Monitor.h"

#include <QCoroFuture>
#include <QPointer>
#include <QtConcurrent>

#include <algorithm>
#include <cmath>

#include "Core/Clean/CleanTypes.h"
#include "Core/Status/BluetoothBatteries.h"
#include "Models/Kit/AssignIfChanged.h"
#include "Models/Kit/QtBridge.h"
#include "Models/Kit/Sleep.h"
#include "Platform/Locations.h"

namespace {
using TimePoint = Platform::MonotonicClock::TimePoint;

double secondsBetween(TimePoint from, TimePoint to) { return std::chrono::duration<double>(to - from).count(); }

void push(QList<double>& history, double value) {
    history.append(value);
    if (history.size() > Monitor::historyLength) history.remove(0, history.size() - Monitor::historyLength);
}

// Bytes per second between two counter readings; 0 when the counter went back.
double rate(uint64_t from, uint64_t to, double seconds) { return to >= from ? double(to - from) / seconds : 0.0; }
}  // namespace

Monitor::Monitor(const Sensors::Roots& roots, QObject* parent)
    : QObject(parent),
      roots_(roots),
      cores_(Sensors::processorCount()),
      gpuCores_(Sensors::gpuCores(roots)),
      chip_(toQString(Sensors::chipName(roots))),
      system_(Sensors::osVersion(roots)),
      temperatures_(roots),
      fanReader_(SmcConnection::open(roots)) {
    lastTicks_ = Sensors::cpuTicks(roots_);
    lastNet_ = Sensors::networkBytes(roots_);
    lastSample_ = Platform::monotonicClock().now();
    sample();
    run();
}

QCoro::Task<> Monitor::run() {
    QPointer<Monitor> self(this);
    auto next = Platform::monotonicClock().now() + tick;
    for (;;) {
        co_await Pacing::sleepUntil(next);
        if (!self) co_return;
        sample();
        // Keeps to the two-second grid; after a stall (a suspended machine) it starts a new one.
        const auto now = Platform::monotonicClock().now();
        next += tick;
        if (next <= now) next = now + tick;
    }
}

template <class Work, class Done>
QCoro::Task<> Monitor::offMainThread(bool Monitor::*flag, Work work, Done done) {
    QPointer<Monitor> self(this);
    this->*flag = true;
    // The future is a named local: a temporary inside co_await is destroyed twice by g++ 12.
    auto future = QtConcurrent::run(std::move(work));
    auto result = co_await future;
    if (!self) co_return;
    this->*flag = false;
    done(std::move(result));
}

void Monitor::sample() {
    // Time between samples from the monotonic clock, so a changed system time
    // cannot distort a rate; two samples close together count as half a second.
    const TimePoint now = Platform::monotonicClock().now();
    const double dt = std::max(secondsBetween(lastSample_, now), 0.5);
    lastSample_ = now;
    const bool watched = processWatchers_ >= 1;

    auto ticks = Sensors::cpuTicks(roots_);
    if (const auto usage = Sensors::cpuUsage(lastTicks_, ticks); usage && assignIfChanged(cpu_, *usage)) emit cpuChanged();
    lastTicks_ = std::move(ticks);
    push(cpuHistory_, cpu_);
    emit cpuHistoryChanged();

    if (assignIfChanged(memory_, Sensors::memory(roots_))) emit memoryChanged();
    push(memoryHistory_, double(memory_.used) / double(std::max<int64_t>(memory_.total, 1)));
    emit memoryHistoryChanged();

    if (watched || shows(MenuBarMetric::gpu)) {
        if (assignIfChanged(gpu_, Sensors::gpuUsage(roots_))) emit gpuChanged();
        if (gpu_) {
            push(gpuHistory_, *gpu_);
            emit gpuHistoryChanged();
        }
    }

    if (!watched) {
        // A rate never spans a time nobody watched.
        lastIO_.reset();
    } else {
        const auto io = Sensors::diskIO(roots_);
        if (lastIO_) {
            if (assignIfChanged(diskRead_, rate(lastIO_->read, io.read, dt))) emit diskReadChanged();
            if (assignIfChanged(diskWrite_, rate(lastIO_->write, io.write, dt))) emit diskWriteChanged();
        }
        lastIO_ = io;
    }

    const auto net = Sensors::networkBytes(roots_);
    if (watched || shows(MenuBarMetric::network)) {
        if (assignIfChanged(download_, rate(lastNet_.received, net.received, dt))) emit downloadChanged();
        if (assignIfChanged(upload_, rate(lastNet_.sent, net.sent, dt))) emit uploadChanged();
        push(networkHistory_, download_);
        emit networkHistoryChanged();
    }
    lastNet_ = net;

    if (watched || shows(MenuBarMetric::temperature)) {
        const auto t = temperatures_.read();
        if (assignIfChanged(cpuTemp_, t.cpu)) emit cpuTempChanged();
        if (assignIfChanged(gpuTemp_, t.gpu)) emit gpuTempChanged();
    }

    if (watched && assignIfChanged(load_, Sensors::loadAverage(roots_))) emit loadChanged();

    if (slowTick_ % 5 == 0) {
        // Unwatched the disk is measured every 30 s, watched every 10 s, one at a time.
        if (!measuringDisk_ && (watched || slowTick_ % 15 == 0)) {
            offMainThread(&Monitor::measuringDisk_, [home = Platform::Locations::home()] { return Sensors::diskSpace(home); },
                          [this](Sensors::DiskSpace space) {
                              if (assignIfChanged(disk_, space)) emit diskChanged();
                          });
        }
        if ((watched || shows(MenuBarMetric::battery)) && assignIfChanged(battery_, Sensors::battery(roots_)))
            emit batteryChanged();
        if (watched) {
            auto list = Sensors::accessories(roots_);
            for (const auto& device : bluetoothAudio_)
                if (std::none_of(list.begin(), list.end(), [&](const Sensors::Level& l) { return l.name == device.name; }))
                    list.push_back(device);
            if (assignIfChanged(accessories_, list)) emit accessoriesChanged();
            if (assignIfChanged(fans_, fanReader_.read())) emit fansChanged();
            // Only asked when there are fans: the question costs controller calls.
            if (assignIfChanged(fanControlAvailable_, !fans_.empty() && fanReader_.isControllable()))
                emit fanControlAvailableChanged();
            std::optional<QString> kind;
            if (const auto c = Sensors::connectionKind(roots_)) kind = toQString(*c);
            if (assignIfChanged(connection_, kind)) emit connectionChanged();
        }
    }
    ++slowTick_;

    // A query takes seconds; a watcher opened again soon after must not start a second one.
    if (watched && slowTick_ % 30 == 1 && !samplingBluetooth_) {
        offMainThread(&Monitor::samplingBluetooth_, &Sensors::bluetoothBatteries,
                      [this](std::vector<Sensors::Level> levels) { bluetoothAudio_ = std::move(levels); });
    }
    if (watched && !samplingProcesses_ && (!lastProcessSample_ || secondsBetween(*lastProcessSample_, now) >= 8.0)) {
        lastProcessSample_ = now;
        offMainThread(&Monitor::samplingProcesses_, &Processes::snapshot, [this](std::vector<Processes::Info> list) {
            if (assignIfChanged(processes_, list)) emit processesChanged();
        });
    }
}

void Monitor::setProcessWatchers(int value) {
    value = std::max(value, 0);
    if (value == processWatchers_) return;
    const bool opened = processWatchers_ == 0 && value >= 1;
    processWatchers_ = value;
    emit processWatchersChanged();
    if (opened) {
        slowTick_ = 0;
        sample();
    }
}

void Monitor::setMenuBarMetrics(const QSet<MenuBarMetric>& value) {
    if (assignIfChanged(menuBarMetrics_, value)) emit menuBarMetricsChanged();
}

int Monitor::healthScore() const { return healthScore(disk_, memory_, cpu_, thermalState()); }

Sensors::ThermalState Monitor::thermalState() const { return Sensors::thermalState(roots_); }

std::optional<double> Monitor::uptime() const { return Sensors::uptime(roots_); }

int Monitor::healthScore(const Sensors::DiskSpace& disk, const Sensors::Memory& memory, double cpu,
                         Sensors::ThermalState thermal) {
    const double fullness = disk.usedFraction();
    const double diskScore = std::max(0.0, 1.0 - std::max(0.0, fullness - 0.6) / 0.4);
    const double pressureScore = memory.pressure < 2 ? 0.25 : memory.pressure < 4 ? 0.15 : 0.05;
    const double cpuScore = std::max(0.0, 1.0 - std::max(0.0, cpu - 0.7) / 0.3);
    double thermalScore = 0.02;
    switch (thermal) {
        case Sensors::ThermalState::nominal: thermalScore = 0.2; break;
        case Sensors::ThermalState::fair: thermalScore = 0.16; break;
        case Sensors::ThermalState::serious: thermalScore = 0.08; break;
        case Sensors::ThermalState::critical: thermalScore = 0.02; break;
    }
    const double score = (0.4 * diskScore + pressureScore + 0.15 * cpuScore + thermalScore) * 100.0;
    // Inputs are finite and bounded here, so the score is within 0-100 before the cut.
    return int(std::trunc(std::clamp(score, 0.0, 100.0)));
}

QString formattedRate(double bytesPerSecond) {
    constexpr double cap = 4611686018427387904.0;  // 2^62
    const int64_t count = std::isfinite(bytesPerSecond) && bytesPerSecond > 0 ? int64_t(std::min(bytesPerSecond, cap)) : 0;
    return toQString(formattedBytes(count)) + QStringLiteral("/s");
}
