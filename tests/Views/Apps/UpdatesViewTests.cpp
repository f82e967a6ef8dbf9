// The Updates sub-tab in the main window over a checker and an applier the test
// answers, on stepped clocks: each screen in a picture with what it must say and
// offer, the rows' buttons, and a check on this machine as it is.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "Core/Apps/AppFixtures.h"
#include "Support/AppsFakes.h"
#include "Platform/Programs.h"
#include "Support/SteppedAnimations.h"
#include "Views/Apps/AppsScene.h"
#include "Views/Apps/UpdatesView.h"
#include "Views/Kit/Controls.h"

using AppUpdates::Outcome;
using AppUpdates::Source;
using appsfake::make;
using Kind = UpdatesScreenState::Kind;

namespace {
const QString sources = "Homebrew casks, the App Store and developer feeds";

struct Scene : AppsScene<UpdatesView> {
    qttest::SteppedAnimations animations;
    appsfake::FakeUpdates fake;

    explicit Scene(bool answered = true) {
        if (answered) f.state->updates().setServicesForTesting(fake.services());
        show(AppsMode::updates);
    }
    UpdatesModel& model() const { return f.state->updates(); }
    bool until(const std::function<bool()>& done) {
        return qttest::until([&] {
            run(0.05);
            return done();
        });
    }
    void picture(const QString& name) {
        screen().heroText()->showRollAt(1);
        animations.step(1000);
        run(0.05);
        keep("apps-updates-" + name);
    }
    void press(int row) {
        UpdateRows* rows = screen().rows();
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->buttonRect(row).center());
    }
    // The hero's state, texts and mood, and which of its buttons shows.
    void expectHero(Kind kind, const QString& title, const QString& subtitle, bool spinning, double open,
                    PillButton* button) {
        UpdatesView& v = screen();
        EXPECT_EQ(v.screenState().kind, kind);
        EXPECT_TRUE(v.heroText()->isVisibleTo(&v) && !v.rows()->isVisibleTo(&v));
        EXPECT_EQ(v.heroText()->title(), title);
        EXPECT_EQ(v.heroText()->subtitle(), subtitle);
        EXPECT_EQ(v.hero()->spinning(), spinning);
        EXPECT_DOUBLE_EQ(v.hero()->open(), open);
        for (PillButton* b : {v.checkButton(), v.checkAgainButton()}) EXPECT_EQ(b->isVisibleTo(&v), b == button);
    }
};
}  // namespace

TEST(UpdatesView, CheckListApplyAndCount) {
    Scene s;
    UpdatesView& v = s.screen();
    s.expectHero(Kind::idle, "App updates", sources, false, 0, v.checkButton());
    s.picture("idle");

    QTest::mouseClick(v.checkButton(), Qt::LeftButton);
    QTest::mouseClick(v.checkButton(), Qt::LeftButton);
    EXPECT_EQ(s.fake.checks.calls.size(), 1u);
    EXPECT_TRUE(s.f.state->isBusy(AppTab::apps));
    s.expectHero(Kind::checking, "Checking for updates…", sources, true, 0, nullptr);
    s.picture("checking");

    // Away to another sub-tab and back: the check and its spinning hero are still there.
    s.f.state->setAppsMode(AppsMode::uninstall);
    s.f.state->setAppsMode(AppsMode::updates);
    EXPECT_TRUE(s.screen().hero()->spinning());

    auto store = make("Pages", Source::appStore);
    store.page = "https://apps.example/pages";
    auto brew = make("Firefox", Source::homebrew, "firefox");
    brew.installed = "127.0";
    brew.available = "128.0.3";
    s.fake.checks.finishLast(AppUpdates::Check{{make("Discord", Source::sparkle), brew, make("iTerm", Source::homebrew, "iterm2"),
                                                    make("Legacy Tool", Source::inApp, "legacy-tool"), store}, true,
                                                   {"Slack: the feed could not be fetched (Could not resolve host: "
                                                    "downloads.slack-edge.com)"}});
    ASSERT_TRUE(s.until([&] { return !s.model().checking(); }));
    UpdatesView& list = s.screen();
    EXPECT_EQ(list.screenState().kind, Kind::list);
    EXPECT_FALSE(list.heroText()->isVisibleTo(&list));
    EXPECT_EQ(list.countLabel()->text(), "5 updates available");
    // What was found is listed; what could not be asked is not passed over in silence.
    EXPECT_TRUE(list.uncheckedNote()->isVisibleTo(&list));
    EXPECT_EQ(list.uncheckedNote()->text(),
              "Not checked:\nSlack: the feed could not be fetched (Could not resolve host: downloads.slack-edge.com)");
    EXPECT_TRUE(list.listCheckAgainButton()->isVisibleTo(&list) && list.updateAllButton()->isVisibleTo(&list));
    UpdateRows* rows = list.rows();
    EXPECT_EQ(rows->row(1).versions, "127.0  →  128.0.3");
    const std::vector<std::vector<QString>> shown{
        {"Discord", "Developer", "Open app", ""}, {"Firefox", "Homebrew", "Update", ""}, {"iTerm", "Homebrew", "Update", ""},
        {"Legacy Tool", "In app", "Open app", "Homebrew cannot update this app; use its own updater."},
        {"Pages", "App Store", "App Store", ""}};
    ASSERT_EQ(rows->count(), 5);
    for (int i = 0; i < 5; ++i) {
        const auto r = rows->row(i);
        EXPECT_EQ((std::vector<QString>{r.name, r.source, r.button, r.message}), shown[size_t(i)]);
        EXPECT_EQ(r.primary, r.button == "Update") << i;
    }
    s.picture("list");

    // The feed app's instruction and a failed upgrade's last output land under their
    // rows; two quick presses of one Homebrew row run one upgrade, and only that row
    // turns into a spinner.
    const int oneLine = rows->rowRect(0).height();
    const std::string output = "==> Downloading https://iterm2.com/downloads/stable/iTerm2-3_5_4.zip\n" +
                               std::string(400, '#') + "\ncurl: (28) Operation timed out after 30001 milliseconds "
                               "with 1048576 out of 28311552 bytes received\nError: Download failed on Cask 'iterm2'";
    for (const auto& [row, outcome] : {std::pair{0, Outcome{true, "Use the app's \"Check for Updates\u2026\" menu"}},
                                       {3, Outcome{true, "Homebrew cannot update this app. Use its own updater."}},
                                       {2, Outcome{false, output}}}) {
        s.press(row);
        s.fake.applies.finishLast(outcome);
        ASSERT_TRUE(s.until([&] { return s.model().working().empty(); }));
    }
    EXPECT_EQ(rows->row(0).message, "Use the app's \"Check for Updates\u2026\" menu");
    EXPECT_EQ(rows->row(3).message, "Homebrew cannot update this app. Use its own updater.");
    EXPECT_FALSE(rows->row(3).messageIsInstruction);
    EXPECT_EQ(rows->row(2).message, UpdatesModel::lastCharacters(QString::fromStdString(output)));
    EXPECT_EQ(rows->row(2).message.size(), 300);
    EXPECT_GT(rows->rowRect(0).height(), oneLine) << "room for a second line of it";
    s.press(1);
    s.press(1);
    EXPECT_EQ(s.fake.applied, (std::vector<std::string>{"Discord", "Legacy Tool", "iTerm", "Firefox"}));
    EXPECT_TRUE(s.f.state->isBusy(AppTab::apps));
    EXPECT_TRUE(rows->row(1).working && rows->buttonRect(1).isEmpty());
    for (int other : {0, 2, 3, 4}) EXPECT_FALSE(rows->buttonRect(other).isEmpty()) << other;
    const int step = rows->spinnerStep();
    s.run(0.3);
    EXPECT_TRUE(qttest::until([&] { return rows->spinnerStep() != step; })) << "the spinner turns";
    s.picture("applying");

    s.fake.applies.finishLast(Outcome{true, "==> Upgraded firefox"});
    ASSERT_TRUE(s.until([&] { return s.model().working().empty(); }));
    EXPECT_EQ(list.countLabel()->text(), "4 updates available");
    EXPECT_EQ(rows->count(), 4);
    EXPECT_FALSE(s.f.state->isBusy(AppTab::apps));
}

// Nothing newer is an all-clear only when every source and every feed answered;
// the hero lists what did not, the rest of a long list counted.
TEST(UpdatesView, NothingNewerIsUpToDateOnlyWhenEverythingAnswered) {
    const std::vector<std::string> some{"Homebrew: could not list the outdated apps (exit status 1)",
                                        "Slack: the feed is not well-formed XML (line 1: mismatched tag)"};
    std::vector<std::string> all{"Homebrew is not installed.",
                                 "Pages: the App Store could not be reached (Could not resolve host: itunes.apple.com)",
                                 "Discord: the answer is a web page, not an update feed", "Plain: refused: not https"};
    for (const char* late : {"Slack", "Spotify", "Zoom", "Zed"}) all.push_back(std::string(late) + ": not checked within 60 s");
    const QString allShown = QString::fromStdString(all[0] + "\n" + all[1] + "\n" + all[2] + "\n" + all[3] + "\n" + all[4]);
    struct Case {
        const char* picture;
        AppUpdates::Check found;
        Kind kind;
        QString title, subtitle;
        double open;
    } cases[] = {
        {"uptodate", {{}, true, {}}, Kind::upToDate, "Everything is up to date", "", 0.5},
        {"somefailed", {{}, true, some}, Kind::failed, "Some apps couldn't be checked",
         QString::fromStdString(some[0] + "\n" + some[1]), 0},
        {"failed", {{}, false, all}, Kind::failed, "Couldn't check for updates", allShown + "\nand 3 others", 0},
    };
    for (const Case& c : cases) {
        Scene s;
        s.model().check();
        s.fake.checks.finishLast(c.found);
        ASSERT_TRUE(s.until([&] { return !s.model().checking(); }));
        UpdatesView& v = s.screen();
        s.expectHero(c.kind, c.title, c.subtitle, false, c.open, v.checkAgainButton());
        EXPECT_EQ(v.checkAgainButton()->kind(), PillButtonStyle::Kind::secondary);
        s.picture(c.picture);
        QTest::mouseClick(v.checkAgainButton(), Qt::LeftButton);
        EXPECT_EQ(v.screenState().kind, Kind::checking);
    }
}

TEST(UpdatesView, ThisMachineWithoutHomebrewStoreAppsOrFeeds) {
    // An app whose feed is plain http is never asked, and says so; there is no Homebrew.
    Platform::Programs::setPathForTesting(Platform::Program::brew, "/nonexistent/brew");
    Scene s(false);
    appfixtures::bundle(s.home, "Applications/Plain.app",
                        {{"CFBundleIdentifier", "com.example.plain"}, {"CFBundleShortVersionString", "1.0"},
                         {"SUFeedURL", "http://example.com/appcast.xml"}});
    QTest::mouseClick(s.screen().checkButton(), Qt::LeftButton);
    ASSERT_TRUE(s.until([&] { return s.model().checked(); }));
    Platform::Programs::setPathForTesting(Platform::Program::brew, "");
    s.expectHero(Kind::failed, "Couldn't check for updates",
                 "Homebrew is not installed.\nNo app here comes from the App Store.\nPlain: refused: not https", false, 0,
                 s.screen().checkAgainButton());
    s.picture("this-machine");
}

TEST(UpdatesView, TwentyThousandUpdatesDrawAScreenful) {
    appsfake::FakeUpdates fake;
    UpdatesModel model(fake.services());
    UpdatesView view(model);
    view.resize(1000, 620);
    view.show();
    std::vector<AppUpdates::Update> many;
    for (int i = 0; i < 20000; ++i) many.push_back(make(("App " + std::to_string(i)).c_str(), Source::appStore));
    many[7].source = Source::inApp;
    model.check();
    fake.checks.finishLast(AppUpdates::Check{many, true, {}});
    ASSERT_TRUE(qttest::until([&] { return model.checked(); }));
    EXPECT_EQ(view.countLabel()->text(), "20000 updates available");
    EXPECT_FALSE(view.updateAllButton()->isVisibleTo(&view)) << "without a Homebrew row there is nothing to update all";
    view.grab();
    EXPECT_GT(view.rows()->rowsPainted(), 0);
    EXPECT_LT(view.rows()->rowsPainted(), 12);
}
