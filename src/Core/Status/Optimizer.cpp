#include "Core/Status/Optimizer.h"

#include <unistd.h>

#include <cstdio>

#include "Core/AdminScript.h"
#include "Core/Clean/Shell.h"
#include "Core/Localized.h"
#include "Core/Status/MaintenanceCommands.h"
#include "Platform/AsciiText.h"
#include "Platform/Locations.h"
#include "Platform/Programs.h"

namespace fs = std::filesystem;

namespace Optimizer {
namespace {
// The tasks as they are everywhere; the commands come from this platform's table.
struct Row {
    const char* id;
    const char* title;
    const char* detail;
    bool needsAdmin;
    bool selectedByDefault;
};
constexpr Row rows[] = {
    {"dns", "Flush DNS cache", "Fixes sites that moved but still resolve to the old address", true, false},
    {"quicklook", "Reset Quick Look thumbnails", "Fixes wrong or missing previews in Finder", false, true},
    {"launchservices", "Rebuild Launch Services", "Fixes duplicate apps in \"Open With\" and wrong default apps",
     false, true},
    {"dsstore", "Stop .DS_Store on network and USB drives",
     "Finder stops leaving hidden files on shared and external drives", false, true},
    {"savedstate", "Clear stale window restore data", "Removes saved window state older than 30 days", false, true},
    {"simulators", "Delete unavailable simulators", "Simulators whose runtime is no longer installed", false, true},
    {"brew", "Homebrew cleanup", "Removes old versions of installed formulae", false, true},
    {"docker", "Prune Docker build cache", "Frees space inside Docker's disk image", false, false},
    {"prefs", "Repair broken preference files", "Moves unreadable settings files to the Trash so their apps recreate them",
     false, true},
    {"mail", "Compact Mail's database", "Speeds up Mail search and startup; Mail must be closed", false, false},
    {"spotlight", "Rebuild Spotlight index", "Fixes missing search results; Spotlight re-indexes for a while", true,
     false},
    {"fonts", "Reset font caches", "Fixes garbled or missing fonts; fully applies after you log out", false, false},
    {"dhcp", "Renew network address", "Asks the router for a fresh IP; fixes a connection that's stuck", true, false},
    {"permissions", "Repair home folder permissions",
     "Fixes \"you don't have permission\" errors in your own files; takes a few minutes", true, false},
};

std::string timedOutText(double seconds) {
    char n[32];
    std::snprintf(n, sizeof n, "%g", seconds);
    return localizedFormat("Timed out after %@ seconds", {n});
}

std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ') ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}
}  // namespace

std::vector<Action> table(const fs::path& home, uid_t uid) {
    std::vector<Action> out;
    out.reserve(std::size(rows));
    for (const Row& r : rows) {
        const auto command = MaintenanceCommands::forTask(r.id, home, uid);
        out.push_back({r.id, localized(r.title), localized(r.detail), command->text, r.needsAdmin, command->requires_,
                       r.selectedByDefault});
    }
    return out;
}

const std::vector<Action>& actions() {
    static const std::vector<Action> built = table(Platform::Locations::home(), ::getuid());
    return built;
}

bool isOffered(const Action& action) {
    return !action.requires_ || ::access(action.requires_->c_str(), F_OK) == 0;
}

Outcome run(const Action& action, double timeLimit) {
    Shell::Result r;
    if (action.needsAdmin) {
        auto admin = AdminScript::run(action.command, timeLimit);
        r = {admin.status, std::move(admin.output), admin.timedOut};
    } else {
        r = Shell::run(Platform::Programs::path(Platform::Program::zsh), {"-lc", action.command}, timeLimit);
    }
    if (r.timedOut) {
        if (!r.output.empty() && r.output.back() != '\n') r.output += '\n';
        r.output += timedOutText(timeLimit);
    }
    return {action, r.status == 0 && !r.timedOut, std::move(r.output)};
}

std::string batchScript(const std::vector<Action>& actions) {
    std::string script;
    for (const Action& a : actions) {
        if (!script.empty()) script += "; ";
        // The marker starts a line of its own even after output without a final
        // newline, which would otherwise hide it and the task's report with it.
        script += "{ " + a.command + " ; } 2>&1; printf '\\n%s\\n' \"" + doneMarker + " " + a.id + " $?\"";
    }
    return script;
}

std::vector<Outcome> reportedOutcomes(const std::vector<Action>& actions, const std::string& output) {
    std::vector<Outcome> out;
    std::string buffer;
    const std::string marker = doneMarker;
    size_t start = 0;
    for (;;) {
        const size_t end = output.find_first_of("\r\n", start);
        const std::string line = output.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (line.compare(0, marker.size(), marker) != 0) {
            buffer += line;
            buffer += '\n';
        } else {
            const auto w = words(line);
            if (w.size() == 3)
                for (const Action& a : actions)
                    if (a.id == w[1]) {
                        out.push_back({a, w[2] == "0", std::string(Platform::trimmed(buffer))});
                        break;
                    }
            buffer.clear();
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out;
}

std::vector<Outcome> runAsAdmin(const std::vector<Action>& actions, double timeLimit) {
    if (actions.empty()) return {};
    const auto result = AdminScript::run(batchScript(actions), timeLimit);
    if (result.ok() && !result.timedOut) return reportedOutcomes(actions, result.output);
    const std::string message = result.timedOut    ? timedOutText(timeLimit)
                                : result.cancelled ? localized("Password prompt cancelled")
                                                   : result.output;
    std::vector<Outcome> out;
    out.reserve(actions.size());
    for (const Action& a : actions) out.push_back({a, false, message});
    return out;
}
}  // namespace Optimizer
