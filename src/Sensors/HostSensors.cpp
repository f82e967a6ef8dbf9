#include "Sensors/HostSensors.h"

#include <sys/statvfs.h>

#include <algorithm>

#include "Sensors/KernelText.h"

namespace Sensors {
using namespace KernelText;

std::vector<CPUTicks> cpuTicks(const Roots& roots) {
    std::vector<CPUTicks> out;
    const auto text = read(roots.proc / "stat");
    if (!text) return out;
    forEachLine(*text, [&](std::string_view line) {
        // "cpuN user nice system idle iowait irq softirq steal guest guest_nice"; guest time
        // is already inside user.
        if (line.size() < 4 || line.substr(0, 3) != "cpu" || line[3] < '0' || line[3] > '9') return;
        const auto f = fields(line);
        uint64_t v[8] = {};
        for (size_t i = 0; i < 8 && i + 1 < f.size(); ++i) v[i] = toUnsigned(f[i + 1]).value_or(0);
        CPUTicks t;
        t.user = v[0];
        t.nice = v[1];
        t.system = saturatingAdd(saturatingAdd(v[2], v[5]), saturatingAdd(v[6], v[7]));
        t.idle = saturatingAdd(v[3], v[4]);
        out.push_back(t);
    });
    return out;
}

std::optional<double> cpuUsage(const std::vector<CPUTicks>& from, const std::vector<CPUTicks>& to) {
    if (from.size() != to.size() || from.empty()) return std::nullopt;
    // In doubles: the sums cannot overflow, and the ratio needs no more precision.
    double busy = 0, total = 0;
    for (size_t i = 0; i < from.size(); ++i) {
        const double b = double(advance(from[i].user, to[i].user)) + double(advance(from[i].system, to[i].system)) +
                         double(advance(from[i].nice, to[i].nice));
        busy += b;
        total += b + double(advance(from[i].idle, to[i].idle));
    }
    if (total <= 0) return std::nullopt;
    return busy / total;
}

namespace {
// The memory-pressure level from the kernel's stall figures: the share of the last
// ten seconds in which some or all tasks waited for memory.
int pressureLevel(const Roots& roots) {
    const auto text = read(roots.proc / "pressure/memory");
    if (!text) return 0;
    std::optional<double> some, full;
    forEachLine(*text, [&](std::string_view line) {
        const auto f = fields(line);
        if (f.size() < 2 || f[1].substr(0, 6) != "avg10=") return;
        const auto v = toDouble(f[1].substr(6));
        if (f[0] == "some") some = v;
        else if (f[0] == "full") full = v;
    });
    if (!some && !full) return 0;
    if (full.value_or(0) >= 10 || some.value_or(0) >= 40) return 4;
    if (some.value_or(0) >= 10) return 2;
    return 1;
}
}  // namespace

Memory memory(const Roots& roots) {
    Memory m;
    if (const auto text = read(roots.proc / "meminfo")) {
        std::optional<int64_t> total, available, swapTotal, swapFree;
        forEachLine(*text, [&](std::string_view line) {
            const auto f = fields(line);
            if (f.size() < 2) return;
            const auto kib = toInt(f[1]);
            if (!kib || *kib < 0) return;
            const int64_t bytes = saturatingMultiply(*kib, 1024);
            if (f[0] == "MemTotal:") total = bytes;
            else if (f[0] == "MemAvailable:") available = bytes;
            else if (f[0] == "SwapTotal:") swapTotal = bytes;
            else if (f[0] == "SwapFree:") swapFree = bytes;
        });
        m.total = total.value_or(0);
        if (total && available) m.used = std::max<int64_t>(0, *total - *available);
        if (swapTotal && swapFree) m.swap = std::max<int64_t>(0, *swapTotal - *swapFree);
    }
    m.pressure = pressureLevel(roots);
    return m;
}

std::optional<double> gpuUsage(const Roots& roots) {
    std::optional<double> best;
    const auto drm = roots.sys / "class/drm";
    for (const auto& name : list(drm)) {
        // card0, card1 …; card0-DP-1 and the like are connectors.
        if (name.size() < 5 || name.compare(0, 4, "card") != 0 ||
            !std::all_of(name.begin() + 4, name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const auto percent = readInt(drm / name / "device/gpu_busy_percent");
        if (!percent || *percent < 0) continue;
        const double v = double(*percent) / 100.0;
        if (!best || v > *best) best = v;
    }
    return best;
}

std::optional<int> gpuCores(const Roots&) { return std::nullopt; }

std::string chipName(const Roots& roots) {
    std::string name;
    if (const auto text = read(roots.proc / "cpuinfo")) {
        forEachLine(*text, [&](std::string_view line) {
            if (!name.empty() || line.substr(0, 10) != "model name") return;
            const size_t colon = line.find(':');
            if (colon != std::string_view::npos) name = std::string(trim(line.substr(colon + 1)));
        });
    }
    if (name.empty()) {
        // Arm boards name the machine in the device tree, NUL-terminated.
        if (const auto model = read(roots.sys / "firmware/devicetree/base/model"))
            name = std::string(trim(std::string_view(model->c_str())));
    }
    for (size_t at; (at = name.find("Apple ")) != std::string::npos;) name.erase(at, 6);
    return name;
}

DiskIO diskIO(const Roots& roots) {
    DiskIO io;
    const auto text = read(roots.proc / "diskstats");
    if (!text) return io;
    forEachLine(*text, [&](std::string_view line) {
        // major minor name reads merged sectors ms writes merged sectors …
        const auto f = fields(line);
        if (f.size() < 10) return;
        std::string block(f[2]);
        std::replace(block.begin(), block.end(), '/', '!');
        // Only whole disks backed by a device: partitions, loop, zram, dm and md have none.
        if (!present(roots.sys / "block" / block / "device")) return;
        // The kernel counts 512-byte sectors whatever the device's own sector size.
        const auto bytes = [](std::string_view sectors) {
            const uint64_t n = toUnsigned(sectors).value_or(0);
            return n > UINT64_MAX / 512 ? UINT64_MAX : n * 512;
        };
        io.read = saturatingAdd(io.read, bytes(f[5]));
        io.write = saturatingAdd(io.write, bytes(f[9]));
    });
    return io;
}

NetworkBytes networkBytes(const Roots& roots) {
    NetworkBytes n;
    const auto text = read(roots.proc / "net/dev");
    if (!text) return n;
    forEachLine(*text, [&](std::string_view line) {
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) return;
        const std::string name(trim(line.substr(0, colon)));
        const auto f = fields(line.substr(colon + 1));
        if (name.empty() || f.size() < 9) return;
        constexpr uint64_t loopback = 0x8;
        const auto flags = read(roots.sys / "class/net" / name / "flags");
        const bool isLoopback = flags ? (toUnsigned(*flags, 16).value_or(0) & loopback) != 0 : name == "lo";
        if (isLoopback) return;
        n.received = saturatingAdd(n.received, toUnsigned(f[0]).value_or(0));
        n.sent = saturatingAdd(n.sent, toUnsigned(f[8]).value_or(0));
    });
    return n;
}

double loadAverage(const Roots& roots) {
    const auto text = read(roots.proc / "loadavg");
    if (!text) return 0.0;
    const auto f = fields(*text);
    return f.empty() ? 0.0 : toDouble(f[0]).value_or(0.0);
}

DiskSpace diskSpace(const std::filesystem::path& folder) {
    struct statvfs v;
    if (::statvfs(folder.c_str(), &v) != 0) return {};
    const auto size = [&](unsigned long long blocks) {
        return saturatingMultiply(int64_t(std::min<unsigned long long>(blocks, INT64_MAX)), int64_t(v.f_frsize));
    };
    return {size(v.f_blocks), size(v.f_bavail), size(v.f_bfree)};
}

int64_t DiskSpace::used() const { return total > free && free >= 0 ? total - free : 0; }

double DiskSpace::usedFraction() const {
    const __int128 whole = __int128(used()) + std::max<int64_t>(available, 0);
    return whole >= 1 ? double(used()) / double(whole) : 0.0;
}

int DiskSpace::usedPercent() const {
    const __int128 whole = __int128(used()) + std::max<int64_t>(available, 0);
    if (whole < 1) return 0;
    return int((__int128(used()) * 100 + whole - 1) / whole);
}

}  // namespace Sensors
