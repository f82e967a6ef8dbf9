#include "Models/Kit/PacedSchedule.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {
std::atomic<long long> allScheduled{0};
}

bool PacedSchedule::inShootingStarWindow(double t) {
    return t - std::floor(t / shootingStarPeriod) * shootingStarPeriod < shootingStarWindow;
}

double PacedSchedule::frameAfter(double t, double fps, bool shootingStars) {
    const double rate = shootingStars && inShootingStarWindow(t) ? shootingStarRate : fps;
    double next = (std::floor(rate * t) + 1) / rate;
    // Rounding could land back on t; a timeline must always move forward.
    if (next <= t) next = (std::floor(rate * t) + 2) / rate;
    return next;
}

std::optional<double> PacedSchedule::Entries::nextSeconds() {
    if (stopped_) return std::nullopt;
    t_ = frameAfter(t_, fps_, shootingStars_);
    return t_;
}

std::optional<Platform::Clock::TimePoint> PacedSchedule::Entries::next() {
    auto s = nextSeconds();
    if (!s) return std::nullopt;
    return Platform::dateFromReferenceSeconds(*s);
}

PacedSchedule::Entries PacedSchedule::entries(Platform::Clock::TimePoint from, Mode mode) const {
    return entriesFromSeconds(Platform::secondsSinceReferenceDate(from), mode);
}

PacedSchedule::Entries PacedSchedule::entriesFromSeconds(double from, Mode mode) const {
    return Entries(from, fps, shootingStars, isPaused || mode == Mode::lowFrequency);
}

// --- PacedTimeline

PacedTimeline::PacedTimeline(double fps, bool shootingStars, QObject* parent)
    : QObject(parent), current_(Platform::secondsSinceReferenceDate(Platform::clock().now())) {
    schedule_.fps = fps;
    schedule_.shootingStars = shootingStars;
    schedule_.isPaused = true;
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &PacedTimeline::deliverDueFrame);
}

long long PacedTimeline::totalScheduledFrames() { return allScheduled.load(); }

void PacedTimeline::setPaused(bool paused) {
    if (paused == paused_) return;
    paused_ = paused;
    restart();
}

void PacedTimeline::setFps(double fps) {
    if (fps == schedule_.fps || !(fps > 0)) return;
    schedule_.fps = fps;
    if (!paused_) restart();
}

void PacedTimeline::restart() {
    timer_.stop();
    pending_.reset();
    schedule_.isPaused = paused_;
    // Never before the frame on display: a new rate set while that frame is
    // delivered must not deliver it again.
    const double now = Platform::secondsSinceReferenceDate(Platform::clock().now());
    entries_ = schedule_.entriesFromSeconds(std::max(now, current_));
    pending_ = entries_->nextSeconds();
    if (pending_) arm();
}

void PacedTimeline::arm() {
    const double wait = *pending_ - Platform::secondsSinceReferenceDate(Platform::clock().now());
    timer_.start(std::max(0, static_cast<int>(std::ceil(wait * 1000.0))));
    ++scheduled_;
    allScheduled.fetch_add(1, std::memory_order_relaxed);
}

void PacedTimeline::deliverDueFrame() {
    if (!pending_ || !entries_) return;
    timer_.stop();
    const double now = Platform::secondsSinceReferenceDate(Platform::clock().now());
    // After a stall, show the newest due frame instead of replaying the missed ones.
    double due = *pending_;
    std::optional<double> next = entries_->nextSeconds();
    while (next && *next <= now) {
        due = *next;
        next = entries_->nextSeconds();
    }
    current_ = due;
    pending_ = next;
    if (pending_) arm();
    emit frame(due);
}
