#pragma once
// Simulated controllers and fixture /sys trees for the fan and temperature tests.
#include <filesystem>
#include <string>

#include "Sensors/Fans/SimulatedSmc.h"
#include "Support/TestTree.h"

namespace fanfixture {
namespace fs = std::filesystem;

inline SimulatedSmc::Key key(const std::string& name, const std::string& type, double number, uint32_t size = 0) {
    std::string t = type;
    t.resize(4, ' ');
    const uint32_t n = size ? size : t == "flt " ? 4 : (t == "ui8 " ? 1 : 2);
    return {name, t, Smc::encode(t, n, number).value_or(std::vector<uint8_t>(n, 0))};
}

struct FanSpec {
    double min = 1200, max = 5000, actual = 1500;
};

// `count` controllable fans with "FNum", each with Ac, Mn, Mx, Tg (fpe2) and a mode key (ui8).
inline SimulatedSmc::Table fans(int count, FanSpec spec = {}, const std::string& modeSuffix = "md") {
    SimulatedSmc::Table t;
    t.keys.push_back(key("FNum", "ui8", count));
    for (int i = 0; i < count; ++i) {
        const std::string f = "F" + std::to_string(i);
        t.keys.push_back(key(f + "Ac", "fpe2", spec.actual));
        t.keys.push_back(key(f + "Mn", "fpe2", spec.min));
        t.keys.push_back(key(f + "Mx", "fpe2", spec.max));
        t.keys.push_back(key(f + "Tg", "fpe2", 0));
        t.keys.push_back(key(f + modeSuffix, "ui8", 0));
    }
    return t;
}

// The number a key holds in the simulated controller's file, or -1 when it is absent.
inline double number(const fs::path& file, const std::string& name) {
    auto table = SimulatedSmc::load(file);
    const auto* k = table ? table->find(name) : nullptr;
    if (!k) return -1;
    return Smc::decode(k->type, k->bytes.data(), static_cast<uint32_t>(k->bytes.size())).value_or(-1);
}

}  // namespace fanfixture
