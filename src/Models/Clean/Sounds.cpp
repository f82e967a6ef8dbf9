#include "Models/Clean/Sounds.h"

#include "Core/Clean/CompletionSound.h"
#include "Models/Clean/Shockwave.h"
#include "Models/Settings/Preferences.h"
#include "Platform/AudioOutput.h"

namespace Sounds {
void whoomp(double strength) {
    auto& wave = Shockwave::shared();
    wave.setStrength(strength);
    wave.setStart(Platform::clock().now());
    if (!Preferences::shared().sounds()) return;
    if (auto* output = Platform::audioOutput()) output->play(render(output->sampleRate()));
}
}  // namespace Sounds
