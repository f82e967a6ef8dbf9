#pragma once
#include <QObject>

#include <optional>

#include "Platform/Clock.h"

// Frame dates for the continuous animations: a fixed grid of `fps` frames per
// second counted from the reference date (so every view with the same rate draws
// on the same instants), 30 per second inside the shooting-star windows, nothing
// while paused.
struct PacedSchedule {
    double fps = 12;
    bool isPaused = false;
    bool shootingStars = false;

    // The framework's low-frequency mode (an idle or dimmed window) stops a schedule
    // like a pause does.
    enum class Mode { normal, lowFrequency };

    static constexpr double shootingStarPeriod = 11.0;  // seconds between windows
    static constexpr double shootingStarWindow = 0.95;  // seconds at the start of each period
    static constexpr double shootingStarRate = 30.0;

    // A one-pass sequence of frame dates; each call to next() yields the following one.
    class Entries {
    public:
        // Seconds since the reference date; nothing when the schedule is stopped.
        std::optional<double> nextSeconds();
        std::optional<Platform::Clock::TimePoint> next();
        bool stopped() const { return stopped_; }

    private:
        friend struct PacedSchedule;
        Entries(double t, double fps, bool shootingStars, bool stopped)
            : t_(t), fps_(fps), shootingStars_(shootingStars), stopped_(stopped) {}
        double t_;
        double fps_;
        bool shootingStars_;
        bool stopped_;
    };

    Entries entries(Platform::Clock::TimePoint from, Mode mode = Mode::normal) const;
    Entries entriesFromSeconds(double fromReferenceSeconds, Mode mode = Mode::normal) const;

    // The first grid point strictly after t at the rate that applies at t.
    static double frameAfter(double t, double fps, bool shootingStars);
    static bool inShootingStarWindow(double t);
};

// Drives one animated view from a PacedSchedule: its next frame date is armed only
// while the schedule runs, so a paused timeline arms nothing and a hidden window
// costs nothing. Every timeline waits on one shared timer, and all frames due at
// the same instant are delivered together, so the views they move are drawn in
// one pass rather than one pass each.
class PacedTimeline : public QObject {
    Q_OBJECT
public:
    PacedTimeline(double fps, bool shootingStars, QObject* parent = nullptr);
    ~PacedTimeline() override;

    // A new pause state builds a new schedule from now; the next frame is the
    // next grid point.
    void setPaused(bool paused);
    bool isPaused() const { return paused_; }
    // A new rate takes over from now: the next frame is the next point of its grid.
    void setFps(double fps);
    double fps() const { return schedule_.fps; }

    // The date of the frame on display, in seconds since the reference date.
    double currentTime() const { return current_; }
    // The date the armed timer waits for, if any.
    std::optional<double> pendingTime() const { return pending_; }
    bool isScheduled() const { return pending_.has_value(); }

    // How many frame timers this timeline has armed, and all timelines together.
    long long scheduledFrames() const { return scheduled_; }
    static long long totalScheduledFrames();

    // Delivers the due frame now, as the timer would (tests step the clock and call it).
    void deliverDueFrame();

signals:
    void frame(double t);

private:
    void restart();
    void arm();

    PacedSchedule schedule_;
    std::optional<PacedSchedule::Entries> entries_;
    std::optional<double> pending_;
    double current_;
    bool paused_ = true;
    long long scheduled_ = 0;
};
