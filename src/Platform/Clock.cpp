#include "Platform/Clock.h"

#include <atomic>
#include <cmath>

namespace Platform {

namespace {
class WallClock final : public Clock {
public:
    TimePoint now() const override { return std::chrono::system_clock::now(); }
};

std::atomic<Clock*> installed{nullptr};
}  // namespace

Clock& systemClock() {
    static WallClock wall;
    return wall;
}

Clock& clock() {
    Clock* c = installed.load(std::memory_order_acquire);
    return c ? *c : systemClock();
}

void setClock(Clock* c) { installed.store(c, std::memory_order_release); }

double secondsSinceReferenceDate(Clock::TimePoint t) {
    using namespace std::chrono;
    // Whole seconds and the fraction apart, so the fraction keeps its precision.
    const auto sinceEpoch = t.time_since_epoch();
    const auto whole = duration_cast<seconds>(sinceEpoch);
    const double fraction = duration<double>(sinceEpoch - whole).count();
    return (static_cast<double>(whole.count()) - referenceDateUnixSeconds) + fraction;
}

Clock::TimePoint dateFromReferenceSeconds(double seconds) {
    using namespace std::chrono;
    const double whole = std::floor(seconds);
    const auto ns = static_cast<long long>(std::llround((seconds - whole) * 1e9));
    const auto unixSeconds = static_cast<long long>(whole) + static_cast<long long>(referenceDateUnixSeconds);
    return Clock::TimePoint(duration_cast<system_clock::duration>(std::chrono::seconds(unixSeconds) + nanoseconds(ns)));
}

}  // namespace Platform
