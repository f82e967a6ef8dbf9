#include "Platform/AudioOutput.h"

#include <atomic>

namespace Platform {
namespace {
std::atomic<AudioOutput*> installed{nullptr};
}

AudioOutput* audioOutput() { return installed.load(std::memory_order_acquire); }
void setAudioOutput(AudioOutput* output) { installed.store(output, std::memory_order_release); }
}  // namespace Platform
