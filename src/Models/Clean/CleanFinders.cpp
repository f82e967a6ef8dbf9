#include "Models/Clean/CleanFinders.h"

#include <QCoreApplication>
#include <QCoroFuture>
#include <QVariant>
#include <QtConcurrent/QtConcurrentRun>

#include "Core/Clean/InstallerFinder.h"
#include "Core/Clean/JunkScanner.h"
#include "Core/Clean/ProjectPurger.h"
#include "Core/Clean/SpecialScanners.h"
#include "Models/Kit/QtBridge.h"
#include "Models/Settings/Preferences.h"
#include "Platform/Locations.h"
#include "Platform/Memory.h"
#include "Platform/Workspace.h"

namespace fs = std::filesystem;

// Each worker is started in a statement of its own: a temporary lambda inside a
// co_await expression is destroyed twice by this compiler.
namespace CleanFinders {
namespace {
constexpr int kSessionAgeDays = 90;
constexpr int kInstallerRecentDays = 7;

// The application's own desktop id, which the junk scan never lists as an app's cache.
std::optional<std::string> ownBundleID() {
    const QString id = QCoreApplication::instance()
                           ? QCoreApplication::instance()->property("desktopFileName").toString()
                           : QString();
    if (id.isEmpty()) return std::nullopt;
    return fromQString(id);
}

// Runs a scanner on a worker and hands its findings over without a copy (a future
// hands out copies, tens of thousands of them on the window's thread); what the
// scanner held on the way is given back to the system.
template <class Scan>
QCoro::Task<std::vector<CleanItem>> onWorker(Scan scan) {
    auto running = QtConcurrent::run([scan = std::move(scan)] {
        auto found = std::make_shared<std::vector<CleanItem>>(scan());
        Platform::Memory::giveBack();
        return found;
    });
    const std::shared_ptr<std::vector<CleanItem>> found = co_await running;
    co_return std::move(*found);
}
}  // namespace

QCoro::Task<std::vector<CleanItem>> junk(CleanListModel&) {
    const fs::path home = Platform::Locations::resolvedHome();
    const SafetyGuard safety = Preferences::shared().safetyGuard();
    const auto own = ownBundleID();
    return onWorker([home, safety, own] {
        // Reading /proc and the desktop entries takes a moment: off the main thread.
        const auto apps = Platform::Workspace::runningApplications();
        const JunkScanner::Context context{home, safety, Platform::Workspace::runningBundleIDs(apps),
                                           Platform::Workspace::runningNames(apps), own};
        const std::set<CleanCategory> categories(CleanCategories::allCases.begin(),
                                                 CleanCategories::allCases.begin() + 13);
        return JunkScanner().scan(categories, context, nullptr);
    });
}

QCoro::Task<std::vector<CleanItem>> ai(CleanListModel&) {
    const fs::path home = Platform::Locations::resolvedHome();
    const SafetyGuard safety = Preferences::shared().safetyGuard();
    return onWorker([home, safety] { return SpecialScanners::ai(home, safety, kSessionAgeDays); });
}

QCoro::Task<std::vector<CleanItem>> projects(CleanListModel&) {
    const auto& prefs = Preferences::shared();
    const std::vector<fs::path> roots = prefs.projectRootURLs();
    const int staleDays = prefs.staleProjectDays();
    const SafetyGuard safety = prefs.safetyGuard();
    return onWorker([roots, staleDays, safety] {
        std::vector<fs::path> all = roots;
        for (auto& root : ProjectPurger::discoveredRoots(Platform::Locations::home())) all.push_back(std::move(root));
        return ProjectPurger::scan(ProjectPurger::mergedRoots(all), staleDays, safety);
    });
}

QCoro::Task<std::vector<CleanItem>> installers(CleanListModel&) {
    // From the resolved home, like the gate's: through a linked home the roots
    // would otherwise lie outside the folders the gate allows.
    const fs::path home = Platform::Locations::resolvedHome();
    const std::vector<fs::path> roots{home / "Downloads", home / "Desktop", home / "Documents"};
    const SafetyGuard safety = Preferences::shared().safetyGuard({"/Applications"});
    return onWorker([roots, safety] { return InstallerFinder::scan(roots, safety, kInstallerRecentDays); });
}
}  // namespace CleanFinders
