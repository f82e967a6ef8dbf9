#pragma once
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Core/Apps/AppUninstaller.h"

namespace Platform::Http {
class Client;
}

// Newer versions of the installed apps, from Homebrew casks, the App Store and
// the apps' own update feeds, and carrying one out. Synchronous, safe to call
// from any thread, never throws: what fails leaves results out and says so.
namespace AppUpdates {
enum class Source { homebrew, appStore, sparkle, inApp };
std::string rawValue(Source source);
// "Homebrew", "App Store", "Developer", "In app".
std::string title(Source source);

struct Update {
    std::filesystem::path app;  // the bundle; "/Applications/" plus the cask's app name for Homebrew
    std::string name;
    std::string installed;
    std::string available;
    Source source = Source::homebrew;
    std::optional<std::string> token;  // the cask, for homebrew and inApp
    std::optional<std::string> page;   // the store's https page, for appStore

    // Whom the update is for: the app's path, or "brew:<token>" for a cask that
    // names no app (all of those share "/Applications/" as their path).
    std::string key() const;
    bool operator==(const Update&) const = default;
};

struct Check {
    std::vector<Update> updates;  // one per app, by name in the user's locale
    bool answered = false;        // a source was asked and gave a readable answer
    // What could not be checked and why, a line each ("Homebrew: …", "<app>: …"),
    // Homebrew first, then the store's apps, then the feeds' apps. When no source
    // answered, a source that had nobody to ask says so in a line of its own.
    // A check with lines here is no all-clear, whatever it found.
    std::vector<std::string> unchecked;
};

// Where a check looks and how long it may take; tests point these at fixtures
// and a local server.
struct Environment {
    std::function<std::vector<AppUninstaller::InstalledApp>()> installedApps = [] {
        return AppUninstaller::installedApps();
    };
    Platform::Http::Client* http = nullptr;  // the shared client when none
    std::string lookupBase = "https://itunes.apple.com";
    // The whole check ends within this, however many apps it asks about; what has
    // not answered by then counts as not checked.
    std::chrono::milliseconds limit{60000};
};

// Asks the three sources at once and merges what they found: for one app a
// Homebrew update wins over the store's, which wins over the feed's.
Check check(const Environment& environment = {});

// Whether version text `a` is newer than `b`, comparing their runs of digits as
// numbers ("1.10" > "1.9"; "2.0" == "2"); a run that is no plain number is skipped.
bool isNewer(std::string_view a, std::string_view b);

// The bundle's CFBundleShortVersionString.
std::optional<std::string> version(const std::filesystem::path& app);

struct Outcome {
    bool ok = false;      // done, or handed to the user
    std::string message;  // an instruction, or why it failed; may be empty
};
// Hands a path or page to the desktop; the default is the workspace's opener.
using Opener = std::function<void(const std::string&)>;
void openWithWorkspace(const std::string& target);

// Upgrades a Homebrew cask and checks with Homebrew that it took; for the other
// sources opens the store page or the app and says what to do there.
Outcome apply(const Update& update, const Opener& open = openWithWorkspace);

// Homebrew's answers are waited for this long (its upgrade much longer).
inline constexpr double listTimeout = 120, upgradeTimeout = 900;
// The most a store answer or an update feed may weigh.
inline constexpr std::size_t lookupMaxBytes = 1 << 20, feedMaxBytes = 8 << 20;
// A longer text is no version: it is not read.
inline constexpr std::size_t maxVersionLength = 256;
}  // namespace AppUpdates
