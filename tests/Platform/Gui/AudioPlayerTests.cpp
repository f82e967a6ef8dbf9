#include "Platform/Gui/AudioPlayer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "Core/Clean/CompletionSound.h"

namespace {
bool waitFor(const std::function<bool()>& done, int ms) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// A private sound server with one null sink, and a recording of what reaches it.
class NullSink {
public:
    bool start() {
        const QString pulseaudio = QStandardPaths::findExecutable("pulseaudio");
        const QString parec = QStandardPaths::findExecutable("parec");
        if (pulseaudio.isEmpty() || parec.isEmpty() || !dir_.isValid()) return false;
        socket_ = dir_.path() + "/native";
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", dir_.path());
        env.insert("XDG_RUNTIME_DIR", dir_.path());
        server_.setProcessEnvironment(env);
        server_.start(pulseaudio, {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                                   "--disable-shm=yes", "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + socket_,
                                   "-L", "module-null-sink sink_name=null rate=44100"});
        if (!waitFor([&] { return QFileInfo::exists(socket_); }, 5000)) return false;
        qputenv("PULSE_SERVER", ("unix:" + socket_).toLocal8Bit());
        env.insert("PULSE_SERVER", "unix:" + socket_);
        recorder_.setProcessEnvironment(env);
        recorder_.start(parec, {"-d", "null.monitor", "--format=float32le", "--rate=44100", "--channels=1",
                                "--latency-msec=20"});
        return waitFor([&] { return recorder_.bytesAvailable() > 0; }, 5000);
    }
    ~NullSink() {
        for (QProcess* p : {&recorder_, &server_}) {
            p->terminate();
            if (!p->waitForFinished(2000)) p->kill();
        }
        qunsetenv("PULSE_SERVER");
    }
    // What the sink played since the last call.
    std::vector<float> take() {
        QCoreApplication::processEvents();
        const QByteArray bytes = recorder_.readAll();
        std::vector<float> out(static_cast<size_t>(bytes.size()) / sizeof(float));
        std::memcpy(out.data(), bytes.constData(), out.size() * sizeof(float));
        return out;
    }
    QString pactl(const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PULSE_SERVER", "unix:" + socket_);
        p.setProcessEnvironment(env);
        p.start("pactl", args);
        p.waitForFinished(5000);
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }

private:
    QTemporaryDir dir_;
    QString socket_;
    QProcess server_, recorder_;
};

// Best normalised correlation of `wanted` against `heard` over the given start offsets.
double correlation(const std::vector<float>& heard, const std::vector<float>& wanted, size_t from, size_t to) {
    double best = 0;
    for (size_t at = from; at <= to && at + wanted.size() <= heard.size(); ++at) {
        double xy = 0, xx = 0, yy = 0;
        for (size_t i = 0; i < wanted.size(); ++i) {
            xy += double(heard[at + i]) * wanted[i];
            xx += double(heard[at + i]) * heard[at + i];
            yy += double(wanted[i]) * wanted[i];
        }
        if (xx > 0 && yy > 0) best = std::max(best, xy / std::sqrt(xx * yy));
    }
    return best;
}
}  // namespace

TEST(AudioPlayer, SilentWithoutAnAudioServer) {
    qputenv("PULSE_SERVER", "unix:/nonexistent/quelto-test-socket");
    Platform::AudioPlayer player;
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(player.sampleRate(), 0);
    player.play(std::vector<float>(1000, 0.1f));
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_EQ(player.opens(), 0);
    EXPECT_FALSE(player.isOpen());
    qunsetenv("PULSE_SERVER");
}

TEST(AudioPlayer, QueuesSoundsThroughANullSinkAndClosesWhenDrained) {
    NullSink sink;
    if (!sink.start()) GTEST_SKIP() << "no PulseAudio server could be started here";
    Platform::AudioPlayer player;
    ASSERT_EQ(player.sampleRate(), 44100);
    const std::vector<float> sound = Sounds::render(44100);
    sink.take();

    player.play(sound);
    QThread::msleep(200);
    player.play(sound);  // follows the first instead of mixing into it
    EXPECT_EQ(player.opens(), 1);
    ASSERT_TRUE(waitFor([&] { return !player.isOpen(); }, 8000));
    EXPECT_EQ(sink.pactl({"list", "short", "sink-inputs"}), "");
    const std::vector<float> heard = sink.take();

    size_t first = heard.size(), last = 0;
    for (size_t i = 0; i < heard.size(); ++i)
        if (std::fabs(heard[i]) > 1e-4f) first = std::min(first, i), last = i;
    ASSERT_LT(first, heard.size());
    EXPECT_NEAR(double(last - first) / 44100, 2 * 1.7, 0.25);
    const size_t lead = first > 3000 ? first - 3000 : 0;
    EXPECT_GT(correlation(heard, sound, lead, first), 0.95);
    EXPECT_GT(correlation(heard, sound, lead + sound.size(), first + sound.size()), 0.95);

    // The next sound opens the device again.
    player.play(sound);
    EXPECT_EQ(player.opens(), 2);
    EXPECT_TRUE(player.isOpen());
}
