#pragma once
// A machine laid out in a fixture tree, read by a fresh application state on
// stepped clocks, with a fake `top` that logs every run and settings over their
// own file.
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "Models/Settings/Preferences.h"
#include "Models/Window/AppState.h"
#include "Platform/Programs.h"
#include "Platform/UserDefaults.h"
#include "Sensors/SensorTree.h"
#include "Support/QtTestSupport.h"
#include "Support/SteppedTime.h"
#include "Support/TestTree.h"

struct StatusScene {
    struct Machine {
        bool battery = false;
        int accessories = 0;  // up to three: a keyboard, a trackpad, a mouse (listed by name)
        int fans = 0;         // on the Apple controller's driver
    };

    steppedtime::Clocks clocks;
    SensorTree tree;
    testtree::TempDir tools;
    QTemporaryDir dir;
    std::unique_ptr<Platform::UserDefaults> defaults;
    std::unique_ptr<Preferences> prefs;
    std::unique_ptr<AppState> state;
    qttest::FakeLoginItem login;
    uint64_t busy = 0, idle = 0, bytes = 0;

    explicit StatusScene(Machine m) {
        tree.put("proc/loadavg", "2.41 1.90 1.20 2/640 4242\n");
        tree.put("proc/uptime", "277560.31 1800000.00\n");
        tree.put("proc/cpuinfo", "processor\t: 0\nmodel name\t: AMD Ryzen 7 7840U w/ Radeon 780M Graphics\n");
        tree.put("proc/pressure/memory", "some avg10=0.00 avg60=0.00 avg300=0.00 total=0\nfull avg10=0.00 avg60=0.00 avg300=0.00 total=0\n");
        tree.put("proc/net/route", "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\n"
                                   "wlan0\t00000000\t0100A8C0\t0003\t0\t0\t600\t00000000\n");
        tree.put("etc/os-release", "NAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\n");
        tree.folder("sys/class/net/wlan0/wireless").folder("sys/block/nvme0n1/device");
        tree.attributes("sys/class/hwmon/hwmon0", {{"name", "k10temp"}, {"temp1_input", "52500"}, {"temp1_label", "Tctl"}});
        tree.attributes("sys/class/hwmon/hwmon2", {{"name", "amdgpu"}, {"temp1_input", "47000"}, {"temp1_label", "edge"}});
        tree.put("sys/class/drm/card0/device/gpu_busy_percent", "12\n");
        if (m.battery) addBattery();
        addAccessories(m.accessories);
        if (m.fans > 0) {
            tree.attributes("sys/devices/platform/applesmc.768", {{"name", "applesmc"}});
            for (int f = 1; f <= m.fans; ++f) {
                const std::string n = "fan" + std::to_string(f);
                tree.attributes("sys/devices/platform/applesmc.768",
                                {{n + "_input", f == 1 ? "2212" : "1980"}, {n + "_min", "1200"}, {n + "_max", "5200"},
                                 {n + "_output", "1200"}, {n + "_manual", "0"}});
            }
            tree.folder("sys/class/hwmon/hwmon1");
            std::filesystem::create_directory_symlink(tree.path() / "sys/devices/platform/applesmc.768",
                                                      tree.path() / "sys/class/hwmon/hwmon1/device");
        }
        set(10, 90, 0);
        tree.put("proc/meminfo", "MemTotal: 16777216 kB\nMemAvailable: 6977216 kB\nSwapTotal: 2097152 kB\nSwapFree: 1835008 kB\n");
        Platform::Programs::setPathForTesting(Platform::Program::top, fakeTop());
        Platform::Programs::setPathForTesting(Platform::Program::systemProfiler, (tools / "absent").string());
        defaults = std::make_unique<Platform::UserDefaults>(pathFromQString(dir.path() + "/Quelto.plist"));
        prefs = std::make_unique<Preferences>(*defaults);
        state = std::make_unique<AppState>(tree.roots());
    }
    ~StatusScene() { Platform::Programs::resetForTesting(); }

    // A battery charging from a 96 W adapter.
    void addBattery() {
        tree.attributes("sys/class/power_supply/BAT0",
                        {{"type", "Battery"}, {"status", "Charging"}, {"capacity", "82"}, {"cycle_count", "812"},
                         {"energy_full", "46000000"}, {"energy_full_design", "50000000"}, {"temp", "305"}});
        tree.attributes("sys/class/power_supply/ucsi-source-psy-USBC000:001",
                        {{"type", "USB"}, {"online", "1"}, {"voltage_max", "20000000"}, {"current_max", "4800000"}});
    }
    // Up to three accessories, in this order: a keyboard, a trackpad, a mouse.
    void addAccessories(int count) {
        const char* accessories[][2] = {{"Magic Keyboard", "71"}, {"Magic Trackpad", "15"}, {"Magic Mouse", "48"}};
        for (int i = 0; i < count && i < 3; ++i)
            tree.attributes("sys/class/power_supply/hid-" + std::to_string(i) + "-battery",
                            {{"scope", "Device"}, {"model_name", accessories[i][0]}, {"capacity", accessories[i][1]}});
    }
    // Takes every battery, adapter and accessory away.
    void removePowerSupplies() { std::filesystem::remove_all(tree.path() / "sys/class/power_supply"); }

    // One tick of the monitor after a stretch of the given load (0-1) and traffic.
    void tick(double load, uint64_t traffic) {
        set(busy + uint64_t(load * 200), idle + uint64_t((1 - load) * 200), bytes + traffic);
        clocks.advance(std::chrono::duration<double>(Monitor::tick).count());
    }
    // A minute of work: the processor busy in waves, the network in bursts.
    void warmUp() {
        for (int i = 0; i < 30; ++i) {
            tick(0.25 + 0.2 * std::sin(i * 0.7) + (i % 7 == 3 ? 0.3 : 0.0), uint64_t(2'000'000 * (1.2 + std::sin(i * 0.9))));
            QCoreApplication::processEvents();
        }
        ASSERT_TRUE(settled(state->monitor()));
        QCoreApplication::processEvents();
    }
    // Once the monitor's first disk measure and process sample are in.
    static bool settled(const Monitor& m) {
        return qttest::until([&] { return !m.measuringDisk() && !m.samplingProcesses() && !m.processes().empty(); });
    }
    int topRuns() const {
        const std::string text = testtree::readFile(tools / "top.log");
        return int(std::count(text.begin(), text.end(), '\n'));
    }

private:
    // Processor ticks spent busy and idle so far, and bytes moved on disk and network.
    void set(uint64_t busyTicks, uint64_t idleTicks, uint64_t movedBytes) {
        busy = busyTicks, idle = idleTicks, bytes = movedBytes;
        tree.put("proc/stat", "cpu0 " + std::to_string(busy) + " 0 0 " + std::to_string(idle) + " 0 0 0 0\n");
        const auto b = std::to_string(bytes);
        tree.put("proc/net/dev", "wlan0: " + b + " 0 0 0 0 0 0 0 " + std::to_string(bytes / 9) + " 0 0 0 0 0 0 0\n");
        tree.put("proc/diskstats", "259 0 nvme0n1 0 0 " + std::to_string(bytes / 2048) + " 0 0 0 " +
                                       std::to_string(bytes / 4096) + " 0 0 0 0\n");
    }
    std::string fakeTop() {
        // Twenty processes as `top` prints them, busiest first.
        const char* rows[] = {
            "4120 firefox-esr 38.2 1210M 0.0", "2210 node 21.7 412M 0.0",     "1733 Xorg 12.4 96M 0.0",
            "5120 code 9.8 688M 0.0",          "6001 gnome-shell 7.1 402M 0.0", "811 pipewire 3.3 18M 0.0",
            "5310 Electron 2.9 310M 0.0",      "912 postgres 2.2 146M 0.0",   "4401 slack 1.9 520M 0.0",
            "1 systemd 1.1 14M 0.0",           "3120 dockerd 0.9 88M 0.0",    "3340 containerd 0.8 61M 0.0",
            "7012 quelto 0.7 142M 0.0",        "502 NetworkManager 0.5 21M 0.0", "610 thermald 0.3 9M 0.0",
            "2990 tracker-miner-fs-3 0.2 74M 0.0", "820 wireplumber 0.2 17M 0.0", "455 systemd-journald 0.1 35M 0.0",
            "2211 node 0.1 96M 0.0",           "1024 sshd 0.0 7M 0.0"};
        std::string body = "echo run >> '" + (tools / "top.log").string() + "'\nprintf '%s\\n' 'PID COMMAND %CPU MEM POWER'";
        for (const char* r : rows) body += std::string(" '") + r + "'";
        body += "\n";
        return testtree::writeScript(tools / "top", body).string();
    }
};
