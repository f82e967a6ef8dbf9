// The panel's heat card: its texts and meter for every kind of reading, and its fan
// mode buttons through the administrator prompt's stand-in.
#include <gtest/gtest.h>

#include <QTest>

#include <limits>

#include "Models/Status/FanControl.h"
#include "Support/TestTree.h"
#include "Views/Kit/Theme.h"
#include "Views/MenuBar/PanelCard.h"
#include "Views/MenuBar/PanelCards.h"
#include "Views/MenuBar/PanelSections.h"
#include "Views/Status/FanControlCard.h"
#include "Views/Status/StatusScene.h"
#include "Views/TestSupport.h"

namespace {
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinite = std::numeric_limits<double>::infinity();

struct HeatCase {
    const char* name;
    std::optional<double> temp;
    std::vector<FanReader::Fan> fans;
    const char* value;
    const char* chip;
    double meter;  // without fans
};

class PanelHeatContent : public ::testing::TestWithParam<HeatCase> {};
}  // namespace

TEST_P(PanelHeatContent, FollowsTheTemperatureAndTheFirstFan) {
    const HeatCase& c = GetParam();
    StatusCards::Readings r;
    r.cpuTemp = c.temp;
    r.thermal = Sensors::ThermalState::fair;
    const auto shown = PanelCards::content(PanelCards::Card::heat, r, c.fans);
    EXPECT_EQ(shown.title, "Heat");
    EXPECT_EQ(shown.value, QString::fromUtf8(c.value));
    EXPECT_EQ(shown.unit, "°C");
    EXPECT_EQ(shown.chip, std::optional<QString>(QString::fromUtf8(c.chip)));
    EXPECT_EQ(shown.footer, "Warm");
    if (c.fans.empty()) {
        EXPECT_EQ(shown.graph.kind, StatusCards::Graph::Kind::meter);
        EXPECT_DOUBLE_EQ(shown.graph.fraction, c.meter);
        EXPECT_EQ(shown.graph.color, Theme::review());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PanelHeatContent,
    ::testing::Values(HeatCase{"thirtyIsEmpty", 30.0, {}, "30", "Warm", 0.0},
                      HeatCase{"hundredIsFull", 100.0, {}, "100", "Warm", 1.0},
                      HeatCase{"aboveAHundredIsFull", 130.0, {}, "130", "Warm", 1.0},
                      HeatCase{"belowThirtyIsEmpty", 12.0, {}, "12", "Warm", 0.0},
                      HeatCase{"halfRoundsAway", 47.5, {}, "48", "Warm", 17.5 / 70},
                      HeatCase{"noReading", std::nullopt, {}, "\u2014", "Warm", 1.0 / 7},
                      HeatCase{"notANumber", notANumber, {}, "\u2014", "Warm", 1.0 / 7},
                      HeatCase{"fanLoad", 60.0, {{2212, 5200}, {900, 4000}}, "60", "Load 43%", 0},
                      HeatCase{"fanMaximumZero", 60.0, {{2212, 0}}, "60", "Load 0%", 0},
                      HeatCase{"fanSpeedNotANumber", 60.0, {{notANumber, 5200}}, "60", "Load 0%", 0},
                      HeatCase{"fanSpeedInfinite", infinite, {{infinite, 5200}}, "\u2014", "Load 0%", 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Without fan control the buttons are dimmed to half and disabled, and the mode in
// force still stands on its cream capsule.
TEST(PanelHeat, UnavailableButtonsAreDimmedAndTheModeInForceKeepsItsCapsule) {
    StatusScene scene({});
    HeatFanControls controls(*scene.state);
    controls.show();
    for (FanPreset p : FanPresets::allCases) EXPECT_FALSE(controls.button(p)->isEnabled());
    FanModeButton* current = controls.button(FanPreset::auto_);
    ASSERT_TRUE(current->isCurrent());
    QImage image(current->size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    current->render(&image, {}, {}, QWidget::DrawChildren);
    const QColor fill = image.pixelColor(3, image.height() / 2);
    EXPECT_NEAR(fill.alphaF(), 0.5, 0.02);
    EXPECT_NEAR(fill.redF(), 0.92, 0.02);
    EXPECT_NEAR(fill.greenF(), 0.85, 0.02);
    EXPECT_NEAR(fill.blueF(), 0.73, 0.02);
    EXPECT_EQ(controls.speedText(), "0");
}

// Pressing Cool runs the fan tool once; a failure leaves the panel on Auto with the
// tool's words on every button, and a success moves the capsule.
TEST(PanelHeat, AModeButtonAsksTheFanToolAndShowsItsFailure) {
    StatusScene scene({.fans = 3});
    testtree::TempDir dir;
    testtree::ScopedEnv noEscalation("QUELTO_OSASCRIPT_NO_ESCALATION", "1");
    Platform::Programs::setPathForTesting(Platform::Program::osascript, QUELTO_BIN_DIR "/osascript");
    const auto answer = [&](const std::string& output, int status) {
        Platform::Programs::setPathForTesting(
            Platform::Program::fanHelper,
            testtree::writeScript(dir / "QueltoFanHelper", "echo \"$@\" >> '" + (dir / "calls").string() + "'\nprintf '%s' " +
                                                               testtree::shellQuoted(output) + " >&2\nexit " +
                                                               std::to_string(status) + "\n"));
    };
    Monitor& monitor = scene.state->monitor();
    monitor.setProcessWatchers(1);
    ASSERT_TRUE(qttest::until([&] { return !monitor.fans().empty() && monitor.fanControlAvailable(); }));
    HeatFanControls controls(*scene.state);
    controls.show();
    EXPECT_EQ(controls.speedText(), "2212");  // the first of three fans

    answer("No writable fan controls.\n", 3);
    QTest::mouseClick(controls.button(FanPreset::cool), Qt::LeftButton);
    for (FanPreset p : FanPresets::allCases) EXPECT_FALSE(controls.button(p)->isEnabled());
    EXPECT_TRUE(controls.spinner()->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !scene.state->fanControl().busy(); }, 20000));
    EXPECT_TRUE(controls.button(FanPreset::auto_)->isCurrent());
    EXPECT_TRUE(scene.state->fanControl().error().startsWith("No writable fan controls."));
    for (FanPreset p : FanPresets::allCases)
        EXPECT_EQ(controls.button(p)->toolTip(), plainToolTip(scene.state->fanControl().error()));
    EXPECT_EQ(testtree::readFile(dir / "calls"), "cool " + std::to_string(::getpid()) + "\n");

    answer("", 0);
    QTest::mouseClick(controls.button(FanPreset::cool), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !scene.state->fanControl().busy(); }, 20000));
    EXPECT_TRUE(controls.button(FanPreset::cool)->isCurrent());
    EXPECT_FALSE(controls.spinner()->isVisible());
    EXPECT_EQ(controls.button(FanPreset::max)->toolTip(), plainToolTip(explanation(FanPreset::max)));
    monitor.setProcessWatchers(0);
}
