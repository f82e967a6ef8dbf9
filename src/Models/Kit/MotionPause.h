#pragma once
#include <QObject>

// The one switch that rests every continuous animation: while a scroll view that
// opted in is scrolling, and while no main window is on screen. Beside it, whether
// the desktop asks for less motion, which rests the heroes.
class MotionPause final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool scrolling READ scrolling WRITE setScrolling NOTIFY scrollingChanged)
    Q_PROPERTY(bool hidden READ hidden WRITE setHidden NOTIFY hiddenChanged)
    Q_PROPERTY(bool reduceMotion READ reduceMotion WRITE setReduceMotion NOTIFY reduceMotionChanged)
public:
    static MotionPause& shared();

    bool scrolling() const { return scrolling_; }
    bool hidden() const { return hidden_; }
    bool reduceMotion() const { return reduceMotion_; }
    // Writing the current value notifies nobody.
    void setScrolling(bool v);
    void setHidden(bool v);
    void setReduceMotion(bool v);

signals:
    void scrollingChanged(bool scrolling);
    void hiddenChanged(bool hidden);
    void reduceMotionChanged(bool reduce);

private:
    MotionPause() = default;
    bool scrolling_ = false;
    bool hidden_ = false;
    bool reduceMotion_ = false;
};
