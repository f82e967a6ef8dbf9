#include "Sensors/Fans/FanReader.h"

#include <unistd.h>

#include <cstring>

namespace {
std::string fanKey(int fan, const char* suffix) { return "F" + std::to_string(fan) + suffix; }
}  // namespace

std::string FanReader::FanControlError::errorDescription() const {
    switch (kind) {
        case Kind::requiresAdministrator: return "Administrator access is required to control fans.";
        case Kind::unsupported: return "This Mac does not expose writable fan controls.";
        case Kind::smcWrite: return "macOS rejected the fan command for " + key + ".";
    }
    return {};
}

FanReader::FanReader() : FanReader(SmcConnection::open()) {}

FanReader::FanReader(std::unique_ptr<SmcConnection> connection, std::function<Sensors::ThermalState()> thermalState)
    : connection_(std::move(connection)), thermalState_(std::move(thermalState)) {}

bool FanReader::call(const std::string& key, uint8_t command, SmcRecord& output, const uint8_t* bytes,
                     uint32_t size) const {
    if (!connection_) return false;
    SmcRecord input;
    input.key = Smc::code(key);
    input.command = command;
    input.dataSize = size;
    if (bytes) std::memcpy(input.bytes, bytes, size);
    return connection_->call(input, output) && output.result == 0;
}

std::optional<FanReader::KeyInfo> FanReader::keyInfo(const std::string& key) const {
    SmcRecord out;
    if (!call(key, SmcRecord::kKeyInfo, out)) return std::nullopt;
    return KeyInfo{out.dataSize, out.dataType};
}

std::optional<double> FanReader::value(const std::string& key) const {
    const auto info = keyInfo(key);
    if (!info || info->dataSize > sizeof SmcRecord::bytes) return std::nullopt;
    SmcRecord out;
    if (!call(key, SmcRecord::kReadBytes, out, nullptr, info->dataSize)) return std::nullopt;
    const auto type = Smc::text(info->dataType);
    return type ? Smc::decode(*type, out.bytes, info->dataSize) : std::nullopt;
}

std::optional<FanReader::FanControlError> FanReader::write(const std::string& key, double number) {
    const auto info = keyInfo(key);
    if (!info || info->dataSize < 1 || info->dataSize > 32) return FanControlError{FanControlError::Kind::unsupported, {}};
    const auto type = Smc::text(info->dataType);
    // Another type, a size too small for the type, or a number with no faithful
    // encoding is refused before it reaches the controller.
    const auto bytes = type ? Smc::encode(*type, info->dataSize, number) : std::nullopt;
    SmcRecord out;
    if (!bytes || !call(key, SmcRecord::kWriteBytes, out, bytes->data(), info->dataSize))
        return FanControlError{FanControlError::Kind::smcWrite, key};
    return std::nullopt;
}

int FanReader::fanCount() const {
    if (const auto n = value("FNum"); n && *n > 0 && *n < 8) return static_cast<int>(*n);
    int count = 0;
    while (count < 8 && value(fanKey(count, "Ac"))) ++count;
    return count;
}

std::optional<std::string> FanReader::modeKey(int fan) const {
    for (const char* suffix : {"md", "Md"})
        if (keyInfo(fanKey(fan, suffix))) return fanKey(fan, suffix);
    return std::nullopt;
}

bool FanReader::isControllable() const {
    const int count = fanCount();
    if (count < 1) return false;
    for (int i = 0; i < count; ++i) {
        if (!modeKey(i) || !value(fanKey(i, "Tg"))) return false;
        const auto min = value(fanKey(i, "Mn"));
        if (!min || value(fanKey(i, "Mx")).value_or(0) <= *min) return false;
    }
    return true;
}

std::vector<FanReader::Fan> FanReader::read() const {
    std::vector<Fan> fans;
    if (!connection_) return fans;
    const int count = fanCount();
    for (int i = 0; i < count; ++i)
        if (const auto rpm = value(fanKey(i, "Ac"))) fans.push_back({*rpm, value(fanKey(i, "Mx")).value_or(0)});
    return fans;
}

double FanReader::speedFactor(std::optional<double> temperature) const {
    if (!temperature) return 1.0;
    using Sensors::ThermalState;
    const auto state = thermalState_ ? thermalState_() : ThermalState::nominal;
    if (*temperature >= 80.0 || state == ThermalState::serious || state == ThermalState::critical) return 1.0;
    if (*temperature >= 70.0 || state == ThermalState::fair) return 0.75;
    return 0.55;
}

std::optional<FanReader::FanControlError> FanReader::setFanMode(bool maximum, std::optional<double> temperature,
                                                                bool preserveCurrent) {
    if (::geteuid() != 0) return FanControlError{FanControlError::Kind::requiresAdministrator, {}};
    const int count = fanCount();
    if (count < 1 || !isControllable()) return FanControlError{FanControlError::Kind::unsupported, {}};
    std::optional<FanControlError> error;
    for (int i = 0; i < count && !error; ++i) {
        const auto mode = modeKey(i);
        const auto min = value(fanKey(i, "Mn")), max = value(fanKey(i, "Mx")), actual = value(fanKey(i, "Ac"));
        if (!mode || !min || !max || !actual) {
            error = FanControlError{FanControlError::Kind::unsupported, {}};
            break;
        }
        double target = *max;
        if (!maximum) {
            double t = *min + (*max - *min) * speedFactor(temperature);
            if (preserveCurrent && t < *actual) t = *actual;
            target = t < *max ? t : *max;
        }
        error = write(fanKey(i, "Tg"), target);
        if (!error) error = write(*mode, 1);
    }
    if (error) returnToAutomatic();
    return error;
}

void FanReader::returnToAutomatic() {
    const int count = fanCount();
    for (int j = 0; j < count; ++j)
        if (const auto mode = modeKey(j)) (void)write(*mode, 0);
}
