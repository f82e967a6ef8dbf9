#include <gtest/gtest.h>
#include <cstdio>

#include "Platform/PlatformTestSupport.h"
#include "Sensors/HostSensors.h"
#include "Sensors/SystemInfo.h"
#include "Sensors/SensorTree.h"

using Sensors::CPUTicks;

TEST(CpuUsage, FromTwoReadings) {
    const std::vector<CPUTicks> one = {{100, 50, 1000, 5}};
    struct Case {
        const char* name;
        std::vector<CPUTicks> from, to;
        std::optional<double> usage;
    } cases[] = {
        {"busyFourTenths", one, {{130, 60, 1060, 5}}, 0.4},
        {"niceCountsAsBusy", one, {{100, 50, 1000, 15}}, 1.0},
        {"differentLengths", one, {{130, 60, 1060, 5}, {1, 1, 1, 1}}, std::nullopt},
        {"empty", {}, {}, std::nullopt},
        {"nothingAdvanced", one, one, std::nullopt},
        // The kernel's per-processor iowait can go back; that must not wrap into a huge idle delta.
        {"idleWentBack", one, {{130, 50, 995, 5}}, 1.0},
        {"everyCounterWentBack", one, {{0, 0, 0, 0}}, std::nullopt},
        {"twoProcessorsPooled", {{0, 0, 0, 0}, {0, 0, 0, 0}}, {{10, 0, 90, 0}, {50, 0, 50, 0}}, 0.3},
    };
    for (const auto& c : cases) {
        const auto usage = Sensors::cpuUsage(c.from, c.to);
        ASSERT_EQ(usage.has_value(), c.usage.has_value()) << c.name;
        if (usage) {
            EXPECT_NEAR(*usage, *c.usage, 1e-12) << c.name;
        }
    }
}

TEST(CpuTicks, FoldsTheKernelStatesIntoFour) {
    SensorTree t;
    t.put("proc/stat",
          "cpu  900 90 900 9000 900 90 90 90 0 0\n"
          "cpu0 100 10 200 3000 40 5 6 7 0 0\n"
          "cpu1 1 2 3 4\n"
          "intr 12345 0 0\n"
          "ctxt 99\n");
    const auto ticks = Sensors::cpuTicks(t.roots());
    ASSERT_EQ(ticks.size(), 2u);  // the summary line is not a processor
    EXPECT_EQ(ticks[0], (CPUTicks{100, 200 + 5 + 6 + 7, 3000 + 40, 10}));
    EXPECT_EQ(ticks[1], (CPUTicks{1, 3, 4, 2}));
    EXPECT_TRUE(Sensors::cpuTicks(SensorTree().roots()).empty());
}

TEST(Memory, UsedSwapAndPressure) {
    const std::string meminfo =
        "MemTotal:        1000 kB\nMemFree:  100 kB\nMemAvailable:     400 kB\nSwapTotal: 300 kB\nSwapFree: 100 kB\n";
    struct Case {
        const char* name;
        std::string meminfo;
        std::optional<std::string> psi;
        Sensors::Memory expected;
    } cases[] = {
        {"normal", meminfo, "some avg10=0.00 avg60=0.00 avg300=0.00 total=0\nfull avg10=0.00 avg60=0 avg300=0 total=0\n",
         {600 * 1024, 1000 * 1024, 200 * 1024, 1}},
        {"noStallFigures", meminfo, std::nullopt, {600 * 1024, 1000 * 1024, 200 * 1024, 0}},
        {"someStalls", meminfo, "some avg10=12.50 avg60=1 avg300=0 total=5\nfull avg10=2.00 avg60=0 avg300=0 total=1\n",
         {600 * 1024, 1000 * 1024, 200 * 1024, 2}},
        {"manyStalls", meminfo, "some avg10=45.00 avg60=1 avg300=0 total=5\nfull avg10=2.00 avg60=0 avg300=0 total=1\n",
         {600 * 1024, 1000 * 1024, 200 * 1024, 4}},
        {"fullStalls", meminfo, "some avg10=20.00 avg60=1 avg300=0 total=5\nfull avg10=10.00 avg60=0 avg300=0 total=1\n",
         {600 * 1024, 1000 * 1024, 200 * 1024, 4}},
        // More available than installed, or more swap free than there is: never a negative (or wrapped) size.
        {"availableAboveTotal", "MemTotal: 1000 kB\nMemAvailable: 1200 kB\nSwapTotal: 0 kB\nSwapFree: 8 kB\n",
         std::nullopt, {0, 1000 * 1024, 0, 0}},
        {"noAvailableLine", "MemTotal: 1000 kB\n", std::nullopt, {0, 1000 * 1024, 0, 0}},
        {"garbage", "MemTotal: lots kB\nMemAvailable: -5 kB\n", std::nullopt, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SensorTree t;
        t.put("proc/meminfo", c.meminfo);
        if (c.psi) t.put("proc/pressure/memory", *c.psi);
        EXPECT_EQ(Sensors::memory(t.roots()), c.expected) << c.name;
    }
}

TEST(DiskIO, CountsWholeDisksOnly) {
    SensorTree t;
    t.put("proc/diskstats",
          "   7       0 loop0 500 0 1000 10 0 0 0 0 0 0 0\n"
          " 252       0 vda 9000 10 2000 300 400 50 3000 600 0 900 900\n"
          " 252       1 vda1 8000 10 1900 300 400 50 2900 600 0 900 900\n"
          " 251       0 zram0 10 0 80 0 20 0 160 0 0 0 0\n"
          " 259       0 nvme0n1 1 0 4 0 1 0 6 0 0 0 0\n"
          "   8       0 short 1 2\n");
    t.folder("sys/block/vda/device").folder("sys/block/nvme0n1/device").folder("sys/block/loop0").folder("sys/block/zram0");
    EXPECT_EQ(Sensors::diskIO(t.roots()), (Sensors::DiskIO{(2000 + 4) * 512, (3000 + 6) * 512}));
    EXPECT_EQ(Sensors::diskIO(SensorTree().roots()), Sensors::DiskIO{});
}

TEST(NetworkBytes, LeavesLoopbackOut) {
    SensorTree t;
    t.put("proc/net/dev",
          "Inter-|   Receive                                                |  Transmit\n"
          " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs drop fifo colls carrier compressed\n"
          "    lo: 5000 50 0 0 0 0 0 0 5000 50 0 0 0 0 0 0\n"
          "  eth0: 1000 10 0 0 0 0 0 0 300 3 0 0 0 0 0 0\n"
          " wlan0: 20 1 0 0 0 0 0 0 4 1 0 0 0 0 0 0\n"
          "   lo2: 7 1 0 0 0 0 0 0 7 1 0 0 0 0 0 0\n");
    t.put("sys/class/net/lo/flags", "0x9\n").put("sys/class/net/eth0/flags", "0x1003\n");
    t.put("sys/class/net/lo2/flags", "0x49\n");  // a second loopback, recognised by its flag, not its name
    EXPECT_EQ(Sensors::networkBytes(t.roots()), (Sensors::NetworkBytes{1020, 304}));
}

TEST(GpuUsage, TheBusiestCard) {
    SensorTree t;
    EXPECT_EQ(Sensors::gpuUsage(t.roots()), std::nullopt);
    t.put("sys/class/drm/card0/device/gpu_busy_percent", "30\n");
    t.put("sys/class/drm/card1/device/gpu_busy_percent", "50\n");
    t.put("sys/class/drm/card0-DP-1/device/gpu_busy_percent", "90\n");
    t.folder("sys/class/drm/card2/device");  // a driver that reports no load
    EXPECT_EQ(Sensors::gpuUsage(t.roots()), 0.5);
}

TEST(ChipName, FromTheProcessorOrTheBoard) {
    struct Case {
        const char* name;
        std::optional<std::string> cpuinfo, deviceTreeModel;
        std::string expected;
    } cases[] = {
        {"intel", "processor\t: 0\nmodel name\t: Intel(R) Xeon(R) Processor\nprocessor\t: 1\nmodel name\t: other\n",
         std::nullopt, "Intel(R) Xeon(R) Processor"},
        {"apple", "model name : Apple M2 Pro\n", std::nullopt, "M2 Pro"},
        {"armBoard", "processor : 0\nBogoMIPS : 108\n", std::string("Raspberry Pi 4 Model B\0", 23), "Raspberry Pi 4 Model B"},
        {"nothing", std::nullopt, std::nullopt, ""},
    };
    for (const auto& c : cases) {
        SensorTree t;
        if (c.cpuinfo) t.put("proc/cpuinfo", *c.cpuinfo);
        if (c.deviceTreeModel) t.put("sys/firmware/devicetree/base/model", *c.deviceTreeModel);
        EXPECT_EQ(Sensors::chipName(t.roots()), c.expected) << c.name;
    }
}

// The same readers on this machine's own /proc and /sys.
TEST(HostSensorsLive, GiveSaneValuesHere) {
    const auto ticks = Sensors::cpuTicks();
    EXPECT_GE(ticks.size(), size_t(Sensors::processorCount()));
    const auto m = Sensors::memory();
    EXPECT_GT(m.total, 0);
    EXPECT_GT(m.used, 0);
    EXPECT_LE(m.used, m.total);
    EXPECT_GE(Sensors::loadAverage(), 0.0);
    EXPECT_FALSE(Sensors::chipName().empty());

    // A file system of the test's own where it can mount one: nothing else writes to it
    // meanwhile, as others do to /tmp.
    testtree::TempDir tmp;
    const platformtest::TmpfsMount own(tmp / "own");
    const std::filesystem::path where = own.mounted() ? tmp / "own" : std::filesystem::path("/tmp");
    if (own.mounted()) testtree::writeFile(where / "data", std::string(3 << 20, 'x'));
    FILE* df = ::popen(("df -B1 --output=size,avail,used,pcent '" + where.string() + "' | tail -n 1").c_str(), "r");
    ASSERT_NE(df, nullptr);
    long long size = 0, avail = 0, used = 0;
    int percent = 0;
    const int read = std::fscanf(df, "%lld %lld %lld %d", &size, &avail, &used, &percent);
    ::pclose(df);
    ASSERT_EQ(read, 4);
    const auto space = Sensors::diskSpace(where);
    EXPECT_EQ(space.total, size);
    if (own.mounted()) {
        EXPECT_EQ(space.total, 16 << 20);
        EXPECT_EQ(space.available, avail);
        EXPECT_LE(space.available, (16 - 3) << 20);
        EXPECT_EQ(std::pair(space.used(), space.usedPercent()), std::pair(int64_t(used), percent));
    } else {
        EXPECT_NEAR(double(space.available), double(avail), 64.0 * 1024 * 1024);  // others write meanwhile
    }
    EXPECT_EQ(Sensors::diskSpace("/nonexistent/folder"), Sensors::DiskSpace{});
}

// The administrator's reserve is neither in use nor the user's to take.
TEST(DiskSpace, UseLeavesTheAdministratorsReserveOut) {
    struct Case {
        const char* name;
        Sensors::DiskSpace disk;
        int64_t used;
        double fraction;
        int percent;
    } const cases[] = {
        {"a large reserve", {270'000'000'000, 80'000'000'000, 248'000'000'000}, 22'000'000'000, 22.0 / 102, 22},
        {"no reserve", {1000, 250, 250}, 750, 0.75, 75},
        {"a sliver used rounds up", {100'000, 99'999, 99'999}, 1, 1e-5, 1},
        {"full to the user", {1000, 0, 50}, 950, 1.0, 100},
        {"unknown", {0, 0, 0}, 0, 0.0, 0},
        {"more free than the size", {100, 200, 200}, 0, 0.0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.disk.used(), c.used);
        EXPECT_DOUBLE_EQ(c.disk.usedFraction(), c.fraction);
        EXPECT_EQ(c.disk.usedPercent(), c.percent);
    }
}
