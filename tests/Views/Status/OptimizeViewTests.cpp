// The Optimize tab through a run of fake tasks on stepped clocks: at rest, while
// a task runs with its icons flying in, and done with a check and a cross. Each
// state gets a picture and what it must show.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include <condition_variable>
#include <mutex>

#include "Models/Clean/CleanTestSupport.h"
#include "Models/Clean/Shockwave.h"
#include "Support/TestTree.h"
#include "Models/Status/OptimizeModel.h"
#include "Views/Clean/BlackHole.h"
#include "Views/Clean/BlackHoleLayers.h"
#include "Views/Clean/HeroText.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/ScreenStack.h"
#include "Views/Status/OptimizeView.h"
#include "Views/TestSupport.h"
#include "Views/Window/ContentView.h"

using Action = Optimizer::Action;
using Outcome = Optimizer::Outcome;
using Shown = TaskStatus::Shown;

namespace {
constexpr double pictureTime = 11.0 * 72000000 + 4.5;

// The tasks as this platform words them; which are offered is the test's choice.
std::vector<Action> offeredTasks(std::initializer_list<const char*> ids) {
    std::vector<Action> out;
    for (const auto& a : Optimizer::table("/home/user", 1000)) {
        Action t = a;
        const bool offered = std::find(ids.begin(), ids.end(), a.id) != ids.end();
        t.requires_ = offered ? std::nullopt : std::optional<std::string>("/nonexistent/quelto");
        out.push_back(t);
    }
    return out;
}

// Holds each run (a plain task, or the administrator batch) until the test lets it
// finish, then answers as told: ok with no output for a task it was told nothing of.
struct GatedRunner {
    std::mutex lock;
    std::condition_variable changed;
    int started = 0, released = 0;
    std::map<std::string, Outcome> answers;

    ~GatedRunner() { release(1000); }
    void release(int n = 1) {
        std::lock_guard g(lock);
        released += n;
        changed.notify_all();
    }
    OptimizeModel::Runner runner() {
        const auto batch = [this](const std::vector<Action>& list) {
            std::unique_lock g(lock);
            const int mine = ++started;
            changed.wait(g, [&] { return released >= mine; });
            std::vector<Outcome> out;
            for (const auto& a : list) {
                out.push_back(answers.count(a.id) ? answers[a.id] : Outcome{a, true, ""});
                out.back().action = a;
            }
            return out;
        };
        return {[batch](const Action& a) { return batch({a}).at(0); }, batch};
    }
};

struct Scene {
    testtree::TempDir tmp;
    testtree::ScopedEnv data{"XDG_DATA_HOME", (tmp / "data").string()};
    steppedtime::Clocks clocks{Platform::dateFromReferenceSeconds(pictureTime)};
    cleantest::FakeAudio audio;
    GatedRunner gate;
    OptimizeModel model{offeredTasks({"dns", "quicklook", "launchservices", "brew", "docker", "fonts", "dhcp"}),
                        gate.runner()};
    Fixture f;
    std::unique_ptr<ContentView> view;
    OptimizeView* screen;

    Scene() {
        f.state->setTab(AppTab::optimize);
        view = std::make_unique<ContentView>(*f.state, *f.prefs, *f.login);
        screen = new OptimizeView(model);
        view->screens()->setScreen(QStringLiteral("optimize"), screen, std::nullopt);
        view->resize(1000, 680);
        view->show();
        QCoreApplication::sendPostedEvents();
    }
    // Lets stepped time pass until `done` holds, however slow the workers are.
    bool until(const std::function<bool()>& done) {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < 30000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            clocks.advance(0.05);
            deliverFrames();
        }
        return done();
    }
    void run(double seconds) {
        until([steps = std::lround(seconds / 0.05)]() mutable { return steps-- <= 0; });
    }
    void deliverFrames() { deliverDueFrames(screen->hero()->timeline()); }
    void picture(const QString& name) {
        screen->heroText()->showRollAt(1);
        deliverFrames();
        QCoreApplication::sendPostedEvents();
        EXPECT_TRUE(keepScreenshot(view->grab().toImage().convertToFormat(QImage::Format_RGB32), "optimize-" + name));
    }
    std::map<std::string, Shown> statuses() const {
        std::map<std::string, Shown> out;
        for (const auto& [id, row] : screen->rows()) out[id] = row->status()->shown();
        return out;
    }
};
}  // namespace

TEST(OptimizeScreen, AtRestListsTheOfferedTasks) {
    Scene s;
    s.run(2);
    s.picture("idle");
    EXPECT_EQ(s.screen->heroText()->title(), "Tune-up");
    EXPECT_EQ(s.screen->heroText()->subtitle(),
              "Maintenance that fixes the small annoyances. Your documents are never touched.");
    EXPECT_DOUBLE_EQ(s.screen->hero()->open(), 0);
    EXPECT_EQ(s.screen->runButton()->text(), "Run 3 tasks");
    EXPECT_TRUE(s.screen->runButton()->isEnabled());
    ASSERT_EQ(s.screen->rows().size(), 7u);
    for (const auto& [id, row] : s.screen->rows()) {
        SCOPED_TRACE(id);
        const bool admin = id == "dns" || id == "dhcp";
        EXPECT_EQ(row->adminChip() != nullptr, admin);
        const bool preselected = id == "quicklook" || id == "launchservices" || id == "brew";
        EXPECT_EQ(row->checkBox()->state(), preselected ? CheckBox::Mark::on : CheckBox::Mark::off);
        EXPECT_EQ(row->status()->shown(), Shown::nothing);
    }
    EXPECT_EQ(s.screen->rows().at("brew")->titleLabel()->text(), "Homebrew cleanup");
    EXPECT_EQ(s.screen->rows().at("brew")->detailLabel()->text(), "Removes old versions of installed formulae");

    // Clicking the boxes changes the selection and the count; none selected, nothing to run.
    for (const char* id : {"quicklook", "launchservices", "brew"})
        QTest::mouseClick(s.screen->rows().at(id)->checkBox(), Qt::LeftButton);
    EXPECT_EQ(s.screen->runButton()->text(), "Run 0 tasks");
    EXPECT_FALSE(s.screen->runButton()->isEnabled());
    QTest::mouseClick(s.screen->rows().at("dns")->checkBox(), Qt::LeftButton);
    EXPECT_EQ(s.model.selected(), (OptimizeModel::Ids{"dns"}));
    EXPECT_EQ(s.screen->runButton()->text(), "Run 1 task");
}

TEST(OptimizeScreen, RunsWithTheBlackHoleSwallowingAndEndsWithChecksAndCrosses) {
    Scene s;
    s.model.setSelected({"quicklook", "launchservices", "brew", "dhcp"});
    s.gate.answers["brew"] = {{}, false, ""};
    s.gate.answers["launchservices"] = {{}, true, "Rebuilt the desktop database"};
    s.gate.answers["dhcp"] = {{}, false, "Password prompt cancelled"};
    QTest::mouseClick(s.screen->runButton(), Qt::LeftButton);
    ASSERT_TRUE(s.model.isBusy());

    // The first task done, the second running, its icons on their way in.
    s.gate.release();
    ASSERT_TRUE(s.until([&] { return s.model.running() == OptimizeModel::Ids{"launchservices"}; }));
    s.run(1.2);
    s.picture("running");
    EXPECT_EQ(s.screen->heroText()->title(), "Working…");
    EXPECT_FALSE(s.screen->runButton()->isEnabled());
    EXPECT_DOUBLE_EQ(s.screen->hero()->open(), 1);
    EXPECT_TRUE(s.screen->hero()->suction());
    EXPECT_FALSE(s.screen->hero()->feed().value_or(BlackHole::Events{}).empty());
    EXPECT_EQ(s.statuses().at("quicklook"), Shown::succeeded);
    EXPECT_EQ(s.statuses().at("launchservices"), Shown::running);
    EXPECT_EQ(s.statuses().at("brew"), Shown::nothing);
    // The animation moves the hole only: the rows' tool tips are not worked out again.
    TaskStatus* done = s.screen->rows().at("quicklook")->status();
    const QString shownTip = done->toolTip();
    done->setToolTip("kept");
    const auto events = s.model.feed()->events().size();
    const double swallowed = s.model.feed()->swallowed();
    s.run(1.0);
    ASSERT_TRUE(s.model.feed()->events().size() != events || s.model.feed()->swallowed() != swallowed);
    EXPECT_EQ(done->toolTip(), "kept");
    done->setToolTip(shownTip);

    // The administrator batch runs its tasks together; then the icons land.
    s.gate.release(2);
    ASSERT_TRUE(s.until([&] { return s.model.running() == OptimizeModel::Ids{"dhcp"}; }));
    EXPECT_EQ(s.statuses().at("dhcp"), Shown::running);
    s.gate.release();
    ASSERT_TRUE(s.until([&] { return !s.model.isBusy(); }));
    s.run(4);  // past the shockwave
    s.picture("done");
    EXPECT_EQ(s.screen->heroText()->title(), "2 of 4 done");
    EXPECT_DOUBLE_EQ(s.screen->hero()->open(), 0.5);
    EXPECT_FALSE(s.screen->hero()->suction());
    EXPECT_GT(s.screen->hero()->growth(), 0.9);
    EXPECT_TRUE(s.screen->runButton()->isEnabled());
    const std::map<std::string, Shown> shown = {
        {"dns", Shown::nothing},         {"quicklook", Shown::succeeded}, {"launchservices", Shown::succeeded},
        {"brew", Shown::failed},         {"docker", Shown::nothing},      {"fonts", Shown::nothing},
        {"dhcp", Shown::failed}};
    EXPECT_EQ(s.statuses(), shown);
    const auto tip = [&](const char* id) { return s.screen->rows().at(id)->status()->toolTip(); };
    EXPECT_EQ(tip("quicklook"), plainToolTip("Done"));
    EXPECT_EQ(tip("brew"), plainToolTip("Failed"));
    EXPECT_EQ(tip("launchservices"), plainToolTip("Rebuilt the desktop database"));
    EXPECT_EQ(tip("dhcp"), plainToolTip("Password prompt cancelled"));
    EXPECT_EQ(tip("docker"), QString());
}

// A long output's tool tip keeps its last 30 lines, where the verdict is.
TEST(OptimizeScreen, ALongOutputsToolTipKeepsItsEnd) {
    const auto lines = [](int from, int to) {
        std::string out;
        for (int i = from; i <= to; ++i) out += (i > from ? "\n" : "") + std::to_string(i);
        return out;
    };
    const std::pair<std::string, std::string> cases[] = {
        {lines(1, 30), lines(1, 30)},
        {lines(1, 31), "\u2026\n" + lines(2, 31)},
        {lines(1, 40) + "\n", "\u2026\n" + lines(12, 40) + "\n"},
    };
    TaskStatus status;
    for (const auto& [output, shown] : cases) {
        status.showOutcome(false, output);
        EXPECT_EQ(status.toolTip(), plainToolTip(QString::fromStdString(shown))) << output.size();
    }
}

// A shockwave reaches far past the hero's column, over the task list: its picture is
// taken as the window paints itself on screen.
TEST(OptimizeScreen, TheShockwaveReachesPastTheHerosColumn) {
    Scene s;
    auto& shock = Shockwave::shared();
    shock.setStrength(1.0);
    shock.setStart(Platform::clock().now() - std::chrono::milliseconds(1550));
    s.run(0.05);
    const auto& f = s.screen->hero()->shownFrame();
    const auto ring = ShockwaveRing::ring(0, f.shockAge.value_or(0), 1.0, f.ringSize);
    ASSERT_TRUE(ring);
    s.screen->heroText()->showRollAt(1);
    s.view->repaint();
    const QImage shown = s.view->screen()->grabWindow(s.view->winId()).toImage().convertToFormat(QImage::Format_RGB32);
    shock.setStart(std::nullopt);
    EXPECT_TRUE(keepScreenshot(shown, "optimize-shockwave"));
    // Level with the hole, the ring lies past the column, brighter than the sky inside it.
    BlackHole* hero = s.screen->hero();
    const QPoint c = hero->mapTo(s.view.get(), hero->rect().center()) - QPoint(0, int(0.02 * f.ringSize));
    const int x = c.x() + int(std::lround(ring->radius));
    EXPECT_GT(x, hero->parentWidget()->mapTo(s.view.get(), QPoint(hero->parentWidget()->width(), 0)).x() + 28);
    double best = 0;
    for (int dx = -4; dx <= 4; ++dx) best = std::max(best, luminance(shown.pixel(x + dx, c.y())));
    EXPECT_GT(best, luminance(shown.pixel(c.x() + int(0.75 * ring->radius), c.y())) + 0.15);
}
