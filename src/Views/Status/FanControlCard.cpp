#include "Views/Status/FanControlCard.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "Models/Status/FanControl.h"
#include "Models/Window/AppState.h"
#include "Views/Kit/Theme.h"
#include "Views/Status/StatusTexts.h"

namespace {
// Full size first, compact second.
double pick(bool compact, double full, double small) { return compact ? small : full; }
}  // namespace

// ---- FanModeButton

FanModeButton::FanModeButton(FanPreset preset, Look look, QWidget* parent)
    : QAbstractButton(parent), preset_(preset), look_(look) {
    setText(title(preset));
    setCheckable(true);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setFont(Theme::font(look == Look::heat ? 9.5 : pick(look == Look::compact, 12, 11), QFont::DemiBold));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void FanModeButton::setCurrent(bool current) {
    if (current == isChecked()) return;
    setChecked(current);
    update();
}

void FanModeButton::setRowOpacity(double opacity) {
    if (opacity == rowOpacity_) return;
    rowOpacity_ = opacity;
    update();
}

QSize FanModeButton::sizeHint() const {
    const QFontMetricsF fm(font());
    const bool compact = look_ == Look::compact;
    double padX = pick(compact, 11, 7), padY = pick(compact, 7, 5), least = pick(compact, 55, 42);
    if (look_ == Look::heat) padX = 7, padY = 3, least = 0;
    const double w = std::max(least, fm.horizontalAdvance(text()) + 2 * padX);
    return QSize(int(std::ceil(w)), int(std::ceil(fm.height() + 2 * padY)));
}

void FanModeButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(rowOpacity_ * (isDown() ? 0.7 : 1.0));
    const QRectF r(rect());
    p.setPen(Qt::NoPen);
    QColor text;
    if (look_ == Look::heat) {
        static const QColor cream = QColor::fromRgbF(0.92f, 0.85f, 0.73f);
        p.setBrush(isChecked() ? cream : Theme::white(0.08));
        text = isChecked() ? Theme::ink() : Theme::secondary();
    } else {
        p.setBrush(isChecked() ? Theme::withOpacity(Theme::text(), 0.18) : Theme::white(0.07));
        // A mode that cannot be chosen now reads fainter, except the one in force.
        text = isEnabled() || isChecked() ? Theme::text() : Theme::secondary();
    }
    p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    p.setPen(text);
    p.setFont(font());
    p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, this->text());
}

// ---- FanControlCard

FanControlCard::Content FanControlCard::content(const std::vector<FanReader::Fan>& fans, bool available,
                                                FanPreset preset, bool busy, const QString& error) {
    Content c;
    c.title = fans.size() < 2 ? tr("Fan") : tr("Fans");
    if (!fans.empty()) {
        // A reading that is not a number (a broken sensor) shows as a stopped fan.
        const double rpm = std::isfinite(fans.front().rpm) ? std::clamp(fans.front().rpm, 0.0, 1e9) : 0.0;
        const double max = fans.front().max;
        c.rpm = static_cast<long long>(std::trunc(rpm));
        if (std::isfinite(max) && max > 0) c.load = int(std::round(std::min(rpm / max * 100, 1e6)));
    }
    if (!error.isEmpty()) {
        c.status = error;
        c.failed = true;
    } else if (fans.empty()) {
        c.status = tr("No fan on this Mac");
    } else if (!available) {
        c.status = tr("Fan control unavailable on this Mac");
    } else {
        c.status = explanation(preset);
    }
    for (FanPreset p : FanPresets::allCases) {
        auto& b = c.buttons[static_cast<size_t>(p)];
        b.current = p == preset;
        b.enabled = available && !busy && !b.current;
    }
    c.rowOpacity = available ? 1.0 : 0.5;
    c.spinner = busy;
    return c;
}

FanControlCard::FanControlCard(AppState& state, bool compact, QWidget* parent)
    : Card(pick(compact, 16, 11), parent), state_(state), compact_(compact) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* column = contentLayout();
    column->setSpacing(int(pick(compact, 10, 7)));

    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    title_ = new SymbolLabel(QStringLiteral("fan.fill"), tr("Fan"), Theme::font(pick(compact, 14, 12), QFont::DemiBold),
                             Theme::secondary(), this);
    // "Load 42%" on a faint plate.
    load_ = new OneLine({}, Theme::font(pick(compact, 12, 10), QFont::Medium), Theme::secondary(), this);
    load_->setPlate(Theme::white(0.07), {7, 4}, 6);
    header->addWidget(title_, 0, Qt::AlignVCenter);
    header->addStretch(1);
    header->addWidget(load_, 0, Qt::AlignVCenter);
    column->addLayout(header);

    speed_ = new BaselineTexts({{QStringLiteral("0"), Theme::font(pick(compact, 29, 23), QFont::Bold), Theme::text()},
                                {QStringLiteral("RPM"), Theme::font(pick(compact, 13, 11)), Theme::secondary()}},
                               5, this);
    column->addWidget(speed_);

    status_ = new WrappedText(Theme::font(pick(compact, 12, 11)), Theme::secondary(), compact ? 2 : 3, this);
    column->addWidget(status_);

    auto* modes = new QHBoxLayout;
    modes->setContentsMargins(0, 0, 0, 0);
    modes->setSpacing(6);
    for (FanPreset p : FanPresets::allCases) {
        auto* b = new FanModeButton(p, compact ? FanModeButton::Look::compact : FanModeButton::Look::full, this);
        buttons_[static_cast<size_t>(p)] = b;
        modes->addWidget(b, 0, Qt::AlignVCenter);
        connect(b, &QAbstractButton::clicked, this, [this, p] { state_.fanControl().choose(p); });
    }
    spinner_ = new SpinnerView(Theme::secondary(), this);
    modes->addWidget(spinner_, 0, Qt::AlignVCenter);
    modes->addStretch(1);
    column->addLayout(modes);
    column->addStretch(1);

    Monitor& monitor = state_.monitor();
    FanControl& control = state_.fanControl();
    connect(&monitor, &Monitor::fansChanged, this, &FanControlCard::sync);
    connect(&monitor, &Monitor::fanControlAvailableChanged, this, &FanControlCard::sync);
    connect(&control, &FanControl::presetChanged, this, &FanControlCard::sync);
    connect(&control, &FanControl::busyChanged, this, &FanControlCard::sync);
    connect(&control, &FanControl::errorChanged, this, &FanControlCard::sync);
    sync();
}

QString FanControlCard::loadText() const { return load_->text(); }

void FanControlCard::sync() {
    const Monitor& monitor = state_.monitor();
    const FanControl& control = state_.fanControl();
    shown_ = content(monitor.fans(), monitor.fanControlAvailable(), control.preset(), control.busy(), control.error());
    title_->set(QStringLiteral("fan.fill"), shown_.title, Theme::secondary());
    load_->setText(tr("Load %1%").arg(shown_.load));
    speed_->setText(0, QString::number(shown_.rpm));
    status_->setText(shown_.status);
    status_->setColor(shown_.failed ? Theme::danger() : Theme::secondary());
    showButtons(shown_, buttons_);
    spinner_->setVisible(shown_.spinner);
}

void FanControlCard::showButtons(const Content& content, const std::array<FanModeButton*, 3>& buttons) {
    for (FanPreset p : FanPresets::allCases) {
        const auto& b = content.buttons[static_cast<size_t>(p)];
        FanModeButton* button = buttons[static_cast<size_t>(p)];
        button->setCurrent(b.current);
        button->setEnabled(b.enabled);
        button->setRowOpacity(content.rowOpacity);
    }
}
