#include "Sensors/Temperatures/TemperatureReader.h"

#include <unistd.h>

#include <algorithm>

#include "Platform/FileOps.h"
#include "Sensors/Hwmon.h"
#include "Sensors/KernelText.h"

namespace fs = std::filesystem;

namespace {
// Drivers whose temperatures are the processor's or the graphics processor's own.
constexpr const char* kCpuDrivers[] = {"coretemp", "k10temp", "zenpower", "cpu_thermal"};
constexpr const char* kGpuDrivers[] = {"amdgpu", "radeon", "nouveau", "xe"};

bool oneOf(const std::string& name, const auto& list) {
    return std::find(std::begin(list), std::end(list), name) != std::end(list);
}

// The product name a temperature is read under: "CPU <label>" or "GPU <label>",
// so the classifier counts it; empty for a sensor that counts for neither.
std::string product(const std::string& driver, const std::string& label) {
    if (oneOf(driver, kCpuDrivers)) return "CPU " + label;
    if (oneOf(driver, kGpuDrivers)) return "GPU " + label;
    // The Apple controller labels its sensors by key: TC… processor, TG… graphics.
    if (driver == "applesmc" && label.rfind("TC", 0) == 0) return "CPU " + label;
    if (driver == "applesmc" && label.rfind("TG", 0) == 0) return "GPU " + label;
    return {};
}
}  // namespace

TemperatureReader::TemperatureReader(const Sensors::Roots& roots) {
    for (const auto& chip : Hwmon::chips(roots)) {
        std::vector<std::pair<std::string, fs::path>> found;
        for (int n : Hwmon::indices(chip.dir, "temp", "_input")) {
            const std::string stem = "temp" + std::to_string(n);
            const std::string label = Sensors::KernelText::readLine(chip.dir / (stem + "_label")).value_or(stem);
            found.emplace_back(label, chip.dir / (stem + "_input"));
        }
        // k10temp's control temperature carries an offset on some parts; the die's own readings are better.
        if (chip.name == "k10temp" &&
            std::any_of(found.begin(), found.end(), [](const auto& f) { return f.first != "Tctl"; }))
            std::erase_if(found, [](const auto& f) { return f.first == "Tctl"; });
        for (const auto& [label, input] : found) {
            const std::string name = product(chip.name, label);
            if (name.empty()) continue;
            const int fd = Platform::FileOps::openRegular(input).release();
            if (fd >= 0) sensors_.push_back({name, fd});
        }
    }
}

TemperatureReader::~TemperatureReader() {
    for (const auto& s : sensors_) ::close(s.fd);
}

TemperatureReader::TemperatureReader(TemperatureReader&& other) noexcept : sensors_(std::move(other.sensors_)) {
    other.sensors_.clear();
}

TemperatureReader& TemperatureReader::operator=(TemperatureReader&& other) noexcept {
    if (this != &other) {
        for (const auto& s : sensors_) ::close(s.fd);
        sensors_ = std::move(other.sensors_);
        other.sensors_.clear();
    }
    return *this;
}

std::optional<TemperatureReader::Side> TemperatureReader::classify(const std::string& product) {
    if (product.find("GPU") != std::string::npos) return Side::gpu;
    for (const char* word : {"tdie", "pACC", "eACC", "CPU", "SOC MTR"})
        if (product.find(word) != std::string::npos) return Side::cpu;
    return std::nullopt;
}

TemperatureReader::Reading TemperatureReader::read() const {
    double sum[2] = {0, 0};
    int count[2] = {0, 0};
    for (const auto& s : sensors_) {
        const auto milli = Hwmon::readInteger(s.fd);
        if (!milli) continue;
        const double v = static_cast<double>(*milli) / 1000.0;
        const auto side = classify(s.product);
        if (!(v > 5.0 && v < 130.0) || !side) continue;
        const int i = *side == Side::gpu ? 1 : 0;
        sum[i] += v;
        ++count[i];
    }
    Reading r;
    if (count[0]) r.cpu = sum[0] / count[0];
    if (count[1]) r.gpu = sum[1] / count[1];
    return r;
}
