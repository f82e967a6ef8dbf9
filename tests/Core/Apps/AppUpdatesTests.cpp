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
#include "Support/NestedPlists.h"

using namespace std::chrono_literals;
using AppUpdates::Source;
using httpstest::Reply;
namespace fs = std::filesystem;

namespace {
// brew as a script: each run's arguments go to a log, one per line, then "--"; what
// each command prints and its status come from files the test writes. Without
// `installed`, brew is a path where nothing is.
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
    std::string xml = R"(<?xml version="1.0"?><rss xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">)";
    for (const char* v : versions) xml += std::string(R"(<item><enclosure sparkle:shortVersionString=")") + v + "\"/></item>";
    return xml + "</rss>";
}

// Fixture bundles in ~/Applications, a local server and a client that trusts it.
struct Machine {
    fakehome::FakeHome home;
    httpstest::HttpsServer server;
    Platform::Http::Client http{{2000ms, 1500ms, 4}};
    AppUpdates::Environment environment;

    explicit Machine(httpstest::HttpsServer::Handler handler) : server(std::move(handler)) {
        http.setTrustedCertificatesForTesting(server.certificate());
        environment = {[this] { return AppUninstaller::installedApps({home / "Applications"}); }, &http, server.url("")};
    }
    // An app at `version` (none when null), from the store with `receipt`.
    void app(const std::string& name, std::map<std::string, std::string> keys = {}, bool receipt = false,
             const char* version = "1.0") {
        keys.emplace("CFBundleIdentifier", "com.example." + name);
        if (version) keys.emplace("CFBundleShortVersionString", version);
        const fs::path b = appfixtures::bundle(home, "Applications/" + name + ".app", keys);
        if (receipt) home.file(b / "Contents/_MASReceipt/receipt", 1);
    }
    std::map<std::string, std::string> feed(const std::string& name) const {
        return {{"SUFeedURL", server.url("/feeds/" + name)}};
    }
};
}  // namespace

TEST(AppUpdates, IsNewerComparesRunsOfDigitsAsNumbers) {
    struct Case {
        const char* a;
        const char* b;
        bool newer;
    } cases[] = {
        {"1.10", "1.9", true}, {"1.9", "1.10", false}, {"2.0", "2", false}, {"2", "2.0", false}, {"1.0.1", "1.0", true},
        {"", "", false}, {"1.2b3", "1.2.2", true}, {"1.2b3", "1.2.3", false}, {"v3 (build 7)", "3.0.6", true},
        {"0.1", "?", true}, {"?", "0.1", false},
        // A run past 64 bits reads as nothing, and so do other scripts' digits.
        {"99999999999999999999.1", "1.0", false}, {"1.0", "99999999999999999999.1", false},
        {"9223372036854775807", "9223372036854775806", true}, {"\xD9\xA1\xD9\xA2", "1", false},
        {"1", "\xD9\xA1\xD9\xA2", true}, {"1\xD9\xA2" "3", "0.1", false},
    };
    for (const Case& c : cases) EXPECT_EQ(AppUpdates::isNewer(c.a, c.b), c.newer) << c.a << " vs " << c.b;
}

TEST(AppcastParser, VersionsAndTheNewestOfThem) {
    testtree::TempDir tmp;
    testtree::writeFile(tmp / "outside.xml", R"(<enclosure sparkle:version="9.9"/>)");
    // Ten levels of ten references each: a billion "ha"s if anything expanded them.
    std::string laughs = R"(<!DOCTYPE r [<!ENTITY a0 "ha">)";
    for (int i = 1; i < 10; ++i) {
        laughs += "<!ENTITY a" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) laughs += "&a" + std::to_string(i - 1) + ";";
        laughs += "\">";
    }
    laughs += R"(]><r><enclosure sparkle:version="1"/>&a9;</r>)";
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
        {"element text trimmed, attributes as written",
         "<rss><sparkle:shortVersionString>\n\t 3.0\xC2\xA0\n</sparkle:shortVersionString><sparkle:shortVersionString> "
         R"(</sparkle:shortVersionString><enclosure sparkle:shortVersionString=" 4 "/></rss>)",
         {"3.0", " 4 "}, " 4 "},
        {"names compared with their prefix",
         R"(<rss xmlns:s="http://www.andymatuschak.org/xml-namespaces/sparkle"><enclosure s:shortVersionString="5"/><Enclosure sparkle:version="6"/></rss>)",
         {}, std::nullopt},
        {"cut off halfway keeps what came before",
         R"(<rss><item><enclosure sparkle:version="1.5"/></item><item><enclosure sparkle:version="1.6)", {"1.5"}, "1.5"},
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
            return {Reply::Kind::answer, 200, R"({"results":[{"version":"1.5","trackViewUrl":"https://apps.example/b"}]})", {}};
        if (target.rfind("/lookup?", 0) == 0)
            return {Reply::Kind::answer, 200, R"({"results":[{"version":"7.0","trackViewUrl":"file:///etc/passwd"}]})", {}};
        if (target == "/feeds/Alpha" || target == "/feeds/Beta") return {Reply::Kind::answer, 200, appcast({"9.0"}), {}};
        if (target == "/feeds/Gamma") return {Reply::Kind::answer, 404, appcast({"1.9", "2.0"}), {}};
        if (target == "/feeds/Eta") return {Reply::Kind::answer, 200, R"(<rss><enclosure sparkle:version="1.5"/><enclo)", {}};
        return Reply::silent();
    });
    FakeBrew brew;
    for (const char* name : {"Alpha", "Gamma", "Zeta", "Eta"}) m.app(name, m.feed(name));
    m.app("Beta", m.feed("Beta"), true);
    m.app("Delta", {{"SUFeedURL", "http" + m.server.url("/feeds/Delta").substr(5)}});
    m.app("Epsilon", {{"SUFeedURL", "HTTPS" + m.server.url("/feeds/Epsilon").substr(5)}});
    m.app("Theta", m.feed("Theta"), true, nullptr);  // no version: never asked
    m.app("Iota", {{"CFBundleIdentifier", "com.example.iota&entity=x"}}, true);
    m.app("Kappa", {}, false, "5.0");
    brew.answer("outdated", R"({"formulae":[],"casks":[
        {"name":"alpha","installed_versions":["0.5"],"current_version":"2.0"},
        {"name":"ghost","installed_versions":["0.8","0.9"],"current_version":"1.0"},
        {"name":"noapp1","installed_versions":["1"],"current_version":"2"},
        {"name":"noapp2","installed_versions":[],"current_version":"3"},
        {"name":"legacy","current_version":"4"},
        {"name":"kappa","installed_versions":["4.0"],"current_version":"5.0"},
        {"current_version":"1.0"}]})");
    brew.answer("info", R"({"casks":[
        {"token":"alpha","artifacts":[{"app":["ALPHA.app"]},{"zap":[]}]},
        {"token":"ghost","artifacts":[{"app":["Old Ghost.app"]},{"app":["Ghost.app",{"target":"x"}]}]},
        {"token":"noapp1","artifacts":[{"pkg":["x.pkg"]}]},
        {"token":"legacy","disabled":true,"artifacts":[{"app":["Legacy.app"]}]},
        {"token":"kappa","artifacts":[{"app":["kappa.app"]}]}]})");

    const auto start = std::chrono::steady_clock::now();
    const AppUpdates::Check found = AppUpdates::check(m.environment);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "the silent feed ends at the client's limit";
    std::vector<std::string> got;
    for (const auto& u : found.updates)
        got.push_back(u.name + " " + u.installed + ">" + u.available + " " + AppUpdates::rawValue(u.source) + " " +
                      u.key() + (u.token ? " token=" + *u.token : "") + (u.page ? " page=" + *u.page : ""));
    const std::string apps = (m.home / "Applications/").string();
    EXPECT_EQ(got, (std::vector<std::string>{
                       "Alpha 1.0>2.0 homebrew " + apps + "Alpha.app token=alpha",
                       "Beta 1.0>1.5 appStore " + apps + "Beta.app page=https://apps.example/b",
                       "Eta 1.0>1.5 sparkle " + apps + "Eta.app",
                       "ghost 0.9>1.0 homebrew /Applications/Ghost.app token=ghost",
                       "Iota 1.0>7.0 appStore " + apps + "Iota.app",
                       "legacy ?>4 inApp /Applications/Legacy.app token=legacy",
                       "noapp1 1>2 homebrew brew:noapp1 token=noapp1",
                       "noapp2 ?>3 homebrew brew:noapp2 token=noapp2",
                   }));
    EXPECT_TRUE(found.answered);
    // Told once though neither source could ask; the silent feed's line ends in the client's words.
    ASSERT_EQ(found.unchecked.size(), 5u);
    EXPECT_EQ(std::vector(found.unchecked.begin(), found.unchecked.end() - 1),
              (std::vector<std::string>{"Theta: its own version cannot be read", "Delta: refused: not https",
                                        "Epsilon: refused: not https", "Gamma: the feed's server answered 404"}));
    EXPECT_EQ(found.unchecked.back().rfind("Zeta: the feed could not be fetched (", 0), 0u) << found.unchecked.back();
    EXPECT_EQ(brew.log(), "outdated\n--cask\n--greedy\n--json=v2\n--\n"
                          "info\n--cask\n--json=v2\nalpha\nghost\nnoapp1\nnoapp2\nlegacy\nkappa\n--\n");
    auto targets = m.server.targets();
    std::sort(targets.begin(), targets.end());
    EXPECT_EQ(targets, (std::vector<std::string>{"/feeds/Alpha", "/feeds/Beta", "/feeds/Eta", "/feeds/Gamma",
                                                 "/feeds/Zeta", "/lookup?bundleId=com.example.Beta&entity=macSoftware",
                                                 "/lookup?bundleId=com.example.iota%26entity%3Dx&entity=macSoftware"}));
}

TEST(AppUpdates, ACheckSaysWhatItCouldNotAskAndIsNoAllClearWithoutEveryAnswer) {
    const std::string plain = "Plain: refused: not https";
    struct Case {
        const char* name;
        const char* outdated;  // none: no Homebrew
        int status;
        bool storeAndFeedApps;
        bool answered;
        std::vector<std::string> unchecked;
    } cases[] = {
        {"nothing to ask", nullptr, 0, false, false,
         {"Homebrew is not installed.", "No app here comes from the App Store.", plain}},
        {"every source fails", "Error: no network", 1, true, false,
         {"Homebrew: could not list the outdated apps (exit status 1)", "Store: the App Store answered 503",
          "Fed: the feed is not well-formed XML (line 1: no element found)", plain}},
        {"brew's list unreadable", "<html>", 0, false, false,
         {"Homebrew: its list of outdated apps could not be read", "No app here comes from the App Store.", plain}},
        {"brew answers, the plain feed is still unchecked", R"({"casks":[]})", 0, false, true, {plain}},
    };
    for (const Case& c : cases) {
        Machine m([](const std::string& target) {
            return target.rfind("/lookup", 0) == 0 ? Reply{Reply::Kind::answer, 503, "<html>busy</html>", {}}
                                                    : Reply{Reply::Kind::answer, 200, "<html>", {}};
        });
        FakeBrew brew(c.outdated != nullptr);
        if (c.outdated) brew.answer("outdated", c.outdated, c.status);
        if (c.storeAndFeedApps) {
            m.app("Store", {}, true);
            m.app("Fed", m.feed("Fed"));
        }
        m.app("Plain", {{"SUFeedURL", "http://example.com/feed"}});
        const AppUpdates::Check found = AppUpdates::check(m.environment);
        EXPECT_TRUE(found.updates.empty()) << c.name;
        EXPECT_EQ(found.answered, c.answered) << c.name;
        EXPECT_EQ(found.unchecked, c.unchecked) << c.name;
    }
}

// "Good" always answers, so each case is a check in which one feed was not read.
TEST(AppUpdates, AFeedIsCheckedOnlyWhenItsAnswerReadsWholeAsAFeed) {
    using nestedplists::Format;
    const std::string current = appcast({"1.0"}), tooLong(AppUpdates::maxVersionLength + 1, '9');
    struct Case {
        int status;
        std::string body, line;  // line: empty when checked
        std::string plist = {};  // Fed's Info.plist once the apps are listed
    } cases[] = {
        {200, current, ""},
        {200, "<rss><item></rss>", "the feed is not well-formed XML (line 1: mismatched tag)"},
        {200, R"(<!DOCTYPE rss [<!ENTITY v "9">]><rss><enclosure sparkle:version="&v;"/></rss>)",
         "the feed declares XML entities, which are never read"},
        {200, "<rss><title>caf\xE9</title></rss>", "the feed is not well-formed XML (line 1: not well-formed (invalid token))"},
        {200, "<html><body>Moved</body></html>", "the answer is a web page, not an update feed"},
        // Nothing in a page is offered, whatever looks like an enclosure, even when it breaks off.
        {200, R"(<html><body><enclosure sparkle:version="2.0"/></body></html>)",
         "the answer is a web page, not an update feed"},
        {200, R"(<html><body><enclosure sparkle:version="2.0"/>)", "the feed is not well-formed XML (line 1: no element found)"},
        {404, current, "the feed's server answered 404"},
        {503, appcast({"2.0"}), "the feed's server answered 503"},
        {200, appcast({tooLong.c_str()}), "the feed names a version too long to read"},
        {200, current, "its Info.plist is nested too deeply to read", nestedplists::infoPlist(Format::xml, "com.f", 60000)},
        {200, current, "its Info.plist is nested too deeply to read", nestedplists::infoPlist(Format::binary, "com.f", 60000)},
        {200, current, "its Info.plist unfolds into too much to read",
         nestedplists::naming(nestedplists::Binary::marker(0x5, 65536) + std::string(65536, 'x'), 500, "com.f")},
    };
    for (const Case& c : cases) {
        Machine m([&](const std::string& target) { return Reply{Reply::Kind::answer, target == "/feeds/Fed" ? c.status : 200,
                                                               target == "/feeds/Fed" ? c.body : current, {}}; });
        FakeBrew brew(false);
        m.app("Fed", m.feed("Fed"));
        m.app("Good", m.feed("Good"));
        const auto listed = AppUninstaller::installedApps({m.home / "Applications"});
        if (!c.plist.empty()) testtree::writeFile(m.home / "Applications/Fed.app/Contents/Info.plist", c.plist);
        m.environment.installedApps = [&] { return listed; };
        const AppUpdates::Check found = AppUpdates::check(m.environment);
        EXPECT_TRUE(found.updates.empty() && found.answered) << c.line;
        EXPECT_EQ(found.unchecked, c.line.empty() ? std::vector<std::string>{} : std::vector{"Fed: " + c.line});
    }
}

TEST(AppUpdates, TheWholeCheckEndsWithinItsLimitHoweverManyFeedsWait) {
    // Two transfers at a time, each allowed 30 s: without the check's own limit a
    // dozen silent feeds would hold it for minutes, and Homebrew for 120 s.
    Machine m([](const std::string& target) { return target == "/ok" ? Reply{} : Reply::silent(); });
    Platform::Http::Client slow({2000ms, 30000ms, 2});
    slow.setTrustedCertificatesForTesting(m.server.certificate());
    m.environment.http = &slow;
    m.environment.limit = 1000ms;
    FakeBrew brew;
    testtree::writeScript(brew.dir / "brew", "exec sleep 30\n");
    std::vector<std::string> expected{"Homebrew: not checked within 1 s", "No app here comes from the App Store."};
    for (char c = 'A'; c < 'M'; ++c) {
        m.app(std::string("App") + c, m.feed(std::string("App") + c));
        expected.push_back(std::string("App") + c + ": not checked within 1 s");
    }
    // Bounds far from the waits they catch (30 s a transfer, 120 s for Homebrew), so
    // that a loaded machine never trips them.
    const auto start = std::chrono::steady_clock::now();
    const AppUpdates::Check found = AppUpdates::check(m.environment);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(found.unchecked, expected);
    // Its transfers ended with it, the waiting ones too: the client is free at once.
    auto next = slow.get(m.server.url("/ok"), 100);
    EXPECT_EQ(next.wait_for(10s), std::future_status::ready);
}

TEST(AppUpdates, ApplyUpgradesHomebrewOnceVerifiedAndHandsTheRestOver) {
    const std::string fixed = "Homebrew did not install the update. Check its output and try again.";
    const std::string token = "odd token; $(touch pwned)", upgrade = "upgrade\n--cask\n" + token + "\n--\n",
                      recheck = "outdated\n--cask\n--greedy\n--json=v2\n" + token + "\n--\n";
    const std::string refused = "Warning: Not upgrading odd, the latest version is installed\n";
    struct Case {
        const char* name;
        Source source;
        std::optional<std::string> page;
        std::string upgrade;  // brew's answers and their statuses
        int upgradeStatus;
        std::string recheck;
        int recheckStatus;
        bool ok;
        std::string message, log;
        std::vector<std::string> opened;
    } cases[] = {
        {"installed", Source::homebrew, {}, "==> Up\n", 0, R"({"casks":[{"name":"other"}]})", 0, true, "==> Up\n",
         upgrade + recheck, {}},
        {"refused", Source::homebrew, {}, refused, 0, "", 0, false, refused, upgrade, {}},
        {"failed", Source::homebrew, {}, "Error: download failed\n", 1, "", 0, false, "Error: download failed\n", upgrade, {}},
        {"still outdated", Source::homebrew, {}, "done\n", 0, R"j({"casks":[{"name":"odd token; $(touch pwned)"}]})j", 0,
         false, fixed, upgrade + recheck, {}},
        {"check failed", Source::homebrew, {}, "done\n", 0, R"({"casks":[]})", 1, false, fixed, upgrade + recheck, {}},
        {"check unreadable", Source::homebrew, {}, "done\n", 0, "Error", 0, false, fixed, upgrade + recheck, {}},
        {"store page", Source::appStore, "https://apps.example/x", "", 0, "", 0, true, "", "", {"https://apps.example/x"}},
        {"store page of another scheme", Source::appStore, "file:///etc/passwd", "", 0, "", 0, true, "", "", {}},
        {"feed", Source::sparkle, {}, "", 0, "", 0, true, "Use the app's \"Check for Updates\u2026\" menu", "",
         {"/Applications/X.app"}},
        {"in app", Source::inApp, {}, "", 0, "", 0, true, "Homebrew cannot update this app. Use its own updater.", "",
         {"/Applications/X.app"}},
    };
    for (const Case& c : cases) {
        FakeBrew brew;
        brew.answer("upgrade", c.upgrade, c.upgradeStatus);
        brew.answer("recheck", c.recheck, c.recheckStatus);
        std::vector<std::string> opened;
        const auto outcome = AppUpdates::apply({"/Applications/X.app", "X", "1", "2", c.source, token, c.page},
                                               [&](const std::string& t) { opened.push_back(t); });
        EXPECT_EQ(outcome.ok, c.ok) << c.name;
        EXPECT_EQ(outcome.message, c.message) << c.name;
        EXPECT_EQ(brew.log(), c.log) << c.name;
        EXPECT_EQ(opened, c.opened) << c.name;
    }
    EXPECT_FALSE(fs::exists("pwned"));
}
