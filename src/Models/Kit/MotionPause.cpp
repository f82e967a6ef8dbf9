#include "Models/Kit/MotionPause.h"

#include "Models/Kit/AssignIfChanged.h"

MotionPause& MotionPause::shared() {
    static MotionPause* instance = new MotionPause;  // lives for the whole run
    return *instance;
}

void MotionPause::setScrolling(bool v) {
    if (assignIfChanged(scrolling_, v)) emit scrollingChanged(v);
}

void MotionPause::setHidden(bool v) {
    if (assignIfChanged(hidden_, v)) emit hiddenChanged(v);
}

void MotionPause::setReduceMotion(bool v) {
    if (assignIfChanged(reduceMotion_, v)) emit reduceMotionChanged(v);
}
