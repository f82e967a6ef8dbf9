#pragma once
#include <QAudioDevice>
#include <QAudioFormat>
#include <QObject>
#include <QTimer>

#include <memory>

#include "Platform/AudioOutput.h"

class QAudioSink;

namespace Platform {
// Plays mono float sounds through the default audio device. The sink pulls from a
// queue of our own, so a sound handed in while another plays follows it. The
// device is opened on a sound and closed once the queue has drained and the
// device has played out what it holds; the next sound opens it again. Without a
// sound server or an audio device every sound is dropped. Main thread only.
class AudioPlayer : public QObject, public AudioOutput {
    Q_OBJECT

public:
    explicit AudioPlayer(QObject* parent = nullptr);
    ~AudioPlayer() override;

    // 44,100 when the device takes it, else the device's own rate; 0 without a device.
    int sampleRate() override;
    void play(std::vector<float> samples) override;

    // Tests: how often the device was opened, and whether it is open now.
    int opens() const { return opens_; }
    bool isOpen() const;

private:
    class Queue;
    bool prepare();
    void stateChanged();

    std::unique_ptr<Queue> queue_;
    std::unique_ptr<QAudioSink> sink_;
    QAudioDevice device_;
    QAudioFormat format_;
    QTimer close_;
    int opens_ = 0;
};
}  // namespace Platform
