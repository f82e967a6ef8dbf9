#pragma once
// The toolkit's animations advanced by steps the test takes rather than by real
// time, so a test can look at one mid-way whatever the machine's load.
#include <QAbstractAnimation>
#include <QCoreApplication>

#include <algorithm>

namespace qttest {
class SteppedAnimations : public QAnimationDriver {
public:
    SteppedAnimations() { install(); }
    ~SteppedAnimations() override { uninstall(); }
    SteppedAnimations(const SteppedAnimations&) = delete;
    SteppedAnimations& operator=(const SteppedAnimations&) = delete;

    qint64 elapsed() const override { return elapsed_; }
    // Moves every running animation `ms` on, in frames of at most 16 ms; events are
    // handled between frames, as animations that start are registered through them.
    void step(int ms) {
        QCoreApplication::processEvents();
        for (int left = ms; left > 0; left -= 16) {
            elapsed_ += std::min(left, 16);
            advance();
            QCoreApplication::processEvents();
        }
    }

private:
    qint64 elapsed_ = 0;
};
}  // namespace qttest
