#pragma once
// What the cleaning-list tests share: a recording audio output, and running a
// model coroutine to its end while the stepped clocks move.
#include <QCoreApplication>
#include <QCoroTask>
#include <QElapsedTimer>

#include <vector>

#include "Platform/AudioOutput.h"
#include "Support/SteppedTime.h"

namespace cleantest {
struct FakeAudio : Platform::AudioOutput {
    int asked = 0;
    std::vector<std::vector<float>> played;
    FakeAudio() { Platform::setAudioOutput(this); }
    ~FakeAudio() override { Platform::setAudioOutput(nullptr); }
    int sampleRate() override {
        ++asked;
        return 48000;
    }
    void play(std::vector<float> samples) override { played.push_back(std::move(samples)); }
};

inline QCoro::Task<> markDone(QCoro::Task<> task, bool* done) {
    co_await task;
    *done = true;
}

// Runs `task` to its end, delivering queued calls and stepping the monotonic
// clock by `step` seconds at a time; false when it has not ended within `ms` of real time.
inline bool drive(steppedtime::Clocks& clocks, QCoro::Task<> task, double step = 0.05, int ms = 30000) {
    bool done = false;
    markDone(std::move(task), &done);
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!done) clocks.advance(step);
    }
    return done;
}
}  // namespace cleantest
