#include "Core/Clean/CompletionSound.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace Sounds {
namespace {
constexpr double kLength = 1.7;
constexpr double kPi = 3.14159265358979323846;

struct Chime {
    double onset, frequency, gain;
};
constexpr Chime chimes[] = {{0.55, 1318.5, 0.3}, {0.72, 1975.5, 0.2}, {0.9, 2637.0, 0.12}};
}  // namespace

std::vector<float> render(double sampleRate) {
    if (!(sampleRate > 0) || sampleRate > 1e6) return {};
    const auto frames = static_cast<uint32_t>(sampleRate * kLength);
    std::vector<float> out(frames);

    double phase = 0;
    uint32_t u = 625341585u;
    double l1 = 0, l2 = 0, m = 0;
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = i / sampleRate;
        const double p = t / kLength;
        // A one-pole low-pass whose cut-off glides from 1,420 Hz towards 120 Hz.
        const double a = std::exp(-2 * kPi * (120 + 1300 * std::exp(-3.2 * p)) / sampleRate);

        const double attack = std::sin(std::min(p / 0.35, 1.0) * kPi / 2);
        const double decay = p >= 0.35 ? std::exp(-3.4 * (p - 0.35)) : 1.0;

        phase += 2 * kPi * 73.4 / sampleRate;
        const double tone = std::sin(phase) + 0.35 * std::sin(2 * phase);
        const double toneEnvelope = std::exp(-2.4 * p) * std::sin(std::min(4 * p, 1.0) * kPi / 2);

        double c = 0;
        for (const auto& chime : chimes) {
            const double s = t - chime.onset;
            if (s < 0) continue;
            const double envelope = std::exp(-3.6 * s) * std::sin(std::min(s / 0.05, 1.0) * kPi / 2);
            c += std::sin(2 * kPi * chime.frequency * s + 0.8 * std::sin(2 * kPi * 5 * s)) * envelope * chime.gain;
        }

        u = u * 1664525u + 1013904223u;
        const double w = 2 * (u / 4294967295.0) - 1;
        l1 += (w - l1) * (1 - a);
        l2 += (l1 - l2) * (1 - a);
        m += (l2 - m) * 0.004;  // the slow drift, taken out below

        out[i] = static_cast<float>((tone * toneEnvelope * 0.35 + decay * attack * (l2 - m) * 2.2 + c * 0.5) * 0.03);
    }
    return out;
}
}  // namespace Sounds
