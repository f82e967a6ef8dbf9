#include "Core/Clean/Cleaner.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>

#include "Core/AdminScript.h"
#include "Core/Clean/FileSizer.h"
#include "Core/Clean/History.h"
#include "Core/Localized.h"
#include "Core/Clean/SpecialScanners.h"
#include "Platform/FileOps.h"
#include "Platform/Locations.h"
#include "Platform/Trash.h"

namespace fs = std::filesystem;

namespace {
constexpr double kAdminTimeout = 600;
constexpr const char* kThroughLink = "reached through a symbolic link";

enum class Way { remove, trash };

// A finding as the remover acts on it: the judged path, split at its last "/", with
// the folder part relative to the gate's root that admitted it.
struct Place {
    std::string path, folder, name, root, below;
};

Place placeOf(const std::string& judged, const std::string& root) {
    Place place{judged, {}, {}, root, {}};
    const size_t slash = judged.find_last_of('/');
    place.folder = slash == 0 ? "/" : judged.substr(0, slash);
    place.name = judged.substr(slash + 1);
    if (place.folder.size() > root.size()) place.below = place.folder.substr(root.size() + (root == "/" ? 0 : 1));
    return place;
}

// 0 when something stands at the name, else why not: ENOENT when nothing does.
int look(int folderFd, const std::string& name, struct ::stat& st) {
    return ::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}
bool present(int folderFd, const std::string& name) {
    struct ::stat st {};
    return look(folderFd, name, st) == 0;
}

// Whether nothing stands at the place any more, looked at without following a link;
// nothing when that cannot be told (the way there is now a link, or not readable).
std::optional<bool> gone(const Place& place) {
    const auto reached = Platform::FileOps::openBelow(place.root, place.below);
    if (reached.how == Platform::FileOps::Reach::missing) return true;
    if (reached.how != Platform::FileOps::Reach::reached) return std::nullopt;
    return !present(reached.folder.get(), place.name);
}

// The batch's removal of a finding. The shell enters the finding's folder and checks
// that it stands at the judged place with no link on the way there (pwd -P names the
// folder it is in, not the way it came); rm then acts on the name inside that folder,
// so swapping a folder above it afterwards cannot send rm anywhere else. A folder that
// is gone leaves nothing to remove.
std::string removalCommand(const Place& place) {
    const std::string folder = AdminScript::singleQuoted(place.folder);
    return "(cd -P -- " + folder + " 2>/dev/null || exit 0; [ \"$(pwd -P)\" = " + folder + " ] || { echo " +
           AdminScript::singleQuoted(place.path + ": " + kThroughLink) + "; exit 1; }; exec /bin/rm -rf " +
           "--one-file-system -- " + AdminScript::singleQuoted(place.name) + ")";
}
}  // namespace

const std::set<CleanCategory>& Cleaner::direct() {
    static const std::set<CleanCategory> categories = {
        CleanCategory::userCaches, CleanCategory::logs,      CleanCategory::xcode,
        CleanCategory::packageManagers, CleanCategory::devCaches, CleanCategory::editors,
        CleanCategory::appData,    CleanCategory::browsers,  CleanCategory::mail,
        CleanCategory::downloads,  CleanCategory::projects,  CleanCategory::aiCaches,
    };
    return categories;
}

bool Cleaner::goesToTrash(const CleanItem& item, bool alwaysTrash) {
    if (item.requiresAdmin || item.permanent) return false;
    if (alwaysTrash || item.risk == Risk::review) return true;
    return direct().count(item.category) == 0;
}

CleanReport Cleaner::clean(const std::vector<CleanItem>& items, const std::string& action,
                           const SafetyGuard& safety, bool dryRun, bool alwaysTrash,
                           const Progress& progress) {
    std::vector<const CleanItem*> pointers;
    pointers.reserve(items.size());
    for (const auto& item : items) pointers.push_back(&item);
    return clean(pointers, action, safety, dryRun, alwaysTrash, progress);
}

CleanReport Cleaner::clean(const std::vector<const CleanItem*>& items, const std::string& action,
                           const SafetyGuard& safety, bool dryRun, bool alwaysTrash,
                           const Progress& progress) {
    CleanReport report;
    report.dryRun = dryRun;

    std::vector<const CleanItem*> ordinary, admin;
    for (const CleanItem* item : items) (item->requiresAdmin ? admin : ordinary).push_back(item);
    const double total = items.empty() ? 1.0 : static_cast<double>(items.size());
    // The findings space was freed from, whole or partly, in the run's order.
    std::vector<std::string> freedFrom;

    for (size_t i = 0; i < ordinary.size(); ++i) {
        const CleanItem& item = *ordinary[i];
        [&] {
            if (const auto verdict = safety.check(item.url); !verdict.isAllowed()) {
                report.skipped.push_back({item, verdict.reason});
                return;
            }
            // Acted on only through the folder reached from the gate's root without
            // following a link, so what is removed is what the gate judged.
            const std::string judged = SafetyGuard::standardized(item.url.string());
            const Place place = placeOf(judged, safety.rootOf(judged).value_or("/"));
            const auto reached = Platform::FileOps::openBelow(place.root, place.below);
            if (reached.how == Platform::FileOps::Reach::throughLink) {
                report.skipped.push_back({item, kThroughLink});
                return;
            }
            // Only what is gone before its turn goes unreported; what cannot be
            // reached is still there, and the user is told why it stays.
            if (reached.how == Platform::FileOps::Reach::missing) return;
            if (reached.how != Platform::FileOps::Reach::reached) {
                report.skipped.push_back({item, std::strerror(reached.error)});
                return;
            }
            const int folder = reached.folder.get();
            struct ::stat st {};
            if (const int seen = look(folder, place.name, st); seen == ENOENT) {
                return;
            } else if (seen != 0) {
                report.skipped.push_back({item, std::strerror(seen)});
                return;
            }

            const Way way = goesToTrash(item, alwaysTrash) ? Way::trash : Way::remove;

            if (!dryRun) {
                // A folder deleted outright can stop partway, at an entry that will not
                // go; a file, or a move to the Trash (one rename), goes whole or not at
                // all. What a partial removal freed is what the measures before and
                // after it differ by.
                const bool partwayPossible = way == Way::remove && S_ISDIR(st.st_mode);
                const int64_t before = partwayPossible ? FileSizer::size(judged) : 0;
                Platform::FileOps::Status status;
                std::filesystem::path trashedTo;
                if (way == Way::trash) {
                    const auto result = Platform::Trash::moveToTrash(folder, place.name, judged);
                    status = {result.ok, result.error};
                    trashedTo = result.trashedPath;
                } else if (Platform::Trash::isHomeTrashEntry(judged)) {
                    // An entry deleted from the Trash must not leave its .trashinfo behind.
                    status = Platform::Trash::removeTrashedEntry(folder, place.name);
                } else {
                    status = Platform::FileOps::removeAt(folder, place.name);
                }
                // Removed only when nothing stands there afterwards.
                if (status.ok && present(folder, place.name))
                    status = {false, Platform::FileOps::kChangedWhileRemoving};
                if (!status.ok) {
                    CleanReport::Skip skip{item, status.error, std::nullopt};
                    if (partwayPossible) {
                        if (const int64_t left = FileSizer::size(judged); left < before) {
                            skip.left = left;
                            report.freed += before - left;
                            freedFrom.push_back(item.url.string());
                        }
                    }
                    report.skipped.push_back(std::move(skip));
                    return;
                }
                if (way == Way::trash) report.inTrash.push_back({item.url, trashedTo});
            }
            report.removed.push_back(item);
            report.freed += item.size;
            if (way == Way::trash) report.trashed += item.size;
            freedFrom.push_back(item.url.string());
        }();
        if (progress) progress(static_cast<double>(i + 1) / total);
    }

    const size_t removedDirectly = report.removed.size();
    if (!admin.empty()) cleanWithAdmin(admin, safety, dryRun, report);
    for (size_t i = removedDirectly; i < report.removed.size(); ++i) freedFrom.push_back(report.removed[i].url.string());

    // A finding removed only partway was cleaned too: it counts, and is named, with the rest.
    if (!dryRun && !freedFrom.empty()) {
        History::Entry entry;
        entry.id = History::newIdentifier();
        entry.date = std::chrono::system_clock::now();
        entry.action = action;
        entry.count = static_cast<int64_t>(freedFrom.size());
        entry.bytes = report.freed;
        entry.paths = std::move(freedFrom);
        History::record(entry);
    }
    return report;
}

void Cleaner::cleanWithAdmin(const std::vector<const CleanItem*>& items, const SafetyGuard& safety,
                             bool dryRun, CleanReport& report) {
    const SafetyGuard gate = SpecialScanners::systemGate(safety.home(), safety.protectedPaths());

    // The path the gate judged, never the text as given: written with a trailing "/",
    // a link to a folder would be followed and its target emptied, as root.
    std::vector<std::pair<const CleanItem*, std::optional<Place>>> queue;
    std::vector<std::string> commands;
    for (const CleanItem* item : items) {
        std::optional<Place> place;
        if (item->adminCommand) {
            commands.push_back(*item->adminCommand);
        } else {
            if (const auto verdict = gate.check(item->url); !verdict.isAllowed()) {
                report.skipped.push_back({*item, verdict.reason});
                continue;
            }
            const std::string judged = SafetyGuard::standardized(item->url.string());
            place = placeOf(judged, gate.rootOf(judged).value_or("/"));
            commands.push_back(removalCommand(*place));
        }
        queue.emplace_back(item, std::move(place));
    }
    if (queue.empty()) return;

    auto removed = [&](const CleanItem& item) {
        report.removed.push_back(item);
        report.freed += item.size;
    };
    if (dryRun) {
        for (const auto& [item, place] : queue) removed(*item);
        return;
    }

    std::string script = "status=0; ";
    for (size_t i = 0; i < commands.size(); ++i) {
        if (i) script += "; ";
        script += commands[i] + " || status=1";
    }
    script += "; exit $status";

    const auto result = AdminScript::run(script, kAdminTimeout);
    // A failing script that printed nothing still needs a reason the user can read.
    const std::string reason =
        result.ok() ? Platform::FileOps::kChangedWhileRemoving
                    : result.failureReason(localized("The administrator command failed"));
    for (const auto& [item, place] : queue) {
        // A removal counts where nothing is left at the path, whatever the script's
        // status; the status decides only where that cannot be seen.
        const bool done = place ? gone(*place).value_or(result.ok()) : result.ok();
        if (done) removed(*item);
        else report.skipped.push_back({*item, reason});
    }
}

Cleaner::TrashEmptied Cleaner::emptyTrash() {
    const fs::path folder = Platform::Locations::trashFiles();
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) return {};
    std::vector<fs::path> entries;
    while (const dirent* e = ::readdir(dir.get())) {
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
        entries.push_back(folder / n);
    }
    dir.reset();

    TrashEmptied result;
    result.folder = folder;
    for (const auto& entry : entries) {
        const int64_t size = FileSizer::size(entry);
        if (Platform::Trash::removeTrashedEntry(entry)) {
            result.freed += size;
        } else {
            ++result.left;
            result.kept.push_back(entry);
        }
    }
    // Info left by an entry deleted some other way would keep the Trash from being empty.
    Platform::Trash::removeOrphanedInfo();
    return result;
}
