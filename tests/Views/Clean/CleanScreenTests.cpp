#include <gtest/gtest.h>

#include <QTest>

#include "Views/Clean/BlackHole.h"
#include "Views/Clean/CleanScreen.h"
#include "Views/Clean/HeroText.h"
#include "Views/Kit/OverflowOverlay.h"
#include "Views/Kit/ScreenStack.h"
#include "Views/Kit/SpaceBackground.h"
#include "Views/TestSupport.h"
#include "Views/Window/ContentView.h"

namespace {
struct Shown : ShownContent {
    Shown() { QCoreApplication::sendPostedEvents(); }
    CleanScreen* screen() const { return qobject_cast<CleanScreen*>(view.screens()->screen()); }
};
}  // namespace

struct ModeTexts {
    CleanMode mode;
    const char* title;
    const char* subtitle;
};

class CleanTabTexts : public ::testing::TestWithParam<ModeTexts> {};

TEST_P(CleanTabTexts, ShowTheHeroOverTheSubModesIdleTexts) {
    const auto& c = GetParam();
    Shown s;
    CleanScreen* first = s.screen();
    ASSERT_NE(first, nullptr);
    s.state->setCleanMode(c.mode);
    CleanScreen* screen = s.screen();
    ASSERT_NE(screen, nullptr);
    // A sub-mode of its own gets a fresh screen.
    if (c.mode != CleanMode::system) {
        EXPECT_NE(screen, first);
    }
    EXPECT_EQ(screen->heroText()->title(), c.title);
    EXPECT_EQ(screen->heroText()->subtitle(), c.subtitle);
    EXPECT_EQ(screen->hero()->size(), QSize(240, 240));
    EXPECT_EQ(screen->hero()->glow(), QColor::fromRgbF(0.4f, 0.62f, 1.0f));
    EXPECT_TRUE(screen->hero()->isVisible());
    EXPECT_TRUE(screen->hero()->timeline().isScheduled());
}

INSTANTIATE_TEST_SUITE_P(
    EveryMode, CleanTabTexts,
    ::testing::Values(
        ModeTexts{CleanMode::system, "Ready to clean", "Caches, logs, Xcode, package managers, browsers and the Trash"},
        ModeTexts{CleanMode::ai, "AI leftovers",
                  "Old Claude Code and Codex sessions, agent worktrees, CLI versions and local models"},
        ModeTexts{CleanMode::projects, "Project artifacts",
                  "node_modules, target, .venv and friends in projects you're not touching"},
        ModeTexts{CleanMode::installers, "Leftover installers",
                  ".dmg, .pkg and .xip files in Downloads, Desktop and Documents"}),
    [](const auto& info) { return rawValue(info.param.mode).toStdString(); });

TEST(CleanScreen, TheHeroDrawsPastItsBoxUnderTheControlsWithoutTakingClicks) {
    Shown s;
    BlackHole* hero = s.screen()->hero();
    auto* overlay = s.view.findChild<OverflowOverlay*>();
    ASSERT_NE(overlay, nullptr);
    // In the window's content, right above the sky and under everything else.
    EXPECT_EQ(overlay->parentWidget(), &s.view);
    QList<QWidget*> order;
    for (QObject* child : s.view.children())
        if (auto* w = qobject_cast<QWidget*>(child)) order.append(w);
    EXPECT_EQ(order.indexOf(overlay), order.indexOf(s.view.background()) + 1);
    EXPECT_TRUE(overlay->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(overlay->isVisible());

    // It covers well beyond the hero's box, centred on it.
    const QRect box(hero->mapTo(&s.view, QPoint(0, 0)), hero->size());
    EXPECT_TRUE(overlay->geometry().contains(box.adjusted(-200, -100, 200, 100)));
    EXPECT_EQ(overlay->mapTo(&s.view, overlay->anchorCentre().toPoint()), box.center() + QPoint(1, 1));
    // Clicks there reach what lies beneath: the sub-tabs over it, the content elsewhere.
    const QPoint aboveTheBox(box.center().x(), box.top() - 60);
    EXPECT_NE(s.view.childAt(aboveTheBox), overlay);

    // It follows the hero and hides with its screen.
    s.view.resize(1200, 800);
    QCoreApplication::sendPostedEvents();
    const QRect moved(hero->mapTo(&s.view, QPoint(0, 0)), hero->size());
    EXPECT_NE(moved.center(), box.center());
    EXPECT_EQ(overlay->mapTo(&s.view, overlay->anchorCentre().toPoint()), moved.center() + QPoint(1, 1));
    s.state->setShowSettings(true);
    EXPECT_FALSE(overlay->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(s.view.findChild<OverflowOverlay*>(), nullptr);
}
