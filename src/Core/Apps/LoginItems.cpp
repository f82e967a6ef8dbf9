#include "Core/Apps/LoginItems.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <set>

#include "Core/AdminScript.h"
#include "Core/Clean/Shell.h"
#include "Core/Localized.h"
#include "Core/Text.h"
#include "Platform/AsciiText.h"
#include "Platform/Autostart.h"
#include "Platform/FileOps.h"
#include "Platform/Programs.h"
#include "Platform/Workspace.h"

namespace LoginItems {
namespace {

struct Record {
    std::string name, type, disposition, identifier, parent;
    std::optional<std::string> url;
};

bool contains(std::string_view s, std::string_view part) { return s.find(part) != std::string_view::npos; }

bool countsAsAllowed(const std::string& disposition) {
    return contains(disposition, "allowed") && !contains(disposition, "disallowed");
}

std::vector<Record> records(const std::string& text) {
    std::vector<Record> out;
    std::optional<Record> current;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        const std::string line(Platform::trimmed(std::string_view(text).substr(start, end - start), " \t"));
        start = end + 1;
        if (line.starts_with("#") && line.back() == ':') {
            if (current) out.push_back(std::move(*current));
            current.emplace();
            continue;
        }
        const auto colon = line.find(':');
        if (!current || colon == std::string::npos) continue;
        const std::string key(Platform::trimmed(std::string_view(line).substr(0, colon), " \t"));
        const std::string value(Platform::trimmed(std::string_view(line).substr(colon + 1), " \t"));
        if (key == "Name") current->name = value;
        else if (key == "Type") current->type = Text::lowercased(value);
        else if (key == "Disposition") current->disposition = value;
        else if (key == "Identifier") current->identifier = value;
        else if (key == "Parent Identifier") current->parent = value;
        else if ((key == "URL" || key == "Bundle URL") && (value.starts_with("file:") || value.starts_with("/")))
            current->url = value;
    }
    if (current) out.push_back(std::move(*current));
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The path of a file URL, percent escapes undone and without a trailing slash;
// nothing when the text is not a well-formed URL.
std::optional<std::string> urlPath(const std::string& url) {
    std::string_view rest = std::string_view(url).substr(std::string_view("file:").size());
    if (rest.starts_with("//")) {
        const auto slash = rest.find('/', 2);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    }
    rest = rest.substr(0, rest.find_first_of("?#"));
    std::string path;
    for (size_t i = 0; i < rest.size(); ++i) {
        const auto c = static_cast<unsigned char>(rest[i]);
        if (c <= 0x20 || c == 0x7F) return std::nullopt;
        if (c != '%') {
            path += char(c);
            continue;
        }
        const int hi = i + 2 < rest.size() ? hexDigit(rest[i + 1]) : -1;
        const int lo = hi >= 0 ? hexDigit(rest[i + 2]) : -1;
        if (lo < 0 || (hi == 0 && lo == 0)) return std::nullopt;
        path += char(hi * 16 + lo);
        i += 2;
    }
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::optional<std::string> pathOf(const Record& r) {
    if (!r.url) return std::nullopt;
    if (r.url->starts_with("/")) return r.url;
    return urlPath(*r.url).value_or(*r.url);
}

std::string displayName(const Record& r, const std::optional<std::string>& path) {
    struct stat st;
    if (!path || !path->ends_with(".app") || ::stat(path->c_str(), &st) != 0) return r.name;
    return std::filesystem::path(Platform::Workspace::displayName(*path)).stem().string();
}

template <class T>
void sortByName(std::vector<T>& items) {
    std::stable_sort(items.begin(), items.end(),
                     [](const T& a, const T& b) { return Text::localizedCaseInsensitiveCompare(a.name, b.name) < 0; });
}

}  // namespace

Listing<OpenAtLogin> openAtLogin() {
    auto listing = Platform::Autostart::loginItems();
    if (listing.error)
        return {{}, listing.error->empty() ? localized("Couldn't read login items.") : *listing.error};
    Listing<OpenAtLogin> out;
    for (auto& item : listing.items)
        if (!item.name.empty()) out.items.push_back({std::move(item.name), item.file.string()});
    sortByName(out.items);
    return out;
}

bool remove(const std::string& name) { return Platform::Autostart::remove(name); }

Listing<Background> backgroundActivity() {
    const std::string tool = Platform::Programs::path(Platform::Program::sfltool);
    // No password prompt for a tool that is not there to run.
    if (!Platform::FileOps::isExecutableFile(tool)) return {{}, Shell::launchError(tool, errno)};
    const auto result = AdminScript::run(AdminScript::singleQuoted(tool) + " dumpbtm", 60);
    if (result.ok()) return {parseBTM(result.output), std::nullopt};
    return {{}, result.failureReason(localized("Couldn't read the background items."))};
}

std::vector<Background> parseBTM(const std::string& text) {
    const auto all = records(text);
    std::set<std::string> blockedParents;
    for (const auto& r : all)
        if (!r.parent.empty() && !countsAsAllowed(r.disposition)) blockedParents.insert(r.parent);

    std::map<std::string, Background> byName;
    for (const auto& r : all) {
        if (r.name.empty() || r.name == "(null)") continue;
        if (!r.type.starts_with("app") && !r.type.starts_with("developer")) continue;
        const bool allowed = countsAsAllowed(r.disposition) && !blockedParents.count(r.identifier);
        const auto path = pathOf(r);
        const std::string name = displayName(r, path);
        auto [it, added] = byName.try_emplace(name, Background{name, path, allowed});
        if (added) continue;
        if (!it->second.bundlePath) it->second.bundlePath = path;
        it->second.allowed = it->second.allowed && allowed;
    }
    std::vector<Background> out;
    for (auto& [name, item] : byName) out.push_back(std::move(item));
    sortByName(out);
    return out;
}

}  // namespace LoginItems
