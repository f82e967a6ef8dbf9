#include "Core/Status/Optimizer.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <random>

#include "Core/AdminScript.h"
#include "Core/Clean/Shell.h"
#include "Core/Localized.h"
#include "Core/Status/MaintenanceCommands.h"
#include "Platform/AsciiText.h"
#include "Platform/Locations.h"
#include "Platform/Programs.h"
#include "Sensors/KernelText.h"

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

// A fresh secret per batch, so no text outside a frame can pass for one.
std::string newNonce() {
    std::random_device random;
    std::string out;
    char hex[9];
    for (int i = 0; i < 4; ++i) {
        std::snprintf(hex, sizeof hex, "%08x", unsigned(random()));
        out += hex;
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Appends one line of `od -An -tx1`: blank-separated two-digit hex bytes.
bool appendHexLine(std::string_view line, std::string& bytes) {
    for (const auto word : Sensors::KernelText::fields(line)) {
        if (word.size() != 2) return false;
        const int high = hexDigit(word[0]), low = hexDigit(word[1]);
        if (high < 0 || low < 0) return false;
        bytes += char(high * 16 + low);
    }
    return true;
}
}  // namespace

std::vector<Action> table(const fs::path& home, uid_t uid) {
    std::vector<Action> out;
    out.reserve(std::size(rows));
    for (const Row& r : rows) {
        const auto command = MaintenanceCommands::forTask(r.id, home, uid);
        out.push_back({r.id, localized(r.title), localized(r.detail), command->text, r.needsAdmin, command->requires_,
                       r.selectedByDefault, command->changes});
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
    // One byte past the limit tells keptTail the output was cut.
    constexpr size_t keep = outputLimit + 1;
    Shell::Result r;
    if (action.needsAdmin) {
        auto admin = AdminScript::run(action.command, timeLimit, keep);
        r = {admin.status, std::move(admin.output), admin.timedOut};
    } else {
        r = Shell::run(Platform::Programs::path(Platform::Program::zsh), {"-lc", action.command}, timeLimit, keep);
    }
    if (r.timedOut) {
        if (!r.output.empty() && r.output.back() != '\n') r.output += '\n';
        r.output += timedOutText(timeLimit);
    }
    return {action, r.status == 0 && !r.timedOut, keptTail(std::move(r.output))};
}

std::string keptTail(std::string text, size_t limit) {
    if (text.size() <= limit) return text;
    size_t from = text.size() - limit;
    // Start at a whole line where the kept part has one, else at a whole character.
    if (const size_t newline = text.find('\n', from); newline != std::string::npos) from = newline + 1;
    else
        while (from < text.size() && (static_cast<unsigned char>(text[from]) & 0xC0) == 0x80) ++from;
    return "\u2026\n" + text.substr(from);
}

std::string batchScript(const std::vector<Action>& actions, const std::string& nonce) {
    // Every command runs in a shell of its own with its output in a file of a
    // private folder; the batch then prints that output hex-encoded between two
    // lines of its own. One byte past the limit tells keptTail the output was cut.
    std::string script =
        "d=$(mktemp -d \"${TMPDIR:-/tmp}/quelto-tasks.XXXXXX\") || exit 1\n"
        "trap 'rm -rf \"$d\"' EXIT\n"
        "trap 'exit 143' HUP INT TERM\n"
        "t() {\n"
        "  /bin/sh -c \"$2\" </dev/null >\"$d/out\" 2>&1\n"
        "  s=$?\n"
        "  tail -c " + std::to_string(outputLimit + 1) + " \"$d/out\" >\"$d/kept\"\n"
        "  printf '%s %s %s\\n' " + nonce + " \"$1\" \"$s\"\n"
        "  od -An -v -tx1 \"$d/kept\"\n"
        "  printf '%s end\\n' " + nonce + "\n"
        "  rm -f \"$d/out\" \"$d/kept\"\n"
        "}\n";
    for (size_t i = 0; i < actions.size(); ++i)
        script += "t " + std::to_string(i) + " " + AdminScript::singleQuoted(actions[i].command) + "\n";
    script += "exit 0\n";
    return script;
}

BatchReport readBatch(const std::vector<Action>& actions, const std::string& nonce, const std::string& output) {
    BatchReport report;
    report.outcomes.resize(actions.size());
    constexpr size_t outside = SIZE_MAX;
    size_t task = outside;  // else inside this task's frame
    int status = 0;
    bool intact = true;
    std::string bytes;
    // The platform's prompt may hand back its output with carriage returns for line ends.
    size_t start = 0;
    while (start < output.size()) {
        const size_t end = std::min(output.find_first_of("\r\n", start), output.size());
        const std::string_view line(output.data() + start, end - start);
        start = end + 1;
        const auto words = Sensors::KernelText::fields(line);
        if (!words.empty() && words[0] == nonce) {
            if (task != outside && words.size() == 2 && words[1] == "end") {
                if (intact) {
                    const auto text = keptTail(Shell::decodeUtf8(bytes));
                    report.outcomes[task] = Outcome{actions[task], status == 0, std::string(Platform::trimmed(text))};
                }
                task = outside;
            } else if (words.size() == 3) {
                const auto index = Sensors::KernelText::toUnsigned(words[1]);
                const auto code = Sensors::KernelText::toInt(words[2]);
                if (index && code && *index < actions.size()) {
                    task = size_t(*index);
                    status = int(*code);
                    intact = true;
                    bytes.clear();
                }
            }
            continue;
        }
        if (task != outside) {
            intact = appendHexLine(line, bytes) && intact;
        } else {
            report.rest.append(line);
            report.rest += '\n';
        }
    }
    return report;
}

std::vector<Outcome> runAsAdmin(const std::vector<Action>& actions, double timeLimit) {
    if (actions.empty()) return {};
    const std::string nonce = newNonce();
    const auto result = AdminScript::run(batchScript(actions, nonce), timeLimit);
    auto report = readBatch(actions, nonce, result.output);
    // Why a task has no report: the prompt or the script ended before it did.
    const auto rest = Platform::trimmed(report.rest);
    const std::string why = result.timedOut    ? timedOutText(timeLimit)
                            : result.cancelled ? localized("Password prompt cancelled")
                            : !rest.empty()    ? keptTail(std::string(rest))
                                               : localized("The task ended without a report");
    std::vector<Outcome> out;
    out.reserve(actions.size());
    for (size_t i = 0; i < actions.size(); ++i)
        out.push_back(report.outcomes[i] ? std::move(*report.outcomes[i]) : Outcome{actions[i], false, why});
    return out;
}
}  // namespace Optimizer
