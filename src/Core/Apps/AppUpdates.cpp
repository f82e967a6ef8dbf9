#include "Core/Apps/AppUpdates.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <future>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "Core/Apps/AppcastParser.h"
#include "Core/Clean/Shell.h"
#include "Core/Localized.h"
#include "Core/Text.h"
#include "Platform/FileOps.h"
#include "Platform/Http.h"
#include "Platform/Programs.h"
#include "Platform/PropertyList.h"
#include "Platform/Workspace.h"

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace AppUpdates {
namespace {
using App = AppUninstaller::InstalledApp;

// How far one source got: it had nothing to ask, asked and got nothing readable, or answered.
enum class Reach { notAsked, failed, answered };

struct Found {
    std::vector<Update> updates;
    Reach reach = Reach::notAsked;
};

std::string brewPath() { return Platform::Programs::path(Platform::Program::brew); }

std::optional<json> parsedJson(const std::string& text) {
    json value = json::parse(text, nullptr, false);
    if (value.is_discarded()) return std::nullopt;
    return value;
}

// The "casks" array of a Homebrew answer when every element is an object.
const json* casksOf(const std::optional<json>& answer) {
    if (!answer || !answer->is_object()) return nullptr;
    const auto it = answer->find("casks");
    if (it == answer->end() || !it->is_array()) return nullptr;
    for (const json& cask : *it)
        if (!cask.is_object()) return nullptr;
    return &*it;
}

const std::string* stringAt(const json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get_ptr<const std::string*>() : nullptr;
}

std::optional<std::string> shortVersion(const Platform::PropertyList::Dictionary& info) {
    const std::string* s = Platform::PropertyList::string(info, "CFBundleShortVersionString");
    return s ? std::optional<std::string>(*s) : std::nullopt;
}

Found homebrew(const std::vector<App>& apps) {
    Found found;
    const std::string brew = brewPath();
    if (!Platform::FileOps::isExecutableFile(brew)) return found;
    found.reach = Reach::failed;
    const Shell::Result outdated = Shell::run(brew, {"outdated", "--cask", "--greedy", "--json=v2"}, listTimeout);
    if (outdated.status != 0) return found;
    const std::optional<json> answer = parsedJson(outdated.output);
    const json* casks = casksOf(answer);
    if (!casks) return found;
    found.reach = Reach::answered;
    if (casks->empty()) return found;

    std::vector<std::string> arguments{"info", "--cask", "--json=v2"};
    for (const json& cask : *casks)
        if (const std::string* name = stringAt(cask, "name")) arguments.push_back(*name);
    // Its status is not looked at: what it printed is read whatever it is.
    const Shell::Result info = Shell::run(brew, arguments, listTimeout);
    std::set<std::string> disabled;
    std::map<std::string, std::string> appName;
    if (const std::optional<json> described = parsedJson(info.output);
        described && described->is_object() && described->contains("casks") && (*described)["casks"].is_array()) {
        for (const json& cask : (*described)["casks"]) {
            if (!cask.is_object()) continue;
            const std::string* token = stringAt(cask, "token");
            const auto artifacts = cask.find("artifacts");
            if (!token || artifacts == cask.end() || !artifacts->is_array() ||
                !std::all_of(artifacts->begin(), artifacts->end(), [](const json& a) { return a.is_object(); }))
                continue;
            if (const auto d = cask.find("disabled"); d != cask.end() && d->is_boolean() && d->get<bool>())
                disabled.insert(*token);
            for (const json& artifact : *artifacts) {
                const auto app = artifact.find("app");
                if (app != artifact.end() && app->is_array() && !app->empty() && (*app)[0].is_string())
                    appName[*token] = (*app)[0].get<std::string>();
            }
        }
    }

    for (const json& cask : *casks) {
        const std::string* name = stringAt(cask, "name");
        const std::string* current = stringAt(cask, "current_version");
        if (!name || !current) continue;
        std::string brewInstalled = "?";
        if (const auto v = cask.find("installed_versions");
            v != cask.end() && v->is_array() && !v->empty() &&
            std::all_of(v->begin(), v->end(), [](const json& e) { return e.is_string(); }))
            brewInstalled = v->back().get<std::string>();
        const auto named = appName.find(*name);
        const std::string artifact = named == appName.end() ? std::string() : named->second;
        const App* match = nullptr;
        for (const App& app : apps) {
            if (Text::localizedCaseInsensitiveCompare(app.url.filename().native(), artifact) == 0) {
                match = &app;
                break;
            }
        }
        // Appended as text: an artifact name can never replace the folder.
        const fs::path url = match ? match->url : fs::path("/Applications/" + artifact);
        const std::string installed = version(url).value_or(brewInstalled);
        if (!isNewer(*current, installed)) continue;
        found.updates.push_back({url, match ? match->name : *name, installed, *current,
                                 disabled.count(*name) ? Source::inApp : Source::homebrew, *name, std::nullopt});
    }
    return found;
}

bool isAnswer(const Platform::Http::Response& r) { return r.ok && r.status >= 200 && r.status < 300; }

struct Pending {
    const App* app;
    std::string installed;
    std::future<Platform::Http::Response> response;
};

std::vector<Pending> askStore(const std::vector<App>& apps, Platform::Http::Client& http, const std::string& base) {
    std::vector<Pending> pending;
    for (const App& app : apps) {
        struct ::stat st;
        if (::stat((app.url / "Contents/_MASReceipt/receipt").c_str(), &st) != 0) continue;
        const std::optional<std::string> installed = version(app.url);
        if (!installed) continue;
        const std::string url =
            base + "/lookup?bundleId=" + Platform::Http::queryValue(app.bundleID) + "&entity=macSoftware";
        if (!Platform::Http::isHttpsUrl(url)) continue;
        pending.push_back({&app, *installed, http.get(url, lookupMaxBytes)});
    }
    return pending;
}

// Waits for every answer; `read` turns a body into an update, and tells whether
// the body was an answer at all (not an error page).
template <class Read>
Found collect(std::vector<Pending> pending, Read read) {
    Found found;
    for (Pending& p : pending) {
        const Platform::Http::Response r = p.response.get();
        if (found.reach == Reach::notAsked) found.reach = Reach::failed;
        if (!r.ok) continue;
        bool readable = false;
        if (std::optional<Update> u = read(p, r.body, readable)) found.updates.push_back(std::move(*u));
        if (readable && isAnswer(r)) found.reach = Reach::answered;
    }
    return found;
}

std::optional<Update> storeAnswer(const Pending& p, const std::string& text, bool& readable) {
    const std::optional<json> body = parsedJson(text);
    if (!body || !body->is_object() || !body->contains("results") || !(*body)["results"].is_array()) return std::nullopt;
    readable = true;
    const json& results = (*body)["results"];
    if (results.empty() || !results[0].is_object()) return std::nullopt;
    const std::string* available = stringAt(results[0], "version");
    if (!available || !isNewer(*available, p.installed)) return std::nullopt;
    std::optional<std::string> page;
    // Only a store page is opened later, never another kind of address.
    if (const std::string* track = stringAt(results[0], "trackViewUrl"); track && Platform::Http::isHttpsUrl(*track))
        page = *track;
    return Update{p.app->url, p.app->name, p.installed, *available, Source::appStore, std::nullopt, page};
}

std::optional<Update> feedAnswer(const Pending& p, const std::string& body, bool& readable) {
    readable = true;
    const std::optional<std::string> newest = AppcastParser::latestVersion(body);
    if (!newest || !isNewer(*newest, p.installed)) return std::nullopt;
    return Update{p.app->url, p.app->name, p.installed, *newest, Source::sparkle, std::nullopt, std::nullopt};
}

std::vector<Pending> askFeeds(const std::vector<App>& apps, Platform::Http::Client& http) {
    std::vector<Pending> pending;
    for (const App& app : apps) {
        const auto info = Platform::PropertyList::readDictionary(app.url / "Contents/Info.plist");
        if (!info) continue;
        const std::string* url = Platform::PropertyList::string(*info, "SUFeedURL");
        if (!url || !Platform::Http::isHttpsUrl(*url)) continue;
        const std::optional<std::string> installed = shortVersion(*info);
        if (!installed) continue;
        pending.push_back({&app, *installed, http.get(*url, feedMaxBytes)});
    }
    return pending;
}

std::string problem(Reach brew, Reach store, Reach feeds) {
    std::string text;
    const auto add = [&](const char* sentence) {
        if (!text.empty()) text += ' ';
        text += localized(sentence);
    };
    add(brew == Reach::notAsked ? "Homebrew is not installed." : "Homebrew could not list the outdated apps.");
    add(store == Reach::notAsked ? "No app here comes from the App Store." : "The App Store could not be reached.");
    add(feeds == Reach::notAsked ? "No app here names an update feed." : "No app's update feed could be reached.");
    return text;
}

bool installedPerHomebrew(const Shell::Result& recheck, const std::string& token) {
    if (recheck.status != 0) return false;
    const std::optional<json> answer = parsedJson(recheck.output);
    const json* casks = casksOf(answer);
    if (!casks) return false;
    return std::none_of(casks->begin(), casks->end(), [&](const json& cask) {
        const std::string* name = stringAt(cask, "name");
        return name && *name == token;
    });
}
}  // namespace

std::string rawValue(Source source) {
    switch (source) {
        case Source::homebrew: return "homebrew";
        case Source::appStore: return "appStore";
        case Source::sparkle: return "sparkle";
        case Source::inApp: return "inApp";
    }
    return {};
}

std::string title(Source source) {
    switch (source) {
        case Source::homebrew: return "Homebrew";
        case Source::appStore: return "App Store";
        case Source::sparkle: return localized("Developer");
        case Source::inApp: return localized("In app");
    }
    return {};
}

std::string Update::key() const {
    if (token && !app.native().empty() && app.native().back() == '/') return "brew:" + *token;
    return app.native();
}

bool isNewer(std::string_view a, std::string_view b) {
    const auto numbers = [](std::string_view text) {
        std::vector<int64_t> out;
        for (const std::string& run : Text::numericRuns(text)) {
            int64_t value = 0;
            const auto [end, error] = std::from_chars(run.data(), run.data() + run.size(), value);
            // Digits of other scripts, fractions and values past 64 bits read as nothing.
            if (error == std::errc() && end == run.data() + run.size()) out.push_back(value);
        }
        return out;
    };
    const std::vector<int64_t> x = numbers(a), y = numbers(b);
    for (size_t i = 0; i < std::max(x.size(), y.size()); ++i) {
        const int64_t p = i < x.size() ? x[i] : 0, q = i < y.size() ? y[i] : 0;
        if (p != q) return p > q;
    }
    return false;
}

std::optional<std::string> version(const fs::path& app) {
    const auto info = Platform::PropertyList::readDictionary(app / "Contents/Info.plist");
    return info ? shortVersion(*info) : std::nullopt;
}

Check check(const Environment& environment) {
    const std::vector<App> apps = environment.installedApps();
    Platform::Http::Client& http = environment.http ? *environment.http : Platform::Http::Client::shared();
    // Every request is on its way before anything is waited for; the client runs a few at once.
    auto store = askStore(apps, http, environment.lookupBase);
    auto feeds = askFeeds(apps, http);
    auto brew = std::async(std::launch::async, [&apps] { return homebrew(apps); });
    const Found fromStore = collect(std::move(store), storeAnswer);
    const Found fromFeeds = collect(std::move(feeds), feedAnswer);
    const Found fromBrew = brew.get();

    Check result;
    std::set<std::string> seen;
    for (const Found* source : {&fromBrew, &fromStore, &fromFeeds})
        for (const Update& u : source->updates)
            if (seen.insert(u.key()).second) result.updates.push_back(u);
    std::stable_sort(result.updates.begin(), result.updates.end(), [](const Update& a, const Update& b) {
        return Text::localizedCaseInsensitiveCompare(a.name, b.name) < 0;
    });
    result.answered = fromBrew.reach == Reach::answered || fromStore.reach == Reach::answered ||
                      fromFeeds.reach == Reach::answered;
    if (!result.answered) result.problem = problem(fromBrew.reach, fromStore.reach, fromFeeds.reach);
    return result;
}

void openWithWorkspace(const std::string& target) { Platform::Workspace::open(target); }

Outcome apply(const Update& update, const Opener& open) {
    switch (update.source) {
        case Source::homebrew: {
            if (!update.token) return {false, ""};
            const std::string brew = brewPath();
            const Shell::Result upgrade = Shell::run(brew, {"upgrade", "--cask", *update.token}, upgradeTimeout);
            if (upgrade.status != 0 || Text::localizedCaseInsensitiveContains(upgrade.output, "not upgrading"))
                return {false, upgrade.output};
            const Shell::Result recheck =
                Shell::run(brew, {"outdated", "--cask", "--greedy", "--json=v2", *update.token}, listTimeout);
            if (installedPerHomebrew(recheck, *update.token)) return {true, upgrade.output};
            return {false, localized("Homebrew did not install the update. Check its output and try again.")};
        }
        case Source::appStore:
            if (update.page && Platform::Http::isHttpsUrl(*update.page)) open(*update.page);
            return {true, ""};
        case Source::sparkle:
            open(update.app.native());
            return {true, localized("Use the app's \"Check for Updates\u2026\" menu")};
        case Source::inApp:
            open(update.app.native());
            return {true, localized("Homebrew cannot update this app. Use its own updater.")};
    }
    return {false, ""};
}
}  // namespace AppUpdates
