#include "Views/Clean/ReviewPanel.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "Models/Clean/CleanListModel.h"
#include "Models/Kit/QtBridge.h"
#include "Models/Settings/Preferences.h"
#include "Views/Clean/ReviewList.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"
#include "Views/Kit/WindowActions.h"

namespace {
// The round close button of a sheet's header.
class CloseButton : public QAbstractButton {
public:
    explicit CloseButton(QWidget* parent = nullptr) : QAbstractButton(parent) {
        setFixedSize(22, 22);
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (isDown()) p.setOpacity(0.6);
        p.setPen(Qt::NoPen);
        p.setBrush(Theme::white(0.1));
        p.drawEllipse(QRectF(rect()));
        const double side = Symbols::sizeForFont(10);
        Symbols::paint(p, QStringLiteral("xmark"), QRectF((width() - side) / 2, (height() - side) / 2, side, side),
                       Theme::secondary(), 1.4);
    }
};

// The footer's band, rounded at the bottom like the frame it sits in. It is drawn
// once per size: the sky behind the sheet repaints it many times a second.
class Band : public QWidget {
public:
    double radius = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        const qreal ratio = devicePixelRatioF();
        if (picture_.size() != size() * ratio || pictureRadius_ != radius) {
            picture_ = QPixmap(size() * ratio);
            picture_.setDevicePixelRatio(ratio);
            picture_.fill(Qt::transparent);
            QPainter on(&picture_);
            on.setRenderHint(QPainter::Antialiasing);
            QPainterPath shape;
            shape.addRoundedRect(QRectF(rect()).adjusted(1, -radius, -1, -1), radius, radius);
            QPainterPath band;
            band.addRect(QRectF(rect()));
            on.fillPath(shape.intersected(band), Theme::black(0.2));
            pictureRadius_ = radius;
        }
        QPainter(this).drawPixmap(0, 0, picture_);
    }

private:
    QPixmap picture_;
    double pictureRadius_ = -1;
};
}  // namespace

ReviewPanel::ReviewPanel(CleanListModel& model, Preferences& prefs, const QString& title, const QString& subtitle,
                         const QString& actionTitle, std::function<void()> onClose, QWidget* parent)
    : QWidget(parent), model_(model), prefs_(prefs), actionTitle_(actionTitle) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(18, 18, 18, 18);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    title_ = plainLabel(title, Theme::font(18, QFont::Bold), Theme::text());
    subtitle_ = plainLabel(subtitle, Theme::font(12), Theme::secondary());
    texts->addWidget(title_);
    texts->addWidget(subtitle_);
    header->addLayout(texts, 1);
    if (onClose) {
        close_ = new CloseButton;
        WindowActions::setRole(close_, WindowActions::Role::cancelAction);
        connect(close_, &QAbstractButton::clicked, this, [onClose = std::move(onClose)] { onClose(); });
        header->addWidget(close_, 0, Qt::AlignTop);
    }
    column->addLayout(header);

    list_ = new ReviewList(model_);
    column->addWidget(list_, 1);

    auto* footer = new Band;
    footer_ = footer;
    auto* row = new QHBoxLayout(footer);
    row->setContentsMargins(18, 14, 18, 14);
    row->setSpacing(12);
    count_ = plainLabel({}, Theme::font(12), Theme::secondary());
    preview_ = new SymbolLabel(QStringLiteral("eye"), tr("Preview mode"), Theme::font(12), Theme::review());
    action_ = new PillButton({}, PillButtonStyle::Kind::primary);
    WindowActions::setRole(action_, WindowActions::Role::defaultAction);
    row->addWidget(count_);
    row->addWidget(preview_);
    row->addStretch(1);
    row->addWidget(action_);
    column->addWidget(footer);

    // The button does not wait for the clean: the list's phase takes over.
    connect(action_, &QPushButton::clicked, this, [this] { model_.clean(); });
    connect(&model_, &CleanListModel::selectionChanged, this, &ReviewPanel::syncFooter);
    connect(&model_, &CleanListModel::itemsChanged, this, &ReviewPanel::syncFooter);
    connect(&model_, &CleanListModel::phaseChanged, this, &ReviewPanel::syncFooter);
    connect(&prefs_, &Preferences::dryRunChanged, this, &ReviewPanel::syncFooter);
    syncFooter();
}

void ReviewPanel::setCornerRadius(double radius) {
    static_cast<Band*>(footer_)->radius = radius;
    footer_->update();
}

void ReviewPanel::syncFooter() {
    // Count, size and button all come from the findings that are selected, so a
    // selected path that matches no finding counts for nothing.
    const CleanListModel::Totals selected = model_.selectedTotals();
    count_->setText(tr("%1 selected").arg(qlonglong(selected.count)));
    preview_->setVisible(prefs_.dryRun());
    const QString word = prefs_.dryRun() ? tr("Preview") : actionTitle_;
    action_->setText(tr("%1 · %2").arg(word, toQString(formattedBytes(selected.size))));
    const auto kind = model_.phase().kind;
    const bool busy = kind == CleanListModel::Phase::Kind::scanning || kind == CleanListModel::Phase::Kind::cleaning;
    action_->setEnabled(selected.count > 0 && !busy);
    action_->setBusy(kind == CleanListModel::Phase::Kind::cleaning);
    action_->updateGeometry();
}
