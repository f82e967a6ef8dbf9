// The Analyze tab over one folder of N empty files (20,000, 40,000 and 80,000), in the
// program's window over its analyzer model and size service, beside gdu's peak resident
// size for the same folder in the same run:
//  - the resident growth from before the listing to the N rows shown (and its peak), and
//    the bytes a row;
//  - the window's thread's processor time for the listing, for listing again after
//    "Measure again", and after a change on disk that touched every row (each file told
//    to the size service as changed, from a worker), with the longest single stretch of
//    the window's thread in each (one event dispatched, or one call made from here);
//  - scrolling the detail table through every row, a page at a time: the longest stretch;
//  - "Select all" and "Move to Trash" of every row: the window's thread's time;
//  - the resident size after the rows go: another folder opened, every row removed;
// over three rounds. Targets: growth at most gdu's peak, each pass at most 100 ms of the
// window's thread with no stretch over 50 ms, and the resident size after the rows go
// within 20 % of what it was before them, in every round.
//
//   analyze_memory [--rounds N] [--sizes 20000,40000,80000] [--no-removal] [--folders]
// (--folders: each row an empty folder, measured by the size service, not a file)
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>

#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "BenchSupport.h"
#include "Core/Disk/SizeService.h"
#include "Models/Analyze/AnalyzeModel.h"
#include "Models/Window/AppState.h"
#include "Platform/Locations.h"
#include "Platform/Memory.h"
#include "Models/Settings/Preferences.h"
#include "Views/Analyze/DetailTable.h"
#include "Views/Analyze/OrbitChart.h"
#include "Views/Window/MainWindow.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/Theme.h"

extern char** environ;

namespace {
namespace fs = std::filesystem;

using bench::threadSeconds;

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double residentMiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return double(resident) * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double highWaterMiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

void resetHighWater() { std::ofstream("/proc/self/clear_refs") << "5"; }

// gdu's peak resident size over the folder. A child's peak counts the memory of the
// process it was made from until it runs a program of its own, so gdu is started from a
// small process (this program run afresh with "--gdu-peak"), which reports it.
double gduPeakMiB(const fs::path& folder) {
    int out[2];
    if (::pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string self = fs::read_symlink("/proc/self/exe").string(), path = folder.string();
    char* argv[] = {self.data(), const_cast<char*>("--gdu-peak"), path.data(), nullptr};
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string said;
    char buffer[64];
    for (ssize_t n; !failed && (n = ::read(out[0], buffer, sizeof buffer)) > 0;) said.append(buffer, size_t(n));
    ::close(out[0]);
    int status = 0;
    if (failed || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::atof(said.c_str()) / 1024.0;
}

// In the small process: runs gdu and prints its peak in KiB.
int reportGduPeak(const char* folder) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execl("/usr/bin/gdu", "gdu", "-n", "-x", "-s", "-p", "--no-prefix", folder, nullptr);
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
    std::printf("%ld\n", usage.ru_maxrss);
    return 0;
}

// The window's thread, timed by what it dispatches: the longest single stretch is the
// longest the event loop went without serving a timer due every 5 ms (one event, or
// a run of queued ones handled in one go), or a call made from here.
class TimedApp : public QApplication {
public:
    TimedApp(int& argc, char** argv) : QApplication(argc, argv) {
        probe_.setTimerType(Qt::PreciseTimer);
        probe_.setInterval(5);
        QObject::connect(&probe_, &QTimer::timeout, [this] {
            const double now = wallSeconds();
            if (last_ > 0) longest_ = std::max(longest_, now - last_ - 0.005);
            last_ = now;
        });
        probe_.start();
    }
    template <class Work>
    void stretch(Work work) {
        const double wall = wallSeconds();
        work();
        longest_ = std::max(longest_, wallSeconds() - wall);
    }
    void resetLongest() {
        longest_ = 0;
        last_ = wallSeconds();
    }
    double longest() const { return std::max(longest_, wallSeconds() - last_ - 0.005); }

private:
    QTimer probe_;
    double last_ = 0, longest_ = 0;
};

TimedApp* app() { return static_cast<TimedApp*>(QCoreApplication::instance()); }

// Runs the window's event loop until `done` holds, checking every 2 ms.
template <class Done>
bool until(Done done, double seconds = 300) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < seconds * 1000) {
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

// The event loop left to itself a while: paints done, what was let go on workers freed.
void quiet(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

bool settled(const AnalyzeModel& m) { return !m.listing() && m.pending() == 0 && !m.removing(); }

struct Pass {
    double cpu = 0, wall = 0, longest = 0;
};

// The window's thread from `start` until `done` holds and what it posted is painted.
template <class Start, class Done>
Pass timed(Start start, Done done, bool* ok) {
    app()->resetLongest();
    const double before = threadSeconds(), wall = wallSeconds();
    app()->stretch(start);
    *ok &= until(done);
    quiet(0.05);  // the paint of what was published last
    return {threadSeconds() - before, wallSeconds() - wall, app()->longest()};
}

struct Figures {
    std::vector<double> gdu, growth, peak, before, shownRss, afterOther, afterRemoval, afterBanner;
    std::vector<double> listCpu, listLong, againCpu, againLong, touchCpu, touchLong, scrollLong, scrollCpu;
    std::vector<double> selectCpu, removeCpu, removeLong, removeWall;
};

double worst(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

std::string listed(const std::vector<double>& v, const char* format) {
    std::string out;
    for (double x : v) {
        char b[32];
        std::snprintf(b, sizeof b, format, x);
        out += (out.empty() ? "" : " / ") + std::string(b);
    }
    return out;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--gdu-peak") == 0) return reportGduPeak(argv[2]);
    Platform::Memory::giveBackAsFreed();  // as the program does
    int rounds = 3;
    bool removal = true, folders = false;
    std::vector<int> sizes{20000, 40000, 80000};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--no-removal") == 0) removal = false;
        else if (std::strcmp(argv[i], "--folders") == 0) folders = true;
        else if (std::strcmp(argv[i], "--sizes") == 0 && i + 1 < argc) {
            sizes.clear();
            std::stringstream list(argv[++i]);
            for (std::string n; std::getline(list, n, ',');) sizes.push_back(std::atoi(n.c_str()));
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testtree::TempDir scratch;
    const fs::path home = scratch.path() / "home";
    bench::useHome(home);
    fs::create_directories(Platform::Locations::trashFiles());
    fs::create_directories(Platform::Locations::trashInfo());
    const fs::path other = home / "other";
    if (!bench::writeFiles(other, 20, 5000)) return 1;

    TimedApp application(argc, argv);
    Theme::applyApplicationLook(application);
    bool ok = true;
    // The program's own window on the Analyze tab, over its model and size service.
    AppState& state = AppState::shared();
    state.setTab(AppTab::analyze);
    MainWindow window(state, Preferences::shared());
    window.setGeometry(40, 40, 1000, 680);
    window.show();
    AnalyzeModel& model = state.analyze();
    SizeService& service = model.sizes();
    DetailTable* table = window.findChild<DetailTable*>();
    if (!table) return 1;
    DetailList* list = table->list();
    // The chart's sweep into each folder opened is held still, as the pictures hold it:
    // every folder opened costs it alike, and it is no cost of the rows. Its slow motion
    // at rest runs on.
    if (auto* chart = window.findChild<OrbitChart*>()) chart->showRevealAt(1.0);
    const auto shows = [&](int n) {
        return settled(model) && model.entries().size() == size_t(n) && list->count() == n;
    };
    model.navigate(other);
    ok &= until([&] { return shows(20); });
    quiet(2);  // fonts, icons, the chart's first sweep
    // What the window takes at rest, a second of it: the chart's slow motion.
    const double restStart = threadSeconds();
    quiet(1);
    const double rest = threadSeconds() - restStart;

    for (const int n : sizes) {
        const fs::path folder = home / ("folder-" + std::to_string(n));
        if (folders) {
            for (int i = 0; i < n; ++i) fs::create_directories(folder / ("f" + std::to_string(i)));
        } else if (!bench::writeFiles(folder, n, 0)) {
            return 1;
        }
        bench::settle(folder);
        Figures f;
        for (int r = 0; r < rounds; ++r) {
            f.gdu.push_back(gduPeakMiB(folder));
            model.navigate(other);
            ok &= until([&] { return shows(20); });
            quiet(0.3);
            ::malloc_trim(0);
            const double before = residentMiB();
            resetHighWater();
            const double hwBefore = highWaterMiB();
            f.before.push_back(before);

            const Pass listing = timed([&] { model.navigate(folder); }, [&] { return shows(n); }, &ok);
            quiet(0.3);
            f.shownRss.push_back(residentMiB());
            f.growth.push_back(residentMiB() - before);
            f.peak.push_back(highWaterMiB() - hwBefore);
            f.listCpu.push_back(listing.cpu);
            f.listLong.push_back(listing .longest);

            const int generation = model.generation();
            const Pass again = timed([&] { model.rescan(); },
                                     [&] { return model.generation() > generation && shows(n); }, &ok);
            f.againCpu.push_back(again.cpu);
            f.againLong.push_back(again .longest);

            // Every file changed on disk, as a cleaning list's report would name it (made
            // and freed on the worker that tells it, so the bench's own memory is not counted).
            const auto tell = [&service, folder, n] {
                std::vector<fs::path> changed;
                changed.reserve(size_t(n));
                for (int i = 0; i < n; ++i) changed.push_back(folder / ("f" + std::to_string(i)));
                service.forget(changed);
            };
            // Told after the model: what it was told is handled once this lands.
            bool heard = false;
            const int marker = service.listen([&](const std::vector<std::string>&) {
                QMetaObject::invokeMethod(&application, [&] { heard = true; }, Qt::QueuedConnection);
            });
            std::thread teller;
            const Pass touch = timed([&] { teller = std::thread(tell); },
                                     [&] { return heard && shows(n); }, &ok);
            teller.join();
            service.unlisten(marker);
            quiet(0.2);
            f.touchCpu.push_back(touch.cpu);
            f.touchLong.push_back(touch .longest);

            // Through every row, a page at a time.
            QScrollBar* bar = list->verticalScrollBar();
            app()->resetLongest();
            const double scrollStart = threadSeconds();
            const int pages = 100;
            for (int k = 1; k <= pages; ++k) {
                app()->stretch([&] { bar->setValue(int(double(bar->maximum()) * k / pages)); });
                until([] { return true; });
                QCoreApplication::sendPostedEvents();
                QCoreApplication::processEvents();
            }
            f.scrollCpu.push_back((threadSeconds() - scrollStart) / pages);
            f.scrollLong.push_back(app()->longest());
            bar->setValue(0);

            model.navigate(other);
            ok &= until([&] { return shows(20); });
            quiet(0.5);
            f.afterOther.push_back(residentMiB());

            if (removal) {
                model.navigate(folder);
                ok &= until([&] { return shows(n); });
                const double select = threadSeconds();
                app()->stretch([&] { table->selectAll()->click(); });
                quiet(0.05);
                f.selectCpu.push_back(threadSeconds() - select);
                ok &= model.selection().size() == size_t(n);
                const Pass removed = timed([&] { model.trashSelected(); },
                                           [&] {
                                               return model.entries().empty() && model.lastRemoval() && !model.removing();
                                           },
                                           &ok);
                f.removeCpu.push_back(removed.cpu);
                f.removeWall.push_back(removed.wall);
                f.removeLong.push_back(removed .longest);
                ok &= model.lastRemoval()->removed.size() == size_t(n);
                quiet(0.5);
                f.afterRemoval.push_back(residentMiB());  // the report kept for the banner
                // The files back where they were, the Trash as it was, the banner closed.
                for (const auto& m : model.lastRemoval()->inTrash) {
                    ::rename(m.to.c_str(), m.from.c_str());
                    ::unlink((Platform::Locations::trashInfo() / (m.to.filename().string() + ".trashinfo")).c_str());
                }
                model.setLastRemoval(std::nullopt);
                quiet(0.5);
                f.afterBanner.push_back(residentMiB());
            }
        }
        const double gdu = worst(f.gdu), growth = worst(f.growth);
        std::printf("analyze_memory: %d files: resident growth %.1f MiB (%.0f bytes a row; peak %.1f MiB) against "
                    "gdu's peak %.1f MiB (%.0f bytes a file): %.2fx (rounds: %s MiB)\n",
                    n, growth, growth * 1048576 / n, worst(f.peak), gdu, gdu * 1048576 / n, growth / gdu,
                    listed(f.growth, "%.1f").c_str());
        std::printf("analyze_memory: %d files: window's thread listing %.0f ms (longest stretch %.0f ms), "
                    "again after \"Measure again\" %.0f ms (%.0f ms), after every row changed %.0f ms (%.0f ms); "
                    "scrolling a page %.1f ms (longest stretch %.0f ms) (worst of %d rounds)\n",
                    n, worst(f.listCpu) * 1e3, worst(f.listLong) * 1e3, worst(f.againCpu) * 1e3,
                    worst(f.againLong) * 1e3, worst(f.touchCpu) * 1e3, worst(f.touchLong) * 1e3,
                    worst(f.scrollCpu) * 1e3, worst(f.scrollLong) * 1e3, rounds);
        std::printf("analyze_memory: %d files: resident before the rows %s MiB, with them %s, after another folder "
                    "opened %s",
                    n, listed(f.before, "%.1f").c_str(), listed(f.shownRss, "%.1f").c_str(),
                    listed(f.afterOther, "%.1f").c_str());
        if (removal)
            std::printf(", after every row removed %s with the report its banner shows, %s once the banner is "
                        "closed; \"Select all\" %.0f ms, \"Move to Trash\" %.0f ms of the window's thread over %.1f s "
                        "(longest stretch %.0f ms; the window at rest takes %.0f ms a second)",
                        listed(f.afterRemoval, "%.1f").c_str(), listed(f.afterBanner, "%.1f").c_str(),
                        worst(f.selectCpu) * 1e3, worst(f.removeCpu) * 1e3, worst(f.removeWall),
                        worst(f.removeLong) * 1e3, rest * 1e3);
        std::printf("\n");
        ok &= growth <= gdu;
        const double window = std::max({worst(f.listCpu), worst(f.againCpu), worst(f.touchCpu)});
        const double longest =
            std::max({worst(f.listLong), worst(f.againLong), worst(f.touchLong), worst(f.scrollLong)});
        ok &= window <= 0.1 && longest <= 0.05;
        for (size_t r = 0; r < f.before.size(); ++r) {
            ok &= f.afterOther[r] <= f.before[0] * 1.2;
            if (removal) ok &= f.afterBanner[r] <= f.before[0] * 1.2;
        }
        fs::remove_all(folder);
    }
    std::printf("analyze_memory: %s (targets: growth at most gdu's peak; at most 100 ms of the window's thread a "
                "pass, no stretch over 50 ms; resident after the rows go within 20 %% of before)\n",
                ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
