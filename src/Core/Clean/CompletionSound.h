#pragma once
#include <vector>

namespace Sounds {
// The completion sound, 1.7 s of mono samples at the given rate: a low body tone,
// filtered noise whose cut-off glides down, and three bell chimes. The same
// samples on every call.
std::vector<float> render(double sampleRate);
}  // namespace Sounds
