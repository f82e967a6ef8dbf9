#pragma once
#include <QDir>
#include <QImage>
#include <QString>

// With QUELTO_SCREENSHOT_DIR set, keeps a picture there as <name>.png.
inline bool keepScreenshot(const QImage& image, const QString& name) {
    const QByteArray dir = qgetenv("QUELTO_SCREENSHOT_DIR");
    if (dir.isEmpty()) return true;
    QDir().mkpath(QString::fromLocal8Bit(dir));
    return image.save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
}
