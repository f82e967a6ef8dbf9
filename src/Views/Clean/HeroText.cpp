#include "Views/Clean/HeroText.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "Views/Kit/StillPicture.h"
#include "Views/Kit/TextRoll.h"
#include "Views/Kit/Theme.h"

namespace {
// Critically damped: a rolling digit settles without bouncing past its place.
constexpr Spring rollSpring{0.5, 1.0};
constexpr int subtitleFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
}  // namespace

HeroText::HeroText(const QString& title, const QString& subtitle, QWidget* parent)
    : QWidget(parent),
      title_(title),
      subtitle_(subtitle),
      titleFont_(Theme::font(titleSize, QFont::Bold)),
      subtitleFont_(Theme::font(subtitleSize)) {
    setAttribute(Qt::WA_TranslucentBackground);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    connect(&roll_, &SpringAnimator::progressChanged, this, [this](double p) {
        if (frozen_) return;
        shownProgress_ = p;
        update();
    });
}

void HeroText::setTitle(const QString& title) {
    if (title == title_) return;
    // A roll still under way ends where it was going; the next one starts there.
    from_ = title_;
    title_ = title;
    frozen_ = false;
    shownProgress_ = 0;
    if (isVisible()) {
        roll_.start(rollSpring);
    } else {
        shownProgress_ = 1;
    }
    update();
}

void HeroText::setSubtitle(const QString& subtitle) {
    if (subtitle == subtitle_) return;
    subtitle_ = subtitle;
    updateGeometry();
    update();
}

double HeroText::rollProgress() const { return shownProgress_; }

void HeroText::showRollAt(double progress) {
    frozen_ = true;
    roll_.stop();
    shownProgress_ = std::clamp(progress, 0.0, 1.0);
    update();
}

HeroText::Layout HeroText::layout() const {
    const TextRoll::Split s = TextRoll::split(from_, title_);
    return {(width() - QFontMetricsF(titleFont_).horizontalAdvance(title_)) / 2, s.prefix, s.suffix};
}

QRectF HeroText::titleRect() const { return QRectF(0, 0, width(), QFontMetricsF(titleFont_).height()); }

QRectF HeroText::subtitleRect(double width) const {
    if (subtitle_.isEmpty()) return {};
    const QFontMetricsF fm(subtitleFont_);
    const double top = QFontMetricsF(titleFont_).height() + spacing;
    const QRectF text = fm.boundingRect(QRectF(0, 0, width, 1e6), subtitleFlags, subtitle_);
    return QRectF(0, top, width, std::ceil(text.height()));
}

QRectF HeroText::rollingArea() const {
    if (shownProgress_ >= 1 || from_ == title_) return {};
    const QFontMetricsF fm(titleFont_);
    const Layout l = layout();
    const double start = l.left + fm.horizontalAdvance(title_.left(l.prefix));
    const double newWidth = fm.horizontalAdvance(title_.mid(l.prefix, title_.size() - l.prefix - l.suffix));
    const double oldWidth = fm.horizontalAdvance(from_.mid(l.prefix, from_.size() - l.prefix - l.suffix));
    const QRectF line = titleRect();
    const double rise = TextRoll::rise(fm);
    return QRectF(start - 1, line.top() - rise, std::max(newWidth, oldWidth) + 2, line.height() + 2 * rise);
}

QSize HeroText::sizeHint() const {
    const QFontMetricsF fm(titleFont_);
    const int w = int(std::ceil(std::max(fm.horizontalAdvance(title_), 320.0)));
    return QSize(w, heightForWidth(w));
}

QSize HeroText::minimumSizeHint() const { return QSize(0, heightForWidth(320)); }

int HeroText::heightForWidth(int width) const {
    const double title = QFontMetricsF(titleFont_).height();
    const QRectF sub = subtitleRect(width);
    return int(std::ceil(sub.isEmpty() ? title : sub.bottom()));
}

void HeroText::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // At rest the text is kept as a picture: the hero behind it redraws every frame.
    if (rollProgress() >= 1) {
        still_.paint(p, QRectF(rect()), devicePixelRatioF(), combinedKey({qHash(title_), qHash(subtitle_)}), [this](QPainter& on) { paintText(on, 1.0); });
        return;
    }
    paintText(p, rollProgress());
}

void HeroText::paintText(QPainter& p, double progress) const {
    p.setRenderHint(QPainter::TextAntialiasing);
    const QFontMetricsF fm(titleFont_);
    const QRectF line = titleRect();
    const double baseline = line.top() + fm.ascent();
    p.setFont(titleFont_);
    p.setPen(Theme::text());
    TextRoll::paint(p, fm, from_, title_, progress, (width() - fm.horizontalAdvance(title_)) / 2, baseline);
    if (!subtitle_.isEmpty()) {
        p.setFont(subtitleFont_);
        p.setPen(Theme::secondary());
        p.drawText(subtitleRect(width()), subtitleFlags, subtitle_);
    }
}
