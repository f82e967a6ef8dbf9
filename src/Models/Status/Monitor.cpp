#include "Models/Status/Monitor.h"

#include <QCoroFuture>
#include <QPointer>
#include <QtConcurrent>

#include <algorithm>
#include <cmath>

#include "Core/Clean/CleanTypes.h"
#include "Core/Status/BluetoothBatteries.h"
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

void Monitor::sample() {
    // Time between samples from the monotonic clock, so a changed system time
    // cannot distort a rate; two samples close together count as half a second.
    const TimePoint now = Platform::monotonicClock().now();
    const double dt = std::max(secondsBetween(lastSample_, now), 0.5);
    lastSample_ = now;
    const bool watched = processWatchers_ >= 1;

    auto ticks = Sensors::cpuTicks(roots_);
    if (const auto usage = Sensors::cpuUsage(lastTicks_, ticks); usage && *usage != cpu_) {
        cpu_ = *usage;
        emit cpuChanged();
    }
    lastTicks_ = std::move(ticks);
    push(cpuHistory_, cpu_);
    emit cpuHistoryChanged();

    if (const auto m = Sensors::memory(roots_); m != memory_) {
        memory_ = m;
        emit memoryChanged();
    }
    push(memoryHistory_, double(memory_.used) / double(std::max<int64_t>(memory_.total, 1)));
    emit memoryHistoryChanged();

    if (watched || shows(MenuBarMetric::gpu)) {
        if (const auto g = Sensors::gpuUsage(roots_); g != gpu_) {
            gpu_ = g;
            emit gpuChanged();
        }
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
            const double read = rate(lastIO_->read, io.read, dt), write = rate(lastIO_->write, io.write, dt);
            if (read != diskRead_) {
                diskRead_ = read;
                emit diskReadChanged();
            }
            if (write != diskWrite_) {
                diskWrite_ = write;
                emit diskWriteChanged();
            }
        }
        lastIO_ = io;
    }

    const auto net = Sensors::networkBytes(roots_);
    if (watched || shows(MenuBarMetric::network)) {
        const double down = rate(lastNet_.received, net.received, dt), up = rate(lastNet_.sent, net.sent, dt);
        if (down != download_) {
            download_ = down;
            emit downloadChanged();
        }
        if (up != upload_) {
            upload_ = up;
            emit uploadChanged();
        }
        push(networkHistory_, download_);
        emit networkHistoryChanged();
    }
    lastNet_ = net;

    if (watched || shows(MenuBarMetric::temperature)) {
        const auto t = temperatures_.read();
        if (t.cpu != cpuTemp_) {
            cpuTemp_ = t.cpu;
            emit cpuTempChanged();
        }
        if (t.gpu != gpuTemp_) {
            gpuTemp_ = t.gpu;
            emit gpuTempChanged();
        }
    }

    if (watched) {
        if (const double l = Sensors::loadAverage(roots_); l != load_) {
            load_ = l;
            emit loadChanged();
        }
    }

    if (slowTick_ % 5 == 0) {
        // Unwatched the disk is measured every 30 s, watched every 10 s, one at a time.
        if (!measuringDisk_ && (watched || slowTick_ % 15 == 0)) measureDisk();
        if (watched || shows(MenuBarMetric::battery)) {
            if (auto b = Sensors::battery(roots_); b != battery_) {
                battery_ = std::move(b);
                emit batteryChanged();
            }
        }
        if (watched) {
            auto list = Sensors::accessories(roots_);
            for (const auto& device : bluetoothAudio_)
                if (std::none_of(list.begin(), list.end(), [&](const Sensors::Level& l) { return l.name == device.name; }))
                    list.push_back(device);
            if (list != accessories_) {
                accessories_ = std::move(list);
                emit accessoriesChanged();
            }
            if (auto f = fanReader_.read(); f != fans_) {
                fans_ = std::move(f);
                emit fansChanged();
            }
            // Only asked when there are fans: the question costs controller calls.
            const bool controllable = !fans_.empty() && fanReader_.isControllable();
            if (controllable != fanControlAvailable_) {
                fanControlAvailable_ = controllable;
                emit fanControlAvailableChanged();
            }
            std::optional<QString> kind;
            if (const auto c = Sensors::connectionKind(roots_)) kind = toQString(*c);
            if (kind != connection_) {
                connection_ = std::move(kind);
                emit connectionChanged();
            }
        }
    }
    ++slowTick_;

    // A query takes seconds; a watcher opened again soon after must not start a second one.
    if (watched && slowTick_ % 30 == 1 && !samplingBluetooth_) queryBluetooth();
    if (watched && !samplingProcesses_ && (!lastProcessSample_ || secondsBetween(*lastProcessSample_, now) >= 8.0)) {
        lastProcessSample_ = now;
        sampleProcesses();
    }
}

QCoro::Task<> Monitor::measureDisk() {
    QPointer<Monitor> self(this);
    measuringDisk_ = true;
    const std::filesystem::path home = Platform::Locations::home();
    // The future is a named local: a temporary inside co_await is destroyed twice by g++ 12.
    auto measuring = QtConcurrent::run([home] { return Sensors::diskSpace(home); });
    const auto space = co_await measuring;
    if (!self) co_return;
    measuringDisk_ = false;
    if (space != disk_) {
        disk_ = space;
        emit diskChanged();
    }
}

QCoro::Task<> Monitor::sampleProcesses() {
    QPointer<Monitor> self(this);
    samplingProcesses_ = true;
    auto snapshot = QtConcurrent::run(&Processes::snapshot);
    auto list = co_await snapshot;
    if (!self) co_return;
    samplingProcesses_ = false;
    if (list != processes_) {
        processes_ = std::move(list);
        emit processesChanged();
    }
}

QCoro::Task<> Monitor::queryBluetooth() {
    QPointer<Monitor> self(this);
    samplingBluetooth_ = true;
    auto query = QtConcurrent::run(&Sensors::bluetoothBatteries);
    auto levels = co_await query;
    if (!self) co_return;
    samplingBluetooth_ = false;
    bluetoothAudio_ = std::move(levels);
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
    if (value == menuBarMetrics_) return;
    menuBarMetrics_ = value;
    emit menuBarMetricsChanged();
}

int Monitor::healthScore() const { return healthScore(disk_, memory_, cpu_, Sensors::thermalState(roots_)); }

int Monitor::healthScore(const Sensors::DiskSpace& disk, const Sensors::Memory& memory, double cpu,
                         Sensors::ThermalState thermal) {
    const double fullness = disk.total >= 1 ? double(disk.total - disk.available) / double(disk.total) : 0.0;
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
