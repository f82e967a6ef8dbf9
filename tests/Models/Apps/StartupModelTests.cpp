#include <gtest/gtest.h>

#include "Support/QtTestSupport.h"
#include "Support/AppsFakes.h"

using namespace appsfake;

TEST(StartupModel, LoadPublishesTheJobsFirstAndIgnoresASecondLoadMeanwhile) {
    FakeStartup f;
    f.model.load();
    f.model.load();
    EXPECT_EQ(f.loads.calls.size(), 1u);
    f.loads.finish(0, {job("a", Scope::user, true)});
    EXPECT_EQ(f.model.items().size(), 1u);
    EXPECT_TRUE(f.model.loading());
    EXPECT_FALSE(f.model.loaded());
    f.logins.finish(0, {{}, std::string("Couldn't read login items.")});
    EXPECT_FALSE(f.model.loading());
    EXPECT_TRUE(f.model.loaded());
    EXPECT_EQ(f.model.openAtLoginError(), QString("Couldn't read login items."));
}

TEST(StartupModel, ASwitchSetsWhatWasAskedForWhateverLandedMeanwhile) {
    const Item on = job("a", Scope::user, true), old = job("a", Scope::user, true, true);
    // `reload`: what a reload shows before the switch ends.
    struct Case { const char* name; std::vector<Item> reload; bool secondClick; } cases[] = {
        {"a reload already shows the new state", {job("a", Scope::user, false)}, false},
        {"a reload still shows the old state", {old}, false},
        {"a second click on the same row while it switches", {old}, true},
        {"a reload without the job", {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeStartup f;
        f.loaded({on});
        f.model.toggle(on);
        if (c.secondClick) f.model.toggle(on);
        f.loaded(c.reload);
        f.switches.finish(0, {true, ""});
        EXPECT_EQ(f.switchedTo, std::vector<bool>{false});
        EXPECT_EQ(f.model.items(), c.reload.empty() ? std::vector<Item>{} : std::vector<Item>{job("a", Scope::user, false)});
        EXPECT_FALSE(f.model.isSwitching(on.plist));
    }
}

TEST(StartupModel, BackgroundReadsFailThenSucceed) {
    FakeStartup f;
    f.model.loadBackground();
    f.model.loadBackground();
    EXPECT_EQ(f.backgrounds.calls.size(), 1u);
    f.backgrounds.finish(0, {{}, std::string("Password prompt cancelled")});
    EXPECT_FALSE(f.model.backgroundLoaded());
    EXPECT_EQ(f.model.backgroundError(), QString("Password prompt cancelled"));
    f.model.loadBackground();
    f.backgrounds.finish(1, {{{"Foo", std::nullopt, true}}, std::nullopt});
    EXPECT_TRUE(f.model.backgroundLoaded());
    EXPECT_FALSE(f.model.backgroundError());
}
