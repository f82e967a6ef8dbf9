#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cmath>

#include "Models/Status/Monitor.h"
#include "Platform/Programs.h"
#include "Sensors/SensorTree.h"
#include "Support/TestTree.h"

using namespace std::chrono_literals;
using Platform::Program;

namespace {

// A machine in a fixture tree whose counters the test moves between ticks, on a
// stepped clock, with fake `top` and `system_profiler` that log each start.
struct Machine {
    SensorTree tree;
    Platform::SteppedMonotonicClock clock;
    testtree::TempDir tools;

    Machine() {
        Platform::setMonotonicClock(&clock);
        set(0, 100, 0);
        tree.put("proc/loadavg", "1.25 0.50 0.10 1/100 42\n");
        tree.put("proc/net/route", "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\n"
                                   "wlan0\t00000000\t0100A8C0\t0003\t0\t0\t600\t00000000\n");
        tree.folder("sys/class/net/wlan0/wireless").folder("sys/block/vda/device");
        tree.put("sys/class/drm/card0/device/gpu_busy_percent", "35\n");
        tree.attributes("sys/class/power_supply/BAT0", {{"type", "Battery"}, {"status", "Discharging"}, {"capacity", "64"}});
        tree.attributes("sys/class/power_supply/hid-1", {{"scope", "Device"}, {"model_name", "Headset"}, {"capacity", "70"}});
        tree.attributes("sys/class/hwmon/hwmon0", {{"name", "coretemp"}, {"temp1_input", "47000"}, {"temp1_label", "Package id 0"}});
        // An Apple controller with one fan, as the applesmc driver lays it out.
        tree.attributes("sys/devices/platform/applesmc.768", {{"name", "applesmc"}, {"fan1_input", "1800"}, {"fan1_min", "1200"},
                                                              {"fan1_max", "6000"}, {"fan1_output", "1200"}, {"fan1_manual", "0"}});
        tree.folder("sys/class/hwmon/hwmon1");
        std::filesystem::create_directory_symlink(tree.path() / "sys/devices/platform/applesmc.768",
                                                  tree.path() / "sys/class/hwmon/hwmon1/device");
        Platform::Programs::setPathForTesting(
            Program::top, testtree::writeScript(tools / "top", "echo run >> '" + (tools / "top.log").string() + "'\n"
                                                               "printf 'PID COMMAND %%CPU MEM POWER\\n7 busy 50.0 1M 0.0\\n'\n"));
        fakeBluetooth("");
    }
    ~Machine() {
        Platform::setMonotonicClock(nullptr);
        Platform::Programs::resetForTesting();
    }

    // Processor ticks (busy, idle), used memory in KiB, and one value for every byte counter.
    void set(uint64_t busy, uint64_t idle, uint64_t bytes, uint64_t usedKiB = 1000) {
        tree.put("proc/stat", "cpu0 " + std::to_string(busy) + " 0 0 " + std::to_string(idle) + " 0 0 0 0\n");
        tree.put("proc/meminfo", "MemTotal: 4000 kB\nMemAvailable: " + std::to_string(4000 - usedKiB) + " kB\n");
        const auto b = std::to_string(bytes);
        tree.put("proc/net/dev", "wlan0: " + b + " 0 0 0 0 0 0 0 " + b + " 0 0 0 0 0 0 0\n");
        tree.put("proc/diskstats", "252 0 vda 0 0 " + std::to_string(bytes / 512) + " 0 0 0 " + std::to_string(bytes / 512) + " 0 0 0 0\n");
    }
    // A system report that waits for the test's go (a file) before answering.
    void fakeBluetooth(const std::string& waitFor) {
        std::string body = "echo run >> '" + (tools / "bt.log").string() + "'\n";
        if (!waitFor.empty()) body += "while [ ! -e '" + waitFor + "' ]; do sleep 0.01; done\n";
        body += "echo '{\"SPBluetoothDataType\":[{\"device_connected\":[{\"Headset\":{\"device_batteryLevelMain\":\"90%\"}},"
                "{\"Buds\":{\"device_batteryLevelLeft\":\"20%\"}}]}]}'\n";
        Platform::Programs::setPathForTesting(Program::systemProfiler, testtree::writeScript(tools / "system_profiler", body));
    }
    int runs(const char* log) const {
        const std::string text = testtree::readFile(tools / log);
        return int(std::count(text.begin(), text.end(), '\n'));
    }
    void tick(int n = 1) { clock.advance(Monitor::tick * n); }
};

// Lets the monitor's worker tasks deliver their results.
void settle(const Monitor& m) {
    QElapsedTimer t;
    t.start();
    do QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    while ((m.measuringDisk() || m.samplingProcesses() || m.samplingBluetooth()) && t.elapsed() < 10000);
}

}  // namespace

TEST(Monitor, UnwatchedReadsOnlyCpuMemoryAndTheMenuBar) {
    Machine machine;
    Monitor m(machine.tree.roots());
    settle(m);
    EXPECT_EQ(m.memory().used, 1000 * 1024);
    EXPECT_GT(m.disk().total, 0);  // the home volume, measured at once

    machine.set(50, 150, 100000, 2000);
    machine.tick();
    EXPECT_DOUBLE_EQ(m.cpu(), 0.5);
    EXPECT_EQ(m.memory().used, 2000 * 1024);
    // Nobody watches and the menu bar shows cpu and memory only.
    EXPECT_EQ(m.gpu(), std::nullopt);
    EXPECT_EQ(m.download(), 0);
    EXPECT_EQ(m.diskRead(), 0);
    EXPECT_EQ(m.load(), 0);
    EXPECT_EQ(m.battery(), std::nullopt);
    EXPECT_EQ(m.cpuTemp(), std::nullopt);
    EXPECT_TRUE(m.fans().empty());
    EXPECT_EQ(m.connection(), std::nullopt);
    EXPECT_TRUE(m.accessories().empty());
    machine.tick(10);
    settle(m);
    EXPECT_TRUE(m.processes().empty());
    EXPECT_EQ(machine.runs("top.log"), 0);
    EXPECT_EQ(machine.runs("bt.log"), 0);

    // The status item shows graphics, network and battery: those follow too.
    m.setMenuBarMetrics({MenuBarMetric::gpu, MenuBarMetric::network, MenuBarMetric::battery, MenuBarMetric::temperature});
    machine.tick(3);
    machine.set(50, 150, 104000);
    machine.tick();  // the 15th: a slow tick
    EXPECT_EQ(m.gpu(), 0.35);
    EXPECT_DOUBLE_EQ(m.download(), 4000.0 / 2);
    ASSERT_TRUE(m.battery());
    EXPECT_EQ(m.battery()->percent, 64);
    EXPECT_EQ(m.cpuTemp(), 47.0);
    EXPECT_EQ(m.load(), 0);
    EXPECT_TRUE(m.fans().empty());
}

TEST(Monitor, WatchingSamplesAtOnceWithTheSlowReadings) {
    Machine machine;
    Monitor m(machine.tree.roots());
    machine.tick(3);
    const auto pushes = m.cpuHistory().size();

    m.setProcessWatchers(1);
    EXPECT_EQ(m.cpuHistory().size(), pushes + 1);
    EXPECT_EQ(m.load(), 1.25);
    EXPECT_EQ(m.connection(), QString("Wi-Fi"));
    EXPECT_EQ(m.accessories(), (std::vector<Sensors::Level>{{"Headset", 70}}));
    EXPECT_EQ(m.cpuTemp(), 47.0);
    EXPECT_EQ(m.fans(), (std::vector<FanReader::Fan>{{1800, 6000}}));
    EXPECT_TRUE(m.fanControlAvailable());
    settle(m);
    EXPECT_EQ(machine.runs("bt.log"), 1);
    EXPECT_EQ(m.processes(), (std::vector<Processes::Info>{{7, "busy", 50.0, 1048576, 0.0}}));

    m.setProcessWatchers(2);  // a second view adds nothing
    m.setProcessWatchers(1);
    m.setProcessWatchers(0);  // and closing samples nothing at once
    EXPECT_EQ(m.cpuHistory().size(), pushes + 1);
    EXPECT_EQ(machine.runs("top.log"), 1);

    // The next watch period: the Bluetooth levels reached the accessories, the
    // headset listed once under its accessory level.
    m.setProcessWatchers(1);
    EXPECT_EQ(m.accessories(), (std::vector<Sensors::Level>{{"Headset", 70}, {"Buds", 20}}));
}

TEST(Monitor, WatcherCountNeverGoesBelowZero) {
    Machine machine;
    Monitor m(machine.tree.roots());
    m.setProcessWatchers(-1);
    EXPECT_EQ(m.processWatchers(), 0);
    m.setProcessWatchers(1);
    m.setProcessWatchers(m.processWatchers() - 1);
    m.setProcessWatchers(m.processWatchers() - 1);  // one disappearance too many
    EXPECT_EQ(m.processWatchers(), 0);
    m.setProcessWatchers(m.processWatchers() + 1);
    EXPECT_EQ(m.processWatchers(), 1);
    settle(m);
}

TEST(Monitor, OneBluetoothQueryAtATime) {
    Machine machine;
    const auto go = machine.tools / "go";
    machine.fakeBluetooth(go.string());
    Monitor m(machine.tree.roots());
    for (int i = 0; i < 10; ++i) {
        m.setProcessWatchers(1);
        m.setProcessWatchers(0);
    }
    testtree::writeFile(go, "");
    settle(m);
    EXPECT_EQ(machine.runs("bt.log"), 1);
}

TEST(Monitor, ProcessesAtMostEveryEightSeconds) {
    Machine machine;
    Monitor m(machine.tree.roots());
    m.setProcessWatchers(1);
    settle(m);
    EXPECT_EQ(machine.runs("top.log"), 1);
    for (int expected : {1, 1, 1, 2, 2, 2, 2, 3}) {
        machine.tick();
        settle(m);
        EXPECT_EQ(machine.runs("top.log"), expected);
    }
}

TEST(Monitor, RatesFromTheMonotonicClock) {
    Machine machine;
    Monitor m(machine.tree.roots());
    m.setMenuBarMetrics({MenuBarMetric::network});
    machine.tick();
    // Two samples 0.1 s apart count as half a second apart.
    machine.set(0, 100, 1000);
    machine.clock.advance(100ms);
    m.setProcessWatchers(1);
    EXPECT_DOUBLE_EQ(m.download(), 2000.0);
    EXPECT_DOUBLE_EQ(m.upload(), 2000.0);
    EXPECT_EQ(m.diskRead(), 0);  // the first watched tick only records the disk counters

    machine.set(0, 100, 1000 + 512 * 8);
    machine.tick();  // 1.9 s after the watcher's sample
    EXPECT_DOUBLE_EQ(m.diskRead(), 512 * 8 / 1.9);
    // Counters that went back (an interface reset, a disk detached) give 0, never a negative rate.
    machine.set(0, 100, 0);
    machine.tick();
    EXPECT_EQ(m.download(), 0);
    EXPECT_EQ(m.diskWrite(), 0);
    settle(m);
}

TEST(Monitor, HistoriesKeepTheLastForty) {
    Machine machine;
    Monitor m(machine.tree.roots());
    m.setProcessWatchers(1);
    for (uint64_t i = 1; i <= 41; ++i) {
        machine.set(i * i, i * i + 100 * i, 1000 * i, 1000 + i);
        machine.tick();
        settle(m);
    }
    for (const auto* history : {&m.cpuHistory(), &m.memoryHistory(), &m.networkHistory(), &m.gpuHistory()})
        EXPECT_EQ(history->size(), Monitor::historyLength);
    // Oldest dropped first: the newest memory share is the last tick's.
    EXPECT_DOUBLE_EQ(m.memoryHistory().back(), (1000.0 + 41) / 4000);
    EXPECT_DOUBLE_EQ(m.memoryHistory().front(), (1000.0 + 2) / 4000);
}

TEST(Monitor, DiskSpaceEveryThirtySecondsUnwatchedTenWatched) {
    Machine machine;
    // The home folder goes missing and comes back: only a new measurement shows it.
    auto gone = std::make_unique<testtree::ScopedEnv>("HOME", "/nonexistent/home");
    Monitor m(machine.tree.roots());
    settle(m);
    EXPECT_EQ(m.disk().total, 0);
    gone.reset();
    for (int tick = 1; tick <= 15; ++tick) {
        machine.tick();
        settle(m);
        EXPECT_EQ(m.disk().total > 0, tick == 15) << tick;
    }
    gone = std::make_unique<testtree::ScopedEnv>("HOME", "/nonexistent/home");
    m.setProcessWatchers(1);  // the 0th slow tick of a watch period
    settle(m);
    EXPECT_EQ(m.disk().total, 0);
    gone.reset();
    for (int tick = 1; tick <= 5; ++tick) {
        machine.tick();
        settle(m);
        EXPECT_EQ(m.disk().total > 0, tick == 5) << tick;
    }
}

TEST(Monitor, HealthScore) {
    using Sensors::ThermalState;
    struct Case {
        const char* name;
        Sensors::DiskSpace disk;
        int pressure;
        double cpu;
        ThermalState thermal;
        int score;
    } cases[] = {
        {"halfFullNominal", {1000, 200, 200}, 1, 0.2, ThermalState::nominal, 80},
        {"halfFullFair", {1000, 200, 200}, 1, 0.2, ThermalState::fair, 76},
        {"idleAndCool", {1000, 900, 900}, 1, 0.0, ThermalState::nominal, 100},
        {"fullDisk", {1000, 0, 0}, 1, 0.0, ThermalState::nominal, 60},
        {"unknownDisk", {0, 0, 0}, 0, 0.0, ThermalState::nominal, 100},
        {"everythingBad", {1000, 0, 0}, 4, 1.0, ThermalState::critical, 7},
        {"elevatedPressureBusy", {1000, 400, 400}, 2, 0.85, ThermalState::serious, 70},
        // 70 % of the blocks are in use or reserved; a quarter of what the user can have is used.
        {"reserveIsNotFullness", {1000, 300, 900}, 1, 0.0, ThermalState::nominal, 100},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Monitor::healthScore(c.disk, {0, 1, 0, c.pressure}, c.cpu, c.thermal), c.score) << c.name;
}

TEST(Monitor, FormattedRate) {
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {1200000, "1.2 MB/s"}, {0, "0 bytes/s"}, {-1, "0 bytes/s"}, {std::nan(""), "0 bytes/s"},
        {INFINITY, "0 bytes/s"}, {1e300, "4.61 EB/s"}, {999.9, "999 bytes/s"},
    };
    for (const auto& c : cases) EXPECT_EQ(formattedRate(c.value), QString(c.text)) << c.value;
}
