#pragma once

namespace Sounds {
// Marks the end of a run that removed something: starts the shockwave at this
// strength and, while the "sounds" setting is on, plays the completion sound
// behind any still playing. Main thread; returns at once.
void whoomp(double strength);
}  // namespace Sounds
