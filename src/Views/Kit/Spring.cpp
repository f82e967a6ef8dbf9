#include "Views/Kit/Spring.h"

#include <algorithm>
#include <cmath>
#include <numbers>

double Spring::value(double t) const {
    if (t <= 0) return 0.0;
    const double w = 2 * std::numbers::pi / std::max(response, 1e-6);
    const double z = std::max(dampingFraction, 0.0);
    if (z < 1.0) {
        const double wd = w * std::sqrt(1 - z * z);
        return 1 - std::exp(-z * w * t) * (std::cos(wd * t) + (z * w / wd) * std::sin(wd * t));
    }
    if (z == 1.0) return 1 - std::exp(-w * t) * (1 + w * t);
    // Overdamped: two real decay rates.
    const double s = w * std::sqrt(z * z - 1);
    const double r1 = -z * w + s, r2 = -z * w - s;
    return 1 - (r2 * std::exp(r1 * t) - r1 * std::exp(r2 * t)) / (r2 - r1);
}

double Spring::settlingTime(double tolerance) const {
    constexpr double step = 0.001, limit = 10.0;
    double last = 0;
    for (double t = step; t < limit; t += step)
        if (std::abs(1 - value(t)) >= tolerance) last = t;
    return last + step;
}

SpringAnimator::SpringAnimator(QObject* parent) : QObject(parent) {
    animation_.setStartValue(0.0);
    animation_.setEndValue(1.0);
    connect(&animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        // The animation runs linearly over the settling time; the spring shapes it.
        progress_ = spring_.value(v.toDouble() * animation_.duration() / 1000.0);
        emit progressChanged(progress_);
    });
    connect(&animation_, &QVariantAnimation::finished, this, [this] {
        progress_ = 1.0;
        emit progressChanged(1.0);
        emit finished();
    });
}

void SpringAnimator::start(Spring spring) {
    animation_.stop();
    spring_ = spring;
    progress_ = 0.0;
    animation_.setDuration(std::max(1, int(std::lround(spring.settlingTime() * 1000))));
    animation_.start();
}

void SpringAnimator::stop() {
    if (animation_.state() == QAbstractAnimation::Stopped) return;
    animation_.stop();
    progress_ = 1.0;
    emit progressChanged(1.0);
    emit finished();
}

bool SpringAnimator::isRunning() const { return animation_.state() == QAbstractAnimation::Running; }
