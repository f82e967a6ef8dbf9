#pragma once
#include <chrono>

// The one source of "now" for everything that paces or waits, so tests can step
// time instead of sleeping.
namespace Platform {

class Clock {
public:
    using TimePoint = std::chrono::system_clock::time_point;
    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;
};

// The wall clock.
Clock& systemClock();
// The clock in use: the wall clock unless a test installed another.
Clock& clock();
// Installs a clock for the whole process; nullptr restores the wall clock. The
// installed clock must outlive its use.
void setClock(Clock* clock);

// A clock that moves only when told to.
class SteppedClock : public Clock {
public:
    explicit SteppedClock(TimePoint start = TimePoint{}) : now_(start) {}
    TimePoint now() const override { return now_; }
    void set(TimePoint t) { now_ = t; }
    template <class Rep, class Period>
    void advance(std::chrono::duration<Rep, Period> d) {
        now_ += std::chrono::duration_cast<std::chrono::system_clock::duration>(d);
    }

private:
    TimePoint now_;
};

// Animation frame times count seconds from 1 January 2001, 00:00:00 UTC.
inline constexpr double referenceDateUnixSeconds = 978307200.0;
double secondsSinceReferenceDate(Clock::TimePoint t);
Clock::TimePoint dateFromReferenceSeconds(double seconds);

}  // namespace Platform
