#include "Views/Status/StatusTexts.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "Views/Kit/Controls.h"
#include "Views/Kit/Theme.h"

// ---- OneLine

OneLine::OneLine(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
    : QWidget(parent), text_(text), font_(font), color_(color) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void OneLine::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    updateGeometry();
    update();
}

void OneLine::setPlate(const QColor& fill, QSizeF padding, double radius) {
    plate_ = fill;
    padding_ = padding;
    radius_ = radius;
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    updateGeometry();
    update();
}

QSize OneLine::sizeHint() const {
    const QFontMetricsF fm(font_);
    return QSize(int(std::ceil(fm.horizontalAdvance(text_) + 2 * padding_.width())),
                 int(std::ceil(fm.height() + 2 * padding_.height())));
}

QSize OneLine::minimumSizeHint() const { return plate_.alpha() ? sizeHint() : QSize(0, sizeHint().height()); }

void OneLine::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (plate_.alpha()) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(plate_);
        p.drawRoundedRect(QRectF(rect()), radius_, radius_);
    }
    p.setFont(font_);
    p.setPen(color_);
    const QFontMetricsF fm(font_);
    const QRectF area = QRectF(rect()).adjusted(padding_.width(), padding_.height(), -padding_.width(), -padding_.height());
    p.drawText(QPointF(area.left(), area.top() + fm.ascent()), fm.elidedText(text_, Qt::ElideRight, area.width()));
}

// ---- BaselineTexts

BaselineTexts::BaselineTexts(QList<Part> parts, double spacing, QWidget* parent)
    : QWidget(parent), parts_(std::move(parts)), spacing_(spacing) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void BaselineTexts::setWraps(bool wraps) {
    if (wraps == wraps_) return;
    wraps_ = wraps;
    // A wrapped line makes it taller than its one-line hint, which a fixed height would cap.
    QSizePolicy policy(QSizePolicy::Preferred, wraps ? QSizePolicy::Preferred : QSizePolicy::Fixed);
    policy.setHeightForWidth(wraps);
    setSizePolicy(policy);
    updateGeometry();
    update();
}

void BaselineTexts::setText(int index, const QString& text) {
    if (index < 0 || index >= parts_.size() || parts_[index].text == text) return;
    parts_[index].text = text;
    updateGeometry();
    update();
}

double BaselineTexts::ascent() const {
    double a = 0;
    for (const auto& p : parts_) a = std::max(a, QFontMetricsF(p.font).ascent());
    return a;
}

QSize BaselineTexts::sizeHint() const {
    double w = 0, below = 0;
    for (const auto& p : parts_) {
        if (p.text.isEmpty()) continue;
        const QFontMetricsF fm(p.font);
        w += (w > 0 ? spacing_ : 0) + fm.horizontalAdvance(p.text);
        below = std::max(below, fm.descent());
    }
    return QSize(int(std::ceil(w)), int(std::ceil(ascent() + below)));
}

QSize BaselineTexts::minimumSizeHint() const { return QSize(0, sizeHint().height()); }

QList<BaselineTexts::Placed> BaselineTexts::place(double width) const {
    QList<Placed> out;
    QList<int> lines;  // each placed part's line
    int line = 0;
    double x = 0;
    for (qsizetype i = 0; i < parts_.size(); ++i) {
        const Part& part = parts_[i];
        if (part.text.isEmpty()) continue;
        const QFontMetricsF fm(part.font);
        if (wraps_ && x > 0 && x + spacing_ + fm.horizontalAdvance(part.text) > width) {
            x = 0;
            ++line;
        } else if (x > 0) {
            x += spacing_;
        }
        const QString shown = fm.elidedText(part.text, Qt::ElideRight, std::max(0.0, width - x));
        const double advance = fm.horizontalAdvance(shown);
        out.append({int(i), shown, QRectF(x, -fm.ascent(), advance, fm.ascent() + fm.descent()), 0});
        lines.append(line);
        x += advance;
        if (!wraps_ && x >= width) break;
    }
    // The first line on the tallest font's baseline, each next one below the one above.
    double baseline = ascent(), descent = 0;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (i > 0 && lines[i] != lines[i - 1]) {
            double up = 0;
            for (qsizetype j = i; j < out.size() && lines[j] == lines[i]; ++j) up = std::max(up, -out[j].rect.top());
            baseline += descent + up;
            descent = 0;
        }
        out[i].baseline = baseline;
        out[i].rect.translate(0, baseline);
        descent = std::max(descent, out[i].rect.bottom() - baseline);
    }
    return out;
}

int BaselineTexts::heightForWidth(int width) const {
    double bottom = 0;
    for (const Placed& p : place(width)) bottom = std::max(bottom, p.rect.bottom());
    return int(std::ceil(bottom));
}

void BaselineTexts::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (const Placed& placed : place(width())) {
        const Part& part = parts_[placed.index];
        p.setFont(part.font);
        p.setPen(part.color);
        p.drawText(QPointF(placed.rect.left(), placed.baseline), placed.text);
    }
}

// ---- WrappedText

WrappedText::WrappedText(const QFont& font, const QColor& color, int maxLines, QWidget* parent)
    : QWidget(parent), font_(font), color_(color), maxLines_(std::max(maxLines, 1)) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void WrappedText::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    updateGeometry();
    update();
}

void WrappedText::setColor(const QColor& color) {
    if (color == color_) return;
    color_ = color;
    update();
}

QStringList WrappedText::lines(double width) const { return wrappedLines(text_, font_, width, maxLines_); }

int WrappedText::heightForWidth(int width) const {
    const auto n = lines(width).size();
    return n == 0 ? 0 : int(std::ceil(QFontMetricsF(font_).lineSpacing() * double(n)));
}

QSize WrappedText::sizeHint() const {
    const QFontMetricsF fm(font_);
    return QSize(int(std::ceil(std::min(fm.horizontalAdvance(text_), 260.0))), heightForWidth(260));
}

QSize WrappedText::minimumSizeHint() const { return QSize(0, text_.isEmpty() ? 0 : int(std::ceil(QFontMetricsF(font_).height()))); }

void WrappedText::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(font_);
    p.setPen(color_);
    const QFontMetricsF fm(font_);
    double y = fm.ascent();
    for (const QString& line : lines(width())) {
        p.drawText(QPointF(0, y), line);
        y += fm.lineSpacing();
    }
}

// ---- ChipRow

namespace {
constexpr double chipGap = 4;
}

ChipRow::ChipRow(const QColor& color, QWidget* parent) : QWidget(parent), color_(color) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void ChipRow::setTexts(const QStringList& texts) {
    if (texts == texts_) return;
    texts_ = texts;
    updateGeometry();
    update();
}

QList<ChipRow::Placed> ChipRow::place(double width) const {
    QList<Placed> out;
    const double lineHeight = Chip::size(QString()).height();
    const QFontMetricsF fm(Theme::font(11, QFont::Medium));
    const double padding = Chip::size(QString()).width();
    double x = 0, y = 0;
    for (QString text : texts_) {
        if (text.isEmpty()) continue;
        if (Chip::size(text).width() > width) text = fm.elidedText(text, Qt::ElideRight, std::max(0.0, width - padding));
        const double w = Chip::size(text).width();
        if (x > 0 && x + w > width) {
            x = 0;
            y += lineHeight + chipGap;
        }
        out.append({text, QPointF(x, y)});
        x += w + chipGap;
    }
    return out;
}

int ChipRow::heightForWidth(int width) const {
    const auto placed = place(width);
    if (placed.isEmpty()) return 0;
    return int(std::ceil(placed.back().at.y() + Chip::size(QString()).height()));
}

QSize ChipRow::sizeHint() const {
    double w = 0;
    for (const QString& t : texts_) w += (w > 0 ? chipGap : 0) + Chip::size(t).width();
    return QSize(int(std::ceil(w)), int(std::ceil(Chip::size(QString()).height())));
}

QSize ChipRow::minimumSizeHint() const { return QSize(0, sizeHint().height()); }

void ChipRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    for (const Placed& chip : place(width())) Chip::paint(p, chip.at, chip.text, color_);
}
