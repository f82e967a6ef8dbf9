// The updates model over a checker and an applier the test answers by hand, in the
// order it chooses: guards against overlapping work and the walk over the Homebrew rows.
#include "Models/Apps/UpdatesModel.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include "Support/AppsFakes.h"
#include "Support/QtTestSupport.h"

using AppUpdates::Check;
using AppUpdates::Outcome;
using AppUpdates::Source;
using appsfake::make;

TEST(UpdatesModel, OneCheckAtATimeAndANoAnswerIsAProblemNotAnAllClear) {
    appsfake::FakeUpdates fake;
    UpdatesModel model(fake.services());
    QSignalSpy checking(&model, &UpdatesModel::checkingChanged);
    model.check();
    model.check();
    EXPECT_EQ(fake.checks.calls.size(), 1u);
    EXPECT_EQ(checking.count(), 1);
    EXPECT_TRUE(model.isBusy());
    EXPECT_FALSE(model.checked());

    const std::vector found{make("Alpha", Source::homebrew, "alpha"), make("Beta", Source::appStore)};
    fake.checks.finish(0, Check{found, true, {}});
    ASSERT_TRUE(qttest::until([&] { return model.checked(); }));
    EXPECT_FALSE(model.isBusy());
    EXPECT_EQ(model.updates(), found);
    EXPECT_TRUE(model.answered() && model.unchecked().isEmpty());

    QSignalSpy told(&model, &UpdatesModel::uncheckedChanged);
    model.check();
    fake.checks.finish(1, Check{{}, false, {"Homebrew is not installed."}});
    ASSERT_TRUE(qttest::until([&] { return !model.checking(); }));
    EXPECT_TRUE(model.updates().empty());
    EXPECT_FALSE(model.answered());
    EXPECT_EQ(model.unchecked(), QStringList{"Homebrew is not installed."});
    EXPECT_EQ(told.count(), 1);
}

TEST(UpdatesModel, UpdateAllWalksTheHomebrewRowsOfItsMomentInOrder) {
    appsfake::FakeUpdates fake;
    UpdatesModel model(fake.services());
    model.check();
    fake.checks.finishLast(Check{{make("Alpha", Source::homebrew, "alpha"), make("Beta", Source::appStore),
                                  make("Gamma", Source::homebrew, "gamma"), make("Delta", Source::homebrew, "delta")},
                                 true, {}});
    ASSERT_TRUE(qttest::until([&] { return model.checked(); }));
    model.apply(model.updates()[3]);  // Delta already runs from its row
    model.updateAllHomebrew();
    model.updateAllHomebrew();  // a second press while it walks
    EXPECT_EQ(fake.applied, (std::vector<std::string>{"Delta", "Alpha"}));

    // A check that ends mid-walk changes nothing about the walk.
    model.check();
    fake.checks.finishLast(Check{{make("Omega", Source::homebrew, "omega")}, true, {}});
    ASSERT_TRUE(qttest::until([&] { return !model.checking(); }));
    fake.applies.finish(1, Outcome{true, ""});
    ASSERT_TRUE(qttest::until([&] { return fake.applies.calls.size() == 3; }));
    fake.applies.finish(2, Outcome{true, ""});
    fake.applies.finish(0, Outcome{true, ""});
    ASSERT_TRUE(qttest::until([&] { return model.working().empty(); }));
    EXPECT_EQ(fake.applied, (std::vector<std::string>{"Delta", "Alpha", "Gamma"})) << "Delta was passed over";
    EXPECT_EQ(model.updates().size(), 1u);

    model.updateAllHomebrew();  // once it has ended, another walk may start
    EXPECT_EQ(fake.applied.back(), "Omega");
}

TEST(UpdatesModel, MessagesKeepTheirLastWholeCharacters) {
    const QString e = QString::fromUtf8("\xC3\xA9"), decomposed = QString::fromUtf8("e\xCC\x81"),
                  emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const std::pair<QString, QString> cases[] = {
        {"x" + e.repeated(300), e.repeated(300)},           {e.repeated(299), e.repeated(299)},
        {emoji.repeated(301), emoji.repeated(300)},         {decomposed.repeated(301), decomposed.repeated(300)},
    };
    for (const auto& [text, kept] : cases) EXPECT_EQ(UpdatesModel::lastCharacters(text), kept) << text.size();
}
