#include <gtest/gtest.h>

#include <QSignalSpy>

#include "Support/QtTestSupport.h"
#include "Support/StartupFakes.h"

using namespace startupfake;

namespace {
// Lets finished answers reach the model.
void settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

struct Fixture {
    Services fake;
    StartupModel model{fake.make()};
    // A finished load of these lists.
    void loaded(std::vector<Item> jobs, std::vector<LoginItems::OpenAtLogin> logins = {}) {
        model.load();
        fake.loads.finish(fake.loads.count() - 1, std::move(jobs));
        fake.logins.finish(fake.logins.count() - 1, {std::move(logins), std::nullopt});
        settle();
    }
};
}  // namespace

TEST(StartupModel, LoadPublishesTheJobsFirstAndIgnoresASecondLoadMeanwhile) {
    Fixture f;
    f.model.load();
    f.model.load();
    EXPECT_EQ(f.fake.loads.count(), 1u);
    EXPECT_EQ(f.fake.logins.count(), 1u);
    EXPECT_TRUE(f.model.loading());

    f.fake.loads.finish(0, {job("a", Scope::user, true)});
    settle();
    EXPECT_EQ(f.model.items().size(), 1u);
    EXPECT_TRUE(f.model.loading());
    EXPECT_FALSE(f.model.loaded());

    f.fake.logins.finish(0, {{}, std::string("Couldn't read login items.")});
    settle();
    EXPECT_FALSE(f.model.loading());
    EXPECT_TRUE(f.model.loaded());
    EXPECT_EQ(f.model.openAtLoginError(), QString("Couldn't read login items."));

    // A later successful read clears the error.
    f.loaded({});
    EXPECT_FALSE(f.model.openAtLoginError());
}

TEST(StartupModel, ASwitchSetsWhatWasAskedForWhateverLandedMeanwhile) {
    struct Case {
        const char* name;
        bool reloadedAs;  // the job as a reload shows it before the switch ends
        bool secondClick;
    } cases[] = {
        {"a reload already shows the new state", false, false},
        {"a reload still shows the old state", true, false},
        {"a second click on the same row while it switches", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        const Item on = job("a", Scope::user, true);
        f.loaded({on});
        f.model.toggle(on);
        if (c.secondClick) f.model.toggle(on);
        EXPECT_TRUE(f.model.isSwitching(on.plist));
        f.loaded({job("a", Scope::user, c.reloadedAs, c.reloadedAs)});
        f.fake.switches.finish(0, {true, ""});
        settle();
        ASSERT_EQ(f.fake.switched.size(), 1u);
        EXPECT_FALSE(f.fake.switched[0].second);
        EXPECT_FALSE(f.model.items().at(0).enabled);
        EXPECT_FALSE(f.model.items().at(0).running);
        EXPECT_FALSE(f.model.isSwitching(on.plist));
    }
}

TEST(StartupModel, AFailedSwitchKeepsItsMessageUntilASuccessfulOne) {
    Fixture f;
    const Item off = job("a", Scope::system, false);
    f.loaded({off});
    struct Step {
        StartupItems::Outcome outcome;
        std::optional<QString> error;
        bool enabled;
    } steps[] = {
        {{false, "0:12: execution error: User canceled. (-128)"}, QString("Password prompt cancelled"), false},
        {{false, "zsh:1: no such file or directory: /bin/launchctl\n"},
         QString("zsh:1: no such file or directory: /bin/launchctl\n"), false},
        {{true, ""}, std::nullopt, true},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        QSignalSpy errors(&f.model, &StartupModel::errorsChanged);
        f.model.toggle(f.model.items().at(0));
        f.fake.switches.finish(i, steps[i].outcome);
        settle();
        const auto it = f.model.errors().find(off.plist);
        EXPECT_EQ(it == f.model.errors().end() ? std::nullopt : std::optional<QString>(it->second), steps[i].error);
        EXPECT_EQ(f.model.items().at(0).enabled, steps[i].enabled);
        EXPECT_EQ(f.model.items().at(0).running, steps[i].enabled);
        EXPECT_EQ(errors.count(), 1);
    }

    // A job that left the list meanwhile: nothing changes, not even the messages.
    f.model.toggle(f.model.items().at(0));
    f.loaded({});
    QSignalSpy errors(&f.model, &StartupModel::errorsChanged);
    f.fake.switches.finish(3, {true, ""});
    settle();
    EXPECT_TRUE(f.model.items().empty());
    EXPECT_EQ(errors.count(), 0);
}

TEST(StartupModel, BackgroundReadsFailThenSucceed) {
    Fixture f;
    f.model.loadBackground();
    f.model.loadBackground();
    EXPECT_EQ(f.fake.backgrounds.count(), 1u);
    f.fake.backgrounds.finish(0, {{}, std::string("Password prompt cancelled")});
    settle();
    EXPECT_FALSE(f.model.backgroundLoaded());
    EXPECT_EQ(f.model.backgroundError(), QString("Password prompt cancelled"));
    f.model.loadBackground();
    f.fake.backgrounds.finish(1, {{{"Foo", std::nullopt, true}}, std::nullopt});
    settle();
    EXPECT_TRUE(f.model.backgroundLoaded());
    EXPECT_FALSE(f.model.backgroundError());
}

TEST(StartupModel, RemovalsDropEveryEntryOfThePathOrNameOnlyOnSuccess) {
    Fixture f;
    const Item a = job("a", Scope::user, true), b = job("b", Scope::user, true);
    f.loaded({a, b, a});
    for (bool removed : {false, true}) {
        f.model.remove(a);
        f.fake.removals.finish(f.fake.removals.count() - 1, removed);
        settle();
    }
    EXPECT_EQ(f.model.items(), std::vector<Item>{b});

    f.loaded({}, {{"Notes", "/n"}, {"Chat", "/c"}, {"Notes", "/m"}});
    for (auto [name, removed] : {std::pair{"Chat", false}, {"Notes", true}}) {
        f.model.removeFromLogin({name, ""});
        f.fake.loginRemovals.finish(f.fake.loginRemovals.count() - 1, removed);
        settle();
    }
    EXPECT_EQ(f.model.openAtLoginError(), QString("macOS didn't let Quelto remove Chat."));
    EXPECT_EQ(f.model.openAtLogin(), (std::vector<LoginItems::OpenAtLogin>{{"Chat", "/c"}}));
}
