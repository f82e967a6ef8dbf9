#pragma once
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Core/Clean/Catalog.h"
#include "Core/Clean/CleanTypes.h"
#include "Core/Clean/SafetyGuard.h"

// Turns the catalog and the special scanners into one list of findings, largest
// first. Keeps nothing between scans; make a new one for each scan and use it from
// one worker.
class JunkScanner {
public:
    struct Context {
        std::filesystem::path home;  // what "~/" stands for
        SafetyGuard safety;
        std::set<std::string> runningBundleIDs;
        std::set<std::string> runningNames;
        std::optional<std::string> ownBundleID;
    };
    // Told, on the scanning thread, each time work on a category begins.
    using Progress = std::function<void(CleanCategory)>;

    std::vector<CleanItem> scan(const std::set<CleanCategory>& categories, const Context& context,
                                const Progress& progress);

    // Marks the newest device-support folder per device and version family for review
    // and the older ones as safe; the order is kept.
    static std::vector<CleanItem> retireOldDeviceSupport(std::vector<CleanItem> items);

private:
    // Where a rule's location is on this machine, if anywhere.
    static std::optional<std::filesystem::path> resolvedLocation(const CleanRule& rule, const std::filesystem::path& home);
    static std::vector<std::filesystem::path> candidates(const CleanRule& rule, const std::filesystem::path& home);
};
