#include "Sensors/PowerSensors.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <map>

#include "Sensors/KernelText.h"

namespace Sensors {
using namespace KernelText;
namespace fs = std::filesystem;

namespace {
// One entry of /sys/class/power_supply.
struct Supply {
    fs::path dir;
    std::optional<int64_t> number(const char* attribute) const { return readInt(dir / attribute); }
    std::string text(const char* attribute) const { return readLine(dir / attribute).value_or(""); }
    // Device-scope supplies are the batteries of attached accessories.
    bool ofDevice() const { return text("scope") == "Device"; }
};

std::vector<Supply> supplies(const Roots& roots) {
    std::vector<Supply> out;
    const fs::path base = roots.sys / "class/power_supply";
    for (const auto& name : list(base)) out.push_back({base / name});
    return out;
}

// a × 100 ÷ b in 64 bits, or nothing when b is below 1.
std::optional<int64_t> percentOf(std::optional<int64_t> a, std::optional<int64_t> b) {
    if (!a || !b || *b < 1) return std::nullopt;
    return saturatingMultiply(*a, 100) / *b;
}

std::optional<int> clampedInt(std::optional<int64_t> v) {
    if (!v) return std::nullopt;
    return int(std::clamp<int64_t>(*v, INT32_MIN, INT32_MAX));
}
}  // namespace

std::optional<Battery> battery(const Roots& roots) {
    const auto all = supplies(roots);
    const Supply* internal = nullptr;
    for (const auto& s : all)
        if (s.text("type") == "Battery" && !s.ofDevice()) {
            internal = &s;
            break;
        }
    if (!internal) return std::nullopt;
    const Supply& b = *internal;
    Battery out;

    const auto energyNow = b.number("energy_now"), energyFull = b.number("energy_full");
    const auto chargeNow = b.number("charge_now"), chargeFull = b.number("charge_full");
    if (const auto capacity = b.number("capacity")) out.percent = *clampedInt(capacity);
    else if (const auto p = percentOf(energyNow, energyFull)) out.percent = *clampedInt(p);
    else if (const auto q = percentOf(chargeNow, chargeFull)) out.percent = *clampedInt(q);

    const std::string status = b.text("status");
    out.charging = status == "Charging";
    // On mains when any external supply is online; a machine that names none still
    // says so through the battery's state.
    bool anyExternal = false;
    for (const auto& s : all) {
        if (s.text("type") == "Battery" || s.ofDevice()) continue;
        anyExternal = true;
        if (s.number("online").value_or(0) == 1) out.pluggedIn = true;
    }
    if (!anyExternal) out.pluggedIn = status == "Charging" || status == "Full" || status == "Not charging";

    if (!out.pluggedIn) {
        std::optional<int64_t> minutes;
        if (const auto seconds = b.number("time_to_empty_now")) minutes = *seconds / 60;
        else if (const auto power = b.number("power_now"); energyNow && power && std::llabs(*power) > 0)
            minutes = saturatingMultiply(*energyNow, 60) / std::llabs(*power);
        else if (const auto current = b.number("current_now"); chargeNow && current && std::llabs(*current) > 0)
            minutes = saturatingMultiply(*chargeNow, 60) / std::llabs(*current);
        if (minutes && *minutes >= 1) out.minutesLeft = clampedInt(minutes);
    }

    out.cycles = clampedInt(b.number("cycle_count"));
    auto health = percentOf(energyFull, b.number("energy_full_design"));
    if (!health) health = percentOf(chargeFull, b.number("charge_full_design"));
    if (health) out.health = int(std::clamp<int64_t>(*health, 0, 100));
    if (const auto tenths = b.number("temp")) out.temperature = double(*tenths) / 10.0;

    // The rated power of an online adapter that reports it (USB power delivery):
    // microvolts × microamperes.
    for (const auto& s : all) {
        if (s.text("type") == "Battery" || s.ofDevice() || s.number("online").value_or(0) != 1) continue;
        const auto volts = s.number("voltage_max"), amps = s.number("current_max");
        if (volts && amps && *volts > 0 && *amps > 0) {
            out.adapterWatts = int(std::min(double(*volts) * double(*amps) / 1e12, double(INT32_MAX)));
            break;
        }
    }
    return out;
}

std::vector<Level> accessories(const Roots& roots) {
    std::map<std::string, int> byName;  // byte order, as a plain (not locale-aware) sort gives
    for (const auto& s : supplies(roots)) {
        if (!s.ofDevice()) continue;
        const std::string name = s.text("model_name");
        const auto percent = s.number("capacity");
        if (name.empty() || !percent) continue;
        byName[name] = *clampedInt(percent);
    }
    std::vector<Level> out;
    for (auto& [name, percent] : byName) out.push_back({name, percent});
    return out;
}

namespace {
// The interface of the default route with the lowest metric, IPv4 first.
std::optional<std::string> primaryInterface(const Roots& roots) {
    constexpr uint64_t up = 0x1, reject = 0x200;
    std::optional<std::string> best;
    uint64_t bestMetric = UINT64_MAX;
    if (const auto text = read(roots.proc / "net/route")) {
        // Iface Destination Gateway Flags RefCnt Use Metric Mask …
        forEachLine(*text, [&](std::string_view line) {
            const auto f = fields(line);
            if (f.size() < 8 || f[1] != "00000000" || f[7] != "00000000") return;
            const auto flags = toUnsigned(f[3], 16), metric = toUnsigned(f[6]);
            if (!flags || !(*flags & up) || !metric || *metric >= bestMetric) return;
            best = std::string(f[0]);
            bestMetric = *metric;
        });
    }
    if (best) return best;
    if (const auto text = read(roots.proc / "net/ipv6_route")) {
        // destination length source length next-hop metric refcount use flags interface
        forEachLine(*text, [&](std::string_view line) {
            const auto f = fields(line);
            if (f.size() < 10 || f[0] != std::string(32, '0') || f[1] != "00") return;
            const auto flags = toUnsigned(f[8], 16), metric = toUnsigned(f[5], 16);
            if (!flags || !(*flags & up) || (*flags & reject) || f[9] == "lo" || !metric || *metric >= bestMetric)
                return;
            best = std::string(f[9]);
            bestMetric = *metric;
        });
    }
    return best;
}
}  // namespace

std::optional<std::string> connectionKind(const Roots& roots) {
    const auto name = primaryInterface(roots);
    if (!name) return std::nullopt;
    const fs::path dev = roots.sys / "class/net" / *name;
    if (present(dev / "wireless") || present(dev / "phy80211")) return "Wi-Fi";
    // Wired interfaces are "en…" under predictable naming and "eth…" under the kernel's own.
    if (name->rfind("en", 0) == 0 || name->rfind("eth", 0) == 0) return "Ethernet";
    return name;
}

}  // namespace Sensors
