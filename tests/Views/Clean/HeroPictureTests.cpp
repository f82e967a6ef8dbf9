// Pictures of the black hole hero on the Clean tab, with what each must show.
// With QUELTO_SCREENSHOT_DIR set, they are kept there.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>

#include "Models/Clean/Shockwave.h"
#include "Views/Clean/BlackHole.h"
#include "Views/Clean/CleanScreen.h"
#include "Views/Clean/HeroText.h"
#include "Views/Clean/SwallowStream.h"
#include "Views/Kit/ScreenStack.h"
#include "Views/TestSupport.h"
#include "Views/Window/ContentView.h"

namespace {
// Between two shooting stars, so no streak crosses the hero.
constexpr double pictureTime = 11.0 * 72000000 + 4.5;

// The clock comes first, so the hero starts on it.
struct PictureClock {
    ClockScope clock{pictureTime};
};

struct HeroScene : PictureClock, ShownContent {
    HeroScene() { QCoreApplication::sendPostedEvents(); }
    CleanScreen* screen() const { return qobject_cast<CleanScreen*>(view.screens()->screen()); }
    BlackHole* hero() const { return screen()->hero(); }
    QPoint centre() const { return hero()->mapTo(&view, hero()->rect().center()) + QPoint(1, 1); }
    // Runs the hero's frames on the stepped clock for `seconds`.
    void run(double seconds) {
        const double end = Platform::secondsSinceReferenceDate(Platform::clock().now()) + seconds;
        while (auto due = hero()->timeline().pendingTime()) {
            if (*due > end) break;
            clock.advance(*due - Platform::secondsSinceReferenceDate(Platform::clock().now()));
            hero()->timeline().deliverDueFrame();
        }
    }
    QImage picture() { return view.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // The brightest pixel along a short horizontal run.
    double brightest(const QImage& img, QPoint from, int length) const {
        double best = 0;
        for (int x = from.x(); x < from.x() + length; ++x) best = std::max(best, luminance(img.pixel(x, from.y())));
        return best;
    }
};
}  // namespace

TEST(HeroPicture, IdleOnTheCleanTab) {
    HeroScene s;
    s.run(3);
    const QImage img = s.picture();
    ASSERT_TRUE(keepScreenshot(img, "clean-idle"));
    const QPoint c = s.centre();
    // A dark core, a lit disk on both sides reaching well past the 240-point box.
    EXPECT_LT(luminance(img.pixel(c)), 0.08);
    const double sky = luminance(img.pixel(c.x() + 420, c.y() + 200));
    EXPECT_LT(sky, 0.2);
    const int diskY = c.y() + int(0.0175 * 384);
    for (int side : {-1, 1}) {
        const QPoint outside(c.x() + side * 125 - (side < 0 ? 20 : 0), diskY - 4);
        double best = 0;
        for (int dy = 0; dy < 9; ++dy) best = std::max(best, s.brightest(img, outside + QPoint(0, dy), 20));
        EXPECT_GT(best, sky + 0.25) << "side " << side;
    }
    // Title and subtitle under it.
    HeroText* text = s.screen()->heroText();
    EXPECT_EQ(text->title(), "Ready to clean");
    const QRect title(text->mapTo(&s.view, QPoint(0, 0)), QSize(text->width(), 40));
    double brightestTitle = 0;
    for (int y = title.top(); y < title.bottom(); y += 2)
        brightestTitle = std::max(brightestTitle, s.brightest(img, QPoint(title.center().x() - 100, y), 200));
    EXPECT_GT(brightestTitle, 0.85);
}

TEST(HeroPicture, Scanning) {
    HeroScene s;
    s.hero()->setSpinning(true);
    s.screen()->heroText()->setTitle("Scanning");
    s.screen()->heroText()->setSubtitle("Measuring caches, logs and leftovers");
    s.screen()->heroText()->showRollAt(1);
    s.run(2.4);
    const QImage img = s.picture();
    ASSERT_TRUE(keepScreenshot(img, "clean-scanning"));
    // The probe star, bright where it runs on the orbit (in front of the hole at this moment or dimmed behind it).
    const auto probe = BlackHole::probe(s.hero()->shownFrame().t, 240);
    const QPoint star = s.centre() + probe.offset.toPoint();
    EXPECT_GT(luminance(img.pixel(star)), probe.behind ? 0.25 : 0.8);
    // The motion has sped up to the scanning pace.
    EXPECT_GT(s.hero()->motion().pace, 0.9);
}

namespace {
// A run in full flight: icons at every stage, from just released to breaking up by the hole.
BlackHole::Events flyingIcons(double now) {
    struct Flying {
        const char* type;
        int64_t bytes;
        double progress;
    } icons[] = {{"pdf", 4'000'000, 0.08},        {"folder", 900'000'000, 0.22}, {"zip", 60'000'000, 0.38},
                 {"png", 2'000'000, 0.5},         {"mp4", 3'000'000'000, 0.62},  {"txt", 20'000, 0.74},
                 {"folder", 400'000'000, 0.86}, {"zip", 8'000'000, 0.94}};
    BlackHole::Events events;
    int released = 0;
    for (const auto& f : icons) {
        SwallowFeed::Event e;
        e.id = 3 + 5 * released;
        e.icon = Platform::IconRef::ofType(f.type);
        e.bytes = f.bytes;
        e.start = Platform::dateFromReferenceSeconds(now - f.progress * SwallowFeed::flightTime(f.bytes));
        e.angle = released * 2.399963 + 0.6;
        ++released;
        events.push_back(e);
    }
    return events;
}

int differingPixels(const QImage& a, const QImage& b, const QRect& area) {
    int n = 0;
    const QRect r = area & a.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 12) ++n;
    return n;
}
}  // namespace

TEST(HeroPicture, SwallowingWithTilesBreakingLoose) {
    HeroScene s;
    s.hero()->setSuction(true);
    s.hero()->setOpen(1);
    s.hero()->setGrowth(0.35);
    s.screen()->heroText()->setTitle("1.2 GB to go");
    s.screen()->heroText()->setSubtitle("Crossing the event horizon");
    s.screen()->heroText()->showRollAt(1);
    s.hero()->setFeed(BlackHole::Events{});
    s.run(2.5);
    const QImage without = s.picture();
    const double now = s.hero()->shownFrame().t;
    const auto events = flyingIcons(now);
    s.hero()->setFeed(events);
    const QImage img = s.picture();
    ASSERT_TRUE(keepScreenshot(img, "clean-swallowing"));

    const double scale = s.hero()->shownFrame().scale;
    int breaking = 0;
    for (const auto& e : events) {
        const auto f = SwallowStream::flight(e, now, 240);
        ASSERT_TRUE(f);
        const QPointF at = QPointF(s.centre()) + f->centre * scale;
        const double side = f->side * scale;
        const QRect icon = QRectF(at - QPointF(side / 2, side / 2), QSizeF(side, side)).toAlignedRect();
        // Every icon in flight shows where it is.
        EXPECT_GT(differingPixels(img, without, icon), int(side * side / 8)) << "event " << e.id;
        if (f->dissolve > 0.2) {
            // Its loose tiles have left the icon's square, on the way to the hole.
            const QPointF towards = QPointF(s.centre()) + (f->centre + 0.35 * (f->hole - f->centre)) * scale;
            const QRect trail = QRectF(towards - QPointF(side / 2, side / 2), QSizeF(side, side)).toAlignedRect();
            if (!trail.intersects(icon)) {
                EXPECT_GT(differingPixels(img, without, trail), 3) << "event " << e.id;
            }
            ++breaking;
        }
    }
    EXPECT_GE(breaking, 2);
}

TEST(HeroPicture, ShockwaveAtItsWidest) {
    HeroScene s;
    auto& shock = Shockwave::shared();
    shock.setStrength(1.0);
    shock.setStart(Platform::clock().now() - std::chrono::milliseconds(1550));
    s.run(0.05);
    ASSERT_TRUE(s.hero()->shownFrame().shockAge);
    const QImage img = s.picture();
    ASSERT_TRUE(keepScreenshot(img, "clean-shockwave"));
    const auto& f = s.hero()->shownFrame();
    const auto ring = ShockwaveRing::ring(0, *f.shockAge, 1.0, f.ringSize);
    ASSERT_TRUE(ring);
    const QPoint c = s.centre() - QPoint(0, int(0.02 * f.ringSize));
    // The ring shows far outside the hero's box on both sides, brighter than the sky inside it.
    const double inside = luminance(img.pixel(c.x() + int(0.75 * ring->radius), c.y()));
    for (int side : {-1, 1}) {
        double best = 0;
        for (int dx = -4; dx <= 4; ++dx)
            best = std::max(best, luminance(img.pixel(c.x() + side * int(std::lround(ring->radius)) + dx, c.y())));
        EXPECT_GT(best, inside + 0.15) << "side " << side;
    }
    EXPECT_GT(ring->radius, 1.6 * 240);
    // The title stays on top of it.
    HeroText* text = s.screen()->heroText();
    const QRect title(text->mapTo(&s.view, QPoint(0, 0)), QSize(text->width(), 40));
    double brightestTitle = 0;
    for (int y = title.top(); y < title.bottom(); y += 2)
        brightestTitle = std::max(brightestTitle, s.brightest(img, QPoint(title.center().x() - 100, y), 200));
    EXPECT_GT(brightestTitle, 0.85);
    shock.setStart(std::nullopt);
}
