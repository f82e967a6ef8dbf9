#pragma once
#include <QCoroTask>

#include <chrono>

#include "Platform/MonotonicClock.h"

// Awaitable sleeps on the monotonic clock in use. With the real clock they wake
// from a precise Qt timer on the calling thread's event loop; with a stepped
// clock they wake when the test advances it, so no test waits for real time.
namespace Pacing {

QCoro::Task<> sleepUntil(Platform::MonotonicClock::TimePoint deadline);

template <class Rep, class Period>
QCoro::Task<> sleepFor(std::chrono::duration<Rep, Period> span) {
    return sleepUntil(Platform::monotonicClock().now() +
                      std::chrono::duration_cast<Platform::MonotonicClock::Duration>(span));
}

inline QCoro::Task<> sleepSeconds(double seconds) {
    return sleepFor(std::chrono::duration<double>(seconds));
}

}  // namespace Pacing
