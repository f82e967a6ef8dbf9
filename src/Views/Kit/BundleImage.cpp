#include "Views/Kit/BundleImage.h"

// The resources are compiled into this static library; nothing else references
// them, so the linker would drop them without this call.
static void registerResources() { Q_INIT_RESOURCE(quelto); }

QImage bundleImage(const QString& name) {
    static const bool registered = (registerResources(), true);
    (void)registered;
    return QImage(QStringLiteral(":/images/") + name + QStringLiteral(".png"));
}
