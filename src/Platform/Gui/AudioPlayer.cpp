#include "Platform/Gui/AudioPlayer.h"

#include <QAudioSink>
#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QMediaDevices>

#include <sys/stat.h>

#include <cstring>

namespace Platform {

namespace {
bool isSocket(const QString& path) {
    struct stat st{};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISSOCK(st.st_mode);
}

// Qt's sound backend reports on the console each time it finds no PulseAudio server
// (PipeWire's counts), so it is asked only once one is there: the server the
// environment names, or a socket where the client library looks for one.
bool soundServerIsUp() {
    const QString named = qEnvironmentVariable("PULSE_SERVER");
    if (!named.isEmpty()) {
        for (QString server : named.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (server.startsWith(QLatin1Char('{'))) server = server.mid(server.indexOf(QLatin1Char('}')) + 1);
            if (server.startsWith(QLatin1String("unix:"))) server = server.mid(5);
            // A network address can only be tried.
            if (!server.startsWith(QLatin1Char('/')) || isSocket(server)) return true;
        }
        return false;
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return (!runtime.isEmpty() && isSocket(runtime + QLatin1String("/pulse/native"))) ||
           isSocket(QStringLiteral("/var/run/pulse/native"));
}
}  // namespace

class AudioPlayer::Queue : public QIODevice {
public:
    Queue() { open(QIODevice::ReadOnly); }
    void append(const std::vector<float>& samples) {
        pending_.append(reinterpret_cast<const char*>(samples.data()),
                        static_cast<qsizetype>(samples.size() * sizeof(float)));
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return pending_.size() - read_ + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 max) override {
        const qint64 n = std::min(max, pending_.size() - read_);
        std::memcpy(data, pending_.constData() + read_, static_cast<size_t>(n));
        read_ += n;
        if (read_ == pending_.size()) {
            pending_.clear();
            read_ = 0;
        }
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray pending_;
    qint64 read_ = 0;
};

AudioPlayer::AudioPlayer(QObject* parent) : QObject(parent), queue_(std::make_unique<Queue>()) {
    close_.setSingleShot(true);
    connect(&close_, &QTimer::timeout, this, [this] {
        if (sink_ && sink_->state() == QAudio::IdleState) sink_->stop();
    });
}

AudioPlayer::~AudioPlayer() {
    if (sink_) sink_->stop();
}

bool AudioPlayer::isOpen() const {
    return sink_ && sink_->state() != QAudio::StoppedState;
}

// Asked again whenever the device is closed, so one that appears later is used.
bool AudioPlayer::prepare() {
    if (isOpen()) return true;
    if (!soundServerIsUp()) {
        device_ = {};
        return false;
    }
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        device_ = {};
        return false;
    }
    QAudioFormat format;
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Float);
    format.setSampleRate(44100);
    if (!device.isFormatSupported(format)) format.setSampleRate(device.preferredFormat().sampleRate());
    if (!device.isFormatSupported(format)) return false;
    if (!sink_ || device != device_ || format != format_) {
        sink_.reset();
        device_ = device;
        format_ = format;
        sink_ = std::make_unique<QAudioSink>(device_, format_);
        connect(sink_.get(), &QAudioSink::stateChanged, this, &AudioPlayer::stateChanged);
    }
    return true;
}

int AudioPlayer::sampleRate() { return prepare() ? format_.sampleRate() : 0; }

void AudioPlayer::play(std::vector<float> samples) {
    if (samples.empty() || !prepare()) return;
    close_.stop();
    queue_->append(samples);
    if (sink_->state() == QAudio::StoppedState) {
        ++opens_;
        sink_->start(queue_.get());
    }
}

void AudioPlayer::stateChanged() {
    if (!sink_ || sink_->state() != QAudio::IdleState) return;
    // The queue ran dry; what the device still holds plays out before it closes.
    const int bytesPerSecond = format_.bytesForDuration(1'000'000);
    const int held = bytesPerSecond > 0 ? (sink_->bufferSize() - sink_->bytesFree()) * 1000 / bytesPerSecond : 0;
    close_.start(std::max(held, 0) + 250);
}
}  // namespace Platform
