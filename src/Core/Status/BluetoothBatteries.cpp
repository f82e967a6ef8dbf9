#include "Core/Status/BluetoothBatteries.h"

#include <nlohmann/json.hpp>

#include <charconv>

#include "Core/Clean/Shell.h"
#include "Platform/Programs.h"

namespace Sensors {

std::vector<Level> bluetoothLevels(std::string_view json) {
    std::vector<Level> out;
    // Ordered: devices keep the report's order.
    const auto root = nlohmann::ordered_json::parse(json, nullptr, false);
    if (!root.is_object()) return out;
    const auto report = root.find("SPBluetoothDataType");
    if (report == root.end() || !report->is_array() || report->empty() || !(*report)[0].is_object()) return out;
    const auto connected = (*report)[0].find("device_connected");
    if (connected == (*report)[0].end() || !connected->is_array()) return out;
    for (const auto& entry : *connected) {
        if (!entry.is_object()) continue;
        for (const auto& [name, properties] : entry.items()) {
            if (!properties.is_object()) continue;
            std::optional<int> lowest;
            for (const auto& [key, value] : properties.items()) {
                if (key.find("batteryLevel") == std::string::npos) continue;
                std::string digits;
                if (value.is_string())
                    for (char c : value.get_ref<const std::string&>())
                        if (c >= '0' && c <= '9') digits += c;
                int level = 0;
                const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), level);
                if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) continue;
                if (!lowest || level < *lowest) lowest = level;
            }
            if (lowest) out.push_back({name, *lowest});
        }
    }
    return out;
}

std::vector<Level> bluetoothBatteries() {
    const auto result = Shell::run(Platform::Programs::path(Platform::Program::systemProfiler),
                                   {"SPBluetoothDataType", "-json"}, 20);
    if (result.status != 0) return {};
    return bluetoothLevels(result.output);
}

}  // namespace Sensors
