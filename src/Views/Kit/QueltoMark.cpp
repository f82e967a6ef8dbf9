#include "Views/Kit/QueltoMark.h"

#include <QConicalGradient>
#include <QGuiApplication>
#include <QIcon>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace {

// The badge, cached for one pixel size.
const QImage& badge(int px) {
    static QImage cached;
    static qint64 cachedIcon = -1;
    const QIcon icon = QGuiApplication::windowIcon();
    const qint64 key = icon.isNull() ? 0 : icon.cacheKey();
    if (cached.width() != px || cachedIcon != key) {
        cachedIcon = key;
        if (icon.isNull()) cached = QueltoMark::applicationIconImage(px);
        else cached = icon.pixmap(QSize(px, px)).toImage().scaled(px, px, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    }
    return cached;
}

}  // namespace

void QueltoMark::paint(QPainter& p, const QRectF& frame) const {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const double side = std::min(frame.width(), frame.height());
    const QRectF square(frame.center().x() - side / 2, frame.center().y() - side / 2, side, side);

    // The icon fills the frame, enlarged so its transparent margin falls outside the circle.
    QPainterPath circle;
    circle.addEllipse(square);
    p.save();
    p.setClipPath(circle);
    const double dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    const double enlarged = side * 1.22;
    const QImage& img = badge(int(std::ceil(enlarged * dpr)));
    p.drawImage(QRectF(square.center().x() - enlarged / 2, square.center().y() - enlarged / 2, enlarged, enlarged), img);
    p.restore();

    if (phase != 0) {
        // A 108-degree arc from the rightmost point, clockwise on screen, turned by the
        // phase; it brightens towards its leading end.
        const double lead = phase * 360.0 + 108.0;  // clockwise degrees from 3 o'clock
        QConicalGradient g(square.center(), -lead);  // Qt turns counter-clockwise
        g.setColorAt(0.0, QColor::fromRgbF(1, 1, 1, 1));
        g.setColorAt(0.3, QColor::fromRgbF(1, 1, 1, 0));
        g.setColorAt(0.97, QColor::fromRgbF(1, 1, 1, 0));
        g.setColorAt(1.0, QColor::fromRgbF(1, 1, 1, 1));
        QPen pen(QBrush(g), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
        pen.setMiterLimit(10);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        QPainterPath arc;
        const double startCcw = -phase * 360.0;
        arc.arcMoveTo(square, startCcw);
        arc.arcTo(square, startCcw, -108.0);
        p.drawPath(arc);
    }

    p.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.15f), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(square.adjusted(0.5, 0.5, -0.5, -0.5));
    p.restore();
}

QImage QueltoMark::applicationIconImage(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 100.0, size / 100.0);

    // A rounded square with the usual icon margin, a night sky with a ringed world.
    const QRectF tile(10, 10, 80, 80);
    QPainterPath shape;
    shape.addRoundedRect(tile, 18, 18);
    QLinearGradient sky(tile.topLeft(), tile.bottomLeft());
    sky.setColorAt(0, QColor::fromRgbF(0.20f, 0.29f, 0.55f));
    sky.setColorAt(1, QColor::fromRgbF(0.05f, 0.06f, 0.14f));
    p.fillPath(shape, sky);
    p.setClipPath(shape);
    QRadialGradient halo(QPointF(62, 36), 46);
    halo.setColorAt(0, QColor::fromRgbF(0.40f, 0.62f, 1.0f, 0.55f));
    halo.setColorAt(1, QColor::fromRgbF(0.40f, 0.62f, 1.0f, 0.0f));
    p.fillRect(tile, halo);

    p.setPen(Qt::NoPen);
    for (auto [x, y, r] : {std::tuple{26.0, 28.0, 1.4}, {74.0, 72.0, 1.1}, {30.0, 70.0, 0.9}, {70.0, 24.0, 1.0}}) {
        p.setBrush(QColor::fromRgbF(1, 1, 1, 0.85f));
        p.drawEllipse(QPointF(x, y), r, r);
    }

    const QPointF c(50, 52);
    p.save();
    p.translate(c);
    p.rotate(-22);
    const QRectF ring(-29, -8.5, 58, 17);
    QPen ringPen(QColor::fromRgbF(0.85f, 0.92f, 1.0f, 0.95f), 3.2, Qt::SolidLine, Qt::RoundCap);
    // Back half of the ring, then the world, then the front half.
    p.setPen(ringPen);
    p.setBrush(Qt::NoBrush);
    p.drawArc(ring, 0, 180 * 16);
    p.restore();

    QRadialGradient world(QPointF(c.x() - 5, c.y() - 6), 20);
    world.setColorAt(0, QColor::fromRgbF(1, 1, 1));
    world.setColorAt(0.55, QColor::fromRgbF(0.62f, 0.76f, 1.0f));
    world.setColorAt(1, QColor::fromRgbF(0.30f, 0.42f, 0.85f));
    p.setPen(Qt::NoPen);
    p.setBrush(world);
    p.drawEllipse(c, 15, 15);

    p.translate(c);
    p.rotate(-22);
    p.setPen(ringPen);
    p.setBrush(Qt::NoBrush);
    p.drawArc(ring, 180 * 16, 180 * 16);
    return img;
}
