#include "Views/Kit/Controls.h"

#include <QAbstractScrollArea>
#include <QFontMetricsF>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmapCache>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "Views/Kit/PausesMotion.h"
#include "Views/Kit/StillLabel.h"
#include "Views/Kit/StillPicture.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"

namespace {
// A shape stroked inside its border: the pen's centre line runs half a width in.
QRectF inset(const QRectF& r, double lineWidth) {
    return r.adjusted(lineWidth / 2, lineWidth / 2, -lineWidth / 2, -lineWidth / 2);
}

void fillCapsule(QPainter& p, const QRectF& r, const QColor& c) {
    const double radius = r.height() / 2;
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(r, radius, radius);
}

void strokeCapsule(QPainter& p, const QRectF& r, const QColor& c, double width) {
    const QRectF in = inset(r, width);
    const double radius = in.height() / 2;
    p.setPen(QPen(c, width));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(in, radius, radius);
}
}  // namespace

QStringList wrappedLines(const QString& text, const QFont& font, double width, int maxLines) {
    QStringList out;
    if (text.isEmpty() || width <= 0 || maxLines <= 0) return out;
    QString shown = text;
    shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(shown, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (out.size() == maxLines - 1) {
            // The last line holds the rest, cut short.
            const QString rest = shown.mid(line.textStart()).replace(QChar::LineSeparator, QLatin1Char(' ')).simplified();
            out << QFontMetricsF(font).elidedText(rest, Qt::ElideRight, width);
            break;
        }
        out << shown.mid(line.textStart(), line.textLength()).remove(QChar::LineSeparator).trimmed();
    }
    layout.endLayout();
    return out;
}

QString plainToolTip(const QString& text) {
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

// ---- Card

void paintOutlinedRoundedRect(QPainter& p, const QRectF& rect, double radius, const QColor& fill) {
    auto draw = [&](QPainter& on, const QRectF& r) {
        on.save();
        on.setRenderHint(QPainter::Antialiasing);
        on.setPen(Qt::NoPen);
        on.setBrush(fill);
        on.drawRoundedRect(r, radius, radius);
        on.setPen(QPen(Theme::stroke(), 1));
        on.setBrush(Qt::NoBrush);
        on.drawRoundedRect(inset(r, 1), radius - 0.5, radius - 0.5);
        on.restore();
    };
    // Panels sit over the animated sky and repaint whenever a star passes behind
    // them: a whole-pixel panel is drawn once and copied from then on.
    const QRectF device = p.transform().mapRect(rect);
    const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    // A panel far larger than any screen is drawn as it is, never kept as a picture.
    const bool huge = device.width() * device.height() > 16e6;
    if (!p.transform().isAffine() || p.transform().isRotating() || device.toRect() != device || p.opacity() != 1.0 ||
        huge) {
        draw(p, rect);
        return;
    }
    // The values' own bits as the key: formatting numbers for it on every repaint cost
    // more than the copy.
    const double parts[] = {rect.width(), rect.height(), radius, ratio, double(fill.rgba())};
    const QString key = QStringLiteral("quelto.panel:") +
                        QString::fromUtf16(reinterpret_cast<const char16_t*>(parts), qsizetype(sizeof parts / 2));
    QPixmap picture;
    if (!QPixmapCache::find(key, &picture)) {
        picture = QPixmap((rect.size() * ratio).toSize());
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        QPainter on(&picture);
        draw(on, QRectF(QPointF(0, 0), rect.size()));
        on.end();
        QPixmapCache::insert(key, picture);
    }
    copyPainted(p, rect, picture);
}

void paintWindowGround(QPainter& p, const QRect& rect) {
    p.fillRect(rect, Theme::ink());
    p.fillRect(rect, Theme::card());
    p.setPen(QPen(Theme::white(0.14), 1));
    p.drawRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5));
}

void CardModifier::paint(QPainter& p, const QRectF& rect) { paintOutlinedRoundedRect(p, rect, cornerRadius, Theme::card()); }

Card::Card(double padding, QWidget* parent) : QWidget(parent), layout_(new QVBoxLayout(this)) {
    const int m = int(std::lround(padding));
    layout_->setContentsMargins(m, m, m, m);
    layout_->setSpacing(0);
}

Card* Card::wrap(QWidget* content, double padding, QWidget* parent) {
    auto* card = new Card(padding, parent);
    card->contentLayout()->addWidget(content);
    return card;
}

void Card::paintEvent(QPaintEvent*) {
    QPainter p(this);
    CardModifier::paint(p, QRectF(rect()));
}

// ---- CardLabel

CardLabel::CardLabel(const QString& symbol, const QString& title, const QColor& color, QWidget* parent)
    : QWidget(parent), symbol_(symbol), title_(title.toUpper()), color_(color),
      font_(Theme::font(11, QFont::Bold)) {
    font_.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize CardLabel::sizeHint() const {
    QFontMetricsF fm(font_);
    const double icon = Symbols::sizeForFont(11);
    return QSize(int(std::ceil(icon + 5 + fm.horizontalAdvance(title_))), int(std::ceil(std::max(icon, fm.height()))));
}

void CardLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double icon = Symbols::sizeForFont(11);
    Symbols::paint(p, symbol_, QRectF(0, (height() - icon) / 2, icon, icon), color_, 1.3);
    p.setFont(font_);
    p.setPen(color_);
    p.drawText(QRectF(icon + 5, 0, width() - icon - 5, height()), Qt::AlignVCenter | Qt::AlignLeft, title_);
}

// ---- Labels

QLabel* plainLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent) {
    auto* l = new StillLabel(text, parent);
    l->setFont(font);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, color);
    l->setPalette(pal);
    return l;
}

// ---- SymbolLabel

SymbolLabel::SymbolLabel(const QString& symbol, const QString& text, const QFont& font, const QColor& color,
                         QWidget* parent)
    : QWidget(parent), symbol_(symbol), text_(text), font_(font), color_(color) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SymbolLabel::set(const QString& symbol, const QString& text, const QColor& color) {
    if (symbol == symbol_ && text == text_ && color == color_) return;
    symbol_ = symbol;
    text_ = text;
    color_ = color;
    updateGeometry();
    update();
}

namespace {
// The symbol that matches a font's text, whatever unit the font was sized in.
double symbolSide(const QFontMetricsF& fm) { return fm.height(); }

// A symbol (when named) before one line of text: labels and plain buttons.
QSize symbolTextSize(const QFont& font, const QString& symbol, const QString& text) {
    const QFontMetricsF fm(font);
    const double icon = symbol.isEmpty() ? 0 : symbolSide(fm) + (text.isEmpty() ? 0 : 5);
    return QSize(int(std::ceil(icon + fm.horizontalAdvance(text))), int(std::ceil(fm.height())));
}

void paintSymbolText(QPainter& p, const QRectF& r, const QFont& font, const QColor& color, const QString& symbol,
                     const QString& text) {
    p.setRenderHint(QPainter::Antialiasing);
    double x = r.left();
    if (!symbol.isEmpty()) {
        const double icon = symbolSide(QFontMetricsF(font));
        Symbols::paint(p, symbol, QRectF(x, r.center().y() - icon / 2, icon, icon), color,
                       font.weight() >= QFont::DemiBold ? 1.4 : 1.0);
        x += icon + 5;
    }
    p.setFont(font);
    p.setPen(color);
    p.drawText(QRectF(x, r.top(), r.right() - x, r.height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               text);
}
}  // namespace

QSize SymbolLabel::sizeHint() const { return symbolTextSize(font_, symbol_, text_); }

void SymbolLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintSymbolText(p, QRectF(rect()), font_, color_, symbol_, text_);
}

// ---- Chip

Chip::Chip(const QString& text, const QColor& color, QWidget* parent)
    : QWidget(parent), text_(text), color_(color) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void Chip::setText(const QString& text) {
    text_ = text;
    updateGeometry();
    update();
}

QSizeF Chip::size(const QString& text) {
    QFontMetricsF fm(Theme::font(11, QFont::Medium));
    return {fm.horizontalAdvance(text) + 14, fm.height() + 6};
}

void Chip::paint(QPainter& p, const QPointF& topLeft, const QString& text, const QColor& color) {
    const QRectF r(topLeft, size(text));
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::white(0.07));
    p.drawRoundedRect(r, 6, 6);
    p.setFont(Theme::font(11, QFont::Medium));
    p.setPen(color);
    p.drawText(r.adjusted(7, 3, -7, -3), Qt::AlignCenter | Qt::TextSingleLine, text);
    p.restore();
}

QSize Chip::sizeHint() const {
    const QSizeF s = size(text_);
    return QSize(int(std::ceil(s.width())), int(std::ceil(s.height())));
}

void Chip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paint(p, QPointF(0, 0), text_, color_);
}

// ---- PillButtonStyle

QFont PillButtonStyle::font() { return Theme::font(13, QFont::DemiBold); }

double PillButtonStyle::opacity(bool enabled, bool pressed) {
    if (!enabled) return 0.35;
    return pressed ? 0.75 : 1.0;
}

QColor PillButtonStyle::textColor() const { return kind == Kind::primary ? Theme::ink() : Theme::text(); }
QColor PillButtonStyle::fill() const { return Theme::white(kind == Kind::primary ? 0.92 : 0.1); }
QColor PillButtonStyle::outline() const { return kind == Kind::primary ? QColor(Qt::transparent) : Theme::stroke(); }

double PillButtonStyle::labelWidth(const QString& text, bool symbol, bool spinner) {
    QFontMetricsF fm(font());
    double w = fm.horizontalAdvance(text);
    if (symbol) w += Symbols::sizeForFont(13) + 5;
    if (spinner) w += Spinner::side + 6;
    return w;
}

QSizeF PillButtonStyle::size(const QString& text, bool symbol, bool spinner, double padding) {
    return {labelWidth(text, symbol, spinner) + 2 * padding, QFontMetricsF(font()).height() + 2 * verticalPadding};
}

void PillButtonStyle::paint(QPainter& p, const QRectF& rect, const QString& text, bool enabled,
                            double pressed, const QString& symbol, int spinnerStep) const {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(enabled ? 1.0 - 0.25 * pressed : opacity(false, false));
    const double scale = 1.0 - 0.03 * pressed;
    p.translate(rect.center());
    p.scale(scale, scale);
    p.translate(-rect.center());
    fillCapsule(p, rect, fill());
    if (kind == Kind::secondary) strokeCapsule(p, rect, outline(), 1);
    p.setFont(font());
    p.setPen(textColor());
    if (symbol.isEmpty() && spinnerStep < 0) {
        p.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, text);
        p.restore();
        return;
    }
    double x = rect.center().x() - labelWidth(text, !symbol.isEmpty(), spinnerStep >= 0) / 2;
    const double cy = rect.center().y();
    if (spinnerStep >= 0) {
        Spinner::paint(p, QRectF(x, cy - Spinner::side / 2, Spinner::side, Spinner::side), textColor(), spinnerStep);
        x += Spinner::side + 6;
    }
    if (!symbol.isEmpty()) {
        const double icon = Symbols::sizeForFont(13);
        Symbols::paint(p, symbol, QRectF(x, cy - icon / 2, icon, icon), textColor(), 1.3);
        x += icon + 5;
    }
    p.drawText(QRectF(x, rect.top(), rect.right() - x, rect.height()), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
               text);
    p.restore();
}

void Spinner::paint(QPainter& p, const QRectF& box, const QColor& color, int step) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const double r = std::min(box.width(), box.height()) / 2;
    p.translate(box.center());
    for (int i = 0; i < steps; ++i) {
        // The spoke at `step` is brightest; the ones behind it fade.
        const int behind = ((step - i) % steps + steps) % steps;
        QPen pen(Theme::withOpacity(color, 1.0 - 0.75 * behind / (steps - 1)), r * 0.2, Qt::SolidLine, Qt::RoundCap);
        p.setPen(pen);
        p.drawLine(QPointF(0, -r * 0.48), QPointF(0, -r * 0.9));
        p.rotate(360.0 / steps);
    }
    p.restore();
}

Spinner::Clock::Clock(std::function<void()> stepped) {
    timer_.setInterval(1000 / steps);
    QObject::connect(&timer_, &QTimer::timeout, [this, stepped = std::move(stepped)] {
        step_ = (step_ + 1) % steps;
        stepped();
    });
}

void Spinner::Clock::run(bool on) {
    if (!on) timer_.stop();
    else if (!timer_.isActive()) timer_.start();
}

PillButton::PillButton(const QString& text, PillButtonStyle::Kind kind, QWidget* parent)
    : QPushButton(text, parent), style_{kind} {
    setFont(PillButtonStyle::font());
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    press_.setDuration(120);
    press_.setEasingCurve(QEasingCurve::OutCubic);
    connect(&press_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        pressedAmount_ = v.toDouble();
        update();
    });
    auto animateTo = [this](double target) {
        press_.stop();
        press_.setStartValue(pressedAmount_);
        press_.setEndValue(target);
        press_.start();
    };
    connect(this, &QPushButton::pressed, this, [animateTo] { animateTo(1.0); });
    connect(this, &QPushButton::released, this, [animateTo] { animateTo(0.0); });
}

void PillButton::setSymbol(const QString& symbol) {
    if (symbol == symbol_) return;
    symbol_ = symbol;
    updateGeometry();
    update();
}

void PillButton::setBusy(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    syncSpinner();
    updateGeometry();
    update();
}

// The spinner turns only while it can be seen.
void PillButton::syncSpinner() {
    spin_.run(busy_ && isVisible());
}

void PillButton::showEvent(QShowEvent* e) {
    QPushButton::showEvent(e);
    syncSpinner();
}

void PillButton::hideEvent(QHideEvent* e) {
    QPushButton::hideEvent(e);
    syncSpinner();
}

void PillButton::setHorizontalPadding(double padding) {
    horizontalPadding_ = padding;
    updateGeometry();
}

QSize PillButton::sizeHint() const {
    const QSizeF s = PillButtonStyle::size(text(), !symbol_.isEmpty(), busy_, horizontalPadding_);
    return QSize(int(std::ceil(s.width())), int(std::ceil(s.height())));
}

void PillButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const double pressed = isEnabled() ? pressedAmount_ : 0.0;
    if (pressed > 0 || busy_) {
        style_.paint(p, QRectF(rect()), text(), isEnabled(), pressed, symbol_, busy_ ? spin_.step() : -1);
        return;
    }
    // At rest the button looks the same on every repaint (stars pass behind it).
    const qreal ratio = devicePixelRatioF();
    const QString key = QStringLiteral("%1x%2:%3:%4:%5:%6")
                            .arg(width())
                            .arg(height())
                            .arg(ratio)
                            .arg(isEnabled())
                            .arg(symbol_, text());
    if (key != restingKey_) {
        resting_ = QPixmap((QSizeF(size()) * ratio).toSize());
        resting_.setDevicePixelRatio(ratio);
        resting_.fill(Qt::transparent);
        QPainter on(&resting_);
        style_.paint(on, QRectF(rect()), text(), isEnabled(), 0.0, symbol_, -1);
        restingKey_ = key;
    }
    p.drawPixmap(0, 0, resting_);
}

// ---- CheckBox

CheckBox::CheckBox(Mark state, std::function<void()> action, QWidget* parent)
    : QAbstractButton(parent), state_(state) {
    setFixedSize(side, side);
    setFocusPolicy(Qt::NoFocus);
    if (action) connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] { action(); });
}

void CheckBox::setState(Mark state) {
    if (state == state_) return;
    state_ = state;
    update();
}

void CheckBox::paint(QPainter& p, const QPointF& topLeft, Mark state) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(topLeft);
    const QRectF box(0, 0, side, side);
    if (state == Mark::off) {
        p.setPen(QPen(Theme::tertiary(), 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(inset(box, 1.2), 3.4, 3.4);
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(Theme::white(0.85));
        p.drawRoundedRect(box, 4, 4);
        const double glyph = 11;
        Symbols::paint(p, state == Mark::on ? QStringLiteral("checkmark") : QStringLiteral("minus"),
                       QRectF((side - glyph) / 2, (side - glyph) / 2, glyph, glyph), Theme::ink(), 1.9);
    }
    p.restore();
}

void CheckBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // Dimmed like a row's box that may not be used.
    if (!isEnabled()) p.setOpacity(0.25);
    paint(p, QPointF(0, 0), state_);
}

// ---- Switch

Switch::Switch(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setFixedSize(sizeHint());
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    slide_.setDuration(160);
    slide_.setEasingCurve(QEasingCurve::OutCubic);
    connect(&slide_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        knob_ = v.toDouble();
        update();
    });
}

void Switch::setCheckedImmediately(bool on) {
    setChecked(on);
    slide_.stop();
    knob_ = on ? 1 : 0;
    update();
}

void Switch::checkStateSet() { slideTo(isChecked()); }

void Switch::nextCheckState() {
    QAbstractButton::nextCheckState();
    slideTo(isChecked());
}

void Switch::slideTo(bool on) {
    const double target = on ? 1 : 0;
    if (std::abs(knob_ - target) < 1e-9) return;
    if (!isVisible()) {
        knob_ = target;
        update();
        return;
    }
    slide_.stop();
    slide_.setStartValue(knob_);
    slide_.setEndValue(target);
    slide_.start();
}

void Switch::paint(QPainter& p, const QRectF& track, double knob, bool enabled, bool pressed) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (!enabled) p.setOpacity(0.4);
    const QColor off = Theme::white(0.16);
    QColor fill;
    fill.setRgbF(off.redF() + (Theme::accent().redF() - off.redF()) * float(knob),
                 off.greenF() + (Theme::accent().greenF() - off.greenF()) * float(knob),
                 off.blueF() + (Theme::accent().blueF() - off.blueF()) * float(knob),
                 off.alphaF() + (1.0f - off.alphaF()) * float(knob));
    fillCapsule(p, track, fill);
    strokeCapsule(p, track, Theme::white(0.06 * (1 - knob)), 1);
    const double d = track.height() - 3;
    const double x = track.left() + 1.5 + (track.width() - 3 - d) * knob;
    const QRectF disc(x, track.top() + 1.5, d, d);
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::black(0.25));
    p.drawEllipse(disc.translated(0, 0.6));
    p.setBrush(QColor(pressed ? QColor(225, 225, 230) : QColor(Qt::white)));
    p.drawEllipse(disc);
    p.restore();
}

void Switch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paint(p, QRectF(0.5, 0.5, width() - 1.0, height() - 1.0), knob_, isEnabled(), isDown());
}

// ---- Stepper

Stepper::Stepper(QWidget* parent) : QWidget(parent) {
    setFixedSize(sizeHint());
    setCursor(Qt::PointingHandCursor);
    repeat_.setInterval(70);
    connect(&repeat_, &QTimer::timeout, this, [this] {
        repeat_.setInterval(70);
        if ((pressed_ > 0 && canUp_) || (pressed_ < 0 && canDown_)) emit stepped(pressed_);
    });
}

void Stepper::setCanStep(bool up, bool down) {
    canUp_ = up;
    canDown_ = down;
    update();
}

void Stepper::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    pressed_ = e->position().y() < height() / 2.0 ? 1 : -1;
    update();
    if ((pressed_ > 0 && canUp_) || (pressed_ < 0 && canDown_)) emit stepped(pressed_);
    repeat_.start(400);
}

void Stepper::mouseReleaseEvent(QMouseEvent*) {
    repeat_.stop();
    pressed_ = 0;
    update();
}

void Stepper::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0.5, 0.5, width() - 1.0, height() - 1.0);
    p.setPen(QPen(Theme::white(0.1), 1));
    p.setBrush(Theme::white(0.1));
    p.drawRoundedRect(r, 4.5, 4.5);
    if (pressed_ != 0) {
        p.save();
        p.setClipRect(pressed_ > 0 ? QRectF(0, 0, width(), height() / 2.0)
                                   : QRectF(0, height() / 2.0, width(), height() / 2.0));
        p.setPen(Qt::NoPen);
        p.setBrush(Theme::white(0.14));
        p.drawRoundedRect(r, 4.5, 4.5);
        p.restore();
    }
    p.setPen(QPen(Theme::stroke(), 1));
    p.drawLine(QPointF(3, height() / 2.0), QPointF(width() - 3, height() / 2.0));
    auto chevron = [&](double cy, double dir, bool on) {
        p.setPen(QPen(on ? Theme::text() : Theme::tertiary(), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const double cx = width() / 2.0;
        const QPointF pts[] = {{cx - 3, cy + 1.6 * dir}, {cx, cy - 1.6 * dir}, {cx + 3, cy + 1.6 * dir}};
        p.drawPolyline(pts, 3);
    };
    chevron(height() * 0.27, 1, canUp_);
    chevron(height() * 0.73, -1, canDown_);
}

// ---- BorderedButton

BorderedButton::BorderedButton(const QString& text, const QString& symbol, QWidget* parent)
    : QPushButton(text, parent), symbol_(symbol), textColor_(Theme::text()) {
    setFont(Theme::font(13));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void BorderedButton::setTextColor(const QColor& color) {
    textColor_ = color;
    update();
}

QSize BorderedButton::sizeHint() const {
    QFontMetricsF fm(font());
    const double icon = symbol_.isEmpty() ? 0 : Symbols::sizeForFont(11) + 5;
    return QSize(int(std::ceil(fm.horizontalAdvance(text()) + icon + 24)), 26);
}

void BorderedButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) p.setOpacity(0.4);
    const QRectF r = inset(QRectF(rect()), 1);
    p.setPen(QPen(Theme::white(0.1), 1));
    if (isDefault()) p.setBrush(isDown() ? Theme::accent().darker(120) : Theme::accent());
    else p.setBrush(Theme::white(isDown() ? 0.2 : underMouse() && isEnabled() ? 0.15 : 0.11));
    p.drawRoundedRect(r, 6, 6);
    const QColor ink = isDefault() ? QColor(Qt::white) : textColor_;
    QFontMetricsF fm(font());
    const double icon = symbol_.isEmpty() ? 0 : Symbols::sizeForFont(11);
    const double content = fm.horizontalAdvance(text()) + (icon > 0 ? icon + 5 : 0);
    double x = (width() - content) / 2;
    if (icon > 0) {
        Symbols::paint(p, symbol_, QRectF(x, (height() - icon) / 2, icon, icon), ink, 1.2);
        x += icon + 5;
    }
    p.setPen(ink);
    p.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
}

// ---- SymbolButton

SymbolButton::SymbolButton(const QString& symbol, double fontSize, QWidget* parent)
    : QAbstractButton(parent), symbol_(symbol), size_(Symbols::sizeForFont(fontSize)), color_(Theme::secondary()) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setFixedSize(sizeHint());
}

void SymbolButton::setColor(const QColor& color) {
    if (color == color_) return;
    color_ = color;
    update();
}

QSize SymbolButton::sizeHint() const {
    const int s = int(std::ceil(size_ + 10));
    return {s, s};
}

void SymbolButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (isDown()) p.setOpacity(0.6);
    const QRectF box((width() - size_) / 2, (height() - size_) / 2, size_, size_);
    Symbols::paint(p, symbol_, box, color_, 1.0);
}

SpinnerView::SpinnerView(const QColor& color, QWidget* parent)
    : QWidget(parent), color_(color), spin_([this] { update(); }) {
    setFixedSize(sizeHint());
}

void SpinnerView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    Spinner::paint(p, QRectF(rect()), color_, spin_.step());
}

void SpinnerView::showEvent(QShowEvent*) { spin_.run(true); }

void SpinnerView::hideEvent(QHideEvent*) { spin_.run(false); }

PlainButton::PlainButton(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
    : QAbstractButton(parent), font_(font), color_(color) {
    setText(text);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PlainButton::setSymbol(const QString& symbol) {
    symbol_ = symbol;
    updateGeometry();
    update();
}

QSize PlainButton::sizeHint() const { return symbolTextSize(font_, symbol_, text()); }

void PlainButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setOpacity(!isEnabled() ? 0.35 : isDown() ? 0.6 : 1.0);
    paintSymbolText(p, QRectF(rect()), font_, color_, symbol_, text());
}

void makePlainScrollArea(QAbstractScrollArea* area) {
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setAutoFillBackground(false);
    area->viewport()->setAutoFillBackground(false);
}

void makeDrawnList(QAbstractScrollArea* area, int step) {
    makePlainScrollArea(area);
    area->viewport()->setMouseTracking(true);
    area->verticalScrollBar()->setSingleStep(step);
    pausesMotionWhileScrolling(area);
}

void setContentHeight(QAbstractScrollArea* area, int height) {
    QScrollBar* bar = area->verticalScrollBar();
    bar->setPageStep(area->viewport()->height());
    bar->setRange(0, std::max(0, height - area->viewport()->height()));
}

QScrollArea* makeTransparentScrollArea(QWidget* content, bool showIndicators) {
    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(showIndicators ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    scroll->setWidget(content);
    scroll->setAttribute(Qt::WA_TranslucentBackground);
    scroll->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    scroll->setStyleSheet(QStringLiteral(
        "QScrollArea { background: transparent; border: none; }"
        "QScrollBar:vertical { background: transparent; width: 8px; margin: 2px; }"
        "QScrollBar::handle:vertical { background: rgba(255,255,255,60); border-radius: 2px; min-height: 24px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }"));
    return scroll;
}
