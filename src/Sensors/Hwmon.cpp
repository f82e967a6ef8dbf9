#include "Sensors/Hwmon.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>

#include "Sensors/KernelText.h"

namespace Hwmon {
namespace fs = std::filesystem;
using namespace Sensors::KernelText;

namespace {
std::optional<int> index(const std::string& s, size_t from, size_t to) {
    int n = 0;
    const auto [end, ec] = std::from_chars(s.data() + from, s.data() + to, n);
    if (from >= to || ec != std::errc() || end != s.data() + to || n < 0) return std::nullopt;
    return n;
}
}  // namespace

std::vector<Chip> chips(const Sensors::Roots& roots) {
    const fs::path classDir = roots.sys / "class/hwmon";
    std::vector<std::pair<int, fs::path>> found;
    for (const auto& n : list(classDir))
        if (n.rfind("hwmon", 0) == 0)
            if (auto i = index(n, 5, n.size())) found.emplace_back(*i, classDir / n);
    std::sort(found.begin(), found.end());
    std::vector<Chip> out;
    for (const auto& [i, dir] : found) {
        if (auto name = readLine(dir / "name")) out.push_back({dir, *name});
        else if (auto deviceName = readLine(dir / "device/name")) out.push_back({dir / "device", *deviceName});
    }
    return out;
}

std::vector<int> indices(const fs::path& dir, const std::string& prefix, const std::string& suffix) {
    std::vector<int> out;
    for (const auto& n : list(dir)) {
        if (n.size() <= prefix.size() + suffix.size() || n.rfind(prefix, 0) != 0 ||
            n.compare(n.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        if (auto i = index(n, prefix.size(), n.size() - suffix.size())) out.push_back(*i);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::optional<long long> readInteger(int fd) {
    char buf[64];
    const ssize_t n = ::pread(fd, buf, sizeof buf, 0);
    if (n <= 0) return std::nullopt;
    return toInt(std::string_view(buf, static_cast<size_t>(n)));
}

bool writeInteger(const fs::path& attribute, long long value) {
    // Never waits for a reader, should a fifo stand there.
    const int fd = ::open(attribute.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return false;
    const std::string text = std::to_string(value);
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    return ::close(fd) == 0 && ok;
}
}  // namespace Hwmon
