#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Sensors/Fans/SmcConnection.h"
#include "Sensors/SystemInfo.h"

// The system's one way to the fans: counts them, reads their keys, tells whether
// they can be driven, forces them to a computed speed and hands them back to
// automatic control. The application only reads; the fan tool alone writes.
// Not synchronised: use one reader from one thread.
class FanReader {
public:
    struct FanControlError {
        enum class Kind { requiresAdministrator, unsupported, smcWrite };
        Kind kind;
        std::string key;  // smcWrite only
        std::string errorDescription() const;
        bool operator==(const FanControlError&) const = default;
    };
    struct Fan {
        double rpm;
        double max;
        bool operator==(const Fan&) const = default;
    };

    // The controller of this machine (/sys).
    FanReader();
    // A reader over `connection` (none: not connected). `thermalState` is asked by
    // the cool mode's speed rule; without one the machine counts as nominal.
    explicit FanReader(std::unique_ptr<SmcConnection> connection,
                       std::function<Sensors::ThermalState()> thermalState = {});

    bool isControllable() const;
    // One (rpm, max) per fan with a speed reading, in fan order; max 0 when unknown.
    std::vector<Fan> read() const;

    // Forces every fan: its maximum, or, for the cool mode, a speed from the CPU
    // temperature and the thermal state. A failure hands every fan back first.
    std::optional<FanControlError> setFanMode(bool maximum, std::optional<double> temperature, bool preserveCurrent);
    // Every fan's mode back to automatic; failures are passed over.
    void returnToAutomatic();

private:
    struct KeyInfo {
        uint32_t dataSize;
        uint32_t dataType;
    };
    bool call(const std::string& key, uint8_t command, SmcRecord& output, const uint8_t* bytes = nullptr,
              uint32_t size = 0) const;
    int fanCount() const;
    std::optional<KeyInfo> keyInfo(const std::string& key) const;
    std::optional<double> value(const std::string& key) const;
    std::optional<std::string> modeKey(int fan) const;
    std::optional<FanControlError> write(const std::string& key, double number);
    double speedFactor(std::optional<double> temperature) const;

    std::unique_ptr<SmcConnection> connection_;
    std::function<Sensors::ThermalState()> thermalState_;
};
