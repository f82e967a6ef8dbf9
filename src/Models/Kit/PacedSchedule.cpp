#include "Models/Kit/PacedSchedule.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include <QPointer>
#include <QTimer>

namespace {
std::atomic<long long> allScheduled{0};

// The one timer every running timeline waits on. It wakes for the earliest pending
// frame and hands out every frame due within a millisecond of it, so frames of the
// same instant (any rates whose grids meet there) land in the same pass of the
// event loop and their views are painted together. Main thread only.
class FrameTicker : public QObject {
public:
    static void wait(PacedTimeline* timeline) {
        if (!instance) instance = new FrameTicker;  // lives for the whole run
        if (!instance->waiting_.contains(timeline)) instance->waiting_.append(timeline);
        instance->rearm();
    }
    static void cancel(PacedTimeline* timeline) {
        if (instance && instance->waiting_.removeAll(timeline) > 0) instance->rearm();
    }

private:
    static constexpr double together = 0.001;  // seconds

    FrameTicker() {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        connect(&timer_, &QTimer::timeout, this, &FrameTicker::fire);
    }
    std::optional<double> earliest() const {
        std::optional<double> first;
        for (const PacedTimeline* t : waiting_)
            if (auto due = t->pendingTime(); due && (!first || *due < *first)) first = due;
        return first;
    }
    void rearm() {
        if (firing_) return;  // once every due frame is out
        const auto first = earliest();
        if (!first) {
            timer_.stop();
            armedFor_.reset();
            return;
        }
        if (armedFor_ == first && timer_.isActive()) return;
        armedFor_ = first;
        const double wait = *first - Platform::secondsSinceReferenceDate(Platform::clock().now());
        timer_.start(std::max(0, static_cast<int>(std::ceil(wait * 1000.0))));
    }
    void fire() {
        armedFor_.reset();
        const auto first = earliest();
        if (!first) return;
        // A frame handler may pause, restart or delete any timeline: deliver from a
        // copy, and only to those still waiting for a frame of this instant.
        QList<QPointer<PacedTimeline>> due;
        for (PacedTimeline* t : std::as_const(waiting_))
            if (t->pendingTime() && *t->pendingTime() <= *first + together) due.append(t);
        firing_ = true;
        for (const auto& t : due)
            if (t && waiting_.contains(t.data()) && t->pendingTime() && *t->pendingTime() <= *first + together)
                t->deliverDueFrame();
        firing_ = false;
        rearm();
    }

    static inline FrameTicker* instance = nullptr;
    QList<PacedTimeline*> waiting_;
    bool firing_ = false;
    QTimer timer_;
    std::optional<double> armedFor_;
};
}  // namespace

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
}

PacedTimeline::~PacedTimeline() { FrameTicker::cancel(this); }

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
    pending_.reset();
    schedule_.isPaused = paused_;
    // Never before the frame on display: a new rate set while that frame is
    // delivered must not deliver it again.
    const double now = Platform::secondsSinceReferenceDate(Platform::clock().now());
    entries_ = schedule_.entriesFromSeconds(std::max(now, current_));
    pending_ = entries_->nextSeconds();
    if (pending_) arm();
    else FrameTicker::cancel(this);
}

void PacedTimeline::arm() {
    FrameTicker::wait(this);
    ++scheduled_;
    allScheduled.fetch_add(1, std::memory_order_relaxed);
}

void PacedTimeline::deliverDueFrame() {
    if (!pending_ || !entries_) return;
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
    else FrameTicker::cancel(this);
    emit frame(due);
}
