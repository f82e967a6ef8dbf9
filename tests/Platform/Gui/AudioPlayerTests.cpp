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

#include <sys/resource.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "Core/Clean/CompletionSound.h"
#include "Support/TestTree.h"

namespace {
// Runs the event loop until `done` holds; false once the generous deadline has passed.
bool waitFor(const std::function<bool()>& done, int ms = 30000) {
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
        // Sound plays in real time: where it may, the test puts the server, the recorder
        // and itself (the player's feed runs on its thread) ahead of other work.
        ::setpriority(PRIO_PROCESS, 0, -10);
        for (QProcess* p : {&server_, &recorder_}) p->setChildProcessModifier([] { ::setpriority(PRIO_PROCESS, 0, -10); });
        server_.setProcessEnvironment(env);
        server_.start(pulseaudio, {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                                   "--disable-shm=yes", "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + socket_,
                                   "-L", "module-null-sink sink_name=null rate=44100"});
        const auto serving = [&] { return server_.state() != QProcess::NotRunning; };
        if (!waitFor([&] { return !serving() || QFileInfo::exists(socket_); }) || !serving()) return false;
        qputenv("PULSE_SERVER", ("unix:" + socket_).toLocal8Bit());
        env.insert("PULSE_SERVER", "unix:" + socket_);
        recorder_.setProcessEnvironment(env);
        recorder_.start(parec, {"-d", "null.monitor", "--format=float32le", "--rate=44100", "--channels=1",
                                "--latency-msec=20"});
        // An idle null sink renders seconds ahead: once the recorder is attached, a suspend
        // and resume has it render at the recorder's short latency from then on.
        if (!waitFor([&] { return !pactl({"list", "short", "source-outputs"}).isEmpty(); })) return false;
        pactl({"suspend-sink", "null", "1"});
        pactl({"suspend-sink", "null", "0"});
        return waitFor([&] { return recorder_.bytesAvailable() > 0; });
    }
    ~NullSink() {
        for (QProcess* p : {&recorder_, &server_}) {
            p->terminate();
            if (!p->waitForFinished(5000)) p->kill();
        }
        qunsetenv("PULSE_SERVER");
    }
    // Everything the sink played since recording began.
    const std::vector<float>& heard() {
        QCoreApplication::processEvents();
        bytes_ += recorder_.readAll();
        const qsizetype whole = bytes_.size() / qsizetype(sizeof(float));
        const size_t at = heard_.size();
        heard_.resize(at + size_t(whole));
        std::memcpy(heard_.data() + at, bytes_.constData(), size_t(whole) * sizeof(float));
        bytes_.remove(0, whole * qsizetype(sizeof(float)));
        return heard_;
    }
    QString pactl(const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PULSE_SERVER", "unix:" + socket_);
        p.setProcessEnvironment(env);
        p.start("pactl", args);
        p.waitForFinished(30000);
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }

private:
    QTemporaryDir dir_;
    QString socket_;
    QProcess server_, recorder_;
    QByteArray bytes_;
    std::vector<float> heard_;
};

size_t firstAbove(const std::vector<float>& samples, float level) {
    for (size_t i = 0; i < samples.size(); ++i)
        if (std::fabs(samples[i]) > level) return i;
    return samples.size();
}
size_t firstAudible(const std::vector<float>& samples) { return firstAbove(samples, 1e-4f); }
// Where a sound gets loud: a point that survives the sink's coarser samples.
size_t onset(const std::vector<float>& samples) {
    float peak = 0;
    for (float s : samples) peak = std::max(peak, std::fabs(s));
    return firstAbove(samples, peak / 10);
}

size_t lastAudible(const std::vector<float>& samples) {
    for (size_t i = samples.size(); i-- > 0;)
        if (std::fabs(samples[i]) > 1e-4f) return i;
    return 0;
}

// Best normalised correlation of `wanted` against `heard` starting within `slack` samples of `at`.
double correlation(const std::vector<float>& heard, const std::vector<float>& wanted, size_t at, size_t slack = 64) {
    double best = 0;
    for (size_t from = at > slack ? at - slack : 0; from <= at + slack && from + wanted.size() <= heard.size(); ++from) {
        double xy = 0, xx = 0, yy = 0;
        for (size_t i = 0; i < wanted.size(); ++i) {
            xy += double(heard[from + i]) * wanted[i];
            xx += double(heard[from + i]) * heard[from + i];
            yy += double(wanted[i]) * wanted[i];
        }
        if (xx > 0 && yy > 0) best = std::max(best, xy / std::sqrt(xx * yy));
    }
    return best;
}
}  // namespace

// Without a server every sound is dropped at once, and quietly: nothing on the console.
TEST(AudioPlayer, SilentWithoutAnAudioServer) {
    static QStringList printed;
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) {
        printed << m;
    });
    const QTemporaryDir runtime;  // no server's socket in it
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"none named, none in the runtime folder", std::nullopt},
        {"a named socket that is not there", "unix:/nonexistent/quelto-test-socket"},
        {"a machine's named socket that is not there", "{0123abcd}unix:/nonexistent/quelto-test-socket"},
    };
    for (const auto& [name, server] : cases) {
        testtree::ScopedEnv pulse("PULSE_SERVER", server), dir("XDG_RUNTIME_DIR", runtime.path().toStdString());
        printed.clear();
        Platform::AudioPlayer player;
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(player.sampleRate(), 0) << name;
        player.play(std::vector<float>(1000, 0.1f));
        EXPECT_LT(timer.elapsed(), 1000) << name;
        EXPECT_EQ(player.opens(), 0) << name;
        EXPECT_FALSE(player.isOpen()) << name;
        EXPECT_EQ(printed.join(QLatin1Char('\n')).toStdString(), "") << name;
    }
    qInstallMessageHandler(previous);
}

TEST(AudioPlayer, QueuesSoundsThroughANullSinkAndClosesWhenDrained) {
    NullSink sink;
    if (!sink.start()) GTEST_SKIP() << "no PulseAudio server could be started here";
    Platform::AudioPlayer player;
    ASSERT_EQ(player.sampleRate(), 44100);
    // Half a second of the completion sound: long enough to hand a second in while it plays.
    const std::vector<float> whole = Sounds::render(44100);
    const std::vector<float> sound(whole.begin(), whole.begin() + 22050);

    player.play(sound);
    // Handed in while the first plays: it follows the first instead of mixing into it.
    ASSERT_TRUE(waitFor([&] { return firstAudible(sink.heard()) < sink.heard().size(); }));
    player.play(sound);
    EXPECT_EQ(player.opens(), 1);
    ASSERT_TRUE(waitFor([&] { return !player.isOpen(); }));
    EXPECT_TRUE(waitFor([&] { return sink.pactl({"list", "short", "sink-inputs"}).isEmpty(); }));
    // Recorded until a quarter second of silence follows the sounds.
    ASSERT_TRUE(waitFor([&] { return sink.heard().size() > lastAudible(sink.heard()) + 11025; }));
    const std::vector<float>& heard = sink.heard();

    EXPECT_NEAR(double(lastAudible(heard) - firstAudible(heard)) / 44100, 2 * 0.5, 0.1);
    const size_t start = onset(heard) - onset(sound);
    EXPECT_GT(correlation(heard, sound, start), 0.95);
    EXPECT_GT(correlation(heard, sound, start + sound.size()), 0.95);

    // The next sound opens the device again.
    player.play(sound);
    EXPECT_EQ(player.opens(), 2);
    EXPECT_TRUE(player.isOpen());
}
