#include "Views/Analyze/Breadcrumbs.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

#include "Views/Analyze/PathText.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"

namespace {
constexpr double spacing = 5;
constexpr int margin = 4;  // above and below the crumbs
const QString ellipsisText = QStringLiteral("…");
}  // namespace

Breadcrumbs::Breadcrumbs(AnalyzeModel& model, QWidget* parent)
    : QWidget(parent), model_(model), regular_(Theme::font(13)), last_(Theme::font(13, QFont::DemiBold)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&model_, &AnalyzeModel::pathChanged, this, &Breadcrumbs::sync);
    connect(&model_, &AnalyzeModel::modeChanged, this, &Breadcrumbs::sync);
    sync();
}

void Breadcrumbs::sync() {
    titles_.clear();
    for (const auto& folder : model_.path()) titles_.append(PathText::folderName(folder));
    inert_ = model_.mode() == AnalyzeModel::Mode::largeFiles;
    setCursor(inert_ ? Qt::ArrowCursor : Qt::PointingHandCursor);
    relayout();
    setFixedHeight(lineHeight() + 2 * margin);
    updateGeometry();
}

double Breadcrumbs::gap() { return spacing + Symbols::sizeForFont(9) + spacing; }
int Breadcrumbs::lineHeight() const { return int(std::ceil(QFontMetricsF(last_).height())); }

double Breadcrumbs::advance(int i, const QString& text) const {
    return QFontMetricsF(i == titles_.size() - 1 ? last_ : regular_).horizontalAdvance(text);
}

double Breadcrumbs::fullWidth() const {
    double x = 0;
    for (int i = 0; i < titles_.size(); ++i) x += (i > 0 ? gap() : 0) + advance(i, titles_[i]);
    return x;
}

void Breadcrumbs::relayout() {
    const int n = int(titles_.size());
    const double room = width();
    const double mark = QFontMetricsF(regular_).horizontalAdvance(ellipsisText) + gap();
    first_ = 0;
    shown_ = titles_;
    ellipsis_ = false;
    if (fullWidth() > room && n > 0) {
        // Whole crumbs give way from the start, as few as must, behind an ellipsis.
        double tail = advance(n - 1, titles_[n - 1]);
        first_ = n - 1;
        while (first_ > 0 && mark + gap() + advance(first_ - 1, titles_[first_ - 1]) + tail <= room) {
            --first_;
            tail += gap() + advance(first_, titles_[first_]);
        }
        // The shown folder alone is too wide: its name is cut in the middle, and
        // the ellipsis goes too when it would leave too little of that name.
        ellipsis_ = first_ > 0 && (first_ < n - 1 || room - mark >= 60);
        const double left = std::max(0.0, ellipsis_ ? room - mark : room);
        if (first_ == n - 1 && tail > left)
            shown_[n - 1] = QFontMetricsF(last_).elidedText(titles_[n - 1], Qt::ElideMiddle, left);
    }
    rects_ = QList<QRectF>(n);
    double x = ellipsis_ ? mark : 0;
    for (int i = first_; i < n; ++i) {
        if (i > first_) x += gap();
        const double w = advance(i, shown_[i]);
        rects_[i] = QRectF(x, margin, w, QFontMetricsF(last_).height());
        x += w;
    }
    update();
}

void Breadcrumbs::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    relayout();
}

void Breadcrumbs::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const size_t key = combinedKey({size_t(inert_), qHash(titles_), size_t(first_), size_t(width())});
    picture_.paint(p, QRectF(rect()), devicePixelRatioF(), key, [&](QPainter& on) {
        on.setRenderHint(QPainter::Antialiasing);
        on.setOpacity(opacity());
        const double chevron = Symbols::sizeForFont(9);
        if (ellipsis_) {
            on.setFont(regular_);
            on.setPen(Theme::tertiary());
            on.drawText(QRectF(0, margin, width(), QFontMetricsF(last_).height()),
                        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, ellipsisText);
        }
        for (int i = first_; i < titles_.size(); ++i) {
            const QRectF r = rects_[i];
            if (i > first_ || ellipsis_)
                Symbols::paint(on, QStringLiteral("chevron.right"),
                               QRectF(r.left() - spacing - chevron, r.center().y() - chevron / 2, chevron, chevron),
                               Theme::tertiary(), 1.2);
            const bool last = i == titles_.size() - 1;
            on.setFont(last ? last_ : regular_);
            on.setPen(last ? Theme::text() : Theme::secondary());
            on.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown_[i]);
        }
    });
}

void Breadcrumbs::mousePressEvent(QMouseEvent* e) { pressed_ = at(e->position()); }

void Breadcrumbs::mouseReleaseEvent(QMouseEvent* e) {
    const int i = at(e->position());
    if (i >= 0 && i == std::exchange(pressed_, -1) && !inert_) model_.go(i);
}

int Breadcrumbs::at(QPointF pos) const {
    const QRectF line(0, margin, width(), lineHeight());
    for (int i = first_; i < rects_.size(); ++i)
        if (rects_[i].adjusted(-2, -4, 2, 4).intersected(line).contains(pos)) return i;
    return -1;
}

QString Breadcrumbs::shownTitle(int index) const { return index >= first_ ? shown_.value(index) : QString(); }
QRect Breadcrumbs::crumbRect(int index) const {
    const QRectF r = index >= first_ ? rects_.value(index) : QRectF();
    return r.isEmpty() ? QRect() : r.toAlignedRect();
}
QSize Breadcrumbs::sizeHint() const { return {int(std::ceil(fullWidth())), lineHeight() + 2 * margin}; }
QSize Breadcrumbs::minimumSizeHint() const { return {40, lineHeight() + 2 * margin}; }
