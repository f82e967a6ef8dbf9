#include "Core/Clean/Cleaner.h"

#include <dirent.h>

#include <chrono>
#include <memory>

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

enum class Way { remove, trash };

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
    CleanReport report;
    report.dryRun = dryRun;

    std::vector<CleanItem> ordinary, admin;
    for (const auto& item : items) (item.requiresAdmin ? admin : ordinary).push_back(item);
    const double total = items.empty() ? 1.0 : static_cast<double>(items.size());

    for (size_t i = 0; i < ordinary.size(); ++i) {
        const CleanItem& item = ordinary[i];
        [&] {
            if (const auto verdict = safety.check(item.url); !verdict.isAllowed()) {
                report.skipped.push_back({item, verdict.reason});
                return;
            }
            // Gone before its turn: nothing to report.
            if (!Platform::FileOps::attributes(item.url)) return;

            const Way way = goesToTrash(item, alwaysTrash) ? Way::trash : Way::remove;

            if (!dryRun) {
                std::string error;
                bool ok;
                if (way == Way::remove) {
                    const auto status = Platform::FileOps::removeRecursively(item.url);
                    ok = status.ok;
                    error = status.error;
                    // An entry deleted from the Trash must not leave its .trashinfo behind.
                    if (ok && Platform::Trash::isHomeTrashEntry(item.url))
                        Platform::Trash::removeTrashedEntry(item.url);
                } else {
                    const auto result = Platform::Trash::moveToTrash(item.url);
                    ok = result.ok;
                    error = result.error;
                }
                if (!ok) {
                    report.skipped.push_back({item, error});
                    return;
                }
            }
            report.removed.push_back(item);
            report.freed += item.size;
            if (way == Way::trash) report.trashed += item.size;
        }();
        if (progress) progress(static_cast<double>(i + 1) / total);
    }

    if (!admin.empty()) cleanWithAdmin(admin, safety, dryRun, report);

    if (!dryRun && !report.removed.empty()) {
        History::Entry entry;
        entry.id = History::newIdentifier();
        entry.date = std::chrono::system_clock::now();
        entry.action = action;
        entry.count = static_cast<int64_t>(report.removed.size());
        entry.bytes = report.freed;
        entry.paths.reserve(report.removed.size());
        for (const auto& item : report.removed) entry.paths.push_back(item.url.string());
        History::record(entry);
    }
    return report;
}

void Cleaner::cleanWithAdmin(const std::vector<CleanItem>& items, const SafetyGuard& safety,
                             bool dryRun, CleanReport& report) {
    const SafetyGuard gate = SpecialScanners::systemGate(safety.home(), safety.protectedPaths());

    // rm gets the path the gate judged: written with a trailing "/", a link to a
    // folder would be followed and its target emptied, as root.
    auto judgedPath = [](const CleanItem& item) { return SafetyGuard::standardized(item.url.string()); };

    std::vector<const CleanItem*> queue;
    std::vector<std::string> commands;
    for (const auto& item : items) {
        if (item.adminCommand) {
            commands.push_back(*item.adminCommand);
        } else {
            if (const auto verdict = gate.check(item.url); !verdict.isAllowed()) {
                report.skipped.push_back({item, verdict.reason});
                continue;
            }
            commands.push_back("/bin/rm -rf -- " + AdminScript::singleQuoted(judgedPath(item)));
        }
        queue.push_back(&item);
    }
    if (queue.empty()) return;

    auto removed = [&](const CleanItem& item) {
        report.removed.push_back(item);
        report.freed += item.size;
    };
    if (dryRun) {
        for (const auto* item : queue) removed(*item);
        return;
    }

    std::string script = "status=0; ";
    for (size_t i = 0; i < commands.size(); ++i) {
        if (i) script += "; ";
        script += commands[i] + " || status=1";
    }
    script += "; exit $status";

    const auto result = AdminScript::run(script, kAdminTimeout);
    if (result.ok()) {
        for (const auto* item : queue) removed(*item);
        return;
    }

    // A failing script that printed nothing still needs a reason the user can read.
    const std::string reason = result.failureReason(localized("The administrator command failed"));
    for (const auto* item : queue) {
        if (!item->adminCommand && !Platform::FileOps::exists(judgedPath(*item))) removed(*item);
        else report.skipped.push_back({*item, reason});
    }
}

int64_t Cleaner::emptyTrash() {
    const fs::path folder = Platform::Locations::trashFiles();
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) return 0;
    std::vector<fs::path> entries;
    while (const dirent* e = ::readdir(dir.get())) {
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
        entries.push_back(folder / n);
    }
    dir.reset();

    int64_t total = 0;
    for (const auto& entry : entries) {
        const int64_t size = FileSizer::size(entry);
        if (Platform::Trash::removeTrashedEntry(entry)) total += size;
    }
    return total;
}
