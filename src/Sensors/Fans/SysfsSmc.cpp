#include "Sensors/Fans/SysfsSmc.h"

#include <unistd.h>

#include <cstring>

#include "Sensors/Hwmon.h"
#include "Sensors/KernelText.h"

namespace fs = std::filesystem;

namespace {
constexpr const char* kAppleSmc = "applesmc";

std::vector<SysfsSmc::Fan> fansOf(const fs::path& dir) {
    std::vector<SysfsSmc::Fan> out;
    for (int n : Hwmon::indices(dir, "fan", "_input")) out.push_back({dir, n});
    return out;
}

// Which attribute of a fan a key suffix stands for, and whether the driver may write it.
struct Attribute {
    const char* suffix;
    const char* file;
    const char* type;
    bool writable;
};
constexpr Attribute kAttributes[] = {
    {"Ac", "_input", "fpe2", false}, {"Mn", "_min", "fpe2", false}, {"Mx", "_max", "fpe2", false},
    {"Tg", "_output", "fpe2", true}, {"Md", "_manual", "ui8 ", true},
};
}  // namespace

std::unique_ptr<SmcConnection> SysfsSmc::appleSmc(const Sensors::Roots& roots) {
    std::optional<fs::path> dir;
    for (const auto& chip : Hwmon::chips(roots))
        if (chip.name == kAppleSmc) dir = chip.dir;
    // The driver's attributes live on its platform device.
    const fs::path platform = roots.sys / "devices/platform/applesmc.768";
    if (!dir && Sensors::KernelText::readLine(platform / "name") == kAppleSmc) dir = platform;
    if (!dir) return nullptr;
    return std::unique_ptr<SmcConnection>(new SysfsSmc(fansOf(*dir), true));
}

std::unique_ptr<SmcConnection> SysfsSmc::hwmonFans(const Sensors::Roots& roots) {
    std::vector<Fan> fans;
    for (const auto& chip : Hwmon::chips(roots)) {
        if (chip.name == kAppleSmc) continue;
        for (auto& f : fansOf(chip.dir)) fans.push_back(std::move(f));
    }
    if (fans.empty()) return nullptr;
    return std::unique_ptr<SmcConnection>(new SysfsSmc(std::move(fans), false));
}

std::optional<SysfsSmc::Key> SysfsSmc::key(const std::string& name) const {
    if (name == "FNum") return Key{"ui8 ", 1, {}, false};
    // "F<i><suffix>" with i a decimal index without leading zeros.
    if (name.size() < 4 || name[0] != 'F') return std::nullopt;
    const std::string index = name.substr(1, name.size() - 3), suffix = name.substr(name.size() - 2);
    if (index.empty() || index.size() > 2 || (index.size() > 1 && index[0] == '0') ||
        index.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const size_t i = std::stoul(index);
    if (i >= fans_.size()) return std::nullopt;
    for (const auto& a : kAttributes) {
        if (suffix != a.suffix) continue;
        const fs::path file = fans_[i].dir / ("fan" + std::to_string(fans_[i].number) + a.file);
        if (::access(file.c_str(), F_OK) != 0) return std::nullopt;
        return Key{a.type, std::strcmp(a.type, "ui8 ") == 0 ? 1u : 2u, file, writable_ && a.writable};
    }
    return std::nullopt;
}

bool SysfsSmc::call(const SmcRecord& input, SmcRecord& output) {
    output = SmcRecord{};
    output.key = input.key;
    output.result = 1;
    const auto name = Smc::text(input.key);
    const auto k = name ? key(*name) : std::nullopt;
    if (!k) return true;
    switch (input.command) {
        case SmcRecord::kKeyInfo:
            output.dataSize = k->size;
            output.dataType = Smc::code(k->type);
            output.result = 0;
            break;
        case SmcRecord::kReadBytes: {
            const auto v = k->attribute.empty() ? std::optional<int64_t>(static_cast<int64_t>(fans_.size()))
                                                : Sensors::KernelText::readInt(k->attribute);
            if (!v || input.dataSize != k->size) break;
            const auto bytes = Smc::encode(k->type, k->size, static_cast<double>(*v));
            if (!bytes) break;
            std::memcpy(output.bytes, bytes->data(), bytes->size());
            output.dataSize = k->size;
            output.result = 0;
            break;
        }
        case SmcRecord::kWriteBytes: {
            if (!k->writable || input.dataSize != k->size) break;
            const auto v = Smc::decode(k->type, input.bytes, k->size);
            if (v && Hwmon::writeInteger(k->attribute, static_cast<long long>(*v))) output.result = 0;
            break;
        }
        default: break;
    }
    return true;
}

std::unique_ptr<SmcConnection> SmcConnection::open(const Sensors::Roots& roots) {
    if (auto smc = SysfsSmc::appleSmc(roots)) return smc;
    return SysfsSmc::hwmonFans(roots);
}
