#include "Sensors/KernelText.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "Platform/AsciiText.h"
#include "Platform/FileOps.h"

namespace Sensors::KernelText {

std::optional<std::string> read(const std::filesystem::path& p) { return Platform::FileOps::readFile(p); }

bool present(const std::filesystem::path& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0;
}

std::string_view trim(std::string_view s) { return Platform::trimmed(s); }

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

std::optional<int64_t> toInt(std::string_view s) {
    s = trim(s);
    int64_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return v;
}

std::optional<uint64_t> toUnsigned(std::string_view s, int base) {
    s = trim(s);
    if (base == 16 && s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
    uint64_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return v;
}

std::optional<double> toDouble(std::string_view s) {
    s = trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<int64_t> readInt(const std::filesystem::path& p) {
    const auto text = read(p);
    return text ? toInt(*text) : std::nullopt;
}

std::optional<std::string> readLine(const std::filesystem::path& p) {
    const auto text = read(p);
    if (!text) return std::nullopt;
    return std::string(trim(*text));
}

std::vector<std::string> list(const std::filesystem::path& folder) {
    std::vector<std::string> out;
    DIR* d = ::opendir(folder.c_str());
    if (!d) return out;
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        if (name != "." && name != "..") out.emplace_back(name);
    }
    ::closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

int64_t saturatingMultiply(int64_t a, int64_t b) {
    int64_t r = 0;
    if (__builtin_mul_overflow(a, b, &r)) return (a < 0) != (b < 0) ? std::numeric_limits<int64_t>::min()
                                                                    : std::numeric_limits<int64_t>::max();
    return r;
}

uint64_t saturatingAdd(uint64_t a, uint64_t b) {
    uint64_t r = 0;
    return __builtin_add_overflow(a, b, &r) ? std::numeric_limits<uint64_t>::max() : r;
}

}  // namespace Sensors::KernelText
