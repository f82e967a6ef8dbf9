#include "Platform/MonotonicClock.h"

#include <atomic>

namespace Platform {

namespace {
class SteadyClock final : public MonotonicClock {
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }
};

std::atomic<MonotonicClock*> installed{nullptr};
}  // namespace

MonotonicClock& steadyClock() {
    static SteadyClock steady;
    return steady;
}

MonotonicClock& monotonicClock() {
    MonotonicClock* c = installed.load(std::memory_order_acquire);
    return c ? *c : steadyClock();
}

void setMonotonicClock(MonotonicClock* clock) { installed.store(clock, std::memory_order_release); }

double monotonicSeconds() {
    return std::chrono::duration<double>(monotonicClock().now().time_since_epoch()).count();
}

SteppedMonotonicClock::TimePoint SteppedMonotonicClock::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

uint64_t SteppedMonotonicClock::schedule(TimePoint deadline, std::function<void()> wake) {
    std::unique_lock lock(mutex_);
    const uint64_t id = nextId_++;
    if (deadline <= now_) {
        lock.unlock();
        wake();
        return id;
    }
    waits_.emplace(deadline, std::make_pair(id, std::move(wake)));
    return id;
}

void SteppedMonotonicClock::cancel(uint64_t id) {
    std::lock_guard lock(mutex_);
    for (auto it = waits_.begin(); it != waits_.end(); ++it) {
        if (it->second.first == id) {
            waits_.erase(it);
            return;
        }
    }
}

size_t SteppedMonotonicClock::pending() const {
    std::lock_guard lock(mutex_);
    return waits_.size();
}

void SteppedMonotonicClock::advance(Duration by) {
    std::unique_lock lock(mutex_);
    const TimePoint target = now_ + by;
    // One wait at a time: a woken wait may schedule another that also falls due.
    while (!waits_.empty() && waits_.begin()->first <= target) {
        auto node = waits_.extract(waits_.begin());
        if (node.key() > now_) now_ = node.key();
        auto wake = std::move(node.mapped().second);
        lock.unlock();
        wake();
        lock.lock();
    }
    if (target > now_) now_ = target;
}

}  // namespace Platform
