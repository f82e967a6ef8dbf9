#include "Sensors/SystemInfo.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>

#include "Sensors/KernelText.h"

namespace Sensors {
using namespace KernelText;
namespace fs = std::filesystem;

namespace {
bool startsWith(const std::string& s, std::string_view prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

ThermalState zoneState(const fs::path& zone) {
    ThermalState state = ThermalState::nominal;
    const auto temp = readInt(zone / "temp");
    if (!temp) return state;
    for (const auto& name : list(zone)) {
        // trip_point_N_type beside trip_point_N_temp, in millidegrees.
        if (!startsWith(name, "trip_point_") || name.size() < 5 || name.compare(name.size() - 5, 5, "_type") != 0)
            continue;
        const std::string stem = name.substr(0, name.size() - 5);
        const auto trip = readInt(zone / (stem + "_temp"));
        if (!trip || *trip <= 0 || *temp < *trip) continue;
        const std::string type = readLine(zone / name).value_or("");
        const ThermalState reached = type == "critical" ? ThermalState::critical
                                     : type == "hot"    ? ThermalState::serious
                                     : type == "passive" ? ThermalState::fair
                                                         : ThermalState::nominal;
        state = std::max(state, reached);
    }
    return state;
}

ThermalState hwmonState(const fs::path& chip) {
    ThermalState state = ThermalState::nominal;
    constexpr int64_t warmMargin = 10000;  // millidegrees below the chip's own high mark
    for (const auto& name : list(chip)) {
        if (!startsWith(name, "temp") || name.size() < 7 || name.compare(name.size() - 6, 6, "_input") != 0) continue;
        const std::string stem = name.substr(0, name.size() - 6);
        const auto input = readInt(chip / name);
        if (!input) continue;
        const auto crit = readInt(chip / (stem + "_crit")), max = readInt(chip / (stem + "_max"));
        if (crit && *crit > 0 && *input >= *crit) state = std::max(state, ThermalState::critical);
        else if (max && *max > 0 && *input >= *max) state = std::max(state, ThermalState::serious);
        else if (max && *max > warmMargin && *input >= *max - warmMargin) state = std::max(state, ThermalState::fair);
    }
    return state;
}
}  // namespace

ThermalState thermalState(const Roots& roots) {
    ThermalState state = ThermalState::nominal;
    const fs::path thermal = roots.sys / "class/thermal";
    for (const auto& name : list(thermal)) {
        if (startsWith(name, "thermal_zone")) {
            state = std::max(state, zoneState(thermal / name));
        } else if (startsWith(name, "cooling_device")) {
            // A processor cooling device in use means the processor is being slowed to shed heat.
            if (readLine(thermal / name / "type").value_or("") == "Processor" &&
                readInt(thermal / name / "cur_state").value_or(0) > 0)
                state = std::max(state, ThermalState::serious);
        }
    }
    const fs::path hwmon = roots.sys / "class/hwmon";
    for (const auto& name : list(hwmon)) state = std::max(state, hwmonState(hwmon / name));
    return state;
}

OSVersion osVersion(const Roots& roots) {
    OSVersion v;
    const auto text = read(roots.etc / "os-release");
    if (!text) return v;
    const auto value = [](std::string_view raw) {
        raw = trim(raw);
        if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front())
            raw = raw.substr(1, raw.size() - 2);
        std::string out;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 1 < raw.size()) ++i;
            out += raw[i];
        }
        return out;
    };
    forEachLine(*text, [&](std::string_view line) {
        if (line.substr(0, 5) == "NAME=") v.name = value(line.substr(5));
        else if (line.substr(0, 11) == "VERSION_ID=") {
            const std::string id = value(line.substr(11));
            v.majorVersion = id.substr(0, id.find('.'));
        }
    });
    return v;
}

std::optional<double> uptime(const Roots& roots) {
    const auto text = read(roots.proc / "uptime");
    if (!text) return std::nullopt;
    const auto f = fields(*text);
    if (f.empty()) return std::nullopt;
    const auto seconds = toDouble(f[0]);
    if (!seconds || *seconds < 0) return std::nullopt;
    return seconds;
}

int processorCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0) {
        const int n = CPU_COUNT(&set);
        if (n > 0) return n;
    }
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? int(online) : 1;
}

}  // namespace Sensors
