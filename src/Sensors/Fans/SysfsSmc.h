#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Sensors/Fans/SmcConnection.h"

// Controllers seen through the kernel's per-fan attributes: each fan key the
// system uses is translated to one attribute, whose integer value is carried in
// the key's type ("fpe2" for speeds, "ui8 " for counts and modes).
class SysfsSmc : public SmcConnection {
public:
    struct Fan {
        std::filesystem::path dir;  // the folder holding fan<number>_*
        int number = 0;
    };
    bool call(const SmcRecord& input, SmcRecord& output) override;

    // The applesmc driver's fans: speeds, limits, target and manual mode.
    static std::unique_ptr<SmcConnection> appleSmc(const Sensors::Roots& roots);
    // Every other hwmon chip's fans: speeds and limits only, never writable.
    static std::unique_ptr<SmcConnection> hwmonFans(const Sensors::Roots& roots);

private:
    SysfsSmc(std::vector<Fan> fans, bool writable) : fans_(std::move(fans)), writable_(writable) {}
    struct Key {
        const char* type;
        uint32_t size;
        std::filesystem::path attribute;  // empty for the fan count
        bool writable;
    };
    std::optional<Key> key(const std::string& name) const;

    std::vector<Fan> fans_;
    bool writable_;
};
