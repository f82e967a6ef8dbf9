#pragma once
// Measuring a window at rest: processor time against wall time, and the animation
// frames scheduled meanwhile.
#include <sys/resource.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <functional>

#include "BenchSupport.h"
#include "Models/Kit/PacedSchedule.h"

namespace bench {

// Draws offscreen unless an X server (or another platform) is given.
inline void offscreenWithoutDisplay() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

inline double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

inline void runFor(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds, for two seconds at most.
inline bool settle(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 2000) runFor(0.02);
    runFor(0.2);
    return done();
}

struct Measure {
    double wall, cpu;
    long long frames;
    double share() const { return wall > 0 ? 100.0 * cpu / wall : 0; }
};

inline Measure measure(double seconds) {
    const long long frames0 = PacedTimeline::totalScheduledFrames();
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runFor(seconds);
    return {wall.nsecsElapsed() / 1e9, cpuSeconds() - cpu0, PacedTimeline::totalScheduledFrames() - frames0};
}

}  // namespace bench
