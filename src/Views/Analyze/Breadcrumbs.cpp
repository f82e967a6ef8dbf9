#include "Views/Analyze/Breadcrumbs.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include "Views/Analyze/PathText.h"
#include "Views/Kit/StillPicture.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"

namespace {
constexpr double spacing = 5;
const QString ellipsisText = QStringLiteral("…");
}  // namespace

// The crumbs in one painted row, as many as fit.
class Breadcrumbs::Row : public QWidget {
public:
    explicit Row(Breadcrumbs& owner) : QWidget(&owner), owner_(owner), regular_(Theme::font(13)), last_(Theme::font(13, QFont::DemiBold)) {
        setMouseTracking(true);
    }

    void set(QStringList titles, bool inert) {
        titles_ = std::move(titles);
        inert_ = inert;
        setCursor(inert_ ? Qt::ArrowCursor : Qt::PointingHandCursor);
        relayout();
    }

    // The width every crumb takes together.
    double fullWidth() const {
        double x = 0;
        for (int i = 0; i < titles_.size(); ++i) x += (i > 0 ? gap() : 0) + advance(i, titles_[i]);
        return x;
    }
    double height() const { return QFontMetricsF(last_).height(); }

    void relayout() {
        const int n = int(titles_.size());
        const double room = width();
        first_ = 0;
        shown_ = titles_;
        ellipsis_ = false;
        if (fullWidth() > room && n > 0) {
            // Whole crumbs give way from the start, as few as must, behind an ellipsis.
            const double mark = QFontMetricsF(regular_).horizontalAdvance(ellipsisText) + gap();
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
        double x = 0;
        if (ellipsis_) x = QFontMetricsF(regular_).horizontalAdvance(ellipsisText) + gap();
        for (int i = first_; i < n; ++i) {
            if (i > first_) x += gap();
            const double w = advance(i, shown_[i]);
            rects_[i] = QRectF(x, 0, w, height());
            x += w;
        }
        update();
    }

    const QStringList& titles() const { return titles_; }
    QString shown(int i) const { return i >= first_ ? shown_.value(i) : QString(); }
    QRectF rect(int i) const { return i >= first_ ? rects_.value(i) : QRectF(); }
    int first() const { return first_; }
    bool ellipsis() const { return ellipsis_; }
    bool inert() const { return inert_; }

protected:
    void resizeEvent(QResizeEvent*) override { relayout(); }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const size_t key = combinedKey({size_t(inert_), qHash(titles_), size_t(first_), size_t(width())});
        picture_.paint(p, QRectF(QWidget::rect()), devicePixelRatioF(), key, [&](QPainter& on) {
            on.setRenderHint(QPainter::Antialiasing);
            on.setOpacity(inert_ ? 0.4 : 1.0);
            const double chevron = Symbols::sizeForFont(9);
            const auto chevronBefore = [&](const QRectF& r) {
                Symbols::paint(on, QStringLiteral("chevron.right"),
                               QRectF(r.left() - spacing - chevron, r.center().y() - chevron / 2, chevron, chevron),
                               Theme::tertiary(), 1.2);
            };
            if (ellipsis_) {
                on.setFont(regular_);
                on.setPen(Theme::tertiary());
                on.drawText(QRectF(0, 0, width(), height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                            ellipsisText);
            }
            for (int i = first_; i < titles_.size(); ++i) {
                const QRectF r = rects_[i];
                if (i > first_ || ellipsis_) chevronBefore(r);
                const bool last = i == titles_.size() - 1;
                on.setFont(last ? last_ : regular_);
                on.setPen(last ? Theme::text() : Theme::secondary());
                on.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown_[i]);
            }
        });
    }
    void mousePressEvent(QMouseEvent* e) override { pressed_ = at(e->position()); }
    void mouseReleaseEvent(QMouseEvent* e) override {
        const int i = at(e->position());
        if (i >= 0 && i == std::exchange(pressed_, -1) && !inert_) owner_.model_.go(i);
    }

private:
    double gap() const { return spacing + Symbols::sizeForFont(9) + spacing; }
    double advance(int i, const QString& text) const {
        return QFontMetricsF(i == titles_.size() - 1 ? last_ : regular_).horizontalAdvance(text);
    }
    int at(QPointF pos) const {
        for (int i = first_; i < rects_.size(); ++i)
            if (rects_[i].adjusted(-2, -4, 2, 4).contains(pos)) return i;
        return -1;
    }
    Breadcrumbs& owner_;
    QFont regular_, last_;
    QStringList titles_, shown_;
    QList<QRectF> rects_;
    int first_ = 0;
    bool ellipsis_ = false;
    bool inert_ = false;
    int pressed_ = -1;
    StillPicture picture_;
};

Breadcrumbs::Breadcrumbs(AnalyzeModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    row_ = new Row(*this);
    connect(&model_, &AnalyzeModel::pathChanged, this, &Breadcrumbs::sync);
    connect(&model_, &AnalyzeModel::modeChanged, this, &Breadcrumbs::sync);
    sync();
}

void Breadcrumbs::sync() {
    QStringList titles;
    for (const auto& folder : model_.path()) titles.append(PathText::folderName(folder));
    row_->set(titles, model_.mode() == AnalyzeModel::Mode::largeFiles);
    setFixedHeight(int(std::ceil(row_->height())) + 8);
    updateGeometry();
}

void Breadcrumbs::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    row_->setGeometry(0, 4, width(), int(std::ceil(row_->height())));
}

QStringList Breadcrumbs::titles() const { return row_->titles(); }
int Breadcrumbs::firstShown() const { return row_->first(); }
bool Breadcrumbs::showsEllipsis() const { return row_->ellipsis(); }
QString Breadcrumbs::shownTitle(int index) const { return row_->shown(index); }
QRect Breadcrumbs::crumbRect(int index) const {
    const QRectF r = row_->rect(index);
    return r.isEmpty() ? QRect() : r.toAlignedRect().translated(row_->pos());
}
bool Breadcrumbs::isInert() const { return row_->inert(); }
double Breadcrumbs::opacity() const { return row_->inert() ? 0.4 : 1.0; }
QSize Breadcrumbs::sizeHint() const { return {int(std::ceil(row_->fullWidth())), int(std::ceil(row_->height())) + 8}; }
QSize Breadcrumbs::minimumSizeHint() const { return {40, int(std::ceil(row_->height())) + 8}; }
