#pragma once
#include <QObject>

#include <optional>

#include "Platform/Clock.h"

// The latest completion shockwave, which every visible hero draws. One record for
// the process; main thread only. Each field notifies only when it changes.
class Shockwave : public QObject {
    Q_OBJECT

public:
    using TimePoint = Platform::Clock::TimePoint;

    static Shockwave& shared();
    explicit Shockwave(QObject* parent = nullptr) : QObject(parent) {}

    // When the latest shockwave began (wall clock); none before the first.
    std::optional<TimePoint> start() const { return start_; }
    // How far its rings travel.
    double strength() const { return strength_; }
    void setStart(std::optional<TimePoint> value);
    void setStrength(double value);

    struct Live {
        TimePoint start;
        double strength;
    };
    // The shockwave while it runs at `now`: from its start until strength + 1.9 s
    // later. A clock stepped back before the start does not keep it alive.
    std::optional<Live> live(TimePoint now) const;
    // Seconds a shockwave of this strength lasts.
    static double duration(double strength) { return strength + 1.9; }

signals:
    void startChanged();
    void strengthChanged(double value);

private:
    std::optional<TimePoint> start_;
    double strength_ = 0.6;
};
