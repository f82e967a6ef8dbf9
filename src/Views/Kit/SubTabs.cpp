#include "Views/Kit/SubTabs.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include "Views/Kit/StillPicture.h"

#include <algorithm>
#include <cmath>

#include "Views/Kit/Theme.h"

namespace {
constexpr double barPadding = 3, spacing = 2, itemPaddingX = 12, itemPaddingY = 5;
}

SubTabs::SubTabs(QList<Item> items, QWidget* parent)
    : QWidget(parent), items_(std::move(items)), font_(Theme::font(11.5, QFont::Medium, Theme::Design::monospaced)) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    layoutItems();
    connect(&fade_, &SpringAnimator::progressChanged, this, [this] { update(); });
}

void SubTabs::layoutItems() {
    QFontMetricsF fm(font_);
    rects_.clear();
    titles_.clear();
    double x = barPadding;
    const double h = std::ceil(fm.height()) + 2 * itemPaddingY;
    for (const Item& item : items_) {
        const double w = std::ceil(fm.horizontalAdvance(item.title)) + 2 * itemPaddingX;
        rects_.append(QRectF(x, barPadding, w, h));
        QStaticText title(item.title);
        title.setTextFormat(Qt::PlainText);
        title.prepare(QTransform(), font_);
        titles_.append(title);
        x += w + spacing;
    }
}

QSize SubTabs::sizeHint() const {
    if (rects_.isEmpty()) return {int(2 * barPadding), int(2 * barPadding)};
    return QSize(int(std::ceil(rects_.back().right() + barPadding)), int(std::ceil(rects_.front().bottom() + barPadding)));
}

QRectF SubTabs::itemRect(int index) const { return rects_.value(index); }

int SubTabs::highlightedIndex() const {
    for (int i = 0; i < items_.size(); ++i)
        if (items_[i].value == selection_) return i;
    return -1;
}

void SubTabs::setSelection(const QString& value) {
    if (value == selection_) return;
    previous_ = selection_;
    selection_ = value;
    if (isVisible()) fade_.start(Spring::standard());
    update();
}

int SubTabs::indexAt(QPointF pos) const {
    for (int i = 0; i < rects_.size(); ++i)
        if (rects_[i].contains(pos)) return i;
    return -1;
}

void SubTabs::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) pressed_ = indexAt(e->position());
}

void SubTabs::mouseReleaseEvent(QMouseEvent* e) {
    const int i = indexAt(e->position());
    if (e->button() == Qt::LeftButton && i >= 0 && i == pressed_) emit selectionRequested(items_[i].value);
    pressed_ = -1;
}

void SubTabs::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // Settled, the bar is kept as a picture: stars pass behind it many times a second.
    if (!fade_.isRunning()) {
        size_t key = qHash(selection_);
        for (const Item& item : items_) key = combinedKey({key, qHash(item.value), qHash(item.title)});
        still_.paint(p, QRectF(rect()), devicePixelRatioF(), key, [this](QPainter& on) { paintBar(on); });
        return;
    }
    paintBar(p);
}

void SubTabs::paintBar(QPainter& p) const {
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF bar(rect());
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::black(0.2));
    p.drawRoundedRect(bar, bar.height() / 2, bar.height() / 2);

    const double f = std::clamp(fade_.isRunning() ? fade_.progress() : 1.0, 0.0, 1.0);
    p.setFont(font_);
    for (int i = 0; i < items_.size(); ++i) {
        const bool selected = items_[i].value == selection_;
        const bool wasSelected = fade_.isRunning() && items_[i].value == previous_;
        const double weight = selected ? f : wasSelected ? 1 - f : 0.0;
        const QRectF r = rects_[i];
        if (weight > 0) {
            p.setPen(Qt::NoPen);
            p.setBrush(Theme::white(0.12 * weight));
            p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
        }
        const QColor& a = Theme::secondary();
        const QColor& b = Theme::text();
        QColor c = QColor::fromRgbF(1, 1, 1, float(a.alphaF() + (b.alphaF() - a.alphaF()) * weight));
        p.setPen(c);
        const QSizeF s = titles_[i].size();
        p.drawStaticText(QPointF(r.center().x() - s.width() / 2, r.center().y() - s.height() / 2), titles_[i]);
    }
}
