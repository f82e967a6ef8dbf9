#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <limits>

#include "Support/QtTestSupport.h"
#include "Views/MenuBar/MenuBarImage.h"

using MenuBarImage::Readings;

namespace {
const double notANumber = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

Readings readings() {
    Readings r;
    r.cpu = 0.12;
    r.memory = {63, 100, 0, 1};
    return r;
}

int maxAlpha(const QIcon& icon, int px) {
    const QImage image = icon.pixmap(px, px).toImage().convertToFormat(QImage::Format_ARGB32);
    int most = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) most = std::max(most, qAlpha(image.pixel(x, y)));
    return most;
}
}  // namespace

TEST(MenuBarImage, CompactRates) {
    const std::pair<double, const char*> cases[] = {
        {0, "0K"},        {1023.9, "0K"},     {1024, "1K"},     {1048575, "1023K"},
        {1572864, "1.5M"}, {-5, "0K"},        {notANumber, "0K"},      {inf, "0K"},
    };
    for (const auto& [rate, text] : cases) EXPECT_EQ(MenuBarImage::compact(rate), QString::fromUtf8(text)) << rate;
}

TEST(MenuBarImage, ValuesTruncateRoundOrShowADash) {
    struct Case {
        const char* name;
        MenuBarMetric metric;
        void (*set)(Readings&);
        const char* text;
    };
    const Case cases[] = {
        {"cpu truncates", MenuBarMetric::cpu, [](Readings& r) { r.cpu = 0.999; }, "99%"},
        {"cpu not a number", MenuBarMetric::cpu, [](Readings& r) { r.cpu = notANumber; }, "—"},
        {"cpu huge", MenuBarMetric::cpu, [](Readings& r) { r.cpu = 1e300; }, "1000000000000000%"},
        {"gpu absent", MenuBarMetric::gpu, [](Readings& r) { r.gpu.reset(); }, "—"},
        {"gpu", MenuBarMetric::gpu, [](Readings& r) { r.gpu = 0.5; }, "50%"},
        {"gpu infinite", MenuBarMetric::gpu, [](Readings& r) { r.gpu = -inf; }, "—"},
        {"memory", MenuBarMetric::memory, [](Readings&) {}, "63%"},
        {"memory of no total", MenuBarMetric::memory, [](Readings& r) { r.memory = {0, 0, 0, 0}; }, "0%"},
        {"temperature rounds up", MenuBarMetric::temperature, [](Readings& r) { r.cpuTemp = 47.5; }, "48°"},
        {"temperature rounds down", MenuBarMetric::temperature, [](Readings& r) { r.cpuTemp = 44.4; }, "44°"},
        {"temperature absent", MenuBarMetric::temperature, [](Readings& r) { r.cpuTemp.reset(); }, "—"},
        {"temperature not a number", MenuBarMetric::temperature, [](Readings& r) { r.cpuTemp = notANumber; }, "—"},
        {"network", MenuBarMetric::network, [](Readings& r) { r.download = 2048, r.upload = 1572864; }, "↓2K ↑1.5M"},
        {"battery absent", MenuBarMetric::battery, [](Readings& r) { r.battery.reset(); }, "—"},
        {"battery", MenuBarMetric::battery, [](Readings& r) { r.battery.emplace(); r.battery->percent = 75; }, "75%"},
    };
    for (const Case& c : cases) {
        Readings r = readings();
        c.set(r);
        EXPECT_EQ(MenuBarImage::value(c.metric, r), QString::fromUtf8(c.text)) << c.name;
    }
}

TEST(MenuBarImage, TitleFollowsTheChosenOrderAndSpeaksItsSymbols) {
    const auto parts = MenuBarImage::title({MenuBarMetric::memory, MenuBarMetric::cpu}, readings());
    ASSERT_EQ(parts.size(), 2);
    EXPECT_EQ(parts[0], (MenuBarImage::TitlePart{MenuBarMetric::memory, "memorychip", "63%"}));
    EXPECT_EQ(parts[1], (MenuBarImage::TitlePart{MenuBarMetric::cpu, "cpu", "12%"}));
    EXPECT_EQ(MenuBarImage::titleText(parts), "Memory 63%  CPU 12%");
    EXPECT_TRUE(MenuBarImage::title({}, readings()).isEmpty());
    EXPECT_EQ(MenuBarImage::titleText({}), "");
}

TEST(MenuBarImage, GlyphInTheTraysSizesFadesWithItsOpacity) {
    const QIcon full = MenuBarImage::glyph(1.0), faded = MenuBarImage::glyph(0.45);
    for (int px : {22, 64}) {
        EXPECT_EQ(full.pixmap(px, px).size(), QSize(px, px));
        EXPECT_EQ(maxAlpha(full, px), 255) << px;
        EXPECT_NEAR(maxAlpha(faded, px), 0.45 * 255, 3) << px;
    }
}
