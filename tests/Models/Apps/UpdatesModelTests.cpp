// The updates model over a checker and an applier the test answers by hand, in
// the order it chooses: guards against overlapping work, what each outcome
// leaves and the walk over the Homebrew rows.
#include "Models/Apps/UpdatesModel.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include "Models/Apps/UpdatesTestSupport.h"
#include "Support/QtTestSupport.h"

using AppUpdates::Outcome;
using AppUpdates::Source;
using Update = UpdatesModel::Update;

namespace {
using updatestest::Answering;
using updatestest::make;

// A model holding `list` after a finished check.
struct Listed {
    Answering fake;
    UpdatesModel model{fake.services()};
    explicit Listed(std::vector<Update> list) {
        model.check();
        Answering::answer(*fake.checks.back(), AppUpdates::Check{std::move(list), true, ""});
        EXPECT_TRUE(qttest::until([&] { return model.checked(); }));
    }
    bool idle() { return qttest::until([&] { return model.working().empty(); }); }
};
}  // namespace

TEST(UpdatesModel, OneCheckAtATimeAndANoAnswerIsAProblemNotAnAllClear) {
    Answering fake;
    UpdatesModel model(fake.services());
    QSignalSpy checking(&model, &UpdatesModel::checkingChanged);
    model.check();
    model.check();
    EXPECT_EQ(fake.checks.size(), 1u);
    EXPECT_EQ(checking.count(), 1);
    EXPECT_TRUE(model.checking());
    EXPECT_TRUE(model.isBusy());
    EXPECT_FALSE(model.checked());

    const std::vector<Update> found{make("Alpha", Source::homebrew, "alpha"), make("Beta", Source::appStore)};
    Answering::answer(*fake.checks[0], AppUpdates::Check{found, true, ""});
    ASSERT_TRUE(qttest::until([&] { return model.checked(); }));
    EXPECT_FALSE(model.checking());
    EXPECT_EQ(model.updates(), found);
    EXPECT_TRUE(model.problem().isEmpty());

    model.check();
    Answering::answer(*fake.checks[1], AppUpdates::Check{{}, false, "Homebrew is not installed."});
    ASSERT_TRUE(qttest::until([&] { return !model.checking(); }));
    EXPECT_TRUE(model.updates().empty());
    EXPECT_EQ(model.problem(), "Homebrew is not installed.");
    EXPECT_TRUE(model.checked());
}

TEST(UpdatesModel, WhatEachOutcomeLeaves) {
    const Update brew = make("Alpha", Source::homebrew, "alpha");
    struct Case {
        const char* name;
        Update update;
        Outcome outcome;
        size_t rowsLeft;
        QString message;
    } cases[] = {
        {"homebrew installed: every row of that app goes", brew, {true, "==> Upgraded"}, 1, "earlier"},
        {"homebrew failed", brew, {false, "Error: no network"}, 3, "Error: no network"},
        {"homebrew without a token", make("Alpha", Source::homebrew), {false, ""}, 3, "earlier"},
        {"store page opened", make("Alpha", Source::appStore), {true, ""}, 3, "earlier"},
        {"feed app opened", make("Alpha", Source::sparkle), {true, "Use the app's menu"}, 3, "Use the app's menu"},
    };
    for (const Case& c : cases) {
        // Two rows of one app (as a check finishing meanwhile can leave) and another app.
        Listed l({brew, make("Alpha", Source::sparkle), make("Gamma", Source::homebrew, "gamma")});
        const std::string key = c.update.key();
        l.model.apply(make("Alpha", Source::inApp, "alpha"));
        Answering::answer(*l.fake.applies.back().second, Outcome{true, "earlier"});
        ASSERT_TRUE(l.idle());

        l.model.apply(c.update);
        EXPECT_TRUE(l.model.working().count(key)) << c.name;
        Answering::answer(*l.fake.applies.back().second, c.outcome);
        ASSERT_TRUE(l.idle()) << c.name;
        EXPECT_EQ(l.model.updates().size(), c.rowsLeft) << c.name;
        EXPECT_EQ(l.model.messages().at(key), c.message) << c.name;
    }
}

TEST(UpdatesModel, UpdateAllWalksTheHomebrewRowsOfItsMomentInOrder) {
    Listed l({make("Alpha", Source::homebrew, "alpha"), make("Beta", Source::appStore),
              make("Gamma", Source::homebrew, "gamma"), make("Delta", Source::homebrew, "delta")});
    l.model.apply(l.model.updates()[3]);  // Delta already runs from its row
    l.model.updateAllHomebrew();
    l.model.updateAllHomebrew();  // a second press while it walks
    EXPECT_EQ(l.fake.applied(), (std::vector<std::string>{"Delta", "Alpha"}));

    // A check that ends mid-walk changes nothing about the walk.
    l.model.check();
    Answering::answer(*l.fake.checks.back(), AppUpdates::Check{{make("Omega", Source::homebrew, "omega")}, true, ""});
    ASSERT_TRUE(qttest::until([&] { return !l.model.checking(); }));
    Answering::answer(*l.fake.applies[1].second, Outcome{true, ""});
    ASSERT_TRUE(qttest::until([&] { return l.fake.applies.size() == 3; }));
    EXPECT_EQ(l.fake.applied(), (std::vector<std::string>{"Delta", "Alpha", "Gamma"}));
    Answering::answer(*l.fake.applies[2].second, Outcome{true, ""});
    Answering::answer(*l.fake.applies[0].second, Outcome{true, ""});
    ASSERT_TRUE(l.idle());
    EXPECT_EQ(l.fake.applies.size(), 3u) << "Delta ran from its row; the walk passed it over";
    ASSERT_EQ(l.model.updates().size(), 1u);
    EXPECT_EQ(l.model.updates()[0].name, "Omega");

    // Once it has ended, another walk may start.
    l.model.updateAllHomebrew();
    EXPECT_EQ(l.fake.applied().back(), "Omega");
}

TEST(UpdatesModel, MessagesKeepTheirLastWholeCharacters) {
    const QString e = QString::fromUtf8("\xC3\xA9"), decomposed = QString::fromUtf8("e\xCC\x81"),
                  emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    struct Case {
        QString text;
        QString kept;
    } cases[] = {
        {"x" + e.repeated(300), e.repeated(300)},
        {e.repeated(299), e.repeated(299)},
        {emoji.repeated(301), emoji.repeated(300)},
        {decomposed.repeated(301), decomposed.repeated(300)},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(UpdatesModel::lastCharacters(c.text), c.kept) << c.text.size();
}
