#include "Platform/Gui/IconCache.h"

#include <QCache>
#include <QGuiApplication>
#include <QPainter>

#include "Platform/Gui/Icons.h"

namespace IconCache {

QPixmap icon(const std::filesystem::path& url) {
    static QCache<QByteArray, QPixmap> cache(2000);
    const QByteArray key(url.c_str(), qsizetype(url.native().size()));
    if (const QPixmap* hit = cache.object(key)) return *hit;
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap image = Platform::Icons::pixmap(Platform::IconRef::file(url), 32, ratio);
    cache.insert(key, new QPixmap(image));
    return image;
}

void draw(QPainter& painter, const QRectF& square, const std::filesystem::path& url) {
    const QPixmap image = icon(url);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(square, image, QRectF(image.rect()));
    painter.restore();
}

}  // namespace IconCache
