// The metric views, each drawn in a picture (kept with QUELTO_SCREENSHOT_DIR) and
// checked for what it must show.
#include <gtest/gtest.h>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <cmath>

#include "Views/Kit/Theme.h"
#include "Views/Status/FullDiskAccessBanner.h"
#include "Views/Status/MetricViews.h"
#include "Views/TestSupport.h"

namespace {

// A dark backdrop like the window's, holding the views under test.
struct Stage {
    QWidget host;
    explicit Stage(QSize size) {
        host.setAutoFillBackground(true);
        QPalette p = host.palette();
        p.setColor(QPalette::Window, QColor::fromRgbF(0.07f, 0.08f, 0.13f));
        host.setPalette(p);
        host.setFixedSize(size);
    }
    QImage shoot(const QString& name) {
        host.show();
        const QImage image = host.grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_TRUE(keepScreenshot(image, name));
        return image;
    }
    QColor at(const QImage& image, const QWidget* w, QPointF p) const {
        return image.pixelColor(w->mapTo(&host, p.toPoint()));
    }
};

// How near a drawn pixel is to a colour (its opacity ignored).
bool near(const QColor& a, const QColor& b, int tolerance = 40) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) < tolerance;
}

QList<double> wave(int n, double scale = 1.0) {
    QList<double> v;
    for (int i = 0; i < n; ++i) v.append(scale * (0.45 + 0.3 * std::sin(i * 0.55) + 0.1 * std::sin(i * 1.7)));
    return v;
}

const QColor orange = QColor::fromRgbF(1.0f, 0.7f, 0.4f);

}  // namespace

TEST(MetricCard, ShowsItsReadingWithOrWithoutAChip) {
    Stage stage({1000, 380});
    auto* grid = new QGridLayout(&stage.host);
    grid->setContentsMargins(20, 20, 20, 20);
    grid->setSpacing(14);
    auto* cpu = new MetricCard("cpu", "CPU", "37", "%", QString("52°C"), Theme::secondary(),
                               "busy · load 2.4 / 8 cores", new Bars(wave(18), Theme::good()));
    auto* memory = new MetricCard("memorychip", "Memory", "61", "%", QString("Pressure elevated"), Theme::review(),
                                  "9.8 GB · swap 0 bytes", new Sparkline(wave(40, 0.8), QColor::fromRgbF(0.95f, 0.85f, 0.6f)));
    auto* disk = new MetricCard("internaldrive", "Disk", "84.17 GB", "free", QString("270.55 GB"), Theme::secondary(),
                                "R 1.2 MB/s · W 350 KB/s", new Meter(0.69, orange));
    // No chip, and a value far wider than its card.
    auto* longValue = new MetricCard("internaldrive", "Disk", "123,456,789,012.5 GB", "free", std::nullopt, Theme::secondary(),
                                     "A footer much too long to fit on the one line it is given", new Meter(0.2, orange));
    grid->addWidget(cpu, 0, 0);
    grid->addWidget(memory, 0, 1);
    grid->addWidget(disk, 0, 2);
    longValue->setFixedWidth(240);
    grid->addWidget(longValue, 1, 0, Qt::AlignLeft);
    for (int column = 0; column < 3; ++column) grid->setColumnStretch(column, 1);
    const QImage image = stage.shoot("status-metric-card");

    ASSERT_NE(memory->chip(), nullptr);
    EXPECT_TRUE(memory->chip()->isVisible());
    EXPECT_EQ(longValue->chip(), nullptr);
    EXPECT_EQ(cpu->valueView()->shownValue(), "37");
    EXPECT_EQ(cpu->valueView()->shownFontSize(), MetricValue::fontSize);
    EXPECT_EQ(disk->footer(), "R 1.2 MB/s · W 350 KB/s");
    EXPECT_EQ(disk->graph()->height(), MetricCard::graphHeight);
    // A long value shrinks to 60 % and is then cut short.
    EXPECT_DOUBLE_EQ(longValue->valueView()->shownFontSize(), MetricValue::fontSize * MetricValue::minimumScale);
    EXPECT_TRUE(longValue->valueView()->shownValue().endsWith(QChar(0x2026)));
    // The cards fill their cells, and the graphs are drawn inside them.
    EXPECT_EQ(cpu->height(), memory->height());
    EXPECT_EQ(cpu->width(), disk->width());
    EXPECT_TRUE(near(stage.at(image, cpu->graph(), QPointF(3, cpu->graph()->height() - 1)),
                     Theme::good(), 200));

    // Chips come and go with their reading.
    cpu->setChip(std::nullopt, Theme::secondary());
    EXPECT_EQ(cpu->chip(), nullptr);
    cpu->setChip(QString("60°C"), Theme::danger());
    ASSERT_NE(cpu->chip(), nullptr);
}

TEST(Meter, ClampsAndSpringsOnlyOnScreen) {
    Stage stage({360, 140});
    auto* column = new QVBoxLayout(&stage.host);
    column->setContentsMargins(20, 20, 20, 20);
    QList<Meter*> meters;
    for (double f : {-0.2, 0.35, 0.8, 1.4}) {
        meters.append(new Meter(f, f > 0.85 ? Theme::review() : orange));
        column->addWidget(meters.back());
    }
    const QImage image = stage.shoot("status-meter");
    const auto right = [&](Meter* m) { return stage.at(image, m, QPointF(m->width() - 3, m->height() - 4)); };
    const auto left = [&](Meter* m) { return stage.at(image, m, QPointF(3, m->height() - 4)); };
    EXPECT_TRUE(near(right(meters[3]), Theme::review(), 60));  // 1.4 draws a full bar
    EXPECT_FALSE(near(left(meters[0]), orange, 200));         // -0.2 an empty one
    EXPECT_EQ(left(meters[0]), right(meters[0]));
    EXPECT_EQ(meters[0]->shownFraction(), 0.0);
    EXPECT_EQ(meters[3]->shownFraction(), 1.0);
    EXPECT_EQ(MetricGraph::clamped(std::nan("")), 0.0);

    // On screen a change springs from where the bar is; off screen it is simply there.
    meters[1]->setFraction(0.9);
    EXPECT_DOUBLE_EQ(meters[1]->shownFraction(), 0.35);
    Meter hidden(0.1, orange);
    hidden.setFraction(0.6);
    EXPECT_DOUBLE_EQ(hidden.shownFraction(), 0.6);
}

TEST(Sparkline, DrawsTheHistoryClampedAndNothingWhenEmpty) {
    Stage stage({360, 230});
    auto* column = new QVBoxLayout(&stage.host);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(12);
    const QColor blue = QColor::fromRgbF(0.45f, 0.75f, 1.0f);
    auto* history = new Sparkline(wave(40), blue);
    auto* above = new Sparkline({0.4, 1.6, 2.0, 1.2, 0.5}, blue);
    auto* single = new Sparkline({0.5}, blue);
    auto* empty = new Sparkline({}, blue);
    for (auto* s : {history, above, single, empty}) {
        s->setFixedHeight(34);
        column->addWidget(s);
    }
    const QImage image = stage.shoot("status-sparkline");

    const QSizeF size = above->size();
    const auto pts = Sparkline::points(above->values(), size);
    ASSERT_EQ(pts.size(), 5);
    EXPECT_EQ(pts[2], QPointF(size.width() / 2, 0));  // above 1: on the top edge
    EXPECT_EQ(pts[4].x(), size.width());
    EXPECT_TRUE(near(stage.at(image, above, pts[2]), blue, 120));
    EXPECT_EQ(Sparkline::points({0.5}, size), QList<QPointF>{QPointF(0, size.height() / 2)});
    EXPECT_EQ(Sparkline::points({-3}, size)[0].y(), size.height());
    // An empty history leaves its frame untouched.
    const QColor backdrop = stage.at(image, empty, QPointF(0, 0));
    for (int x = 0; x < empty->width(); x += 7)
        for (int y = 0; y < empty->height(); y += 3) ASSERT_EQ(stage.at(image, empty, QPointF(x, y)), backdrop);
}

TEST(Bars, EveryValueAtLeastAStub) {
    Stage stage({360, 90});
    auto* row = new QHBoxLayout(&stage.host);
    row->setContentsMargins(20, 20, 20, 20);
    QList<double> values = wave(18);
    values[3] = 0;
    values[9] = 1.7;
    values[12] = std::nan("");
    auto* bars = new Bars(values, Theme::good());
    bars->setFixedHeight(34);
    row->addWidget(bars);
    const QImage image = stage.shoot("status-bars");

    const auto rects = Bars::rects(values, bars->size());
    ASSERT_EQ(rects.size(), 18);
    EXPECT_EQ(rects[3].height(), 2);   // a zero is a 2-point stub
    EXPECT_EQ(rects[12].height(), 2);  // so is a reading that is not a number
    EXPECT_EQ(rects[9].height(), 34);  // above 1 is full height
    EXPECT_NEAR(rects[17].right(), bars->width(), 1e-9);
    EXPECT_NEAR(rects[1].left() - rects[0].right(), 3, 1e-9);
    EXPECT_TRUE(near(stage.at(image, bars, QPointF(rects[3].center().x(), 33)), Theme::good(), 200));
    EXPECT_FALSE(near(stage.at(image, bars, QPointF(rects[3].center().x(), 30)), Theme::good(), 200));
}

TEST(Ring, DangerBelowAFifthAndWholeAboveOne) {
    Stage stage({260, 72});
    auto* row = new QHBoxLayout(&stage.host);
    row->setContentsMargins(20, 20, 20, 20);
    row->setSpacing(18);
    QList<Ring*> rings;
    const std::pair<double, const char*> cases[] = {
        {0.19, "magicmouse"}, {0.2, "keyboard"}, {0.75, "dot.radiowaves.left.and.right"}, {1.3, "keyboard"}};
    for (const auto& [fraction, symbol] : cases) {
        rings.append(new Ring(fraction, symbol));
        row->addWidget(rings.back());
    }
    row->addStretch();
    const QImage image = stage.shoot("status-ring");

    EXPECT_EQ(Ring::color(0.19), Theme::danger());
    EXPECT_EQ(Ring::color(0.2), Theme::good());
    const QPointF top(16, 1.5), leftMiddle(1.5, 16), bottom(16, 30.5);
    EXPECT_TRUE(near(stage.at(image, rings[0], top + QPointF(2, 0)), Theme::danger(), 90));
    EXPECT_TRUE(near(stage.at(image, rings[1], top + QPointF(2, 0)), Theme::good(), 90));
    EXPECT_FALSE(near(stage.at(image, rings[1], bottom), Theme::good(), 150));  // a fifth stops short of the bottom
    EXPECT_TRUE(near(stage.at(image, rings[2], bottom), Theme::good(), 90));
    EXPECT_FALSE(near(stage.at(image, rings[2], leftMiddle + QPointF(0, -3)), Theme::good(), 150));
    EXPECT_TRUE(near(stage.at(image, rings[3], leftMiddle + QPointF(0, -3)), Theme::good(), 90));
}

TEST(FullDiskAccessBanner, AsksAndChecksAgain) {
    Fixture f;
    f.state->setHasFullDiskAccess(true);
    Stage stage({820, 100});
    auto* row = new QVBoxLayout(&stage.host);
    row->setContentsMargins(20, 20, 20, 20);
    auto* banner = new FullDiskAccessBanner(*f.state);
    row->addWidget(banner);
    stage.shoot("status-full-disk-access-banner");

    EXPECT_EQ(banner->title()->text(), "Full Disk Access is off");
    EXPECT_EQ(banner->message()->text(), "macOS hides Mail, Safari and the Trash from Quelto until you allow it.");
    EXPECT_TRUE(banner->message()->isVisible());
    EXPECT_TRUE(banner->openSettingsButton()->isVisible());
    EXPECT_EQ(banner->openSettingsButton()->text(), "Open Settings");
    EXPECT_EQ(banner->openSettingsButton()->kind(), PillButtonStyle::Kind::primary);
    EXPECT_EQ(banner->checkButton()->text(), "Check");
    EXPECT_EQ(banner->checkButton()->kind(), PillButtonStyle::Kind::secondary);
    // "Check" reads the access afresh, and this platform withholds nothing.
    f.state->setHasFullDiskAccess(false);
    banner->checkButton()->click();
    EXPECT_TRUE(f.state->hasFullDiskAccess());
}
