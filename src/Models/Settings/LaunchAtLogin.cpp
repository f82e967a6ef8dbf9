#include "Models/Settings/LaunchAtLogin.h"

#include "Models/Kit/QtBridge.h"
#include "Platform/LoginItemService.h"
#include "Platform/UserDefaults.h"

#include <QCoreApplication>

namespace LaunchAtLogin {

bool launchedAsLoginItem() {
    if (!QCoreApplication::instance()) return false;
    return launchedAsLoginItem(QCoreApplication::arguments());
}

bool launchedAsLoginItem(const QStringList& arguments) {
    return Platform::launchedAsLoginItem(fromQStringList(arguments));
}

bool set(bool enabled) { return set(enabled, Platform::LoginItemService::mainApp()); }

bool set(bool enabled, Platform::LoginItemService& service) {
    // The caller reads the status back to show the real state; the error text is not shown.
    const auto result = enabled ? service.registerItem() : service.unregisterItem();
    return result.ok;
}

void enableOnFirstLaunch() {
    enableOnFirstLaunch(Platform::UserDefaults::standard(), Platform::LoginItemService::mainApp());
}

void enableOnFirstLaunch(Platform::UserDefaults& defaults, Platform::LoginItemService& service) {
    if (defaults.boolean(defaultedKey).value_or(false)) return;
    defaults.setBool(defaultedKey, true);
    (void)service.registerItem();
}

}  // namespace LaunchAtLogin
