// The update check over fixture bundles, a fake brew and a local https server
// standing in for the store lookup and the apps' feeds; applying each kind of
// update through the fake and a recording opener.
#include <gtest/gtest.h>

#include <chrono>

#include "Core/Apps/AppFixtures.h"
#include "Core/Apps/AppUpdates.h"
#include "Core/Apps/AppcastParser.h"
#include "Platform/Http.h"
#include "Platform/Programs.h"
#include "Support/HttpsServer.h"

using namespace std::chrono_literals;
using AppUpdates::Source;
using AppUpdates::Update;
using httpstest::Reply;
namespace fs = std::filesystem;

namespace {
// brew as a script: each run's arguments go to a log, one per line, then "--";
// what each command prints and its status come from files the test writes.
// Without `installed`, brew is a path where nothing is.
struct FakeBrew {
    testtree::TempDir dir;
    explicit FakeBrew(bool installed = true) {
        testtree::writeScript(dir / "brew", R"(d=$(dirname "$0")
printf '%s\n' "$@" -- >> "$d/log"
case "$1" in
  outdated) if [ $# -gt 4 ]; then c=recheck; else c=outdated; fi ;;
  *) c=$1 ;;
esac
[ -f "$d/$c.out" ] && cat "$d/$c.out"
exit $(cat "$d/$c.status" 2>/dev/null || echo 0)
)");
        Platform::Programs::setPathForTesting(Platform::Program::brew, (dir / (installed ? "brew" : "none")).string());
    }
    ~FakeBrew() { Platform::Programs::setPathForTesting(Platform::Program::brew, ""); }
    void answer(const std::string& command, const std::string& output, int status = 0) const {
        testtree::writeFile(dir / (command + ".out"), output);
        testtree::writeFile(dir / (command + ".status"), std::to_string(status));
    }
    std::string log() const { return testtree::readFile(dir / "log"); }
};

std::string appcast(std::initializer_list<const char*> versions) {
    std::string xml = R"(<?xml version="1.0"?><rss xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel>)";
    for (const char* v : versions) xml += std::string(R"(<item><enclosure url="x" sparkle:shortVersionString=")") + v + "\"/></item>";
    return xml + "</channel></rss>";
}

// Fixture bundles in ~/Applications, a local server and a client that trusts it.
struct Machine {
    fakehome::FakeHome home;
    httpstest::HttpsServer server;
    Platform::Http::Client http{{2000ms, 1500ms, 4}};
    AppUpdates::Environment environment;

    explicit Machine(httpstest::HttpsServer::Handler handler) : server(std::move(handler)) {
        http.setTrustedCertificatesForTesting(server.certificate());
        environment.installedApps = [this] { return AppUninstaller::installedApps({home / "Applications"}); };
        environment.http = &http;
        environment.lookupBase = server.url("");
    }
    fs::path app(const std::string& name, std::map<std::string, std::string> keys, bool receipt = false) {
        keys.emplace("CFBundleIdentifier", "com.example." + name);
        const fs::path b = appfixtures::bundle(home, "Applications/" + name + ".app", keys);
        if (receipt) home.file(b / "Contents/_MASReceipt/receipt", 1);
        return b;
    }
    std::string feed(const std::string& name) const { return server.url("/feeds/" + name); }
};

std::vector<std::string> summary(const std::vector<Update>& updates) {
    std::vector<std::string> out;
    for (const Update& u : updates)
        out.push_back(u.name + " " + u.installed + ">" + u.available + " " + AppUpdates::rawValue(u.source) + " " +
                      u.app.string() + (u.token ? " token=" + *u.token : "") + (u.page ? " page=" + *u.page : ""));
    return out;
}
}  // namespace

TEST(AppUpdates, IsNewerComparesRunsOfDigitsAsNumbers) {
    struct Case {
        const char* a;
        const char* b;
        bool newer;
    } cases[] = {
        {"1.10", "1.9", true},        {"1.9", "1.10", false},        {"2.0", "2", false},
        {"2", "2.0", false},          {"1.0.1", "1.0", true},        {"", "", false},
        {"1.2b3", "1.2.2", true},     {"1.2b3", "1.2.3", false},     {"v3 (build 7)", "3.0.6", true},
        {"0.1", "?", true},           {"?", "0.1", false},           {"1", "?", true},
        // A run past 64 bits reads as nothing, and so do other scripts' digits.
        {"99999999999999999999.1", "1.0", false}, {"1.0", "99999999999999999999.1", false},
        {"9223372036854775807", "9223372036854775806", true},
        {"\xD9\xA1\xD9\xA2", "1", false},  {"1", "\xD9\xA1\xD9\xA2", true},  {"1\xD9\xA2" "3", "0.1", false},
    };
    for (const Case& c : cases) EXPECT_EQ(AppUpdates::isNewer(c.a, c.b), c.newer) << c.a << " vs " << c.b;
}

TEST(AppcastParser, VersionsAndTheNewestOfThem) {
    testtree::TempDir tmp;
    testtree::writeFile(tmp / "outside.xml", R"(<enclosure sparkle:version="9.9"/>)");
    // Ten levels of ten references each: a billion "ha"s if anything expanded them.
    const std::string laughs = [] {
        std::string xml = R"(<!DOCTYPE r [<!ENTITY a0 "ha">)";
        for (int i = 1; i < 10; ++i) {
            xml += "<!ENTITY a" + std::to_string(i) + " \"";
            for (int k = 0; k < 10; ++k) xml += "&a" + std::to_string(i - 1) + ";";
            xml += "\">";
        }
        return xml + R"(]><r><enclosure sparkle:version="1"/>&a9;</r>)";
    }();
    struct Case {
        const char* name;
        std::string xml;
        std::vector<std::string> versions;
        std::optional<std::string> latest;
    } cases[] = {
        {"numbers, not text", appcast({"1.2", "1.10", "1.9"}), {"1.2", "1.10", "1.9"}, "1.10"},
        {"first of equals", appcast({"1.0", "1.0.0"}), {"1.0", "1.0.0"}, "1.0"},
        {"short version over build",
         R"(<rss><enclosure sparkle:version="200" sparkle:shortVersionString="2.1"/><enclosure sparkle:version="7"/></rss>)",
         {"2.1", "7"}, "7"},
        {"element text trimmed",
         "<rss><item><sparkle:shortVersionString>\n\t 3.0\xC2\xA0\n</sparkle:shortVersionString>"
         "<sparkle:shortVersionString>  </sparkle:shortVersionString></item></rss>",
         {"3.0"}, "3.0"},
        {"attribute kept as written", R"(<rss><enclosure sparkle:shortVersionString=" 4 "/><enclosure sparkle:shortVersionString=""/></rss>)",
         {" 4 ", ""}, " 4 "},
        {"names compared with their prefix",
         R"(<rss xmlns:s="http://www.andymatuschak.org/xml-namespaces/sparkle"><enclosure s:shortVersionString="5"/><Enclosure sparkle:version="6"/></rss>)",
         {}, std::nullopt},
        {"cut off halfway keeps what came before",
         R"(<rss><item><enclosure sparkle:version="1.5"/></item><item><enclosure sparkle:version="1.6)", {"1.5"}, "1.5"},
        {"broken later keeps what came before", R"(<rss><enclosure sparkle:version="2"/></wrong><enclosure sparkle:version="3"/>)",
         {"2"}, "2"},
        {"not xml", "{\"version\": \"1.0\"}", {}, std::nullopt},
        {"no entity is expanded", laughs, {}, std::nullopt},
        {"nothing is read from outside",
         "<!DOCTYPE r [<!ENTITY e SYSTEM \"" + (tmp / "outside.xml").string() + "\">]><r>&e;</r>", {}, std::nullopt},
    };
    for (const Case& c : cases) {
        AppcastParser parser;
        const auto start = std::chrono::steady_clock::now();
        parser.parse(c.xml);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << c.name;
        EXPECT_EQ(parser.versions, c.versions) << c.name;
        EXPECT_EQ(AppcastParser::latestVersion(c.xml), c.latest) << c.name;
    }
}

TEST(AppUpdates, CheckMergesTheThreeSourcesOncePerAppByName) {
    Machine m([](const std::string& target) -> Reply {
        if (target == "/lookup?bundleId=com.example.Beta&entity=macSoftware")
            return {Reply::Kind::answer, 200,
                    R"({"resultCount":1,"results":[{"version":"1.5","trackViewUrl":"https://apps.example/beta"}]})", {}};
        if (target.rfind("/lookup?", 0) == 0)
            return {Reply::Kind::answer, 200, R"({"results":[{"version":"7.0","trackViewUrl":"file:///etc/passwd"}]})", {}};
        if (target == "/feeds/Alpha" || target == "/feeds/Beta") return {Reply::Kind::answer, 200, appcast({"9.0"}), {}};
        if (target == "/feeds/Gamma") return {Reply::Kind::answer, 404, appcast({"1.9", "2.0"}), {}};
        if (target == "/feeds/Eta")
            return {Reply::Kind::answer, 200, R"(<rss><item><enclosure sparkle:version="1.5"/></item><item><enclosure sparkle:ver)", {}};
        if (target == "/feeds/Zeta") return Reply::silent();
        return {Reply::Kind::answer, 500, "", {}};
    });
    FakeBrew brew;
    m.app("Alpha", {{"CFBundleShortVersionString", "1.0"}, {"SUFeedURL", m.feed("Alpha")}});
    m.app("Beta", {{"CFBundleShortVersionString", "1.0"}, {"SUFeedURL", m.feed("Beta")}}, true);
    m.app("Gamma", {{"CFBundleShortVersionString", "1.0"}, {"SUFeedURL", m.feed("Gamma")}});
    m.app("Delta", {{"CFBundleShortVersionString", "1.0"}, {"SUFeedURL", "http" + m.feed("Delta").substr(5)}});
    m.app("Epsilon", {{"CFBundleShortVersionString", "1.0"}, {"SUFeedURL", "HTTPS" + m.feed("Epsilon").substr(5)}});
    m.app("Zeta", {{"CFBundleShortVersionString", "1.0"}, {"SUFeedURL", m.feed("Zeta")}});
    m.app("Eta", {{"CFBundleShortVersionString", "1.0"}, {"SUFeedURL", m.feed("Eta")}});
    m.app("Theta", {{"SUFeedURL", m.feed("Theta")}}, true);  // no version: never asked
    m.app("Iota", {{"CFBundleShortVersionString", "1.0"}, {"CFBundleIdentifier", "com.example.iota&entity=x"}}, true);
    m.app("Kappa", {{"CFBundleShortVersionString", "5.0"}});
    brew.answer("outdated", R"({"formulae":[],"casks":[
        {"name":"alpha","installed_versions":["0.5"],"current_version":"2.0"},
        {"name":"ghost","installed_versions":["0.8","0.9"],"current_version":"1.0"},
        {"name":"noapp1","installed_versions":["1"],"current_version":"2"},
        {"name":"noapp2","installed_versions":[],"current_version":"3"},
        {"name":"legacy","current_version":"4"},
        {"name":"kappa","installed_versions":["4.0"],"current_version":"5.0"},
        {"name":"same","installed_versions":[],"current_version":"0.0"},
        {"current_version":"1.0"}]})");
    brew.answer("info", R"({"casks":[
        {"token":"alpha","artifacts":[{"app":["ALPHA.app"]},{"zap":[]}]},
        {"token":"ghost","artifacts":[{"app":["Old Ghost.app"]},{"app":["Ghost.app",{"target":"x"}]}]},
        {"token":"noapp1","artifacts":[{"pkg":["x.pkg"]}]},
        {"token":"noapp2","artifacts":[]},
        {"token":"legacy","disabled":true,"artifacts":[{"app":["Legacy.app"]}]},
        {"token":"kappa","artifacts":[{"app":["kappa.app"]}]}]})");

    const auto start = std::chrono::steady_clock::now();
    const AppUpdates::Check found = AppUpdates::check(m.environment);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "the silent feed ends at the client's limit";
    const std::string apps = (m.home / "Applications/").string();
    EXPECT_EQ(summary(found.updates),
              (std::vector<std::string>{
                  "Alpha 1.0>2.0 homebrew " + apps + "Alpha.app token=alpha",
                  "Beta 1.0>1.5 appStore " + apps + "Beta.app page=https://apps.example/beta",
                  "Eta 1.0>1.5 sparkle " + apps + "Eta.app",
                  "Gamma 1.0>2.0 sparkle " + apps + "Gamma.app",
                  "ghost 0.9>1.0 homebrew /Applications/Ghost.app token=ghost",
                  "Iota 1.0>7.0 appStore " + apps + "Iota.app",
                  "legacy ?>4 inApp /Applications/Legacy.app token=legacy",
                  "noapp1 1>2 homebrew /Applications/ token=noapp1",
                  "noapp2 ?>3 homebrew /Applications/ token=noapp2",
              }));
    EXPECT_TRUE(found.answered);
    EXPECT_EQ(found.updates[7].key(), "brew:noapp1");
    EXPECT_EQ(brew.log(), "outdated\n--cask\n--greedy\n--json=v2\n--\n"
                          "info\n--cask\n--json=v2\nalpha\nghost\nnoapp1\nnoapp2\nlegacy\nkappa\nsame\n--\n");
    auto targets = m.server.targets();
    std::sort(targets.begin(), targets.end());
    EXPECT_EQ(targets, (std::vector<std::string>{"/feeds/Alpha", "/feeds/Beta", "/feeds/Eta", "/feeds/Gamma",
                                                 "/feeds/Zeta", "/lookup?bundleId=com.example.Beta&entity=macSoftware",
                                                 "/lookup?bundleId=com.example.iota%26entity%3Dx&entity=macSoftware"}));
}

TEST(AppUpdates, ACheckNobodyAnsweredSaysWhyAndIsNotUpToDate) {
    const std::string noBrew = "Homebrew is not installed.", brewFailed = "Homebrew could not list the outdated apps.",
                      nothingToAsk = " No app here comes from the App Store. No app here names an update feed.";
    struct Case {
        const char* outdated;  // none: no Homebrew
        int status;
        bool storeAndFeedApps;
        std::string problem;  // empty: answered
    } cases[] = {
        {nullptr, 0, false, noBrew + nothingToAsk},
        {"Error: no network", 1, true,
         brewFailed + " The App Store could not be reached. No app's update feed could be reached."},
        {"<html>", 0, false, brewFailed + nothingToAsk},
        {R"({"casks":[]})", 0, false, ""},
    };
    for (const Case& c : cases) {
        Machine m([](const std::string& target) -> Reply {
            if (target.rfind("/lookup", 0) == 0) return {Reply::Kind::answer, 503, "<html>busy</html>", {}};
            return Reply::silent();
        });
        FakeBrew brew(c.outdated != nullptr);
        if (c.outdated) brew.answer("outdated", c.outdated, c.status);
        if (c.storeAndFeedApps) {
            m.app("Store", {{"CFBundleShortVersionString", "1.0"}}, true);
            m.app("Fed", {{"CFBundleShortVersionString", "1.0"}, {"SUFeedURL", m.feed("Fed")}});
        }
        m.app("Plain", {{"CFBundleShortVersionString", "1.0"}, {"SUFeedURL", "http://example.com/feed"}});
        const AppUpdates::Check found = AppUpdates::check(m.environment);
        EXPECT_TRUE(found.updates.empty()) << c.problem;
        EXPECT_EQ(found.answered, c.problem.empty()) << c.problem;
        EXPECT_EQ(found.problem, c.problem);
    }
}

TEST(AppUpdates, HomebrewUpgradeRunsOnceAndIsVerified) {
    const std::string fixed = "Homebrew did not install the update. Check its output and try again.";
    const std::string token = "odd token; $(touch pwned)";
    struct Case {
        const char* name;
        std::string upgrade;
        int upgradeStatus;
        std::string recheck;
        int recheckStatus;
        bool ok;
        std::string message;
        bool rechecked;
    } cases[] = {
        {"installed", "==> Upgrading odd\n", 0, R"({"casks":[{"name":"other"}]})", 0, true, "==> Upgrading odd\n", true},
        {"refused", "Warning: Not upgrading odd, the latest version is installed\n", 0, "", 0, false,
         "Warning: Not upgrading odd, the latest version is installed\n", false},
        {"failed", "Error: download failed\n", 1, "", 0, false, "Error: download failed\n", false},
        {"still outdated", "done\n", 0, R"j({"casks":[{"name":"odd token; $(touch pwned)"}]})j", 0, false, fixed, true},
        {"check failed", "done\n", 0, R"({"casks":[]})", 1, false, fixed, true},
        {"check unreadable", "done\n", 0, "Error", 0, false, fixed, true},
    };
    for (const Case& c : cases) {
        FakeBrew brew;
        brew.answer("upgrade", c.upgrade, c.upgradeStatus);
        brew.answer("recheck", c.recheck, c.recheckStatus);
        const Update u{"/Applications/Odd.app", "Odd", "1", "2", Source::homebrew, token, std::nullopt};
        std::vector<std::string> opened;
        const auto outcome = AppUpdates::apply(u, [&](const std::string& t) { opened.push_back(t); });
        EXPECT_EQ(outcome.ok, c.ok) << c.name;
        EXPECT_EQ(outcome.message, c.message) << c.name;
        EXPECT_EQ(brew.log(), "upgrade\n--cask\n" + token + "\n--\n" +
                                  (c.rechecked ? "outdated\n--cask\n--greedy\n--json=v2\n" + token + "\n--\n" : ""))
            << c.name;
        EXPECT_TRUE(opened.empty()) << c.name;
        EXPECT_FALSE(fs::exists("pwned"));
    }

    FakeBrew brew;
    const auto noToken = AppUpdates::apply({"/Applications/X.app", "X", "1", "2", Source::homebrew, std::nullopt, std::nullopt});
    EXPECT_FALSE(noToken.ok);
    EXPECT_EQ(noToken.message, "");
    EXPECT_EQ(brew.log(), "");
    FakeBrew missing(false);
    const auto gone = AppUpdates::apply({"/Applications/X.app", "X", "1", "2", Source::homebrew, "x", std::nullopt});
    EXPECT_FALSE(gone.ok);
    EXPECT_NE(gone.message.find((missing.dir / "none").string()), std::string::npos) << gone.message;
}

TEST(AppUpdates, OtherSourcesHandOverToTheStoreOrTheApp) {
    struct Case {
        Source source;
        std::optional<std::string> page;
        std::vector<std::string> opened;
        std::string message;
    } cases[] = {
        {Source::appStore, "https://apps.example/x", {"https://apps.example/x"}, ""},
        {Source::appStore, std::nullopt, {}, ""},
        {Source::appStore, "file:///etc/passwd", {}, ""},
        {Source::sparkle, std::nullopt, {"/Applications/X.app"}, "Use the app's \"Check for Updates\u2026\" menu"},
        {Source::inApp, std::nullopt, {"/Applications/X.app"}, "Homebrew cannot update this app. Use its own updater."},
    };
    FakeBrew brew;
    for (const Case& c : cases) {
        std::vector<std::string> opened;
        const auto outcome = AppUpdates::apply({"/Applications/X.app", "X", "1", "2", c.source, "x", c.page},
                                               [&](const std::string& t) { opened.push_back(t); });
        EXPECT_TRUE(outcome.ok);
        EXPECT_EQ(outcome.message, c.message);
        EXPECT_EQ(opened, c.opened) << AppUpdates::rawValue(c.source);
    }
    EXPECT_EQ(brew.log(), "") << "only Homebrew updates run brew";
}
