#include "Core/Clean/InstallerFinder.h"

#include <unordered_map>

#include "Core/Clean/FileSizer.h"
#include "Core/Localized.h"
#include "Core/Clean/ScanSupport.h"
#include "Platform/FileOps.h"
#include "Platform/Clock.h"

namespace fs = std::filesystem;
using ScanSupport::Clock;
using ScanSupport::Folder;

namespace InstallerFinder {
namespace {
// One finding per standardized path; a later sighting replaces the earlier one in place.
struct Findings {
    std::vector<CleanItem> items;
    std::unordered_map<std::string, size_t> index;

    void put(CleanItem item) {
        const std::string key = SafetyGuard::standardized(item.url.string());
        const auto [it, added] = index.emplace(key, items.size());
        if (added) items.push_back(std::move(item));
        else items[it->second] = std::move(item);
    }
};
}  // namespace

const std::set<std::string>& extensions() {
    static const std::set<std::string> set = {"dmg", "pkg", "mpkg", "xip", "iso"};
    return set;
}

std::vector<CleanItem> scan(const std::vector<fs::path>& roots, const SafetyGuard& safety, int recentDays,
                            const fs::path& applications) {
    const Clock::time_point cutoff = ScanSupport::daysBefore(Platform::clock().now(), recentDays);
    Findings found;
    auto offer = [&](const Folder& in, const fs::path& url, const char* name) {
        const auto size = ScanSupport::admittedSize(url, safety);
        if (!size) return;
        const auto st = in.status(name);
        const auto date = st ? Platform::FileOps::modificationTime(*st) : ScanSupport::distantPast();
        const bool recent = date > cutoff;
        found.put(ScanSupport::finding(url, *size, CleanCategory::installers,
                                       recent ? Risk::review : Risk::safe,
                                       recent ? localized("Downloaded recently")
                                              : localized("Installer; the app it installed doesn't need it")));
    };

    for (const auto& root : roots) {
        Folder top(root);
        while (const dirent* e = top.next()) {
            if (ScanSupport::isHidden(e->d_name)) continue;
            const std::string ext = ScanSupport::lowercasedExtension(e->d_name);
            if (extensions().count(ext)) {
                offer(top, root / e->d_name, e->d_name);
                continue;
            }
            if (Platform::FileOps::isPackage(e->d_name) || !top.isFolder(e)) continue;
            // The second level is the last one looked at: nothing below it is entered.
            Folder inner(top, e->d_name);
            while (const dirent* i = inner.next()) {
                if (ScanSupport::isHidden(i->d_name)) continue;
                if (extensions().count(ScanSupport::lowercasedExtension(i->d_name)))
                    offer(inner, root / e->d_name / i->d_name, i->d_name);
            }
        }
    }

    for (const auto& app : macOSInstallers(safety, applications))
        found.put(ScanSupport::finding(app, FileSizer::size(app), CleanCategory::installers, Risk::safe,
                            localized("macOS installer app; download it again from the App Store if ever needed")));

    sortLargestFirst(found.items);
    return std::move(found.items);
}

std::vector<fs::path> macOSInstallers(const SafetyGuard& safety, const fs::path& applications) {
    std::vector<fs::path> out;
    Folder folder(applications);
    while (const dirent* e = folder.next()) {
        const std::string name = e->d_name;
        if (!ScanSupport::startsWith(name, "Install macOS") || !ScanSupport::endsWith(name, ".app")) continue;
        const fs::path url = applications / name;
        if (safety.check(url).isAllowed()) out.push_back(url);
    }
    return out;
}
}  // namespace InstallerFinder
