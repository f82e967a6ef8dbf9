#include "Core/Status/Processes.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "Core/Clean/Shell.h"
#include "Core/Localized.h"
#include "Platform/Programs.h"
#include "Sensors/KernelText.h"

namespace Processes {
using Sensors::KernelText::fields;
using Sensors::KernelText::forEachLine;
using Sensors::KernelText::toDouble;
using Sensors::KernelText::toInt;

namespace {
// `top` memory texts: 1589M+, 64K-, 2G, 0B (+ and - mark growth and shrinkage).
int64_t memoryBytes(std::string_view text) {
    while (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == '+' || text.back() == '-')) text.remove_suffix(1);
    if (text.empty()) return 0;
    const char unit = text.back();
    // A text ending in a digit carries no unit: it is a count of bytes, read whole.
    if (unit < '0' || unit > '9') {
        if (const auto number = toDouble(text.substr(0, text.size() - 1))) {
            const double scale = unit == 'K' ? 1024.0 : unit == 'M' ? 1048576.0 : unit == 'G' ? 1073741824.0 : 1.0;
            const double bytes = std::trunc(*number * scale);
            // Beyond what 64 bits hold there is no sound count; such a row shows none.
            if (!std::isfinite(bytes) || bytes >= 9223372036854775808.0 || bytes < -9223372036854775808.0) return 0;
            return int64_t(bytes);
        }
    }
    return toInt(text).value_or(0);
}
}  // namespace

std::vector<Info> parse(std::string_view output) {
    std::vector<std::string_view> lines;
    forEachLine(output, [&](std::string_view line) { lines.push_back(line); });
    size_t header = lines.size();
    for (size_t i = lines.size(); i-- > 0;)
        if (lines[i].substr(0, 3) == "PID") {
            header = i;
            break;
        }
    std::vector<Info> rows;
    if (header == lines.size()) return rows;
    for (size_t i = header + 1; i < lines.size(); ++i) {
        const auto f = fields(lines[i]);
        const size_t n = f.size();
        if (n < 5) continue;
        const auto pid = toInt(f[0]);
        // Only finite numbers count: a "nan" or "inf" column would poison every sort of the list.
        const auto cpu = toDouble(f[n - 3]), power = toDouble(f[n - 1]);
        if (!pid || *pid < INT32_MIN || *pid > INT32_MAX || !cpu || !power) continue;
        Info row;
        row.pid = int32_t(*pid);
        for (size_t k = 1; k < n - 3; ++k) {
            if (k > 1) row.name += ' ';
            row.name += f[k];
        }
        row.cpu = *cpu;
        row.memory = memoryBytes(f[n - 2]);
        row.power = *power;
        rows.push_back(std::move(row));
    }
    return rows;
}

void sortLargestFirst(std::vector<Info>& rows, SortKey key) {
    const auto value = [key](const Info& r) {
        const double v = key == SortKey::cpu ? r.cpu : key == SortKey::memory ? double(r.memory) : r.power;
        // A strict order needs comparable keys: not-a-number goes below everything.
        return std::isnan(v) ? -INFINITY : v;
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const Info& a, const Info& b) { return value(a) > value(b); });
}

std::vector<Info> leaders(const std::vector<Info>& rows, size_t perKey) {
    std::set<int32_t> kept;  // a sample lists each process once
    for (SortKey key : {SortKey::cpu, SortKey::memory, SortKey::energy}) {
        std::vector<Info> sorted = rows;
        sortLargestFirst(sorted, key);
        for (size_t i = 0; i < std::min(perKey, sorted.size()); ++i) kept.insert(sorted[i].pid);
    }
    std::vector<Info> out;
    for (const Info& row : rows)
        if (kept.count(row.pid)) out.push_back(row);
    return out;
}

std::vector<Info> snapshot() {
    // Every process, so that an idle one holding much memory is among the leaders.
    const auto result = Shell::run(Platform::Programs::path(Platform::Program::top),
                                   {"-l", "2", "-s", "1", "-o", "cpu", "-stats", "pid,command,cpu,mem,power"}, 10);
    if (result.status != 0) return {};
    return leaders(parse(result.output), snapshotLeaders);
}

std::optional<std::string> explanation(const std::string& name) {
    static const std::map<std::string, std::string> table = [] {
        const std::pair<const char*, const char*> english[] = {
            {"kernel_task", "The macOS kernel. High CPU here usually means the Mac is throttling to stay cool."},
            {"WindowServer", "Draws everything on screen. Busy with many windows, displays or animations."},
            {"mds", "Spotlight's indexer. Busy after big file changes or a macOS update; it settles down."},
            {"mds_stores", "Spotlight's index store. Same as mds — temporary after many file changes."},
            {"mdworker_shared", "Spotlight workers reading files to index them."},
            {"photoanalysisd", "Photos analysing faces and scenes. Runs mostly while the Mac is idle."},
            {"backupd", "Time Machine making a backup."},
            {"softwareupdated", "Checking for or downloading macOS updates."},
            {"bird", "iCloud Drive syncing files."},
            {"cloudd", "iCloud syncing data for apps."},
            {"coreaudiod", "The system audio engine."},
            {"launchd", "Starts and supervises every other process."},
            {"logd", "Collects system logs."},
            {"trustd", "Checks certificates and code signatures."},
            {"syspolicyd", "Gatekeeper: checks apps before they open."},
            {"XprotectService", "Apple's built-in malware scanner."},
            {"corespotlightd", "Indexes app content for Spotlight."},
            {"Finder", "The Finder."},
            {"Dock", "The Dock, Mission Control and Launchpad."},
            {"node", "A Node.js program — often a dev server or an editor's language tooling."},
            {"Electron", "An app built on Electron (a bundled Chromium)."},
        };
        std::map<std::string, std::string> t;
        for (const auto& [process, text] : english) t.emplace(process, localized(text));
        return t;
    }();
    if (const auto it = table.find(name); it != table.end()) return it->second;
    const std::string_view suffix = "Helper";
    if ((name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) ||
        name.find("Helper (") != std::string::npos)
        return localized("A helper process of an app — usually a browser tab, renderer or extension.");
    return std::nullopt;
}

}  // namespace Processes
