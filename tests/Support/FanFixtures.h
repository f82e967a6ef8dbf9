#pragma once
// Simulated controllers and fixture /sys trees for the fan and temperature tests.
#include <dirent.h>
#include <poll.h>
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
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

// A folder for the test build of the fan tool (QUELTO_FAN_TEST_ROOT): the simulated
// controller "smc", the fixture "sys" and "run", where the tool makes its token folder.
class SimRoot {
public:
    explicit SimRoot(const SimulatedSmc::Table& table) {
        fs::create_directories(dir_ / "run");
        fs::create_directories(dir_ / "sys");
        SimulatedSmc::store(smc(), table);
    }
    const fs::path& path() const { return dir_.path(); }
    fs::path smc() const { return dir_ / "smc"; }
    fs::path tokenFolder() const { return dir_ / "run/quelto"; }
    fs::path token(pid_t pid) const { return tokenFolder() / ("quelto-fan-" + std::to_string(pid) + ".token"); }
    std::string environment() const { return "QUELTO_FAN_TEST_ROOT=" + dir_.path().string(); }
    double number(const std::string& key) const { return fanfixture::number(smc(), key); }
    // Every fan's mode key, in fan order.
    std::vector<double> modes(int count = 2) const {
        std::vector<double> out;
        for (int i = 0; i < count; ++i) out.push_back(number("F" + std::to_string(i) + "md"));
        return out;
    }

private:
    testtree::TempDir dir_;
};

// Polls `done` every 10 ms until it holds or `limit` has passed; whether it held.
inline bool eventually(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        ::poll(nullptr, 0, 10);
    }
    return true;
}

// The running fan watcher holding `token`, found through /proc.
inline std::optional<pid_t> watcherOf(const std::string& token) {
    DIR* d = ::opendir("/proc");
    if (!d) return std::nullopt;
    std::optional<pid_t> found;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string cmdline = testtree::readFile("/proc/" + name + "/cmdline");
        const std::string stat = testtree::readFile("/proc/" + name + "/stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos || stat.compare(close + 2, 1, "Z") == 0) continue;
        if (cmdline.find(std::string("\0watch\0", 7)) != std::string::npos &&
            cmdline.find(std::string(1, '\0') + token) != std::string::npos)
            found = static_cast<pid_t>(std::stol(name));
    }
    ::closedir(d);
    return found;
}

inline bool running(pid_t pid) {
    const std::string stat = testtree::readFile("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    return close != std::string::npos && stat.compare(close + 2, 1, "Z") != 0;
}
}  // namespace fanfixture
