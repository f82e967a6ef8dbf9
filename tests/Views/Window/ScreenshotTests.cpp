// Renders the main window's content on every tab and every settings section and
// checks that the design is drawn (dark sky, white pill, cards), not the toolkit's
// default widgets. With QUELTO_SCREENSHOT_DIR set, the pictures are kept there.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QScreen>
#include <QTest>

#include "Models/Clean/Shockwave.h"
#include "Models/Settings/SettingsLogic.h"
#include "Views/TestSupport.h"
#include "Views/Window/ContentView.h"
#include "Views/Kit/ScreenStack.h"
#include "Views/Settings/SettingsView.h"
#include "Views/Kit/TabBar.h"
#include "Views/Kit/Theme.h"

namespace {

// The tabs inside a shooting star's flight, so their pictures show one; the
// settings between two, so none crosses the controls.
constexpr double pictureTime = 11.0 * 72000000 + 0.42;
constexpr double settingsPictureTime = pictureTime + 4;

void keep(const QImage& image, const QString& name) { ASSERT_TRUE(keepScreenshot(image, name)); }

QImage render(ContentView& view) {
    view.resize(1000, 680);
    view.show();
    // Layouts filled while the screen was built are placed before the picture.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class TabPicture : public ::testing::TestWithParam<AppTab> {};

TEST_P(TabPicture, ShowsTheSkyAndThePillOnTheSelectedTab) {
    ClockScope clock(pictureTime);
    Fixture f;
    f.state->setTab(GetParam());
    ContentView view(*f.state, *f.prefs, *f.login);
    const QImage img = render(view);
    keep(img, "tab-" + rawValue(GetParam()));

    // A dark sky everywhere below the header, tinted like the tab (never the toolkit's grey);
    // looked at in the right margin, which no tab's cards cover.
    const QColor top = Theme::color(tint(GetParam()).top);
    const QRgb sky = img.pixel(990, 200);
    EXPECT_LT(luminance(sky), 0.25);
    EXPECT_NEAR(qRed(sky), top.red(), 30);
    EXPECT_NEAR(qBlue(sky), top.blue(), 30);

    // The selected tab sits on a near-white pill.
    const QRectF pill = view.tabBar()->tabRect(GetParam()).translated(view.tabBar()->pos() + view.tabBar()->parentWidget()->pos());
    const QRgb onPill = img.pixel(int(pill.left() + 6), int(pill.center().y()));
    EXPECT_GT(luminance(onPill), 0.85);
}

INSTANTIATE_TEST_SUITE_P(EveryTab, TabPicture, ::testing::ValuesIn(AppTabs::allCases.begin(), AppTabs::allCases.end()),
                         [](const auto& info) { return rawValue(info.param).toStdString(); });

// What the window shows on screen, painted part by part as each widget over a hero
// keeps its own region, is what its picture shows: nothing there hides the hero's layers
// past its box, here a shockwave at its widest, on any screen with a hero.
struct HeroScreen {
    const char* name;
    AppTab tab;
    AppsMode apps = AppsMode::uninstall;
};

class ShockwaveOnScreen : public ::testing::TestWithParam<HeroScreen> {};

TEST_P(ShockwaveOnScreen, ShowsAsInThePicture) {
    ClockScope clock(pictureTime);
    Fixture f;
    f.state->setTab(GetParam().tab);
    f.state->setAppsMode(GetParam().apps);
    ContentView view(*f.state, *f.prefs, *f.login);
    render(view);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    Shockwave::shared().setStrength(1.0);
    Shockwave::shared().setStart(Platform::clock().now() - std::chrono::milliseconds(1550));
    const QImage picture = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    view.repaint();
    const QImage shown = view.screen()->grabWindow(view.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    Shockwave::shared().setStart(std::nullopt);
    ASSERT_EQ(shown.size(), picture.size());
    int differing = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            differing += std::abs(luminance(shown.pixel(x, y)) - luminance(picture.pixel(x, y))) > 0.05;
    EXPECT_EQ(differing, 0);
}

INSTANTIATE_TEST_SUITE_P(EveryHero, ShockwaveOnScreen,
                         ::testing::Values(HeroScreen{"clean", AppTab::clean},
                                           HeroScreen{"uninstall", AppTab::apps, AppsMode::uninstall},
                                           HeroScreen{"updates", AppTab::apps, AppsMode::updates},
                                           HeroScreen{"optimize", AppTab::optimize}),
                         [](const auto& info) { return std::string(info.param.name); });

class SettingsPicture : public ::testing::TestWithParam<SettingsLogic::SettingsSection> {};

TEST_P(SettingsPicture, ShowsTheSectionOnItsPanelWithoutAPill) {
    ClockScope clock(settingsPictureTime);
    Fixture f;
    f.prefs->setProtectedPaths({"~/Documents/Tax returns", "~/Pictures/Family", "/Volumes/Archive/Photos 2019"});
    f.prefs->setMenuBarMetrics({MenuBarMetric::cpu, MenuBarMetric::memory, MenuBarMetric::network});
    f.state->setShowSettings(true);
    ContentView view(*f.state, *f.prefs, *f.login);
    auto* settings = qobject_cast<SettingsView*>(view.screens()->screen());
    ASSERT_NE(settings, nullptr);
    settings->setSection(GetParam());
    if (auto* list = qobject_cast<PathListSettings*>(settings->sectionView())) {
        if (GetParam() == SettingsLogic::SettingsSection::protected_) list->select("~/Pictures/Family");
    }
    const QImage img = render(view);
    keep(img, "settings-" + SettingsLogic::rawValue(GetParam()));

    EXPECT_TRUE(view.tabBar()->pillRect().isEmpty());
    EXPECT_LT(luminance(img.pixel(20, 400)), 0.25);
}

INSTANTIATE_TEST_SUITE_P(EverySection, SettingsPicture,
                         ::testing::ValuesIn(SettingsLogic::allSections.begin(), SettingsLogic::allSections.end()),
                         [](const auto& info) { return SettingsLogic::rawValue(info.param).toStdString(); });
