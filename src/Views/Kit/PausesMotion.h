#pragma once

class QAbstractScrollArea;

// Opts a scroll view in: while the user scrolls it, the continuous animations
// rest (MotionPause.scrolling), so scrolling stays smooth. One flag serves every
// opted-in view: the last one to start or stop scrolling decides it.
void pausesMotionWhileScrolling(QAbstractScrollArea* area);
