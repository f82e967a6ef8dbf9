#include "Views/Kit/BundleImage.h"

#include <QHash>

// The resources are compiled into this static library; nothing else references
// them, so the linker would drop them without this call.
static void registerResources() { Q_INIT_RESOURCE(quelto); }

QString bundleFile(const QString& fileName) {
    static const bool registered = (registerResources(), true);
    (void)registered;
    return QStringLiteral(":/images/") + fileName;
}

QImage bundleImage(const QString& name) {
    // Decoded once: images are shared, so every caller gets the same pixels cheaply.
    static QHash<QString, QImage> decoded;
    auto it = decoded.find(name);
    if (it == decoded.end()) it = decoded.insert(name, QImage(bundleFile(name + QStringLiteral(".png"))));
    return *it;
}
