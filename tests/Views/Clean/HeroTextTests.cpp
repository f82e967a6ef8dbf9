#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include "Views/Clean/HeroText.h"
#include "Views/Kit/Theme.h"

namespace {
QImage picture(HeroText& text) {
    QImage img(text.size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::black);
    text.render(&img);
    return img;
}

// The smallest rectangle holding every pixel that differs between the two pictures.
QRect difference(const QImage& a, const QImage& b) {
    QRect out;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) out |= QRect(x, y, 1, 1);
    return out;
}
}  // namespace

TEST(HeroText, AnEmptySubtitleAddsNoLine) {
    HeroText alone("Ready to clean", "");
    HeroText both("Ready to clean", "Caches, logs, Xcode, package managers, browsers and the Trash");
    const double line = QFontMetricsF(Theme::font(HeroText::titleSize, QFont::Bold)).height();
    EXPECT_EQ(alone.heightForWidth(600), int(std::ceil(line)));
    EXPECT_GT(both.heightForWidth(600), alone.heightForWidth(600) + HeroText::spacing + 10);
    // A narrow column wraps the subtitle onto more lines.
    EXPECT_GT(both.heightForWidth(200), both.heightForWidth(600));
}

TEST(HeroText, OnlyTheChangedDigitRolls) {
    HeroText text("1.2 GB to go", "");
    text.resize(400, text.heightForWidth(400));
    text.show();
    const QImage before = picture(text);
    text.setTitle("1.1 GB to go");
    text.showRollAt(0.5);
    const QRectF rolling = text.rollingArea();
    const QImage middle = picture(text);
    text.showRollAt(1.0);
    const QImage after = picture(text);

    // Only the second "1" (one digit wide) moves; "1." and " GB to go" stand still.
    const double digit = QFontMetricsF(Theme::font(HeroText::titleSize, QFont::Bold)).horizontalAdvance("0");
    EXPECT_LT(rolling.width(), digit + 4);
    for (const QImage* end : {&before, &after}) {
        const QRect changed = difference(middle, *end);
        ASSERT_FALSE(changed.isEmpty());
        EXPECT_TRUE(rolling.contains(QRectF(changed))) << changed.x() << "+" << changed.width();
    }
    EXPECT_TRUE(text.rollingArea().isEmpty());
}

TEST(HeroText, AnInterruptedRollEndsOnTheLastTitleAlone) {
    HeroText text("1.2 GB to go", "");
    text.resize(400, text.heightForWidth(400));
    text.show();
    text.setTitle("1.1 GB to go");
    text.showRollAt(0.4);
    text.setTitle("980 MB to go");
    text.showRollAt(1.0);
    HeroText fresh("980 MB to go", "");
    fresh.resize(text.size());
    EXPECT_EQ(picture(text), picture(fresh));
}
