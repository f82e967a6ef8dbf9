#pragma once
#include <QObject>
#include <QVariantAnimation>

// A spring animation's progress from 0 to 1, as a function of time: `response`
// is the period of the undamped oscillation in seconds, `dampingFraction` 1 is
// critically damped (no overshoot), below 1 it overshoots.
struct Spring {
    double response = 0.5;
    double dampingFraction = 0.85;

    double value(double seconds) const;
    // When the motion stays within `tolerance` of its end (the animation's length).
    double settlingTime(double tolerance = 0.001) const;

    static constexpr Spring tabSelection() { return {0.35, 1.0}; }
    static constexpr Spring standard() { return {0.5, 0.85}; }
};

// Runs a Spring on the toolkit's animation clock and reports its progress.
class SpringAnimator : public QObject {
    Q_OBJECT
public:
    explicit SpringAnimator(QObject* parent = nullptr);
    void start(Spring spring);
    void stop();
    bool isRunning() const;
    double progress() const { return progress_; }

signals:
    void progressChanged(double progress);
    void finished();

private:
    QVariantAnimation animation_;
    Spring spring_;
    double progress_ = 1.0;
};
