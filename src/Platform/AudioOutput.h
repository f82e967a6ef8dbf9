#pragma once
#include <vector>

// Where short sounds go: mono float samples, played in the order they are handed
// in, each behind the one still playing. The application installs the device-backed
// one; with none installed every sound is dropped.
namespace Platform {
class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Samples per second to render at.
    virtual int sampleRate() = 0;
    virtual void play(std::vector<float> samples) = 0;
};

AudioOutput* audioOutput();
// Installs the output for the whole process; nullptr silences it.
void setAudioOutput(AudioOutput* output);
}  // namespace Platform
