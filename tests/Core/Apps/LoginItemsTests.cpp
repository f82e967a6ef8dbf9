#include <gtest/gtest.h>

#include "Core/Apps/LoginItems.h"
#include "Platform/Programs.h"
#include "Support/TestTree.h"

using LoginItems::Background;
using testtree::ScopedEnv;
using testtree::TempDir;
using testtree::writeScript;
namespace fs = std::filesystem;

namespace {
// One block of `sfltool dumpbtm` output, as the tool indents it.
std::string record(int n, const std::vector<std::pair<std::string, std::string>>& keys) {
    std::string out = " #" + std::to_string(n) + ":\n";
    for (const auto& [key, value] : keys) out += std::string(20 - key.size(), ' ') + key + ": " + value + "\n";
    return out;
}
const std::string kAllowed = "[enabled, allowed, visible, notified] (0xb)";
const std::string kDisallowed = "[disabled, disallowed, visible, notified] (0x2)";
}  // namespace

TEST(LoginItems, ParseBTMReadsRecordsBlocksParentsAndMergesByName) {
    TempDir tmp;
    fs::create_directories(tmp / "Apps/Foo Bar.app");
    const std::string bundle = (tmp / "Apps/Foo Bar.app").string();
    const std::string bundleURL = "file://" + (tmp / "Apps/Foo%20Bar.app/").string();

    struct Case {
        const char* name;
        std::string dump;
        std::vector<Background> expected;
    } cases[] = {
        {"lines before the first header, nameless, (null) and other types are dropped",
         " Name: Stray\n Type: app\n" + record(1, {{"Type", "app (0x2)"}, {"Disposition", kAllowed}}) +
             record(2, {{"Name", "(null)"}, {"Type", "app"}, {"Disposition", kAllowed}}) +
             record(3, {{"Name", "Agent"}, {"Type", "agent (0x8)"}, {"Disposition", kAllowed}}) +
             record(4, {{"Name", "Dev"}, {"Type", "developer (0x20)"}, {"Disposition", kAllowed}}),
         {{"Dev", std::nullopt, true}}},
        {"an allowed app is blocked by a disallowed child naming it as parent",
         record(1, {{"Name", "Parent"}, {"Type", "app"}, {"Disposition", kAllowed}, {"Identifier", "2.com.p"}}) +
             record(2, {{"Name", "Helper"}, {"Type", "agent"}, {"Disposition", kDisallowed},
                        {"Parent Identifier", "2.com.p"}}) +
             record(3, {{"Name", "Other"}, {"Type", "APP"}, {"Disposition", kDisallowed}}),
         {{"Other", std::nullopt, false}, {"Parent", std::nullopt, false}}},
        {"one name twice: allowed only if both are, the first path kept",
         record(1, {{"Name", "Twice"}, {"Type", "app"}, {"Disposition", kAllowed}}) +
             record(2, {{"Name", "Twice"}, {"Type", "app"}, {"Disposition", kAllowed}, {"URL", "/first"}}) +
             record(3, {{"Name", "Twice"}, {"Type", "app"}, {"Disposition", kDisallowed}, {"URL", "/second"}}),
         {{"Twice", "/first", false}}},
        {"the later URL key wins; a file URL is decoded; other URLs are not paths",
         record(1, {{"Name", "Later"}, {"Type", "app"}, {"Disposition", kAllowed}, {"URL", "/early"},
                    {"Bundle URL", "file:///Late%20One/x/"}}) +
             record(2, {{"Name", "Web"}, {"Type", "app"}, {"Disposition", kAllowed}, {"URL", "https://x.y/"}}) +
             record(3, {{"Name", "Odd"}, {"Type", "app"}, {"Disposition", kAllowed}, {"URL", "file:///bad%zz"}}),
         {{"Later", "/Late One/x", true}, {"Odd", "file:///bad%zz", true}, {"Web", std::nullopt, true}}},
        {"an existing app bundle gives its display name; names sort without case; CRLF lines",
         "#1:\r\nName: zed\r\nType: app\r\nDisposition: " + kAllowed + "\r\nURL: " + bundleURL + "\r\n" +
             record(2, {{"Name", "alpha"}, {"Type", "app"}, {"Disposition", kAllowed}}) +
             record(3, {{"Name", "Beta"}, {"Type", "app"}, {"Disposition", "[enabled]"}}),
         {{"alpha", std::nullopt, true}, {"Beta", std::nullopt, false}, {"Foo Bar", bundle, true}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LoginItems::parseBTM(c.dump), c.expected);
    }
}

TEST(LoginItems, BackgroundActivityRunsTheToolAsAdministratorAndReportsItsFailures) {
    TempDir tmp;
    ScopedEnv noEscalation("QUELTO_OSASCRIPT_NO_ESCALATION", "1");
    const fs::path tool = tmp / "bin dir/sfl'tool";
    struct Case {
        const char* name;
        const char* script;  // the fake tool; nullptr: no tool at all
        bool cancel;
        std::vector<Background> items;
        std::optional<std::string> error;  // how it begins
    } cases[] = {
        {"the dump is parsed",
         "[ \"$1\" = dumpbtm ] || exit 9\nprintf ' #1:\\n Name: Foo\\n Type: app\\n Disposition: [allowed]\\n'\n",
         false, {{"Foo", std::nullopt, true}}, std::nullopt},
        {"a failure shows the trimmed output", "printf '  no records here \\n'\nexit 3\n", false, {}, "no records here"},
        {"a dismissed prompt", "echo never run\n", true, {}, "Password prompt cancelled"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeScript(tool, c.script);
        Platform::Programs::setPathForTesting(Platform::Program::sfltool, tool.string());
        ScopedEnv cancel("QUELTO_OSASCRIPT_CANCEL", c.cancel ? std::optional<std::string>("1") : std::nullopt);
        const auto listing = LoginItems::backgroundActivity();
        EXPECT_EQ(listing.items, c.items);
        ASSERT_EQ(listing.error.has_value(), c.error.has_value());
        if (c.error) {
            EXPECT_EQ(listing.error->substr(0, c.error->size()), *c.error);
        }
    }

    // No password prompt for a tool that is not there: the stand-in would leave a mark.
    const fs::path mark = tmp / "prompted";
    Platform::Programs::setPathForTesting(Platform::Program::osascript,
                                          writeScript(tmp / "osascript", "touch '" + mark.string() + "'\n").string());
    Platform::Programs::setPathForTesting(Platform::Program::sfltool, (tmp / "missing").string());
    const auto missing = LoginItems::backgroundActivity();
    ASSERT_TRUE(missing.error);
    EXPECT_NE(missing.error->find("missing"), std::string::npos);
    EXPECT_FALSE(fs::exists(mark));
    Platform::Programs::resetForTesting();
}
