#include <gtest/gtest.h>

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <functional>
#include <tuple>

#include "Core/Clean/CleanTypes.h"
#include "Models/Kit/MotionPause.h"
#include "Models/Settings/SettingsLogic.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/PausesMotion.h"
#include "Views/Kit/QueltoMark.h"
#include "Views/Kit/StillLineEdit.h"
#include "Views/Kit/StillPicture.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"

TEST(Theme, StrokeAndCardHoverAreEqualButSeparate) {
    EXPECT_EQ(Theme::stroke(), Theme::cardHover());
    EXPECT_NE(&Theme::stroke(), &Theme::cardHover());
    EXPECT_NEAR(Theme::text().alphaF(), 0.92, 1e-4);
    EXPECT_EQ(Theme::ink(), QColor::fromRgbF(0.09f, 0.12f, 0.20f));
}

TEST(PillButtonStyle, DimsWhenPressedAndFadesWhenDisabled) {
    EXPECT_DOUBLE_EQ(PillButtonStyle::opacity(true, false), 1.0);
    EXPECT_DOUBLE_EQ(PillButtonStyle::opacity(true, true), 0.75);
    EXPECT_DOUBLE_EQ(PillButtonStyle::opacity(false, false), 0.35);
    EXPECT_DOUBLE_EQ(PillButtonStyle::opacity(false, true), 0.35);
    const PillButtonStyle primary{PillButtonStyle::Kind::primary}, secondary{PillButtonStyle::Kind::secondary};
    EXPECT_EQ(primary.textColor(), Theme::ink());
    EXPECT_NEAR(primary.fill().alphaF(), 0.92, 1e-4);
    EXPECT_EQ(primary.outline().alpha(), 0);
    EXPECT_EQ(secondary.textColor(), Theme::text());
    EXPECT_NEAR(secondary.fill().alphaF(), 0.1, 1e-4);
    EXPECT_EQ(secondary.outline(), Theme::stroke());
}

TEST(PillButton, DisabledButtonDrawsFaint) {
    PillButton on("Clean", PillButtonStyle::Kind::primary), off("Clean", PillButtonStyle::Kind::primary);
    off.setEnabled(false);
    on.resize(on.sizeHint());
    off.resize(off.sizeHint());
    auto centreAlpha = [](QWidget& w) {
        QImage img(w.size(), QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        w.render(&img, {}, {}, QWidget::DrawChildren);
        return qAlpha(img.pixel(4 + int(w.height() / 2), 3));  // on the fill, clear of the text
    };
    EXPECT_NEAR(centreAlpha(on), 0.92 * 255, 3);
    EXPECT_NEAR(centreAlpha(off), 0.92 * 0.35 * 255, 3);
}

TEST(CheckBox, EveryPointOfTheSquareCallsTheActionOnceAndLeavesTheState) {
    int calls = 0;
    CheckBox box(CheckBox::Mark::mixed, [&] { ++calls; });
    box.show();
    EXPECT_EQ(box.size(), QSize(15, 15));
    for (QPoint at : {QPoint(0, 0), QPoint(14, 14), QPoint(7, 7)}) QTest::mouseClick(&box, Qt::LeftButton, {}, at);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(box.state(), CheckBox::Mark::mixed);
}

TEST(CheckBox, OffIsAnOutlineOnIsALightSquare) {
    auto centre = [](CheckBox::Mark m) {
        CheckBox box(m);
        QImage img(15, 15, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        box.render(&img, {}, {}, QWidget::DrawChildren);
        return std::pair{img.pixel(2, 7), img.pixel(1, 1)};
    };
    EXPECT_EQ(qAlpha(centre(CheckBox::Mark::off).first), 0);      // empty inside
    EXPECT_GT(qAlpha(centre(CheckBox::Mark::off).second), 40);    // faint outline
    EXPECT_GT(qAlpha(centre(CheckBox::Mark::on).first), 200);     // light fill
    EXPECT_GT(qAlpha(centre(CheckBox::Mark::mixed).first), 200);
}

TEST(Chip, GrowsWithItsText) {
    Chip shortChip("3 items", Theme::good()), longChip("3 items in 14 folders across two volumes", Theme::good());
    EXPECT_GT(longChip.sizeHint().width(), shortChip.sizeHint().width() * 3);
    EXPECT_EQ(longChip.minimumSizeHint(), longChip.sizeHint());
    EXPECT_EQ(longChip.sizeHint().height(), shortChip.sizeHint().height());
}

TEST(CardLabel, ShowsItsTitleInCapitals) {
    CardLabel label("internaldrive", "Disk usage", Theme::secondary());
    EXPECT_EQ(label.displayedTitle(), "DISK USAGE");
}

TEST(Card, ZeroPaddingPutsTheOutlineAroundTheContent) {
    auto* content = new QWidget;
    content->setFixedSize(40, 20);
    Card* card = Card::wrap(content, 0);
    card->adjustSize();
    EXPECT_EQ(card->size(), QSize(40, 20));
    delete card;
}

namespace {
QImage mark(double phase) {
    QImage img(104, 104, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::black);
    QPainter p(&img);
    QueltoMark{phase}.paint(p, QRectF(2, 2, 100, 100));
    return img;
}
// Brightest pixel on the ring at the given clockwise angle from 3 o'clock.
int ringBrightness(const QImage& img, double degrees) {
    const double a = degrees * M_PI / 180;
    int best = 0;
    for (double r = 48.5; r <= 51; r += 0.5)
        best = std::max(best, qGray(img.pixel(int(52 + r * std::cos(a)), int(52 + r * std::sin(a)))));
    return best;
}
}  // namespace

TEST(QueltoMark, RingShowsForAnyPhaseButZero) {
    const QImage still = mark(0), tiny = mark(0.0001), quarter = mark(0.25);
    EXPECT_NE(still, tiny);
    // Phase 0.25: the arc runs clockwise from 6 o'clock (90 degrees) for 108 degrees
    // and is brightest at its leading end.
    EXPECT_GT(ringBrightness(quarter, 190), ringBrightness(still, 190) + 60);
    EXPECT_GT(ringBrightness(quarter, 190), ringBrightness(quarter, 100));
    EXPECT_NEAR(ringBrightness(quarter, 300), ringBrightness(still, 300), 3);
    EXPECT_NEAR(ringBrightness(quarter, 20), ringBrightness(still, 20), 3);
}

TEST(Symbols, EveryNameTheScreensUseIsDrawn) {
    QStringList names = {"clock.arrow.circlepath", "gearshape", "checkmark", "minus", "plus", "folder",
                         // the review sheet and the Empty Trash button
                         "xmark", "chevron.down", "eye", "checkmark.circle.fill", "trash",
                         // kinds of files
                         "doc.fill", "folder.fill", "photo.fill", "doc.zipper", "film.fill", "music.note"};
    for (MenuBarMetric m : MenuBarMetrics::allCases) names << SettingsLogic::metricSymbol(m);
    for (CleanCategory c : CleanCategories::allCases) names << QString::fromStdString(symbol(c));
    auto draw = [](const QString& n) { return Symbols::pixmap(n, 24, Qt::white).toImage(); };
    const QImage ring = draw("no.such.symbol");
    for (const QString& n : names) {
        EXPECT_TRUE(Symbols::has(n)) << n.toStdString();
        const QImage img = draw(n);
        int ink = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) ink += qAlpha(img.pixel(x, y)) > 128;
        EXPECT_GT(ink, 15) << n.toStdString();
        EXPECT_NE(img, ring) << n.toStdString();
    }
    EXPECT_FALSE(Symbols::has("no.such.symbol"));
}

TEST(Symbols, ACopiedSymbolHasThePixelsOfOneDrawnAfresh) {
    // Drawn "atop" an opaque picture the painter strokes it afresh, with the same sums
    // as "over"; drawn "over" it comes from the kept copy.
    struct Case {
        const char* name;
        QPointF at;
        double side, ratio, weight;
    };
    for (const Case& c : {Case{"checkmark", {3, 4}, 12, 1, 1}, Case{"trash", {2.25, 5.5}, 13.5, 1, 1.4},
                          Case{"chevron.right", {1.7, 0.3}, 9, 2, 1.2}, Case{"folder.fill", {4, 2}, 16, 1.5, 1}}) {
        QImage fresh(QSize(30, 30) * c.ratio, QImage::Format_RGB32), copied;
        fresh.setDevicePixelRatio(c.ratio);
        fresh.fill(QColor(30, 40, 70));
        copied = fresh.copy();
        for (QImage* image : {&fresh, &copied}) {
            QPainter p(image);
            if (image == &fresh) p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
            for (int twice = 0; twice < 2; ++twice)
                Symbols::paint(p, c.name, QRectF(c.at, QSizeF(c.side, c.side)), Theme::secondary(), c.weight);
        }
        int worst = 0, ink = 0;
        for (int y = 0; y < fresh.height(); ++y)
            for (int x = 0; x < fresh.width(); ++x) {
                const QRgb u = fresh.pixel(x, y), v = copied.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(u) - qRed(v)), std::abs(qGreen(u) - qGreen(v)), std::abs(qBlue(u) - qBlue(v))});
                ink += u != qRgb(30, 40, 70);
            }
        EXPECT_LE(worst, 2) << c.name;
        EXPECT_GT(ink, 10) << c.name;
    }
}

TEST(Symbols, OneSymbolOnScreensOfTwoPixelRatiosIsDrawnAtEachOnesSize) {
    // 24 points at ratio 1 and 12 at ratio 2 are the same 24 device pixels, in either
    // order; a colour of its own each time, so no copy kept before is reused.
    for (const auto& [first, then, color] : {std::tuple{1.0, 2.0, QColor(201, 17, 33)}, std::tuple{2.0, 1.0, QColor(17, 201, 33)}}) {
        const auto draw = [&](double ratio) {
            QImage image = Symbols::pixmap("trash", 24 / ratio, color, 1, ratio).toImage();
            image.setDevicePixelRatio(1);
            return image;
        };
        const QImage a = draw(first), b = draw(then);
        EXPECT_TRUE(a == b) << "ratio " << first << ", then " << then;
    }
}

TEST(PausesMotion, ScrollingRestsTheAnimationsUntilItStops) {
    QScrollArea area;
    auto* content = new QWidget;
    content->setMinimumSize(200, 2000);
    area.setWidget(content);
    area.resize(200, 200);
    area.show();
    pausesMotionWhileScrolling(&area);
    auto& pause = MotionPause::shared();
    ASSERT_FALSE(pause.scrolling());

    QWheelEvent wheel(QPointF(50, 50), area.mapToGlobal(QPointF(50, 50)), {}, QPoint(0, -120), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(area.viewport(), &wheel);
    EXPECT_TRUE(pause.scrolling());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !pause.scrolling(); }, 10000));

    emit area.verticalScrollBar()->sliderPressed();
    EXPECT_TRUE(pause.scrolling());
    emit area.verticalScrollBar()->sliderReleased();
    EXPECT_FALSE(pause.scrolling());
}

TEST(StillPicture, CopiesTheSamePixelsStraightIntoAnImageAsThroughAPainter) {
    // A card and a picture of text over a patterned ground, laid over by hand where they
    // fall on whole pixels of the image painted, and by the painter where it clips.
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied}) {
        QImage direct(300, 160, format);
        for (int y = 0; y < direct.height(); ++y)
            for (int x = 0; x < direct.width(); ++x) direct.setPixel(x, y, qRgb(x % 97, (x * y) % 211, 40 + y % 60));
        QImage painted = direct.copy();
        StillPicture text;
        const auto paint = [&](QPaintDevice* on, const QRegion& clip) {
            QPainter p(on);
            if (!clip.isEmpty()) p.setClipRegion(clip);  // which the painter honours itself
            paintOutlinedRoundedRect(p, QRectF(10, 12, 260, 130), 14, Theme::card());
            text.paint(p, QRectF(30, 40, 200, 40), 1.0, 7, [](QPainter& q) {
                q.setPen(Theme::text());
                q.setFont(Theme::font(20, QFont::Bold));
                q.drawText(QRectF(0, 0, 200, 40), Qt::AlignCenter, QStringLiteral("Ready to clean"));
            });
        };
        // Both through a region of many small places, as a frame of the sky gives.
        QRegion area;
        for (int i = 0; i < 40; ++i) area += QRect((i * 37) % 280, (i * 53) % 150, 9, 7);
        // The region as a widget's paint event brings it, and as a clip of the painter's own.
        direct.paintEngine()->setSystemClip(area);
        paint(&direct, {});
        direct.paintEngine()->setSystemClip(QRegion());
        paint(&painted, area);
        const QImage a = direct.convertToFormat(QImage::Format_RGB32), b = painted.convertToFormat(QImage::Format_RGB32);
        int worst = 0, changed = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QRgb u = a.pixel(x, y), v = b.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(u) - qRed(v)), std::abs(qGreen(u) - qGreen(v)), std::abs(qBlue(u) - qBlue(v))});
                changed += u != qRgb(x % 97, (x * y) % 211, 40 + y % 60);
            }
        EXPECT_LE(worst, 1) << "format " << format;
        EXPECT_GT(changed, 200);  // the card and text are there, inside the small places only
        EXPECT_LT(changed, 40 * 9 * 7);
    }
}

TEST(StillPicture, BlendsARowAsThePainterDoesWhateverItsLength) {
    // Every length around the four pixels taken at once, over every kind of alpha.
    uint32_t seed = 12345;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (const bool opaque : {true, false})
        for (int count = 0; count <= 9; ++count) {
            std::vector<QRgb> under(static_cast<size_t>(count)), picture(static_cast<size_t>(count));
            for (int i = 0; i < count; ++i) {
                const int a = std::array{0, 255, 13, 1, 254, 128}[size_t(i) % 6];
                const auto part = [&] { return int(next() >> 16) % (a + 1); };
                picture[size_t(i)] = qRgba(part(), part(), part(), a);
                under[size_t(i)] = opaque ? (next() | 0xFF000000u) : qPremultiply(next());
            }
            QImage expected(std::max(count, 1), 1, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
            for (int i = 0; i < count; ++i) expected.setPixel(i, 0, under[size_t(i)]);
            {
                QPainter p(&expected);
                p.setCompositionMode(QPainter::CompositionMode_SourceOver);
                QImage source(std::max(count, 1), 1, QImage::Format_ARGB32_Premultiplied);
                source.fill(Qt::transparent);
                for (int i = 0; i < count; ++i) source.setPixel(i, 0, picture[size_t(i)]);
                p.drawImage(0, 0, source);
            }
            blendRow(under.data(), picture.data(), count, opaque);
            for (int i = 0; i < count; ++i)
                EXPECT_EQ(under[size_t(i)], expected.pixel(i, 0)) << "pixel " << i << " of " << count << (opaque ? " opaque" : "");
        }
}

namespace {
// The search field as it sits on its panel: over a coloured ground, where the kept
// picture is laid over the ground's pixels and a plain line edit paints on them.
struct SearchGround {
    QWidget ground;
    QLineEdit& field;
    explicit SearchGround(QLineEdit& f) : field(f) {
        ground.setAutoFillBackground(true);
        QPalette back = ground.palette();
        back.setColor(QPalette::Window, QColor(40, 60, 90));
        ground.setPalette(back);
        ground.resize(220, 40);
        field.setParent(&ground);
        field.setGeometry(10, 6, 200, 28);
        field.setFrame(false);
        field.setFont(Theme::font(12.5));
        QPalette pal = field.palette();
        pal.setColor(QPalette::Base, Qt::transparent);
        pal.setColor(QPalette::PlaceholderText, Theme::tertiary());
        field.setPalette(pal);
        field.setPlaceholderText(QStringLiteral("Search apps"));
    }
    ~SearchGround() { field.setParent(nullptr); }
    QImage look() { return ground.grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

int worstDifference(const QImage& a, const QImage& b) {
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb u = a.pixel(x, y), v = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(u) - qRed(v)), std::abs(qGreen(u) - qGreen(v)), std::abs(qBlue(u) - qBlue(v))});
        }
    return worst;
}
}  // namespace

TEST(StillLineEdit, LooksAsAPlainLineEditEmptyAndTyped) {
    const auto look = [](QLineEdit& field, const QString& text) {
        SearchGround on(field);
        field.setText(text);
        QImage first = on.look();
        QCoreApplication::processEvents();
        QImage again = on.look();  // the second time from the kept picture
        EXPECT_EQ(first, again);
        return first;
    };
    for (const QString& text : {QString(), QStringLiteral("Notes")}) {
        QLineEdit plain;
        StillLineEdit still;
        const QImage a = look(plain, text), b = look(still, text);
        EXPECT_LE(worstDifference(a, b), 1) << text.toStdString();
        EXPECT_NE(a.pixel(30, 20), QColor(40, 60, 90).rgb() ) << "placeholder or text shows";
    }
}

TEST(StillLineEdit, KeepsNoPictureOfAStateBetweenItsEmptyPaintAndThePictureBeingMade) {
    // The picture is made after the empty, unfocused paint that asks for it.
    const std::pair<const char*, std::function<void(QLineEdit&)>> between[] = {
        {"text set", [](QLineEdit& f) { f.setText(QStringLiteral("Notes")); }},
        {"focused", [](QLineEdit& f) { f.setFocus(); }},
    };
    QLineEdit plain;
    const QImage empty = SearchGround(plain).look();
    for (const auto& [name, change] : between) {
        StillLineEdit still;
        SearchGround on(still);
        on.ground.show();
        on.ground.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&on.ground)) << name;
        still.clearFocus();  // the window gave it focus
        on.look();
        change(still);
        QCoreApplication::processEvents();
        still.clear();
        still.clearFocus();
        for (int pass = 0; pass < 2; ++pass, QCoreApplication::processEvents())
            EXPECT_LE(worstDifference(on.look(), empty), 1) << name << ", pass " << pass;
    }
}
