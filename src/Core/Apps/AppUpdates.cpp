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
using Clock = std::chrono::steady_clock;

// How far one source got: it had nothing to ask, asked and got nothing readable, or answered.
enum class Reach { notAsked, failed, answered };

struct Found {
    std::vector<Update> updates;
    Reach reach = Reach::notAsked;
    std::vector<std::pair<const App*, std::string>> unchecked;  // "<what>: <why>", by app

    void notChecked(const App* app, const std::string& what, const std::string& why) {
        if (reach == Reach::notAsked) reach = Reach::failed;
        unchecked.emplace_back(app, what + ": " + why);
    }
    void notChecked(const App& app, const std::string& why) { notChecked(&app, app.name, why); }
};

// When a check must end, and how it says that something did not answer by then.
struct Deadline {
    Clock::time_point at;
    std::string missed;  // "not checked within N s"

    explicit Deadline(std::chrono::milliseconds limit)
        : at(Clock::now() + limit),
          missed(localizedFormat("not checked within %@ s",
                                 {std::to_string(std::chrono::ceil<std::chrono::seconds>(limit).count())})) {}
    double secondsLeft() const { return std::chrono::duration<double>(at - Clock::now()).count(); }
};

std::string brewPath() { return Platform::Programs::path(Platform::Program::brew); }

bool readableVersion(const std::string& text) { return text.size() <= maxVersionLength; }

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
    return s && readableVersion(*s) ? std::optional<std::string>(*s) : std::nullopt;
}

std::string plistProblem(Platform::PropertyList::Problem problem) {
    using Problem = Platform::PropertyList::Problem;
    switch (problem) {
        case Problem::unreadable: return localized("its Info.plist cannot be read");
        case Problem::notPropertyList: return localized("its Info.plist is not a property list");
        case Problem::nestedTooDeeply: return localized("its Info.plist is nested too deeply to read");
        case Problem::tooManyValues: return localized("its Info.plist unfolds into too much to read");
        case Problem::notDictionary: return localized("its Info.plist holds no dictionary");
    }
    return {};
}

Found homebrew(const std::vector<App>& apps, const Deadline& deadline) {
    Found found;
    const std::string brew = brewPath();
    if (!Platform::FileOps::isExecutableFile(brew)) return found;
    found.reach = Reach::failed;
    const std::string what = "Homebrew";
    // Homebrew's own limit, or what is left of the check's, whichever ends first.
    const auto limit = [&] { return std::min(listTimeout, deadline.secondsLeft()); };
    const double outdatedLimit = limit();
    if (outdatedLimit <= 0) {
        found.notChecked(nullptr, what, deadline.missed);
        return found;
    }
    const Shell::Result outdated = Shell::run(brew, {"outdated", "--cask", "--greedy", "--json=v2"}, outdatedLimit);
    if (outdated.timedOut) {
        found.notChecked(nullptr, what,
                         outdatedLimit < listTimeout
                             ? deadline.missed
                             : localizedFormat("no list of outdated apps within %@ s", {std::to_string(int(listTimeout))}));
        return found;
    }
    if (outdated.status != 0) {
        const std::string status = std::to_string(outdated.status);
        found.notChecked(nullptr, what, localizedFormat("could not list the outdated apps (exit status %@)", {status}));
        return found;
    }
    const std::optional<json> answer = parsedJson(outdated.output);
    const json* casks = casksOf(answer);
    if (!casks) {
        found.notChecked(nullptr, what, localized("its list of outdated apps could not be read"));
        return found;
    }
    found.reach = Reach::answered;
    if (casks->empty()) return found;

    std::vector<std::string> arguments{"info", "--cask", "--json=v2"};
    for (const json& cask : *casks)
        if (const std::string* name = stringAt(cask, "name")) arguments.push_back(*name);
    // Its status is not looked at: what it printed is read whatever it is.
    const double infoLimit = limit();
    const Shell::Result info = infoLimit > 0 ? Shell::run(brew, arguments, infoLimit) : Shell::Result{};
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
        if (!readableVersion(*current)) {
            found.notChecked(nullptr, *name, localized("Homebrew names a version too long to read"));
            continue;
        }
        std::string brewInstalled = "?";
        if (const auto v = cask.find("installed_versions");
            v != cask.end() && v->is_array() && !v->empty() &&
            std::all_of(v->begin(), v->end(), [](const json& e) { return e.is_string(); }))
            brewInstalled = v->back().get<std::string>();
        if (!readableVersion(brewInstalled)) brewInstalled = "?";
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

// An answer read: the update it offers, if any, and why it could not be read, if so.
struct Reading {
    std::optional<Update> update;
    std::optional<std::string> unreadable;
};

// Waits, until the deadline at most, for every answer; `read` turns a body into
// the update it offers and says why it could not be read, if so. An answer counts
// only with a success status and a body read whole; a body that could not be read
// whole but still offered an update lists the update and no complaint.
template <class Read>
void collect(Found& found, std::vector<Pending> pending, const Deadline& deadline, const char* fetchFailed,
             const char* serverAnswered, Read read) {
    for (Pending& p : pending) {
        if (found.reach == Reach::notAsked) found.reach = Reach::failed;
        if (p.response.wait_until(deadline.at) != std::future_status::ready) {
            found.notChecked(*p.app, deadline.missed);
            continue;
        }
        const Platform::Http::Response r = p.response.get();
        if (!r.ok) {
            found.notChecked(*p.app, r.expired ? deadline.missed : localizedFormat(fetchFailed, {r.error}));
            continue;
        }
        // An error page is no answer, whatever its body holds: nothing in it is offered.
        if (!isAnswer(r)) {
            found.notChecked(*p.app, localizedFormat(serverAnswered, {std::to_string(r.status)}));
            continue;
        }
        Reading reading = read(p, r.body);
        if (reading.update) found.updates.push_back(std::move(*reading.update));
        else if (reading.unreadable) found.notChecked(*p.app, *reading.unreadable);
        if (!reading.unreadable) found.reach = Reach::answered;
    }
}

std::vector<Pending> askStore(Found& found, const std::vector<App>& apps, Platform::Http::Client& http,
                              const std::string& base, const Deadline& deadline) {
    std::vector<Pending> pending;
    for (const App& app : apps) {
        struct ::stat st;
        if (::stat((app.url / "Contents/_MASReceipt/receipt").c_str(), &st) != 0) continue;
        const std::optional<std::string> installed = version(app.url);
        if (!installed) {
            found.notChecked(app, localized("its own version cannot be read"));
            continue;
        }
        const std::string url =
            base + "/lookup?bundleId=" + Platform::Http::queryValue(app.bundleID) + "&entity=macSoftware";
        if (!Platform::Http::isHttpsUrl(url)) continue;
        pending.push_back({&app, *installed, http.get(url, lookupMaxBytes, deadline.at)});
    }
    return pending;
}

Reading storeAnswer(const Pending& p, const std::string& text) {
    const std::optional<json> body = parsedJson(text);
    if (!body || !body->is_object() || !body->contains("results") || !(*body)["results"].is_array())
        return {std::nullopt, localized("the App Store's answer could not be read")};
    const json& results = (*body)["results"];
    if (results.empty() || !results[0].is_object()) return {};
    const std::string* available = stringAt(results[0], "version");
    if (!available) return {};
    if (!readableVersion(*available)) return {std::nullopt, localized("the App Store names a version too long to read")};
    if (!isNewer(*available, p.installed)) return {};
    std::optional<std::string> page;
    // Only a store page is opened later, never another kind of address.
    if (const std::string* track = stringAt(results[0], "trackViewUrl"); track && Platform::Http::isHttpsUrl(*track))
        page = *track;
    return {Update{p.app->url, p.app->name, p.installed, *available, Source::appStore, std::nullopt, page}, std::nullopt};
}

Reading feedAnswer(const Pending& p, const std::string& body) {
    AppcastParser parser;
    Reading reading;
    switch (parser.parse(body)) {
        case AppcastParser::Reading::feed: break;
        case AppcastParser::Reading::notWellFormed:
            reading.unreadable = localizedFormat("the feed is not well-formed XML (%@)", {parser.brokenAt});
            break;
        case AppcastParser::Reading::declaresEntities:
            reading.unreadable = localized("the feed declares XML entities, which are never read");
            break;
        case AppcastParser::Reading::notAFeed:
            reading.unreadable = parser.root == "html" ? localized("the answer is a web page, not an update feed")
                                                       : localized("the answer is not an update feed");
            break;
        case AppcastParser::Reading::versionTooLong:
            reading.unreadable = localized("the feed names a version too long to read");
            break;
    }
    // A feed cut off still offers what it named; a document that is no feed offers nothing.
    const std::optional<std::string> newest = parser.isFeed() ? parser.latest() : std::nullopt;
    if (newest && isNewer(*newest, p.installed))
        reading.update = Update{p.app->url, p.app->name, p.installed, *newest, Source::sparkle, std::nullopt, std::nullopt};
    return reading;
}

std::vector<Pending> askFeeds(Found& found, const std::vector<App>& apps, Platform::Http::Client& http,
                              const Deadline& deadline) {
    std::vector<Pending> pending;
    for (const App& app : apps) {
        Platform::PropertyList::Problem problem{};
        const auto info = Platform::PropertyList::readDictionary(app.url / "Contents/Info.plist", &problem);
        if (!info) {
            found.notChecked(app, plistProblem(problem));
            continue;
        }
        const std::string* url = Platform::PropertyList::string(*info, "SUFeedURL");
        if (!url || url->empty()) continue;
        // Only https is ever asked: an app naming another kind of address is not taken
        // for one that names none.
        if (!Platform::Http::isHttpsUrl(*url)) {
            found.notChecked(app, url->rfind("https://", 0) == 0 ? localized("its feed address is not a valid URL")
                                                                 : localized("refused: not https"));
            continue;
        }
        const std::optional<std::string> installed = shortVersion(*info);
        if (!installed) {
            found.notChecked(app, localized("its own version cannot be read"));
            continue;
        }
        pending.push_back({&app, *installed, http.get(*url, feedMaxBytes, deadline.at)});
    }
    return pending;
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
    const Deadline deadline(environment.limit);
    const std::vector<App> apps = environment.installedApps();
    Platform::Http::Client& http = environment.http ? *environment.http : Platform::Http::Client::shared();
    // Every request is on its way before anything is waited for; the client runs a few at once.
    Found fromStore, fromFeeds;
    auto store = askStore(fromStore, apps, http, environment.lookupBase, deadline);
    auto feeds = askFeeds(fromFeeds, apps, http, deadline);
    auto brew = std::async(std::launch::async, [&apps, &deadline] { return homebrew(apps, deadline); });
    collect(fromStore, std::move(store), deadline, "the App Store could not be reached (%@)", "the App Store answered %@",
            storeAnswer);
    collect(fromFeeds, std::move(feeds), deadline, "the feed could not be fetched (%@)", "the feed's server answered %@",
            feedAnswer);
    const Found fromBrew = brew.get();

    Check result;
    result.answered = fromBrew.reach == Reach::answered || fromStore.reach == Reach::answered ||
                      fromFeeds.reach == Reach::answered;
    std::set<std::string> seen, told;
    using Said = std::pair<const Found*, const char*>;
    for (const auto& [source, nobodyToAsk] : {Said{&fromBrew, "Homebrew is not installed."},
                                              Said{&fromStore, "No app here comes from the App Store."},
                                              Said{&fromFeeds, "No app here names an update feed."}}) {
        for (const Update& u : source->updates)
            if (seen.insert(u.key()).second) result.updates.push_back(u);
        // A source with nobody to ask failed nothing, unless nothing answered at all.
        if (!result.answered && source->reach == Reach::notAsked) result.unchecked.push_back(localized(nobodyToAsk));
        // In the order of the apps (answers come in any order), and an app both sources
        // could not ask for one reason told once.
        auto lines = source->unchecked;
        std::stable_sort(lines.begin(), lines.end(),
                         [](const auto& a, const auto& b) { return std::less<const App*>()(a.first, b.first); });
        for (const auto& [app, line] : lines)
            if (told.insert(line).second) result.unchecked.push_back(line);
    }
    std::stable_sort(result.updates.begin(), result.updates.end(), [](const Update& a, const Update& b) {
        return Text::localizedCaseInsensitiveCompare(a.name, b.name) < 0;
    });
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
