#include <gtest/gtest.h>

#include "Core/Apps/LoginItems.h"
#include "Platform/Programs.h"
#include "Support/TestTree.h"

using LoginItems::Background;
namespace fs = std::filesystem;

namespace {
const std::string yes = "[enabled, allowed, visible, notified] (0xb)", no = "[disabled, disallowed, visible] (0x2)";
// One block of `sfltool dumpbtm` output, as the tool indents it; `more` holds further key lines.
std::string record(const std::string& name, const std::string& type, const std::string& disposition,
                   const std::string& more = "") {
    return " #1:\n      Name: " + name + "\n      Type: " + type + "\n      Disposition: " + disposition + "\n" + more;
}
}  // namespace

TEST(LoginItems, ParseBTMReadsRecordsBlocksParentsAndMergesByName) {
    testtree::TempDir tmp;
    fs::create_directories(tmp / "Apps/Foo Bar.app");
    struct Case { const char* name; std::string dump; std::vector<Background> expected; } cases[] = {
        {"lines before the first header, nameless, (null) and other types are dropped",
         " Name: Stray\n Type: app\n" + record("", "app", yes) + record("(null)", "app", yes) +
             record("Agent", "agent (0x8)", yes) + record("Dev", "developer (0x20)", yes),
         {{"Dev", std::nullopt, true}}},
        {"an allowed app is blocked by a disallowed child naming it as parent",
         record("Parent", "app", yes, " Identifier: 2.com.p\n") +
             record("Helper", "agent", no, " Parent Identifier: 2.com.p\n") + record("Other", "APP", no),
         {{"Other", std::nullopt, false}, {"Parent", std::nullopt, false}}},
        {"one name twice: allowed only if both are, the first path kept",
         record("Twice", "app", yes) + record("Twice", "app", yes, " URL: /first\n") +
             record("Twice", "app", no, " URL: /second\n"),
         {{"Twice", "/first", false}}},
        {"an existing app bundle gives its display name; names sort without case; CRLF lines",
         "#1:\r\nName: zed\r\nType: app\r\nDisposition: " + yes + "\r\nURL: file://" +
             (tmp / "Apps/Foo%20Bar.app/").string() + "\r\n" + record("alpha", "app", yes) +
             record("Beta", "app", "[enabled]"),
         {{"alpha", std::nullopt, true}, {"Beta", std::nullopt, false}, {"Foo Bar", (tmp / "Apps/Foo Bar.app").string(), true}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LoginItems::parseBTM(c.dump), c.expected);
    }
}

TEST(LoginItems, BackgroundActivityRunsTheToolAsAdministratorAndReportsItsFailures) {
    testtree::TempDir tmp;
    testtree::ScopedEnv noEscalation("QUELTO_OSASCRIPT_NO_ESCALATION", "1");
    const fs::path tool = tmp / "bin dir/sfl'tool";
    Platform::Programs::setPathForTesting(Platform::Program::sfltool, tool.string());
    // `script`: the fake tool, none there when null; `error`: how the error begins.
    struct Case { const char* name, *script; bool cancel; std::vector<Background> items; std::string error; } cases[] = {
        {"the dump is parsed",
         "[ \"$1\" = dumpbtm ] || exit 9\nprintf ' #1:\\n Name: Foo\\n Type: app\\n Disposition: [allowed]\\n'\n",
         false, {{"Foo", std::nullopt, true}}, ""},
        {"a dismissed prompt", "echo never run\n", true, {}, "Password prompt cancelled"},
        // Said before any password prompt, which would end in the shell's own "not found".
        {"no tool", nullptr, false, {}, "Could not start " + tool.string()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.script) testtree::writeScript(tool, c.script);
        else fs::remove(tool);
        testtree::ScopedEnv cancel("QUELTO_OSASCRIPT_CANCEL", c.cancel ? std::optional<std::string>("1") : std::nullopt);
        const auto listing = LoginItems::backgroundActivity();
        EXPECT_EQ(listing.items, c.items);
        EXPECT_EQ(listing.error.value_or("").substr(0, c.error.size()), c.error);
        EXPECT_EQ(listing.error.has_value(), !c.error.empty());
    }
    Platform::Programs::resetForTesting();
}
