#include "Models/Kit/Sleep.h"

#include <QCoreApplication>
#include <QTimer>

#include <coroutine>

namespace Pacing {

namespace {
struct SteppedWait {
    Platform::SteppedMonotonicClock& clock;
    Platform::MonotonicClock::TimePoint deadline;
    bool await_ready() const { return clock.now() >= deadline; }
    void await_suspend(std::coroutine_handle<> handle) {
        clock.schedule(deadline, [handle] { handle.resume(); });
    }
    void await_resume() const {}
};

struct TimerWait {
    std::chrono::milliseconds span;
    bool await_ready() const { return span.count() <= 0; }
    void await_suspend(std::coroutine_handle<> handle) {
        QTimer::singleShot(span, Qt::PreciseTimer, QCoreApplication::instance(), [handle] { handle.resume(); });
    }
    void await_resume() const {}
};
}  // namespace

QCoro::Task<> sleepUntil(Platform::MonotonicClock::TimePoint deadline) {
    auto& clock = Platform::monotonicClock();
    if (auto* stepped = dynamic_cast<Platform::SteppedMonotonicClock*>(&clock)) {
        co_await SteppedWait{*stepped, deadline};
        co_return;
    }
    // Rounded up, so a wake never comes before the deadline.
    const auto left = deadline - clock.now();
    co_await TimerWait{std::chrono::ceil<std::chrono::milliseconds>(left)};
}

}  // namespace Pacing
