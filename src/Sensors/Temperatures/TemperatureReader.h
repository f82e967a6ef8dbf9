#pragma once
#include <optional>
#include <string>
#include <vector>

#include "Sensors/Roots.h"

// CPU and GPU temperatures in degrees Celsius from the kernel's hardware monitors.
// The sensors are found once, when the reader is made; each reading opens nothing
// new. Not synchronised: use one reader from one thread.
class TemperatureReader {
public:
    struct Reading {
        std::optional<double> cpu, gpu;
        bool operator==(const Reading&) const = default;
    };
    enum class Side { cpu, gpu };

    explicit TemperatureReader(const Sensors::Roots& roots = {});
    ~TemperatureReader();
    TemperatureReader(TemperatureReader&& other) noexcept;
    TemperatureReader& operator=(TemperatureReader&& other) noexcept;
    TemperatureReader(const TemperatureReader&) = delete;
    TemperatureReader& operator=(const TemperatureReader&) = delete;

    // Each side is the mean of its readings strictly between 5 and 130 °C.
    Reading read() const;

    // Which side a sensor's product name counts for (first match wins), if any.
    static std::optional<Side> classify(const std::string& product);

private:
    struct Sensor {
        std::string product;
        int fd;
    };
    std::vector<Sensor> sensors_;
};
