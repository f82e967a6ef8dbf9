#pragma once
// A desktop of our own for tray tests and benchmarks: an X server on a free display,
// a private session bus with a StatusNotifierItem watcher and a registered host, the
// built program started on them, and the means to look at it from outside: our
// windows and their frames, pictures of the screen, clicks through xdotool. Everything
// it starts ends with it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <QRect>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Core/Clean/Shell.h"

namespace trayharness {

using Env = std::map<std::string, std::optional<std::string>>;  // nullopt: unset

// Polls `done` every 20 ms for up to `seconds` of real time: the processes watched
// here run on their own clocks.
inline bool waitFor(const std::function<bool()>& done, double seconds = 20) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

inline bool onPath(const std::string& program) {
    return !QStandardPaths::findExecutable(QString::fromStdString(program)).isEmpty();
}

// Runs a program to its end: what it printed, or none when it could not run or failed.
inline std::optional<std::string> run(const std::vector<std::string>& argv, double timeout = 30) {
    const QString program = QStandardPaths::findExecutable(QString::fromStdString(argv.front()));
    if (program.isEmpty()) return std::nullopt;
    const Shell::Result r = Shell::run(program.toStdString(), {argv.begin() + 1, argv.end()}, timeout);
    return r.status == 0 ? std::optional(r.output) : std::nullopt;
}

// A program of ours in a process group of its own, ended (SIGTERM, then SIGKILL) with
// everything it started when this goes. Its output goes to `log`, or nowhere. With
// `report`, the first line it writes to descriptor 3 is kept (a display, an address).
class Child {
public:
    Child() = default;
    Child(const std::vector<std::string>& argv, const Env& env = {}, const std::string& log = {}, bool report = false) {
        int pipeFds[2] = {-1, -1};
        if (report && ::pipe(pipeFds) != 0) return;
        std::vector<std::string> command{"env"};  // which unsets first, then sets
        for (const auto& [key, value] : env)
            if (!value) command.push_back("--unset=" + key);
        for (const auto& [key, value] : env)
            if (value) command.push_back(key + "=" + *value);
        command.insert(command.end(), argv.begin(), argv.end());
        std::vector<char*> args;
        for (auto& a : command) args.push_back(a.data());
        args.push_back(nullptr);
        const std::string out = log.empty() ? "/dev/null" : log;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setpgid(0, 0);
            const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            ::dup2(::open("/dev/null", O_RDONLY), 0);
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            if (report) ::dup2(pipeFds[1], 3);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
        if (!report) return;
        ::close(pipeFds[1]);
        pollfd ready{pipeFds[0], POLLIN, 0};
        for (char c; ::poll(&ready, 1, 20000) > 0 && ::read(pipeFds[0], &c, 1) == 1 && c != '\n';) report_ += c;
        ::close(pipeFds[0]);
    }
    ~Child() { stop(); }
    Child(Child&& o) noexcept { *this = std::move(o); }
    // The child this held ends with `o`.
    Child& operator=(Child&& o) noexcept {
        std::swap(pid_, o.pid_);
        std::swap(status_, o.status_);
        std::swap(report_, o.report_);
        return *this;
    }

    pid_t pid() const { return pid_; }
    const std::string& report() const { return report_; }
    bool running() {
        int status = 0;
        if (pid_ > 0 && !status_ && ::waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
        return pid_ > 0 && !status_;
    }
    // The exit code once it ended by itself within `seconds`.
    std::optional<int> exitCode(double seconds) {
        if (!waitFor([this] { return !running(); }, seconds) || !status_ || !WIFEXITED(*status_)) return std::nullopt;
        return WEXITSTATUS(*status_);
    }
    void stop() {
        for (int signal : {SIGTERM, SIGKILL}) {
            if (!running()) break;
            ::kill(-pid_, signal);
            waitFor([this] { return !running(); }, 3);
        }
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
    std::string report_;
};

// The built Quelto on the X server at `display` as a desktop session starts it: its
// runtime folder under `home`, on the session bus at `bus` or on none, its output to `log`.
inline Child launchQuelto(const std::string& display, const std::filesystem::path& home,
                          const std::vector<std::string>& arguments, const std::optional<std::string>& bus,
                          const std::string& log) {
    const std::filesystem::path runtime = home / "run";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    std::vector<std::string> argv{std::string(QUELTO_BIN_DIR) + "/Quelto"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return Child(argv,
                 {{"DISPLAY", display},
                  {"QT_QPA_PLATFORM", "xcb"},
                  {"XDG_RUNTIME_DIR", runtime.string()},
                  {"DBUS_SESSION_BUS_ADDRESS", bus}},
                 log);
}

// A mapped window as the X server has it.
struct Window {
    uint32_t id = 0;
    QString name;
    QRect frame;            // in root coordinates
    bool embedded = false;  // not a child of the root (a tray's icon)
};

// An X server on a free display, with a connection of our own to look at it.
class XServer {
public:
    explicit XServer(QSize size = {1280, 800}) {
        if (!onPath("Xvfb")) return;
        const std::string screen = std::to_string(size.width()) + "x" + std::to_string(size.height()) + "x24";
        server_ = Child({"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp"}, {}, {}, true);
        if (server_.report().empty()) return;
        display_ = ":" + server_.report();
        c_.reset(xcb_connect(display_.c_str(), nullptr));
        if (xcb_connection_has_error(c_.get())) { c_.reset(); return; }
        // A desktop's colour rather than the server's black, so pictures read as a desktop.
        const uint32_t root = xcb_setup_roots_iterator(xcb_get_setup(c_.get())).data->root, background = 0x3a4a66;
        xcb_change_window_attributes(c_.get(), root, XCB_CW_BACK_PIXEL, &background);
        xcb_clear_area(c_.get(), 0, root, 0, 0, 0, 0);
        xcb_flush(c_.get());
    }

    bool ok() const { return c_ != nullptr; }
    const std::string& display() const { return display_; }

    // The mapped windows of the class `windowClass`, as xdotool and xwininfo tell them.
    std::vector<Window> mapped(const QString& windowClass) const {
        const QStringList shown = QString::fromStdString(
            x({"xdotool", "search", "--onlyvisible", "--class", windowClass.toStdString()}).value_or("")).split('\n');
        static const QRegularExpression row(R"re(^( +)0x(\w+) "?(.*?)"?: .*  (\d+)x(\d+)\S*  \+(-?\d+)\+(-?\d+)$)re",
                                            QRegularExpression::MultilineOption);
        std::vector<Window> found;
        for (const auto& m : row.globalMatch(QString::fromStdString(x({"xwininfo", "-root", "-tree"}).value_or("")))) {
            const uint32_t id = m.captured(2).toUInt(nullptr, 16);
            if (!shown.contains(QString::number(id))) continue;
            const auto n = [&m](int i) { return m.captured(i).toInt(); };
            found.push_back({id, m.captured(3), QRect(n(6), n(7), n(4), n(5)), m.captured(1).size() > 5});
        }
        return found;
    }
    // Asks the window's client to close it, as a window manager's close button does.
    void close(uint32_t window) const {
        xcb_client_message_event_t e{};
        e.response_type = XCB_CLIENT_MESSAGE;
        e.format = 32;
        e.window = window;
        e.type = atom("WM_PROTOCOLS");
        e.data.data32[0] = atom("WM_DELETE_WINDOW");
        xcb_send_event(c_.get(), 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&e));
        xcb_flush(c_.get());
    }
    // A picture of the part of `area` on the screen.
    QImage grab(QRect area) const {
        const QTemporaryDir dir;
        const QString file = dir.filePath("grab.png");
        const QString crop = QStringLiteral("%1x%2+%3+%4").arg(area.width()).arg(area.height()).arg(area.x()).arg(area.y());
        x({"import", "-window", "root", "-crop", crop.toStdString(), "+repage", file.toStdString()});
        return QImage(file);
    }
    // Input as a user gives it (xdotool, through the XTEST extension).
    bool moveMouse(QPoint to) const {
        return x({"xdotool", "mousemove", std::to_string(to.x()), std::to_string(to.y())}).has_value();
    }
    bool click(QPoint at, int button = 1) const {
        return x({"xdotool", "mousemove", std::to_string(at.x()), std::to_string(at.y()), "click", std::to_string(button)})
            .has_value();
    }
    bool keys(std::vector<std::string> names) const {
        names.insert(names.begin(), {"xdotool", "key", "--delay", "60"});
        return x(names).has_value();
    }

private:
    // A program run to its end on this server.
    std::optional<std::string> x(std::vector<std::string> argv) const {
        argv.insert(argv.begin(), {"env", "DISPLAY=" + display_});
        return run(argv);
    }
    uint32_t atom(const char* name) const {
        auto* r = xcb_intern_atom_reply(c_.get(), xcb_intern_atom(c_.get(), 0, std::strlen(name), name), nullptr);
        const uint32_t a = r ? r->atom : 0;
        std::free(r);
        return a;
    }

    Child server_;
    std::string display_;
    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> c_{nullptr, xcb_disconnect};
};

// A private session bus.
struct SessionBus {
    Child daemon{{"dbus-daemon", "--session", "--nofork", "--print-address=3"}, {}, {}, true};
    bool ok() const { return !address().empty(); }
    const std::string& address() const { return daemon.report(); }
    // A method called on it through gdbus: the answer as text, or none when the call failed.
    std::optional<QString> call(const QString& service, const QString& path, const std::string& method,
                                std::vector<std::string> arguments = {}) const {
        arguments.insert(arguments.begin(), {"gdbus", "call", "--address", address(), "--dest", service.toStdString(),
                                             "--object-path", path.toStdString(), "--method", method});
        const auto answer = run(arguments);
        return answer ? std::optional(QString::fromStdString(*answer)) : std::nullopt;
    }
};

// A StatusNotifierItem watcher on the bus, with a host registered as a desktop's
// panel would (or, with `withHost` false, none: nothing shows the items), and the
// means to ask about the items it holds.
class SniTray {
public:
    explicit SniTray(const SessionBus& bus, bool withHost = true) : bus_(bus) {
        if (!bus.ok() || !onPath("status-notifier-watcher")) return;
        watcher_ = Child({"status-notifier-watcher"}, {{"DBUS_SESSION_BUS_ADDRESS", bus.address()}});
        const std::string registerHost = kWatcher + std::string(".RegisterStatusNotifierHost");
        up_ = waitFor([&] {
            return withHost ? onWatcher(registerHost, {"org.kde.StatusNotifierHost-trayharness"}).has_value()
                            : onWatcher(kGet, {kWatcher, "IsStatusNotifierHostRegistered"}).has_value();
        }, 10);
    }
    bool ok() const { return up_; }
    QStringList items() const {
        QStringList found;
        const auto answer = onWatcher(kGet, {kWatcher, "RegisteredStatusNotifierItems"});
        for (const auto& m : QRegularExpression("'([^']+)'").globalMatch(answer.value_or(QString()))) found << m.captured(1);
        return found;
    }
    // The item's tool tip as gdbus prints it: its title and its text are in there.
    QString toolTip(const QString& item) const { return onItem(item, kGet, {kItem, "ToolTip"}).value_or(QString()); }
    bool activate(const QString& item) const { return onItem(item, kItem + std::string(".Activate"), {"0", "0"}).has_value(); }

private:
    static constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";
    static constexpr const char* kItem = "org.kde.StatusNotifierItem";
    static constexpr const char* kGet = "org.freedesktop.DBus.Properties.Get";
    std::optional<QString> onWatcher(const std::string& method, std::vector<std::string> arguments) const {
        return bus_.call(kWatcher, "/StatusNotifierWatcher", method, std::move(arguments));
    }
    // An item is a bus name, with its object's path after it or the usual one.
    std::optional<QString> onItem(const QString& item, const std::string& method, std::vector<std::string> arguments) const {
        const qsizetype slash = item.indexOf(QLatin1Char('/'));
        return bus_.call(item.left(slash), slash < 0 ? QStringLiteral("/StatusNotifierItem") : item.mid(slash),
                         method, std::move(arguments));
    }

    const SessionBus& bus_;
    Child watcher_;
    bool up_ = false;
};

}  // namespace trayharness
