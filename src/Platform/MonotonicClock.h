#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

// The clock that paces: feed ticks, landings, debounces, the monitor's tick.
// Unlike the wall clock it never steps, so a changed system time cannot stall
// or rush a run. Tests install a stepped one and move it by hand; the Qt side's
// awaitable sleep (Models/Kit/Sleep.h) then wakes exactly when the test says.
namespace Platform {

class MonotonicClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Duration = std::chrono::steady_clock::duration;
    virtual ~MonotonicClock() = default;
    virtual TimePoint now() const = 0;
};

// The system's steady clock.
MonotonicClock& steadyClock();
// The clock in use: the steady clock unless a test installed another.
MonotonicClock& monotonicClock();
// Installs a clock for the whole process; nullptr restores the steady clock.
void setMonotonicClock(MonotonicClock* clock);

// Seconds on the clock in use, for code that measures spans as doubles.
double monotonicSeconds();

// A clock that moves only when told to, and wakes the waits that fall due.
// Callbacks run on the thread that advances, in deadline order, without the lock.
class SteppedMonotonicClock : public MonotonicClock {
public:
    explicit SteppedMonotonicClock(TimePoint start = TimePoint{} + std::chrono::hours(1)) : now_(start) {}
    TimePoint now() const override;

    // Runs `wake` once the clock reaches `deadline` (at once, on the next advance,
    // when it already has). Returns an id for `cancel`.
    uint64_t schedule(TimePoint deadline, std::function<void()> wake);
    void cancel(uint64_t id);
    // Number of waits not yet woken.
    size_t pending() const;

    // Moves the clock forward, waking each due wait at its own deadline.
    void advance(Duration by);
    template <class Rep, class Period>
    void advance(std::chrono::duration<Rep, Period> by) {
        advance(std::chrono::duration_cast<Duration>(by));
    }

private:
    mutable std::mutex mutex_;
    TimePoint now_;
    uint64_t nextId_ = 1;
    std::multimap<TimePoint, std::pair<uint64_t, std::function<void()>>> waits_;
};

}  // namespace Platform
