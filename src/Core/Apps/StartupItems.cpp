#include "Core/Apps/StartupItems.h"

#include <unistd.h>

#include <algorithm>
#include <future>
#include <map>
#include <set>

#include "Core/AdminScript.h"
#include "Core/Clean/Shell.h"
#include "Core/Localized.h"
#include "Core/Text.h"
#include "Platform/AsciiText.h"
#include "Platform/FileOps.h"
#include "Platform/Locations.h"
#include "Platform/LoginItemService.h"
#include "Platform/Programs.h"
#include "Platform/PropertyList.h"
#include "Platform/Trash.h"

namespace fs = std::filesystem;

namespace StartupItems {
namespace {
constexpr double kReadTime = 10;
constexpr double kSwitchTime = 300;

using Overrides = std::map<std::string, bool>;

std::string launchctl() { return Platform::Programs::path(Platform::Program::launchctl); }
std::string guiDomain() { return "gui/" + std::to_string(::getuid()); }

std::vector<std::string_view> nonEmptyPieces(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(separator, start), text.size());
        if (end > start) pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

// launchctl's table of switched-off labels: `"label" => disabled` lines.
Overrides disabled(const std::string& domain) {
    const std::string output = Shell::run(launchctl(), {"print-disabled", domain}, kReadTime).output;
    Overrides table;
    for (std::string_view line : nonEmptyPieces(output, '\n')) {
        const auto arrow = line.find("=>");
        if (arrow == std::string_view::npos || line.find("=>", arrow + 2) != std::string_view::npos) continue;
        const std::string_view key = Platform::trimmed(Platform::trimmed(line.substr(0, arrow), " \t"), "\"");
        const std::string_view value = line.substr(arrow + 2);
        table[std::string(key)] =
            value.find("disabled") != std::string_view::npos || value.find("true") != std::string_view::npos;
    }
    return table;
}

// The labels launchd has loaded now: the last column of `launchctl list`, header skipped.
std::set<std::string> loadedLabels() {
    const std::string output = Shell::run(launchctl(), {"list"}, kReadTime).output;
    const auto lines = nonEmptyPieces(output, '\n');
    std::set<std::string> labels;
    for (size_t i = 1; i < lines.size(); ++i)
        if (const auto columns = nonEmptyPieces(lines[i], '\t'); !columns.empty())
            labels.emplace(columns.back());
    return labels;
}

std::string programOf(const Platform::PropertyList::Dictionary& plist) {
    if (const auto* program = Platform::PropertyList::string(plist, "Program")) return *program;
    if (auto it = plist.find("ProgramArguments"); it != plist.end()) {
        const auto* args = it->second.get<Platform::UserDefaults::Array>();
        const bool allStrings = args && std::all_of(args->begin(), args->end(),
                                                    [](const auto& v) { return v.template is<std::string>(); });
        if (allStrings && !args->empty()) return *args->front().get<std::string>();
    }
    return {};
}

void collect(Scope scope, const fs::path& folder, const Overrides& overrides, const std::set<std::string>& loaded,
             std::vector<Item>& out) {
    for (const auto& child : Platform::FileOps::list(folder)) {
        if (fs::path(child.name).extension() != ".plist") continue;
        const fs::path file = folder / child.name;
        const auto plist = Platform::PropertyList::readDictionary(file);
        if (!plist) continue;
        const auto label = plist->find("Label");
        if (label == plist->end() || !label->second.is<std::string>()) continue;
        Item item;
        item.plist = file;
        item.label = *label->second.get<std::string>();
        item.program = programOf(*plist);
        item.scope = scope;
        bool off = false;
        if (auto it = plist->find("Disabled"); it != plist->end())
            if (const auto* b = it->second.get<bool>()) off = *b;
        if (auto it = overrides.find(item.label); it != overrides.end()) off = it->second;
        item.enabled = !off;
        item.running = loaded.count(item.label) > 0;
        if (const auto at = item.program.find(".app/"); at != std::string::npos)
            item.appURL = fs::path(item.program.substr(0, at) + ".app");
        out.push_back(std::move(item));
    }
}
}  // namespace

std::string title(Scope s) {
    switch (s) {
        case Scope::user: return localized("You");
        case Scope::allUsers: return localized("All users");
        case Scope::system: return localized("System");
    }
    return {};
}

std::string domain(Scope s) { return s == Scope::system ? "system" : guiDomain(); }

std::string Item::displayName() const {
    if (appURL) return appURL->stem().string();
    const auto parts = nonEmptyPieces(label, '.');
    if (parts.size() < 2) return label;
    return std::string(parts[parts.size() - 2]) + "." + std::string(parts.back());
}

const fs::path& Folders::of(Scope s) const {
    return s == Scope::user ? user : s == Scope::allUsers ? allUsers : system;
}

Folders Folders::standard() {
    return {Platform::Locations::home() / "Library/LaunchAgents", "/Library/LaunchAgents", "/Library/LaunchDaemons"};
}

std::vector<Item> load(const Folders& folders) {
    auto agents = std::async(std::launch::async, [] { return disabled(guiDomain()); });
    auto daemons = std::async(std::launch::async, [] { return disabled("system"); });
    auto loadedNow = std::async(std::launch::async, loadedLabels);
    const Overrides agentOverrides = agents.get(), daemonOverrides = daemons.get();
    const std::set<std::string> loaded = loadedNow.get();

    std::vector<Item> items;
    for (Scope scope : allCases)
        collect(scope, folders.of(scope), scope == Scope::system ? daemonOverrides : agentOverrides, loaded, items);
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        if (a.scope != b.scope) return a.scope < b.scope;
        return Text::lowercased(a.displayName()) < Text::lowercased(b.displayName());
    });
    return items;
}

Outcome setEnabled(const Item& item, bool enabled) {
    using AdminScript::singleQuoted;
    const std::string tool = singleQuoted(launchctl());
    const std::string domain = StartupItems::domain(item.scope);
    const std::string target = singleQuoted(domain + "/" + item.label);
    // The switch is enable or disable, and its status is the command's. Loading or
    // stopping the job now may fail harmlessly (already loaded, not running).
    const std::string command =
        enabled ? tool + " enable " + target + " || exit $?; " + tool + " bootstrap " + singleQuoted(domain) + " " +
                      singleQuoted(item.plist.string()) + " 2>/dev/null; true"
                : tool + " disable " + target + " || exit $?; " + tool + " bootout " + target + " 2>/dev/null; true";
    if (item.scope == Scope::system) {
        const auto result = AdminScript::run(command, kSwitchTime);
        return {result.ok(), result.output};
    }
    const auto result = Shell::run(Platform::Programs::path(Platform::Program::zsh), {"-c", command}, kSwitchTime);
    return {result.status == 0, result.output};
}

bool remove(const Item& item) {
    if (item.scope != Scope::user) return false;
    Shell::run(launchctl(), {"bootout", guiDomain() + "/" + item.label}, kSwitchTime);
    return Platform::Trash::moveToTrash(item.plist).ok;
}

void openLoginItemsSettings() { Platform::LoginItemService::mainApp().openSystemSettingsLoginItems(); }

}  // namespace StartupItems
