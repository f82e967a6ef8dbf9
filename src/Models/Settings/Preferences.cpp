#include "Models/Settings/Preferences.h"

#include "Models/Kit/AssignIfChanged.h"
#include "Models/Kit/QtBridge.h"
#include "Platform/Locations.h"
#include "Platform/UserDefaults.h"

#include <cmath>
#include <limits>
#include <system_error>

namespace fs = std::filesystem;
using Platform::UserDefaults;

namespace {
constexpr const char* kProtectedPaths = "protectedPaths";
constexpr const char* kProjectRoots = "projectRoots";
constexpr const char* kStaleProjectDays = "staleProjectDays";
constexpr const char* kDryRun = "dryRun";
constexpr const char* kAlwaysTrash = "alwaysTrash";
constexpr const char* kMenuBarMetrics = "menuBarMetrics";
constexpr const char* kSounds = "sounds";
constexpr const char* kPinnedProcesses = "pinnedProcesses";
constexpr int kDefaultStaleDays = 30;

std::optional<QStringList> readStrings(const UserDefaults& d, const char* key) {
    auto strings = d.stringArray(key);
    if (!strings) return std::nullopt;
    return toQStringList(*strings);
}

// An integer, or a real with no fraction, that fits; anything else is unusable.
std::optional<int> exactInteger(const UserDefaults::Value& v) {
    constexpr auto lo = std::numeric_limits<int>::min();
    constexpr auto hi = std::numeric_limits<int>::max();
    if (auto i = v.get<int64_t>()) {
        if (*i >= lo && *i <= hi) return static_cast<int>(*i);
        return std::nullopt;
    }
    if (auto r = v.get<double>()) {
        if (std::isfinite(*r) && std::trunc(*r) == *r && *r >= lo && *r <= hi) return static_cast<int>(*r);
    }
    return std::nullopt;
}

fs::path expandTilde(const QString& entry, const fs::path& home) {
    if (entry == QLatin1String("~")) return home;
    if (entry.startsWith(QLatin1String("~/"))) return home / pathFromQString(entry.mid(2));
    return pathFromQString(entry);
}
}  // namespace

Preferences& Preferences::shared() {
    static Preferences* instance = new Preferences(UserDefaults::standard());
    return *instance;
}

Preferences::Preferences(UserDefaults& defaults, QObject* parent) : QObject(parent), defaults_(defaults) {
    protectedPaths_ = readStrings(defaults_, kProtectedPaths).value_or(QStringList{});
    projectRoots_ = readStrings(defaults_, kProjectRoots).value_or(defaultProjectRoots());

    staleProjectDays_ = kDefaultStaleDays;
    if (auto v = defaults_.object(kStaleProjectDays))
        staleProjectDays_ = exactInteger(*v).value_or(kDefaultStaleDays);

    dryRun_ = defaults_.boolean(kDryRun).value_or(false);
    alwaysTrash_ = defaults_.boolean(kAlwaysTrash).value_or(false);

    if (auto names = readStrings(defaults_, kMenuBarMetrics)) {
        for (const auto& name : *names)
            if (auto m = menuBarMetricFromRawValue(name)) menuBarMetrics_.append(*m);
    } else {
        menuBarMetrics_ = defaultMenuBarMetrics();
    }

    pinnedProcesses_ = readStrings(defaults_, kPinnedProcesses).value_or(QStringList{});
    sounds_ = defaults_.boolean(kSounds).value_or(true);
}

QStringList Preferences::defaultProjectRoots() {
    return {"~/Developer", "~/Projects", "~/projects", "~/code",  "~/Code",     "~/dev",
            "~/src",       "~/GitHub",   "~/Documents/GitHub",     "~/repos",   "~/workspace"};
}

QList<MenuBarMetric> Preferences::defaultMenuBarMetrics() { return {MenuBarMetric::cpu, MenuBarMetric::memory}; }

void Preferences::setProtectedPaths(const QStringList& value) {
    defaults_.setStringArray(kProtectedPaths, fromQStringList(value));
    if (assignIfChanged(protectedPaths_, value)) emit protectedPathsChanged(value);
}

void Preferences::setProjectRoots(const QStringList& value) {
    defaults_.setStringArray(kProjectRoots, fromQStringList(value));
    if (assignIfChanged(projectRoots_, value)) emit projectRootsChanged(value);
}

void Preferences::setStaleProjectDays(int value) {
    defaults_.setInteger(kStaleProjectDays, value);
    if (assignIfChanged(staleProjectDays_, value)) emit staleProjectDaysChanged(value);
}

void Preferences::setDryRun(bool value) {
    defaults_.setBool(kDryRun, value);
    if (assignIfChanged(dryRun_, value)) emit dryRunChanged(value);
}

void Preferences::setAlwaysTrash(bool value) {
    defaults_.setBool(kAlwaysTrash, value);
    if (assignIfChanged(alwaysTrash_, value)) emit alwaysTrashChanged(value);
}

void Preferences::setMenuBarMetrics(const QList<MenuBarMetric>& value) {
    std::vector<std::string> raws;
    raws.reserve(static_cast<size_t>(value.size()));
    for (MenuBarMetric m : value) raws.push_back(fromQString(rawValue(m)));
    defaults_.setStringArray(kMenuBarMetrics, raws);
    if (assignIfChanged(menuBarMetrics_, value)) emit menuBarMetricsChanged(value);
}

void Preferences::setSounds(bool value) {
    defaults_.setBool(kSounds, value);
    if (assignIfChanged(sounds_, value)) emit soundsChanged(value);
}

void Preferences::setPinnedProcesses(const QStringList& value) {
    defaults_.setStringArray(kPinnedProcesses, fromQStringList(value));
    if (assignIfChanged(pinnedProcesses_, value)) emit pinnedProcessesChanged(value);
}

std::vector<fs::path> Preferences::projectRootURLs() const {
    const fs::path home = Platform::Locations::home();
    std::vector<fs::path> out;
    for (const auto& entry : projectRoots_) {
        fs::path p = expandTilde(entry, home);
        // A relative entry would mean "relative to wherever we were started": never scan that.
        if (!p.is_absolute()) continue;
        std::error_code ec;
        if (fs::exists(p, ec)) out.push_back(std::move(p));
    }
    return out;
}

SafetyGuard Preferences::safetyGuard(const std::vector<fs::path>& extraRoots) const {
    const std::string home = SafetyGuard::standardized(Platform::Locations::resolvedHome().string());
    return SafetyGuard(home, fromQStringList(protectedPaths_), extraRoots);
}
