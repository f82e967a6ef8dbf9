// Pictures of the black hole hero on the Clean tab, with what each must show.
// With QUELTO_SCREENSHOT_DIR set, they are kept there.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>

#include "Views/Clean/BlackHole.h"
#include "Views/Clean/CleanScreen.h"
#include "Views/Clean/HeroText.h"
#include "Views/Kit/ScreenStack.h"
#include "Views/TestSupport.h"
#include "Views/Window/ContentView.h"

namespace {
// Between two shooting stars, so no streak crosses the hero.
constexpr double pictureTime = 11.0 * 72000000 + 4.5;

void keep(const QImage& image, const QString& name) {
    const QByteArray dir = qgetenv("QUELTO_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(QString::fromLocal8Bit(dir));
    ASSERT_TRUE(image.save(QString::fromLocal8Bit(dir) + "/" + name + ".png"));
}

double luminance(QRgb c) { return (0.2126 * qRed(c) + 0.7152 * qGreen(c) + 0.0722 * qBlue(c)) / 255.0; }

struct HeroScene : Fixture {
    ClockScope clock{pictureTime};
    ContentView view{*state, *prefs, *login};
    HeroScene() {
        view.resize(1000, 680);
        view.show();
        QCoreApplication::sendPostedEvents();
    }
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
    keep(img, "clean-idle");
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
    keep(img, "clean-scanning");
    // The probe star, bright where it runs on the orbit (in front of the hole at this moment or dimmed behind it).
    const auto probe = BlackHole::probe(s.hero()->shownFrame().t, 240);
    const QPoint star = s.centre() + probe.offset.toPoint();
    EXPECT_GT(luminance(img.pixel(star)), probe.behind ? 0.25 : 0.8);
    // The motion has sped up to the scanning pace.
    EXPECT_GT(s.hero()->motion().pace, 0.9);
}
