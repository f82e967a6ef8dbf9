#pragma once
#include <QStringList>

namespace Platform { class LoginItemService; class UserDefaults; }

// Registration of the application as a login item. Keeps no state of its own;
// the overloads without a service use the application's login item and the
// standard user defaults.
namespace LaunchAtLogin {

// The defaults key that records that the first-launch registration was tried.
inline constexpr const char* defaultedKey = "launchAtLoginDefaulted";

// True when this process was started by the session at login.
bool launchedAsLoginItem();
bool launchedAsLoginItem(const QStringList& arguments);

// Registers (true) or unregisters (false); true when the service call succeeded.
bool set(bool enabled);
bool set(bool enabled, Platform::LoginItemService& service);

// Registers once, on the very first launch. The flag is stored before the attempt,
// so a failed attempt or a later switch-off is never undone.
void enableOnFirstLaunch();
void enableOnFirstLaunch(Platform::UserDefaults& defaults, Platform::LoginItemService& service);

}  // namespace LaunchAtLogin
