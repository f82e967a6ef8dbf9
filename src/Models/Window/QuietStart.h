#pragma once
#include <QStringList>

#include <chrono>

#include "Platform/Clock.h"

namespace Platform { class UserDefaults; }

// Whether this launch starts with no window: a login launch, or the relaunch that
// follows an update installed while the user was away.
namespace QuietStart {

// The date the idle update installer stores just before it installs and relaunches.
inline constexpr const char* relaunchKey = "relaunchQuietly";
// How long that mark keeps counting.
inline constexpr std::chrono::seconds relaunchWindow{300};

// Reads and judges the relaunch mark, then removes it whatever it held, so it
// quiets one launch at most. `arguments` is the whole command line.
bool decide(Platform::UserDefaults& defaults, const QStringList& arguments, Platform::Clock::TimePoint now);
// The same on the standard defaults, this process's command line and the clock in use.
bool decide();

}  // namespace QuietStart
