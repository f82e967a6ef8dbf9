#include "Models/Window/QuietStart.h"

#include <QCoreApplication>

#include "Models/Settings/LaunchAtLogin.h"
#include "Platform/UserDefaults.h"

namespace QuietStart {

bool decide(Platform::UserDefaults& defaults, const QStringList& arguments, Platform::Clock::TimePoint now) {
    // A mark from the future counts: the clock most likely stepped back since it was written.
    const auto mark = defaults.date(relaunchKey);
    const bool freshMark = mark && now - *mark < relaunchWindow;
    const bool loginItem = LaunchAtLogin::launchedAsLoginItem(arguments);
    defaults.remove(relaunchKey);
    return loginItem || freshMark;
}

bool decide() {
    const QStringList arguments = QCoreApplication::instance() ? QCoreApplication::arguments() : QStringList();
    return decide(Platform::UserDefaults::standard(), arguments, Platform::clock().now());
}

}  // namespace QuietStart
