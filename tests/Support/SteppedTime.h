#pragma once
// Both clocks stepped by the test: the monotonic clock wakes the awaitable sleeps
// as it advances, and the wall clock follows it, plus an offset the test can step
// on its own (a changed system time).
#include <chrono>

#include "Platform/Clock.h"
#include "Platform/MonotonicClock.h"

namespace steppedtime {
class Clocks : public Platform::Clock {
public:
    // The wall clock starts at `wallStart` (a fixed date unless given).
    explicit Clocks(TimePoint wallStart = Platform::dateFromReferenceSeconds(700'000'000)) : wallStart_(wallStart) {
        Platform::setMonotonicClock(&mono_);
        Platform::setClock(this);
    }
    ~Clocks() override {
        Platform::setClock(nullptr);
        Platform::setMonotonicClock(nullptr);
    }
    Clocks(const Clocks&) = delete;
    Clocks& operator=(const Clocks&) = delete;

    TimePoint now() const override { return wallStart_ + (mono_.now() - monoStart_) + wallOffset_; }
    // Monotonic seconds since the test began.
    double t() const { return std::chrono::duration<double>(mono_.now() - monoStart_).count(); }
    // Advances the monotonic clock to `seconds` since the start (never back).
    void advanceTo(double seconds) {
        const auto target = monoStart_ + std::chrono::round<Platform::MonotonicClock::Duration>(
                                             std::chrono::duration<double>(seconds));
        if (target > mono_.now()) mono_.advance(target - mono_.now());
    }
    void advance(double seconds) { advanceTo(t() + seconds); }
    // Steps the wall clock alone.
    void stepWall(double seconds) {
        wallOffset_ += std::chrono::duration_cast<TimePoint::duration>(std::chrono::duration<double>(seconds));
    }
    // Wall seconds since the test began.
    double wall(TimePoint p) const { return std::chrono::duration<double>(p - wallStart_).count(); }
    size_t pendingWaits() const { return mono_.pending(); }

private:
    Platform::SteppedMonotonicClock mono_;
    Platform::MonotonicClock::TimePoint monoStart_ = mono_.now();
    TimePoint wallStart_;
    TimePoint::duration wallOffset_{};
};
}  // namespace steppedtime
