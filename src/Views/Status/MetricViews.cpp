#include "Views/Status/MetricViews.h"

#include <QFontMetricsF>
#include <QLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"
#include "Views/Status/StatusTexts.h"

double MetricGraph::clamped(double fraction) {
    if (!(fraction > 0)) return 0;  // also not-a-number
    return std::min(fraction, 1.0);
}

namespace {
void fillCapsule(QPainter& p, const QRectF& r, const QBrush& brush) {
    const double radius = std::min(r.width(), r.height()) / 2;
    p.setPen(Qt::NoPen);
    p.setBrush(brush);
    p.drawRoundedRect(r, radius, radius);
}
}  // namespace

// ---- Meter

Meter::Meter(double fraction, const QColor& color, QWidget* parent)
    : QWidget(parent), color_(color), from_(fraction), to_(fraction) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    connect(&spring_, &SpringAnimator::progressChanged, this, [this] { update(); });
}

void Meter::setFraction(double fraction) {
    if (fraction == to_) return;
    from_ = shownFraction();
    to_ = fraction;
    // Off screen there is nothing to animate: the next showing starts at the value.
    if (isVisible()) spring_.start(Spring::standard());
    else spring_.stop();
    update();
}

void Meter::setColor(const QColor& color) {
    if (color == color_) return;
    color_ = color;
    update();
}

double Meter::shownFraction() const {
    const double to = MetricGraph::clamped(to_);
    if (!spring_.isRunning()) return to;
    const double from = MetricGraph::clamped(from_);
    return std::clamp(from + (to - from) * spring_.progress(), 0.0, 1.0);
}

void Meter::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track(0, height() - barHeight, width(), barHeight);
    fillCapsule(p, track, Theme::white(0.08));
    const double w = track.width() * shownFraction();
    if (w <= 0) return;
    QLinearGradient gradient(track.topLeft(), QPointF(track.left() + w, track.top()));
    gradient.setColorAt(0, Theme::withOpacity(color_, 0.55));
    gradient.setColorAt(1, color_);
    fillCapsule(p, QRectF(track.left(), track.top(), w, barHeight), gradient);
}

// ---- Sparkline and Bars

HistoryGraph::HistoryGraph(const QList<double>& values, const QColor& color, QWidget* parent)
    : QWidget(parent), values_(values), color_(color) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void HistoryGraph::setValues(const QList<double>& values) {
    if (values == values_) return;
    values_ = values;
    update();
}

QList<QPointF> Sparkline::points(const QList<double>& values, QSizeF size) {
    QList<QPointF> out;
    const double steps = double(std::max<qsizetype>(values.size(), 2) - 1);
    for (qsizetype i = 0; i < values.size(); ++i)
        out.append({size.width() * double(i) / steps, size.height() * (1 - MetricGraph::clamped(values[i]))});
    return out;
}

void Sparkline::paintEvent(QPaintEvent*) {
    const auto pts = points(values_, size());
    if (pts.isEmpty()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double h = height();
    QPainterPath fill(QPointF(pts.first().x(), h));
    QPainterPath line(pts.first());
    for (const auto& pt : pts) fill.lineTo(pt);
    for (qsizetype i = 1; i < pts.size(); ++i) line.lineTo(pts[i]);
    fill.lineTo(pts.last().x(), h);
    fill.closeSubpath();
    QLinearGradient wash(0, 0, 0, h);
    wash.setColorAt(0, Theme::withOpacity(color_, 0.35));
    wash.setColorAt(1, Qt::transparent);
    p.fillPath(fill, wash);
    p.setPen(QPen(color_, 1.5, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(line);
}

QList<QRectF> Bars::rects(const QList<double>& values, QSizeF size) {
    QList<QRectF> out;
    if (values.isEmpty()) return out;
    constexpr double spacing = 3;
    const double n = double(values.size());
    const double w = std::max(0.0, (size.width() - spacing * (n - 1)) / n);
    for (qsizetype i = 0; i < values.size(); ++i) {
        const double h = std::max(2.0, size.height() * MetricGraph::clamped(values[i]));
        out.append(QRectF(double(i) * (w + spacing), size.height() - h, w, h));
    }
    return out;
}

void Bars::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::withOpacity(color_, 0.75));
    for (const auto& r : rects(values_, size())) {
        const double radius = std::min({2.0, r.width() / 2, r.height() / 2});
        p.drawRoundedRect(r, radius, radius);
    }
}

// ---- Ring

Ring::Ring(double fraction, const QString& symbol, QWidget* parent)
    : QWidget(parent), fraction_(fraction), symbol_(symbol) {
    setFixedSize(side, side);
}

void Ring::setFraction(double fraction) {
    if (fraction == fraction_) return;
    fraction_ = fraction;
    update();
}

QColor Ring::color(double fraction) { return fraction < 0.2 ? Theme::danger() : Theme::good(); }

void Ring::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    constexpr double lineWidth = 3;
    const QRectF circle = QRectF(0, 0, side, side).adjusted(lineWidth / 2, lineWidth / 2, -lineWidth / 2, -lineWidth / 2);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Theme::white(0.1), lineWidth));
    p.drawEllipse(circle);
    // Trimmed to the fraction, not clamped: beyond 1 the arc is simply whole.
    const double sweep = std::isfinite(fraction_) ? std::min(fraction_, 1.0) : 0.0;
    if (sweep > 0) {
        p.setPen(QPen(color(fraction_), lineWidth, Qt::SolidLine, Qt::RoundCap));
        // Qt's angles run counter-clockwise from three o'clock in sixteenths of a degree.
        p.drawArc(circle, 90 * 16, -int(std::lround(sweep * 360 * 16)));
    }
    const double icon = Symbols::sizeForFont(11);
    Symbols::paint(p, symbol_, QRectF((side - icon) / 2, (side - icon) / 2, icon, icon), Theme::secondary());
}

// ---- MetricValue

namespace {
// The typeface's digits share one width, so a changing reading does not jitter.
QFont valueFont(double size) { return Theme::font(size, QFont::Bold); }
QFont unitFont(double size) { return Theme::font(size, QFont::DemiBold); }
}  // namespace

MetricValue::MetricValue(const QString& value, const QString& unit, QWidget* parent)
    : MetricValue(value, unit, Size(), parent) {}

MetricValue::MetricValue(const QString& value, const QString& unit, Size size, QWidget* parent)
    : QWidget(parent), value_(value), unit_(unit), size_(size) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void MetricValue::set(const QString& value, const QString& unit) {
    if (value == value_ && unit == unit_) return;
    value_ = value;
    unit_ = unit;
    updateGeometry();
    update();
}

double MetricValue::unitWidth() const {
    return unit_.isEmpty() ? 0 : size_.gap + QFontMetricsF(unitFont(size_.unit)).horizontalAdvance(unit_);
}

double MetricValue::shownFontSize() const {
    const double room = width() - unitWidth();
    const double natural = QFontMetricsF(valueFont(size_.value)).horizontalAdvance(value_);
    if (natural <= room || natural <= 0) return size_.value;
    return std::max(size_.value * minimumScale, size_.value * std::max(room, 0.0) / natural);
}

QString MetricValue::shownValue() const {
    const QFontMetricsF fm(valueFont(shownFontSize()));
    return fm.elidedText(value_, Qt::ElideRight, std::max(0.0, width() - unitWidth()));
}

QSize MetricValue::sizeHint() const {
    const QFontMetricsF fm(valueFont(size_.value));
    return QSize(int(std::ceil(fm.horizontalAdvance(value_) + unitWidth())), int(std::ceil(fm.height())));
}

QSize MetricValue::minimumSizeHint() const { return QSize(0, sizeHint().height()); }

void MetricValue::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QFont big = valueFont(shownFontSize());
    const QFontMetricsF bigMetrics(valueFont(size_.value));
    // One baseline for both texts, where the full-size value puts it.
    const double baseline = bigMetrics.ascent();
    const QString shown = shownValue();
    p.setFont(big);
    p.setPen(Theme::text());
    p.drawText(QPointF(0, baseline), shown);
    if (unit_.isEmpty()) return;
    p.setFont(unitFont(size_.unit));
    p.setPen(Theme::secondary());
    p.drawText(QPointF(QFontMetricsF(big).horizontalAdvance(shown) + size_.gap, baseline), unit_);
}

// ---- MetricCard

namespace {
// The first item leading and the others at the trailing edge, on one line while they
// all fit beside it, else on a line of their own below it. No item is squeezed.
class LeadingAndTrailing : public QLayout {
public:
    static constexpr int lineGap = 4;
    explicit LeadingAndTrailing(int spacing) {
        setSpacing(spacing);
        setContentsMargins(0, 0, 0, 0);
    }
    ~LeadingAndTrailing() override {
        while (QLayoutItem* item = takeAt(0)) delete item;
    }
    void addItem(QLayoutItem* item) override { items_.append(item); }
    int count() const override { return int(items_.size()); }
    QLayoutItem* itemAt(int index) const override { return items_.value(index); }
    QLayoutItem* takeAt(int index) override {
        return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
    }
    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), false); }
    QSize sizeHint() const override {
        const auto [lead, trail] = widths();
        const int w = lead + (trail > 0 ? spacing() + trail : 0);
        return QSize(w, heightForWidth(w));
    }
    QSize minimumSize() const override {
        const auto [lead, trail] = widths();
        const int w = std::max(lead, trail);
        return QSize(w, heightForWidth(w));
    }
    void setGeometry(const QRect& rect) override {
        QLayout::setGeometry(rect);
        arrange(rect, true);
    }

private:
    QList<QLayoutItem*> shown() const {
        QList<QLayoutItem*> out;
        for (QLayoutItem* item : items_)
            if (!item->isEmpty()) out.append(item);
        return out;
    }
    // The leading item's width and the trailing ones' with their spacing.
    std::pair<int, int> widths() const {
        const auto items = shown();
        int lead = 0, trail = 0;
        for (qsizetype i = 0; i < items.size(); ++i) {
            const int w = items[i]->sizeHint().width();
            if (i == 0) lead = w;
            else trail += (trail > 0 ? spacing() : 0) + w;
        }
        return {lead, trail};
    }
    // Places the items in `rect` when `apply`; the height they take.
    int arrange(const QRect& rect, bool apply) const {
        const auto items = shown();
        if (items.isEmpty()) return 0;
        const auto [lead, trail] = widths();
        const bool oneLine = trail == 0 || lead + spacing() + trail <= rect.width();
        const int leadHeight = items[0]->sizeHint().height();
        int trailHeight = 0;
        for (qsizetype i = 1; i < items.size(); ++i) trailHeight = std::max(trailHeight, items[i]->sizeHint().height());
        // The leading item keeps its place either way, level with those of cards beside.
        const int line = std::max(leadHeight, trailHeight);
        if (apply) {
            items[0]->setGeometry(QRect(rect.left(), rect.top() + (line - leadHeight) / 2, lead, leadHeight));
            const int top = oneLine ? rect.top() : rect.top() + line + lineGap;
            const int height = oneLine ? line : trailHeight;
            int right = rect.right() + 1;
            for (qsizetype i = items.size() - 1; i >= 1; --i) {
                const QSize s = items[i]->sizeHint();
                right -= s.width();
                items[i]->setGeometry(QRect(right, top + (height - s.height()) / 2, s.width(), s.height()));
                right -= spacing();
            }
        }
        return oneLine ? line : line + lineGap + trailHeight;
    }
    QList<QLayoutItem*> items_;
};
}  // namespace

MetricCard::MetricCard(const QString& symbol, const QString& title, const QString& value, const QString& unit,
                       const std::optional<QString>& chip, const QColor& chipColor, const QString& footer,
                       QWidget* graph, QWidget* parent)
    : Card(16, parent), graph_(graph) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* layout = contentLayout();
    layout->setSpacing(12);
    header_ = new LeadingAndTrailing(8);
    label_ = new CardLabel(symbol, title, Theme::secondary(), this);
    header_->addWidget(label_);
    layout->addLayout(header_);
    setChip(chip, chipColor);
    value_ = new MetricValue(value, unit, this);
    layout->addWidget(value_);
    graph_->setParent(this);
    graph_->setFixedHeight(graphHeight);
    layout->addWidget(graph_);
    footer_ = new OneLine(footer, Theme::font(11.5), Theme::secondary(), this);
    layout->addWidget(footer_);
    layout->addStretch(1);
}

void MetricCard::setValue(const QString& value, const QString& unit) { value_->set(value, unit); }

void MetricCard::setChip(const std::optional<QString>& chip, const QColor& color) {
    if (chip == chipText_ && color == chipColor_ && (chip_ != nullptr) == chip.has_value()) return;
    chipText_ = chip;
    chipColor_ = color;
    delete chip_;
    chip_ = nullptr;
    if (chip) {
        chip_ = new Chip(*chip, color, this);
        header_->addWidget(chip_);
    }
}

void MetricCard::setFooter(const QString& footer) { footer_->setText(footer); }

QString MetricCard::footer() const { return footer_->text(); }
