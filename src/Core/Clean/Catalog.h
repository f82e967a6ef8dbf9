#pragma once
#include <set>
#include <string>
#include <vector>

#include "Core/Clean/CleanTypes.h"

// One cleanable location of the home folder and how its findings are labelled.
struct CleanRule {
    struct Mode {
        enum class Kind { files, whole, children };
        Kind kind = Kind::whole;
        std::set<std::string> extensions;  // lower case; only for files

        // Entries directly inside whose lower-cased extension is in the set; hidden ones skipped.
        static Mode files(std::set<std::string> extensions) { return {Kind::files, std::move(extensions)}; }
        // The location itself.
        static Mode whole() { return {Kind::whole, {}}; }
        // Every entry directly inside, hidden ones included.
        static Mode children() { return {Kind::children, {}}; }
        bool operator==(const Mode&) const = default;
    };

    CleanCategory category = CleanCategory::userCaches;
    std::string path;  // "~/" means the scan's home folder
    Mode mode;
    Risk risk = Risk::safe;
    std::string note;  // localized when the table is built
    int minAgeDays = 0;  // 0: no age limit
    bool permanent = false;
    bool operator==(const CleanRule&) const = default;
};

// The fixed list of home-folder locations the junk scanner looks at. Each table is
// built once, on first use; their order is the order the scanner keeps findings in.
namespace Catalog {
const std::vector<CleanRule>& xcode();
const std::vector<CleanRule>& packageManagers();
const std::vector<CleanRule>& devCaches();
const std::vector<CleanRule>& ideCaches();
const std::vector<CleanRule>& editors();
const std::vector<CleanRule>& browsers();
const std::vector<CleanRule>& appCaches();
const std::vector<CleanRule>& generic();
// All eight tables concatenated in the order above.
const std::vector<CleanRule>& rules();
// The editors' folders under ~/Library/Application Support, in table order.
const std::vector<std::string>& editorFolderNames();
}  // namespace Catalog
