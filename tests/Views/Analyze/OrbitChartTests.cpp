#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <map>
#include <numbers>

#include "Models/Kit/MotionPause.h"
#include "Views/Analyze/OrbitChart.h"
#include "Views/Kit/Theme.h"
#include "Views/TestSupport.h"

namespace {

struct Entry {
    std::filesystem::path url;
    std::optional<int64_t> size;
    std::optional<int64_t> files;
    bool isFolder = true;
};
struct Slice {
    std::filesystem::path url;
    int64_t size;
    int64_t files;
};
using Slices = std::map<std::string, std::vector<Slice>>;

constexpr double chartTime = 800'000'000.25;

QImage render(QWidget& w) {
    QImage image(w.size(), QImage::Format_RGB32);
    image.fill(QColor::fromRgbF(0.07, 0.08, 0.14));
    w.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// The point at `turn` (clockwise from the top) in the middle of the inner band.
QPoint onInnerBand(const OrbitChart& chart, double turn) {
    const QRectF sq = chart.square();
    const double r = (innerRing.r0 + innerRing.r1) / 2 * sq.width() / 2, a = turn * 2 * std::numbers::pi;
    return QPointF(sq.center().x() + r * std::sin(a), sq.center().y() - r * std::cos(a)).toPoint();
}

}  // namespace

TEST(ChartMotion, TheStreakTableIsFixedAndWithinItsRanges) {
    const auto& s = ChartMotion::streaks();
    const std::array<ChartMotion::Streak, 2> first{{{0.4442, 0.4607, 0.113072, 0.04779, 0.254682},
                                                    {0.6736, 0.0255, 0.076896, 0.03632, 0.135662}}};
    for (int i = 0; i < 2; ++i) {
        EXPECT_NEAR(s[i].radius, first[i].radius, 1e-12) << i;
        EXPECT_NEAR(s[i].start, first[i].start, 1e-12) << i;
        EXPECT_NEAR(s[i].length, first[i].length, 1e-12) << i;
        EXPECT_NEAR(s[i].speed, first[i].speed, 1e-12) << i;
        EXPECT_NEAR(s[i].alpha, first[i].alpha, 1e-12) << i;
    }
    for (const auto& k : s) {
        EXPECT_TRUE(k.radius >= 0 && k.radius < 1 && k.start >= 0 && k.start < 1);
        EXPECT_TRUE(k.length >= 0.04 && k.length <= 0.2 && k.speed >= 0.02 && k.speed <= 0.07);
        EXPECT_TRUE(k.alpha >= 0.1 && k.alpha <= 0.32);
    }
}

TEST(ChartMotion, TheFlaresTurnClockwiseFromThreeOClock) {
    ChartMotion::Canvas canvas;
    canvas.prepare(400, 1, 0.4, 0.92, 0.376);
    QImage frame(400, 400, QImage::Format_ARGB32_Premultiplied);
    // Where the white and the peach flare stand, and where the band is dark, at t = 0
    // and a quarter turn of the flares later.
    const auto at = [&](double turn) {
        const double a = turn * 2 * std::numbers::pi, r = 0.6 * 200;
        return frame.pixelColor(QPointF(200 + r * std::cos(a), 200 + r * std::sin(a)).toPoint());
    };
    for (const double t : {0.0, 90.0 / 14}) {
        canvas.paint(frame, t);
        const double turned = t * 14 / 360;
        const QColor white = at(0.06 + turned), peach = at(0.56 + turned), dark = at(0.35 + turned);
        EXPECT_GT(white.alpha(), dark.alpha() + 30) << t;
        EXPECT_GT(peach.alpha(), dark.alpha() + 30) << t;
        EXPECT_GT(peach.red() - peach.blue(), 15) << t;
        EXPECT_LT(std::abs(white.red() - white.blue()), 15) << t;
    }
}

struct ReadoutCase {
    const char* name;
    CenterReadout::Shown shown;
    std::optional<AnalyzeFocus> focus;
    CenterReadout::Detail want;
};

class Readout : public ::testing::TestWithParam<ReadoutCase> {};

TEST_P(Readout, DescribesTheFocusOrTheShownFolder) {
    // 1,000 bytes in all: a folder, a file without a file count, an unmeasured one,
    // and three small ones of 0.3 % each.
    const std::vector<Entry> entries{{"/u/Library", 815, 1240, true}, {"/u/movie.mov", 176, std::nullopt, false},
                                     {"/u/pending", std::nullopt, std::nullopt, true}, {"/u/a", 3, 1, false},
                                     {"/u/b", 3, 1, false},           {"/u/c", 3, 1, false}};
    const Slices slices{{"/u/Library", {{"/u/Library/Caches", 600, 9000}, {"/u/Library/Caches/com.x", 40, 310}}}};
    const auto got = CenterReadout::detail(entries, slices, GetParam().shown, 1000, GetParam().focus);
    EXPECT_EQ(got.name, GetParam().want.name);
    EXPECT_EQ(got.size, GetParam().want.size);
    EXPECT_EQ(got.caption, GetParam().want.caption);
    EXPECT_EQ(got.symbol, GetParam().want.symbol);
}

INSTANTIATE_TEST_SUITE_P(
    Focus, Readout,
    ::testing::Values(
        // The folder's own totals (its blocks and links too); shares are of the entries' sum.
        ReadoutCase{"NothingAtTheRoot", {"/", 1004, 183'401}, std::nullopt, {"Whole disk", 1004, "6 items · 183k files", "internaldrive"}},
        ReadoutCase{"NothingInAFolder", {"/u", 1004, 183'401}, std::nullopt, {"u", 1004, "6 items · 183k files", "internaldrive"}},
        ReadoutCase{"AFolderItCannotRead", {"/u", std::nullopt, std::nullopt}, std::nullopt, {"u", std::nullopt, "Quelto can't read it", "internaldrive"}},
        ReadoutCase{"AFolderEntry", {"/u", 1004, 183'401}, AnalyzeFocus::entry("/u/Library"), {"Library", 815, "81.5% · 1.2k files", "folder"}},
        ReadoutCase{"AFileWithoutCount", {"/u", 1004, 183'401}, AnalyzeFocus::entry("/u/movie.mov"), {"movie.mov", 176, "17.6%", "doc"}},
        ReadoutCase{"AnUnmeasuredEntry", {"/u", 1004, 183'401}, AnalyzeFocus::entry("/u/pending"), {"u", 1004, "6 items · 183k files", "internaldrive"}},
        ReadoutCase{"AGoneEntry", {"/u", 1004, 183'401}, AnalyzeFocus::entry("/u/gone"), {"u", 1004, "6 items · 183k files", "internaldrive"}},
        ReadoutCase{"ASlice", {"/u", 1004, 183'401}, AnalyzeFocus::slice("/u/Library/Caches/com.x"), {"com.x", 40, "Caches/ · 4.0% · 310 files", "folder"}},
        ReadoutCase{"TheSmallEntries", {"/u", 1004, 183'401}, AnalyzeFocus::other(), {"3 small items", 9, "0.9%", "square.grid.3x3"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RingArc, WideArcsKeepAGapAndNarrowOnesDoNot) {
    const QRectF box(0, 0, 200, 200);
    // The sector's angular extent, read off its path at the middle of the band.
    const auto covers = [&](const RingArc& arc, double turn) {
        const double r = (arc.inner + arc.outer) / 2 * 100, a = turn * 2 * std::numbers::pi;
        return arc.path(box).contains(QPointF(100 + r * std::sin(a), 100 - r * std::cos(a)));
    };
    const RingArc wide{0.2, 0.21, 0.4, 0.68};
    EXPECT_FALSE(covers(wide, 0.2008));
    EXPECT_TRUE(covers(wide, 0.2017));
    EXPECT_TRUE(covers(wide, 0.2083));
    EXPECT_FALSE(covers(wide, 0.2092));
    const RingArc narrow{0.2, 0.205, 0.4, 0.68};
    EXPECT_TRUE(covers(narrow, 0.2003));
    EXPECT_TRUE(covers(narrow, 0.2047));
}

class OrbitChartView : public ::testing::Test {
protected:
    void SetUp() override {
        clock = std::make_unique<ClockScope>(chartTime);
        chart.resize(230, 230);
        QObject::connect(&chart, &OrbitChart::focusEdited, &chart, &OrbitChart::setChartFocus);
    }
    void lay(const std::vector<Entry>& entries, const Slices& slices = {}) {
        chart.setRings(OrbitLayout::layout(entries, slices));
        chart.showRevealAt(1);
    }
    std::unique_ptr<ClockScope> clock;
    OrbitChart chart;
};

TEST_F(OrbitChartView, ArcsRunClockwiseFromTheTop) {
    lay({{"/u/quarter", 250, {}}, {"/u/rest", 750, {}}});
    chart.setReadout({"u", 1000, "2 items · 2 files", "internaldrive"});
    chart.show();
    chart.showRevealAt(1);
    const QImage img = render(chart);
    ASSERT_TRUE(keepScreenshot(img, "analyze-chart-direction"));
    // The quarter is palette[0] (blue) at 45°; the rest, palette[1] (cream), at 315°.
    const QColor right = img.pixelColor(onInnerBand(chart, 0.125)), left = img.pixelColor(onInnerBand(chart, 0.875));
    EXPECT_GT(right.blue() - right.red(), 30) << right.name().toStdString();
    EXPECT_GT(left.red() - left.blue(), 20) << left.name().toStdString();
    EXPECT_EQ(chart.segmentAt(onInnerBand(chart, 0.125))->id, "/u/quarter");
    EXPECT_EQ(chart.segmentAt(onInnerBand(chart, 0.875))->id, "/u/rest");
}

TEST_F(OrbitChartView, HoverMovesTheFocusFromArcToArcAndClearsItOffTheChart) {
    lay({{"/u/a", 500, {}}, {"/u/b", 500, {}}}, {{"/u/b", {{"/u/b/x", 300, 3}}}});
    chart.show();
    chart.showRevealAt(1);
    QTest::mouseMove(&chart, onInnerBand(chart, 0.25));
    EXPECT_EQ(chart.chartFocus(), AnalyzeFocus::entry("/u/a"));
    QTest::mouseMove(&chart, onInnerBand(chart, 0.75));
    EXPECT_EQ(chart.chartFocus(), AnalyzeFocus::entry("/u/b"));
    // The outer ring: b's child lies from 0.5 to 0.8.
    const QRectF sq = chart.square();
    QTest::mouseMove(&chart, QPointF(sq.center().x() - 0.8 * sq.width() / 2, sq.center().y()).toPoint());
    EXPECT_EQ(chart.chartFocus(), AnalyzeFocus::slice("/u/b/x"));
    QTest::mouseMove(&chart, sq.center().toPoint());
    EXPECT_EQ(chart.chartFocus(), std::nullopt);
    // Off an arc whose focus another view replaced, nothing is written.
    QTest::mouseMove(&chart, onInnerBand(chart, 0.25));
    chart.setChartFocus(AnalyzeFocus::entry("/u/row"));
    QSignalSpy edits(&chart, &OrbitChart::focusEdited);
    QTest::mouseMove(&chart, sq.center().toPoint());
    EXPECT_EQ(edits.count(), 0);
}

TEST_F(OrbitChartView, AClickAsksToOpenTheArcUnderThePointer) {
    lay({{"/u/a", 995, {}}, {"/u/tiny", 3, {}}, {"/u/tiny2", 2, {}}});
    chart.show();
    chart.showRevealAt(1);
    QSignalSpy opens(&chart, &OrbitChart::openRequested);
    QTest::mouseClick(&chart, Qt::LeftButton, {}, onInnerBand(chart, 0.5));
    QTest::mouseClick(&chart, Qt::LeftButton, {}, onInnerBand(chart, 0.998));
    QTest::mouseClick(&chart, Qt::LeftButton, {}, chart.square().center().toPoint());
    ASSERT_EQ(opens.count(), 2);
    EXPECT_EQ(opens[0][0].value<AnalyzeFocus>(), AnalyzeFocus::entry("/u/a"));
    EXPECT_EQ(opens[1][0].value<AnalyzeFocus>(), AnalyzeFocus::other());
}

TEST_F(OrbitChartView, ANewFolderSweepsTheArcsInFromNothing) {
    lay({{"/u/a", 1, {}}});
    chart.setShownFolder("/u");
    chart.show();
    chart.showRevealAt(1);
    EXPECT_TRUE(chart.segmentAt(onInnerBand(chart, 0.5)));
    chart.setShownFolder("/u/a");
    EXPECT_EQ(chart.reveal(), 0);
    EXPECT_FALSE(chart.segmentAt(onInnerBand(chart, 0.5)));
}

TEST_F(OrbitChartView, TheGlowIsKeptWhileOnlyTheFocusChanges) {
    lay({{"/u/a", 600, {}}, {"/u/b", 400, {}}});
    chart.show();
    render(chart);
    const int before = chart.bloomRenders();
    chart.setChartFocus(AnalyzeFocus::entry("/u/a"));
    render(chart);
    EXPECT_EQ(chart.bloomRenders(), before);
    chart.setRings(OrbitLayout::layout(std::vector<Entry>{{"/u/a", 500, {}}, {"/u/b", 500, {}}}, Slices{}));
    render(chart);
    EXPECT_EQ(chart.bloomRenders(), before + 1);
}

TEST_F(OrbitChartView, TheMotionRestsWhileNoWindowIsOnScreen) {
    lay({{"/u/a", 600, {}}, {"/u/b", 400, {}}});
    chart.show();
    EXPECT_TRUE(chart.timeline().isScheduled());
    MotionPause::shared().setHidden(true);
    EXPECT_FALSE(chart.timeline().isScheduled());
    const QImage still = render(chart);
    clock->advance(3);
    EXPECT_EQ(render(chart), still);
    // The arcs still follow what they are given.
    lay({{"/u/a", 100, {}}, {"/u/b", 900, {}}});
    EXPECT_NE(render(chart), still);
    MotionPause::shared().setHidden(false);
    EXPECT_TRUE(chart.timeline().isScheduled());
}
