#include "Views/Analyze/Breadcrumbs.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include "Views/Analyze/PathText.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/StillPicture.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"

namespace {
constexpr double spacing = 5;
}

// The crumbs in one painted row.
class Breadcrumbs::Row : public QWidget {
public:
    explicit Row(Breadcrumbs& owner) : owner_(owner), regular_(Theme::font(13)), last_(Theme::font(13, QFont::DemiBold)) {
        setMouseTracking(true);
    }

    void set(QStringList titles, bool inert) {
        titles_ = std::move(titles);
        inert_ = inert;
        rects_.clear();
        const double chevron = Symbols::sizeForFont(9);
        const double h = QFontMetricsF(last_).height();
        double x = 0;
        for (int i = 0; i < titles_.size(); ++i) {
            if (i > 0) x += chevron + spacing;
            const double w = QFontMetricsF(i == titles_.size() - 1 ? last_ : regular_).horizontalAdvance(titles_[i]);
            rects_.append(QRectF(x, 0, w, h));
            x += w + spacing;
        }
        setFixedSize(int(std::ceil(std::max(0.0, x - spacing))), int(std::ceil(h)));
        setCursor(inert_ ? Qt::ArrowCursor : Qt::PointingHandCursor);
        update();
    }

    const QStringList& titles() const { return titles_; }
    QRectF rect(int i) const { return rects_.value(i); }
    bool inert() const { return inert_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        picture_.paint(p, QRectF(QWidget::rect()), devicePixelRatioF(), combinedKey({size_t(inert_), qHash(titles_)}),
                       [&](QPainter& on) {
            on.setRenderHint(QPainter::Antialiasing);
            on.setOpacity(inert_ ? 0.4 : 1.0);
            const double chevron = Symbols::sizeForFont(9);
            for (int i = 0; i < titles_.size(); ++i) {
                const QRectF r = rects_[i];
                if (i > 0)
                    Symbols::paint(on, QStringLiteral("chevron.right"),
                                   QRectF(r.left() - spacing - chevron, r.center().y() - chevron / 2, chevron, chevron),
                                   Theme::tertiary(), 1.2);
                const bool last = i == titles_.size() - 1;
                on.setFont(last ? last_ : regular_);
                on.setPen(last ? Theme::text() : Theme::secondary());
                on.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, titles_[i]);
            }
        });
    }
    void mousePressEvent(QMouseEvent* e) override { pressed_ = at(e->position()); }
    void mouseReleaseEvent(QMouseEvent* e) override {
        const int i = at(e->position());
        if (i >= 0 && i == std::exchange(pressed_, -1) && !inert_) owner_.model_.go(i);
    }

private:
    int at(QPointF pos) const {
        for (int i = 0; i < rects_.size(); ++i)
            if (rects_[i].adjusted(-2, -4, 2, 4).contains(pos)) return i;
        return -1;
    }
    Breadcrumbs& owner_;
    QFont regular_, last_;
    QStringList titles_;
    QList<QRectF> rects_;
    bool inert_ = false;
    int pressed_ = -1;
    StillPicture picture_;
};

Breadcrumbs::Breadcrumbs(AnalyzeModel& model, QWidget* parent) : QScrollArea(parent), model_(model) {
    makePlainScrollArea(this);
    setWidgetResizable(false);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    row_ = new Row(*this);
    setWidget(row_);
    row_->setAutoFillBackground(false);
    connect(&model_, &AnalyzeModel::pathChanged, this, &Breadcrumbs::sync);
    connect(&model_, &AnalyzeModel::modeChanged, this, &Breadcrumbs::sync);
    sync();
}

void Breadcrumbs::sync() {
    QStringList titles;
    for (const auto& folder : model_.path()) titles.append(PathText::folderName(folder));
    row_->set(titles, model_.mode() == AnalyzeModel::Mode::largeFiles);
    setFixedHeight(row_->height() + 8);
    // The shown folder stays in view when the path is longer than the bar (once the
    // new width is laid out).
    QTimer::singleShot(0, this, [this] { horizontalScrollBar()->setValue(horizontalScrollBar()->maximum()); });
}

void Breadcrumbs::resizeEvent(QResizeEvent* e) {
    QScrollArea::resizeEvent(e);
    // Narrowed, the bar keeps the shown folder in view.
    horizontalScrollBar()->setValue(horizontalScrollBar()->maximum());
}

QStringList Breadcrumbs::titles() const { return row_->titles(); }
QRect Breadcrumbs::crumbRect(int index) const { return row_->rect(index).toAlignedRect().translated(row_->mapTo(this, QPoint())); }
bool Breadcrumbs::isInert() const { return row_->inert(); }
double Breadcrumbs::opacity() const { return row_->inert() ? 0.4 : 1.0; }
QSize Breadcrumbs::sizeHint() const { return {row_->width(), row_->height() + 8}; }
QSize Breadcrumbs::minimumSizeHint() const { return {40, row_->height() + 8}; }
