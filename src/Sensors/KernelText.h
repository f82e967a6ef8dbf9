#pragma once
// Small readers of the kernel's text files, shared by the sensor readers.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Sensors::KernelText {

// The whole file; nothing when it cannot be opened or read.
std::optional<std::string> read(const std::filesystem::path& p);
bool present(const std::filesystem::path& p);

std::string_view trim(std::string_view s);
// The pieces between runs of blanks and tabs.
std::vector<std::string_view> fields(std::string_view line);
// Calls `line` for every line of `text`, without its line end.
template <class F>
void forEachLine(std::string_view text, F&& line) {
    while (!text.empty()) {
        const size_t end = text.find('\n');
        line(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

// Whole-text decimal numbers (surrounding blanks allowed); nothing for any other text.
std::optional<int64_t> toInt(std::string_view s);
std::optional<uint64_t> toUnsigned(std::string_view s, int base = 10);
// A finite decimal number; "nan" and "inf" are not numbers here.
std::optional<double> toDouble(std::string_view s);

// A file holding one number, as most sysfs attributes do.
std::optional<int64_t> readInt(const std::filesystem::path& p);
// A file's text without its surrounding blanks and line end.
std::optional<std::string> readLine(const std::filesystem::path& p);

// The names in a folder in byte order; empty when it cannot be listed.
std::vector<std::string> list(const std::filesystem::path& folder);

// Products and sums of kernel counters that stay at the largest value instead of wrapping.
int64_t saturatingMultiply(int64_t a, int64_t b);
uint64_t saturatingAdd(uint64_t a, uint64_t b);
// How far a counter moved; 0 when it went back (a reset, a detached device).
inline uint64_t advance(uint64_t from, uint64_t to) { return to >= from ? to - from : 0; }

}  // namespace Sensors::KernelText
