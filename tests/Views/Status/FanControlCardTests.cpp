// The fan card: what it shows for the fans and fan control, and a mode change that
// fails and one that succeeds through the administrator prompt's stand-in.
#include <gtest/gtest.h>

#include <QHBoxLayout>
#include <QTest>

#include <limits>

#include "Models/Status/FanControl.h"
#include "Views/Kit/Theme.h"
#include "Views/Status/FanControlCard.h"
#include "Views/Status/StatusScene.h"
#include "Views/Status/StatusTexts.h"
#include "Views/TestSupport.h"

TEST(FanCardContent, FollowsTheFansAndFanControl) {
    const double notANumber = std::numeric_limits<double>::quiet_NaN();
    const char* cooling = "Cooling ahead of load";
    struct Case {
        const char* name;
        std::vector<FanReader::Fan> fans;
        bool available, busy;
        const char* error;
        const char* title;
        int load;
        long long rpm;
        const char* status;
        std::array<bool, 3> enabled;  // auto, cool (the mode in force), max
    };
    const Case cases[] = {
        {"no fans", {}, false, false, "", "Fan", 0, 0, "No fan on this Mac", {false, false, false}},
        {"maximum unknown", {{1800, 0}}, true, false, "", "Fan", 0, 1800, cooling, {true, false, true}},
        {"speed not a number", {{notANumber, 5200}}, true, false, "", "Fan", 0, 0, cooling, {true, false, true}},
        {"unavailable", {{1800, 5200}}, false, false, "", "Fan", 35, 1800, "Fan control unavailable on this Mac",
         {false, false, false}},
        {"busy", {{1800, 5200}}, true, true, "", "Fan", 35, 1800, cooling, {false, false, false}},
        {"a failure keeps the other modes usable", {{1800, 5200}}, true, false, "No writable fan controls", "Fan", 35, 1800,
         "No writable fan controls", {true, false, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto shown = FanControlCard::content(c.fans, c.available, FanPreset::cool, c.busy, QString::fromUtf8(c.error));
        EXPECT_EQ(std::tuple(shown.title, shown.load, shown.rpm, shown.status, shown.failed),
                  std::tuple(QString(c.title), c.load, c.rpm, QString(c.status), *c.error != 0));
        for (FanPreset p : FanPresets::allCases) {
            EXPECT_EQ(shown.buttons[size_t(p)].enabled, c.enabled[size_t(p)]) << rawValue(p).toStdString();
            EXPECT_EQ(shown.buttons[size_t(p)].current, p == FanPreset::cool);
        }
        EXPECT_EQ(shown.rowOpacity, c.available ? 1.0 : 0.5);
        EXPECT_EQ(shown.spinner, c.busy);
    }
}

TEST(FanControlCard, AFailedChoiceKeepsTheConfirmedModeAndShowsTheErrorUntilTheNext) {
    StatusScene scene({.fans = 2});
    // The stand-in prompt runs the fan tool, a script that answers as told, as this user.
    testtree::ScopedEnv noEscalation("QUELTO_OSASCRIPT_NO_ESCALATION", "1");
    Platform::Programs::setPathForTesting(Platform::Program::osascript, QUELTO_BIN_DIR "/osascript");
    const auto answer = [&](const std::string& output, int status) {
        Platform::Programs::setPathForTesting(
            Platform::Program::fanHelper,
            testtree::writeScript(scene.tools / "QueltoFanHelper",
                                  "printf '%s' " + testtree::shellQuoted(output) + " >&2\nexit " + std::to_string(status) + "\n"));
    };
    auto& monitor = scene.state->monitor();
    monitor.setProcessWatchers(1);  // the fans are read while somebody looks
    ASSERT_TRUE(qttest::until([&] { return !monitor.fans().empty() && monitor.fanControlAvailable(); }));
    QWidget stage;
    stage.setAutoFillBackground(true);
    QPalette palette = stage.palette();
    palette.setColor(QPalette::Window, QColor::fromRgbF(0.07f, 0.08f, 0.13f));
    stage.setPalette(palette);
    auto* row = new QHBoxLayout(&stage);
    row->setContentsMargins(20, 20, 20, 20);
    row->setSpacing(20);
    auto* full = new FanControlCard(*scene.state, false);
    auto* compact = new FanControlCard(*scene.state, true);
    full->setFixedWidth(260);
    compact->setFixedWidth(200);
    row->addWidget(full, 0, Qt::AlignTop);
    row->addWidget(compact, 0, Qt::AlignTop);
    stage.resize(560, 230);
    stage.show();
    FanModeButton* max = full->button(FanPreset::max);
    EXPECT_FALSE(full->button(FanPreset::auto_)->isEnabled());

    answer("No writable fan controls.\n", 3);
    QTest::mouseClick(max, Qt::LeftButton);
    // While it runs: every button disabled, the spinner turning, the capsule on the confirmed mode.
    for (FanPreset p : FanPresets::allCases) EXPECT_FALSE(compact->button(p)->isEnabled());
    EXPECT_TRUE(full->spinner()->isVisible());
    EXPECT_TRUE(full->button(FanPreset::auto_)->isCurrent());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !scene.state->fanControl().busy(); }, 20000));

    // The failed mode stays choosable; the capsule stays on the confirmed one.
    EXPECT_EQ(full->statusLine()->color(), Theme::danger());
    EXPECT_EQ(compact->statusLine()->color(), Theme::danger());
    EXPECT_TRUE(max->isEnabled());
    EXPECT_FALSE(max->isCurrent());
    EXPECT_TRUE(full->button(FanPreset::auto_)->isCurrent());
    EXPECT_FALSE(full->spinner()->isVisible());
    // The longer status lays the cards out again, from the inside out.
    for (int i = 0; i < 3; ++i) QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    ASSERT_TRUE(keepScreenshot(stage.grab().toImage(), "status-fan-card-failed"));
    EXPECT_TRUE(full->statusLine()->text().startsWith("No writable fan controls.")) << full->statusLine()->text().toStdString();
    const QStringList lines = compact->statusLine()->lines(compact->statusLine()->width());
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "No writable fan controls.");
    EXPECT_TRUE(lines[1].endsWith(QChar(0x2026)));
    EXPECT_EQ(compact->statusLine()->height(), compact->statusLine()->heightForWidth(compact->statusLine()->width()));

    // The next request clears the error; its success moves the capsule.
    answer("", 0);
    QTest::mouseClick(full->button(FanPreset::cool), Qt::LeftButton);
    EXPECT_EQ(full->statusLine()->color(), Theme::secondary());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !scene.state->fanControl().busy(); }, 20000));
    EXPECT_TRUE(full->button(FanPreset::cool)->isCurrent());
    EXPECT_FALSE(full->button(FanPreset::cool)->isEnabled());
    EXPECT_TRUE(max->isEnabled());
    EXPECT_EQ(full->statusLine()->text(), "Cooling ahead of load");
    monitor.setProcessWatchers(0);
}
