#include "Models/MotionPause.h"

MotionPause& MotionPause::shared() {
    static MotionPause* instance = new MotionPause;  // lives for the whole run
    return *instance;
}

void MotionPause::setScrolling(bool v) {
    if (v == scrolling_) return;
    scrolling_ = v;
    emit scrollingChanged(v);
}

void MotionPause::setHidden(bool v) {
    if (v == hidden_) return;
    hidden_ = v;
    emit hiddenChanged(v);
}
