#include "Views/Clean/CleanScreen.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

#include "Models/Clean/CleanListModel.h"
#include "Models/Kit/Sleep.h"
#include "Models/Settings/Preferences.h"
#include "Views/Clean/BlackHole.h"
#include "Views/Clean/EmptyTrashButton.h"
#include "Views/Clean/HeroColumn.h"
#include "Views/Clean/HeroText.h"
#include "Views/Clean/ReviewPanel.h"
#include "Views/Kit/Bloom.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/OverflowOverlay.h"
#include "Views/Kit/Theme.h"
#include "Views/Kit/WindowActions.h"
#include "Models/Kit/Localization.h"

namespace {
constexpr double sheetRadius = 18;
constexpr int sheetSide = 28, sheetBottom = 24, sheetTop = 10;
constexpr double shadowBlur = 30, shadowDrop = 10;
constexpr Spring sheetSpring{0.35, 0.85};
constexpr double reseal = 2.5;

// The review sheet's frame: dark glass with a faint edge. Once it is up, what lies
// beneath is taken into it, and the sheet paints as one opaque picture: the sky
// moving behind 92 % of ink no longer repaints every row many times a second.
class SheetFrame : public QWidget {
public:
    using QWidget::QWidget;
    void setUnder(const QPixmap& under) {
        under_ = under;
        setAttribute(Qt::WA_OpaquePaintEvent, !under_.isNull());
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (!under_.isNull()) p.drawPixmap(0, 0, under_);
        paintOutlinedRoundedRect(p, QRectF(rect()), sheetRadius, Theme::withOpacity(Theme::ink(), 0.92));
    }
    void resizeEvent(QResizeEvent*) override {
        if (!under_.isNull() && under_.deviceIndependentSize() != QSizeF(size())) setUnder({});
    }

private:
    QPixmap under_;
};

// The hero behind the sheet: a still picture of it, sharpening into the blurred
// and dimmed one as the sheet comes up. It costs nothing while the sheet stays,
// and covers only where the picture has something, so the stars elsewhere do not
// repaint it.
class Frozen : public QWidget {
public:
    Frozen(const QImage& sharp, const QImage& blurred, const double& shown, QWidget* parent)
        : QWidget(parent), sharp_(sharp), blurred_(blurred), shown_(shown) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    // Takes new pictures (of the parent's size): covers what they show.
    void reset() {
        dimmed_ = QPixmap();
        const qreal ratio = blurred_.devicePixelRatio();
        int left = blurred_.width(), top = blurred_.height(), right = -1, bottom = -1;
        for (int y = 0; y < blurred_.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(blurred_.constScanLine(y));
            for (int x = 0; x < blurred_.width(); ++x)
                if (qAlpha(line[x]) > 1) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        }
        source_ = right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
        setGeometry(QRectF(source_.x() / ratio, source_.y() / ratio, source_.width() / ratio, source_.height() / ratio)
                        .toAlignedRect());
        source_ = QRectF(QPointF(geometry().topLeft()) * ratio, QSizeF(geometry().size()) * ratio).toRect();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (source_.isEmpty()) return;
        QPainter p(this);
        const QRectF target(rect());
        if (shown_ >= 1) {
            // At rest the dimmed picture is made once and copied on every repaint.
            if (dimmed_.isNull()) {
                QImage dim(source_.size(), QImage::Format_ARGB32_Premultiplied);
                dim.setDevicePixelRatio(blurred_.devicePixelRatio());
                dim.fill(Qt::transparent);
                QPainter on(&dim);
                on.setOpacity(restingOpacity);
                on.drawImage(QPointF(0, 0), blurred_, source_);
                on.end();
                dimmed_ = QPixmap::fromImage(dim);
            }
            p.drawPixmap(0, 0, dimmed_);
            return;
        }
        const double dim = 1.0 - (1.0 - restingOpacity) * shown_;
        p.setOpacity((1.0 - shown_) * dim);
        p.drawImage(target, sharp_, source_);
        p.setOpacity(shown_ * dim);
        p.drawImage(target, blurred_, source_);
    }

private:
    static constexpr double restingOpacity = 0.35;
    const QImage& sharp_;
    const QImage& blurred_;
    const double& shown_;
    QRect source_;  // device pixels of the pictures
    QPixmap dimmed_;
};
}  // namespace

CleanScreen::CleanScreen(CleanListModel& model, Preferences& prefs, const QColor& glow, Texts texts, QWidget* parent)
    : QWidget(parent), model_(model), prefs_(prefs), texts_(std::move(texts)) {
    column_ = new QWidget(this);
    HeroColumn column(column_, heroSize, glow, 26, 40);
    hero_ = column.hole();
    text_ = new HeroText;
    column.add(text_);

    buttons_ = new QWidget;
    auto* row = new QHBoxLayout(buttons_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    scan_ = new PillButton(tr("Scan"), PillButtonStyle::Kind::primary);
    review_ = new PillButton(tr("Review results"), PillButtonStyle::Kind::primary);
    scanAgain_ = new PillButton(tr("Scan again"), PillButtonStyle::Kind::secondary);
    WindowActions::setRole(scan_, WindowActions::Role::defaultAction);
    WindowActions::setRole(review_, WindowActions::Role::defaultAction);
    row->addStretch(1);
    for (PillButton* b : {scan_, review_, scanAgain_}) row->addWidget(b);
    row->addStretch(1);
    // The row keeps its height while it has no buttons, so the hero stays put.
    buttons_->setFixedHeight(scan_->sizeHint().height());
    column.add(buttons_);

    frozen_ = new Frozen(sharp_, blurred_, shown_, this);
    frozen_->hide();

    connect(scan_, &QPushButton::clicked, this, [this] { model_.scan(); });
    connect(scanAgain_, &QPushButton::clicked, this, [this] { model_.scan(); });
    connect(review_, &QPushButton::clicked, this, [this] { model_.setReviewing(true); });
    connect(&model_, &CleanListModel::phaseChanged, this, &CleanScreen::phaseChanged);
    connect(&model_, &CleanListModel::itemsChanged, this, &CleanScreen::sync);
    connect(&model_, &CleanListModel::selectionChanged, this, &CleanScreen::sync);
    connect(&model_, &CleanListModel::feedChanged, this, &CleanScreen::watchFeed);
    connect(&model_, &CleanListModel::reviewingChanged, this, &CleanScreen::reviewingChanged);
    connect(&slide_, &SpringAnimator::progressChanged, this, [this](double p) {
        shown_ = from_ + (to_ - from_) * p;
        placeSheet();
    });
    connect(&slide_, &SpringAnimator::finished, this, [this] {
        if (to_ == 0) closeSheet();
        else settleSheet();
    });

    // Changes count from here on, not the state the screen first shows.
    wasBusy_ = model_.isBusy();
    if (model_.phase().kind == CleanListModel::Phase::Kind::cleaning)
        trashOnly_ = CleanScreenState::allGoToTrash(model_, prefs_.alwaysTrash(), prefs_.dryRun());
    wasDoneRemoving_ = model_.phase().kind == CleanListModel::Phase::Kind::done && !model_.phase().report.removed.empty();
    watchFeed();
    if (model_.reviewing()) reviewingChanged(true);
}

void CleanScreen::phaseChanged() {
    using Kind = CleanListModel::Phase::Kind;
    const auto& phase = model_.phase();
    const bool busy = model_.isBusy();
    if (busy && !wasBusy_) {
        // A new run reopens the iris, and a reseal still waiting for the last one
        // must not close it in the middle of this one.
        resealed_ = false;
        ++generation_;
        if (phase.kind == Kind::cleaning)
            trashOnly_ = CleanScreenState::allGoToTrash(model_, prefs_.alwaysTrash(), prefs_.dryRun());
    }
    const bool doneRemoving = phase.kind == Kind::done && !phase.report.removed.empty();
    if (doneRemoving && !wasDoneRemoving_) resealLater(generation_);
    wasBusy_ = busy;
    wasDoneRemoving_ = doneRemoving;
    sync();
}

QCoro::Task<> CleanScreen::resealLater(quint64 generation) {
    QPointer<CleanScreen> self(this);
    co_await Pacing::sleepSeconds(reseal);
    if (!self || generation != self->generation_) co_return;
    self->resealed_ = true;
    self->sync();
}

void CleanScreen::watchFeed() {
    if (feed_) feed_->disconnect(this);
    feed_ = model_.feed();
    if (feed_) {
        connect(feed_, &SwallowFeed::eventsChanged, this, &CleanScreen::sync);
        connect(feed_, &SwallowFeed::remainingChanged, this, &CleanScreen::sync);
        connect(feed_, &SwallowFeed::swallowedChanged, this, &CleanScreen::sync);
    }
    sync();
}

void CleanScreen::sync() {
    state_ = CleanScreenState::of(model_, {texts_.idleTitle, texts_.idleSubtitle}, resealed_, trashOnly_,
                                  emptyTrash_ ? emptyTrash_->emptied() : std::nullopt);
    hero_->setSpinning(state_.spinning);
    hero_->setOpen(state_.open);
    hero_->setSuction(state_.suction);
    // The icons in flight while a clean runs; nothing flies otherwise.
    hero_->setFeed(state_.suction && feed_ ? feed_->events() : BlackHole::Events{});
    // Where the last clean left it, whatever the phase.
    hero_->setGrowth(feed_ ? feed_->swallowed() : 0);
    text_->setTitle(state_.title);
    text_->setSubtitle(state_.subtitle);
    scan_->setVisible(state_.scan);
    review_->setVisible(state_.review);
    scanAgain_->setVisible(state_.scanAgain);
    // The Empty Trash button lives from a clean that filled the Trash to the next
    // scan or clean, and remembers what it emptied only that long.
    if (state_.emptyTrash && !emptyTrash_) {
        emptyTrash_ = new EmptyTrashButton;
        connect(emptyTrash_, &EmptyTrashButton::emptiedChanged, this, &CleanScreen::sync);
        auto* row = static_cast<QHBoxLayout*>(buttons_->layout());
        row->insertWidget(row->count() - 1, emptyTrash_);
        emptyTrash_->show();
    } else if (!state_.emptyTrash && emptyTrash_) {
        delete emptyTrash_;
    }
}

void CleanScreen::reviewingChanged(bool reviewing) {
    if (reviewing && !sheet_) {
        freezeHero();
        frozen_->show();

        sheet_ = new SheetFrame(this);
        auto* layout = new QVBoxLayout(sheet_);
        layout->setContentsMargins(0, 0, 0, 0);
        int64_t total = 0;
        for (const CleanItem& i : model_.items()) total += i.size;
        const QString subtitle = counted("%n items · %1 in total", qlonglong(model_.items().size()))
                                     .arg(QString::fromStdString(formattedBytes(total)));
        panel_ = new ReviewPanel(model_, prefs_, texts_.reviewTitle, subtitle, texts_.actionTitle,
                                 [this] { model_.setReviewing(false); });
        panel_->setCornerRadius(sheetRadius);
        layout->addWidget(panel_);
        sheet_->show();
    } else if (!reviewing && sheet_) {
        // The hero comes back live at once; only the sheet goes on its way out.
        static_cast<SheetFrame*>(sheet_.data())->setUnder({});
        sheet_->setEnabled(false);
        frozen_->hide();
        column_->show();
    } else {
        return;
    }
    if (!sheet_->graphicsEffect()) sheet_->setGraphicsEffect(new QGraphicsOpacityEffect);
    from_ = shown_;
    to_ = reviewing ? 1 : 0;
    if (isVisible()) {
        slide_.start(sheetSpring);
    } else {
        shown_ = to_;
        finishTransitions();
    }
    placeSheet();
}

void CleanScreen::freezeHero() {
    // A picture of the hero stands in for it behind the sheet.
    column_->show();
    column_->layout()->activate();
    const qreal ratio = devicePixelRatioF();
    sharp_ = QImage(column_->size() * ratio, QImage::Format_ARGB32_Premultiplied);
    sharp_.setDevicePixelRatio(ratio);
    sharp_.fill(Qt::transparent);
    {
        QPainter p(&sharp_);
        OverflowOverlay::paintBehind(p, column_);
    }
    column_->render(&sharp_, QPoint(), QRegion(), QWidget::DrawChildren);
    blurred_ = Bloom::blurred(sharp_, 6 * ratio);
    blurred_.setDevicePixelRatio(ratio);
    column_->hide();
    static_cast<Frozen*>(frozen_)->reset();
}

void CleanScreen::finishTransitions() {
    slide_.stop();
    shown_ = to_;
    placeSheet();
    if (to_ == 0) closeSheet();
    else settleSheet();
}

void CleanScreen::settleSheet() {
    auto* frame = static_cast<SheetFrame*>(sheet_.data());
    if (!frame || shown_ < 1 || !frame->isVisible()) return;
    frame->setGraphicsEffect(nullptr);
    // What the window shows under the sheet, sky and still hero, as it is now.
    QWidget* top = window();
    frame->hide();
    const QPixmap under = top->grab(QRect(frame->mapTo(top, QPoint(0, 0)), frame->size()));
    frame->show();
    frame->setUnder(under);
}

void CleanScreen::closeSheet() {
    if (sheet_) sheet_->deleteLater();
    sheet_ = nullptr;
    panel_ = nullptr;
    shown_ = 0;
    frozen_->hide();
    column_->show();
    sharp_ = blurred_ = QImage();
    update();
}

void CleanScreen::placeSheet() {
    if (sheet_) {
        const QRect rest = rect().adjusted(sheetSide, sheetTop, -sheetSide, -sheetBottom);
        // Up from below the bottom edge, fading in on the way.
        const int drop = int(std::lround((1.0 - shown_) * (height() - rest.top())));
        sheet_->setGeometry(rest.translated(0, drop));
        if (auto* fade = qobject_cast<QGraphicsOpacityEffect*>(sheet_->graphicsEffect()))
            fade->setOpacity(std::clamp(shown_, 0.0, 1.0));
    }
    frozen_->update();
    update();
}

void CleanScreen::resizeEvent(QResizeEvent*) {
    column_->setGeometry(rect());
    // The hero moved: picture it again where it is now, and what lies under the sheet.
    if (frozen_->isVisible()) freezeHero();
    shadow_ = QImage();
    placeSheet();
    if (sheet_ && shown_ >= 1) QTimer::singleShot(0, this, &CleanScreen::settleSheet);
}

void CleanScreen::paintEvent(QPaintEvent*) {
    if (!sheet_ || shown_ <= 0) return;
    // The sheet's shadow, blurred once per size.
    const QRectF sheet = sheet_->geometry();
    const double margin = 2 * shadowBlur;
    Bloom::keepShadow(shadow_, sheet.size(), sheetRadius, shadowBlur, 0.4, devicePixelRatioF());
    QPainter p(this);
    if (shown_ < 1) p.setOpacity(std::clamp(shown_, 0.0, 1.0));
    p.drawImage(sheet.topLeft() + QPointF(-margin, -margin + shadowDrop), shadow_);
}
