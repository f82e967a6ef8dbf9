#pragma once
// A desktop of our own for tray tests and benchmarks: an X server on a free display,
// an XEmbed tray (trayer) on it, a private session bus with a StatusNotifierItem
// watcher and a registered host, and the means to look at it from outside: windows
// by name, their frames, pictures of the screen, clicks through xdotool. Everything
// it starts ends with it. Needs a QCoreApplication for the bus calls.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QImage>
#include <QRect>
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
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

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
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return false;
}

// A program of ours, ended (SIGTERM, then SIGKILL) when this goes. Its output goes
// to `log`, or nowhere. With `reportFd`, the first line it writes to that
// descriptor is kept (Xvfb's display, the bus's address).
class Child {
public:
    Child() = default;
    Child(const std::vector<std::string>& argv, const Env& env = {}, const std::string& log = {},
          int reportFd = -1) {
        int pipeFds[2] = {-1, -1};
        if (reportFd >= 0 && ::pipe2(pipeFds, O_CLOEXEC) != 0) return;
        std::vector<std::string> envStrings;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            const std::string key = entry.substr(0, entry.find('='));
            if (!env.count(key)) envStrings.push_back(entry);
        }
        for (const auto& [key, value] : env)
            if (value) envStrings.push_back(key + "=" + *value);
        std::vector<char*> args, envp;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        for (auto& e : envStrings) envp.push_back(e.data());
        envp.push_back(nullptr);
        const std::string out = log.empty() ? "/dev/null" : log;

        pid_ = ::fork();
        if (pid_ == 0) {
            ::setpgid(0, 0);
            const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            const int in = ::open("/dev/null", O_RDONLY);
            ::dup2(in, 0);
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            if (reportFd >= 0) {
                if (pipeFds[1] == reportFd) ::fcntl(reportFd, F_SETFD, 0);
                else ::dup2(pipeFds[1], reportFd);
            }
            ::execvpe(args[0], args.data(), envp.data());
            ::_exit(127);
        }
        if (reportFd < 0) return;
        ::close(pipeFds[1]);
        // Read the report line, for at most 20 s.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        ::fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
        char c;
        while (std::chrono::steady_clock::now() < end) {
            const ssize_t n = ::read(pipeFds[0], &c, 1);
            if (n == 1) {
                if (c == '\n') break;
                report_ += c;
            } else if (n == 0) {
                break;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        ::close(pipeFds[0]);
    }
    ~Child() { stop(); }
    Child(Child&& o) noexcept { *this = std::move(o); }
    Child& operator=(Child&& o) noexcept {
        if (this != &o) {
            stop();
            pid_ = std::exchange(o.pid_, -1);
            status_ = o.status_;
            report_ = std::move(o.report_);
        }
        return *this;
    }

    pid_t pid() const { return pid_; }
    const std::string& report() const { return report_; }
    bool running() {
        if (pid_ <= 0 || status_) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
        return !status_;
    }
    // The exit code once it ended by itself within `seconds`.
    std::optional<int> exitCode(double seconds) {
        if (!waitFor([this] { return !running(); }, seconds) || !status_) return std::nullopt;
        return WIFEXITED(*status_) ? std::optional<int>(WEXITSTATUS(*status_)) : std::nullopt;
    }
    void stop() {
        if (pid_ <= 0) return;
        if (running()) {
            ::kill(-pid_, SIGTERM);
            if (!waitFor([this] { return !running(); }, 3)) {
                ::kill(-pid_, SIGKILL);
                waitFor([this] { return !running(); }, 3);
            }
        }
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
    std::string report_;
};

// Runs a program to its end; its exit code, or -1.
inline int run(const std::vector<std::string>& argv, const Env& env = {}) {
    Child c(argv, env);
    return c.exitCode(30).value_or(-1);
}

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

// One top-level or embedded window as the X server has it.
struct Window {
    uint32_t id = 0;
    QString name, windowClass;
    QRect frame;  // in root coordinates
    bool mapped = false;
    bool embedded = false;  // a child of another client's window (a tray's)
    bool overrideRedirect = false;
};

// An X server on a free display, with a connection of our own to look at it.
class XServer {
public:
    explicit XServer(QSize size = {1280, 800}) {
        if (!onPath("Xvfb")) return;
        const std::string screen = std::to_string(size.width()) + "x" + std::to_string(size.height()) + "x24";
        server_ = Child({"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp"}, {}, {}, 3);
        if (server_.report().empty()) return;
        display_ = ":" + server_.report();
        c_ = xcb_connect(display_.c_str(), nullptr);
        if (xcb_connection_has_error(c_)) {
            xcb_disconnect(c_);
            c_ = nullptr;
            return;
        }
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        // A desktop's colour rather than the server's black, so pictures read as a desktop.
        const uint32_t background = 0x3a4a66;
        xcb_change_window_attributes(c_, root_, XCB_CW_BACK_PIXEL, &background);
        xcb_clear_area(c_, 0, root_, 0, 0, 0, 0);
        xcb_flush(c_);
    }
    ~XServer() {
        if (c_) xcb_disconnect(c_);
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool ok() const { return c_ != nullptr; }
    const std::string& display() const { return display_; }
    xcb_connection_t* connection() const { return c_; }

    uint32_t atom(const char* name) const {
        auto* r = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, std::strlen(name), name), nullptr);
        const uint32_t a = r ? r->atom : 0;
        std::free(r);
        return a;
    }
    bool selectionOwned(const char* selection) const {
        auto* r = xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, atom(selection)), nullptr);
        const bool owned = r && r->owner != XCB_NONE;
        std::free(r);
        return owned;
    }

    // Every window, depth first from the root.
    std::vector<Window> windows() const {
        std::vector<Window> all;
        collect(root_, false, all);
        return all;
    }
    // The mapped windows whose class names `windowClass` (either half of WM_CLASS).
    std::vector<Window> mapped(const QString& windowClass) const {
        std::vector<Window> found;
        for (const Window& w : windows())
            if (w.mapped && w.windowClass.split(QLatin1Char('\n')).contains(windowClass)) found.push_back(w);
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
        e.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c_, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&e));
        xcb_flush(c_);
    }

    // A picture of part of the screen (the part of `area` on it).
    QImage grab(QRect area) const {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        area &= QRect(0, 0, screen->width_in_pixels, screen->height_in_pixels);
        if (area.isEmpty()) return {};
        auto* r = xcb_get_image_reply(
            c_, xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, area.x(), area.y(), area.width(), area.height(), ~0u),
            nullptr);
        if (!r) return {};
        const QImage view(xcb_get_image_data(r), area.width(), area.height(), area.width() * 4, QImage::Format_RGB32);
        QImage copy = view.copy();
        std::free(r);
        return copy;
    }

    // Input as a user gives it (xdotool, through the XTEST extension).
    bool click(QPoint at, int button = 1) const {
        return run({"xdotool", "mousemove", std::to_string(at.x()), std::to_string(at.y()), "click",
                    std::to_string(button)},
                   {{"DISPLAY", display_}}) == 0;
    }
    bool keys(const std::vector<std::string>& names) const {
        std::vector<std::string> argv{"xdotool", "key", "--delay", "60"};
        argv.insert(argv.end(), names.begin(), names.end());
        return run(argv, {{"DISPLAY", display_}}) == 0;
    }
    bool moveMouse(QPoint to) const {
        return run({"xdotool", "mousemove", std::to_string(to.x()), std::to_string(to.y())}, {{"DISPLAY", display_}}) ==
               0;
    }

private:
    QString property(uint32_t window, uint32_t prop) const {
        auto* r = xcb_get_property_reply(c_, xcb_get_property(c_, 0, window, prop, XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
                                         nullptr);
        QString value;
        if (r) {
            QByteArray bytes(static_cast<const char*>(xcb_get_property_value(r)), xcb_get_property_value_length(r));
            if (bytes.endsWith('\0')) bytes.chop(1);
            value = QString::fromUtf8(bytes).replace(QLatin1Char('\0'), QLatin1Char('\n'));
        }
        std::free(r);
        return value;
    }

    void collect(uint32_t parent, bool parentIsClient, std::vector<Window>& out) const {
        auto* tree = xcb_query_tree_reply(c_, xcb_query_tree(c_, parent), nullptr);
        if (!tree) return;
        const uint32_t* kids = xcb_query_tree_children(tree);
        const int count = xcb_query_tree_children_length(tree);
        for (int i = 0; i < count; ++i) {
            Window w;
            w.id = kids[i];
            auto* attributes = xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, w.id), nullptr);
            auto* geometry = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w.id), nullptr);
            auto* at = xcb_translate_coordinates_reply(c_, xcb_translate_coordinates(c_, w.id, root_, 0, 0), nullptr);
            if (attributes && geometry && at) {
                w.mapped = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
                w.overrideRedirect = attributes->override_redirect;
                w.frame = QRect(at->dst_x, at->dst_y, geometry->width, geometry->height);
                w.name = property(w.id, XCB_ATOM_WM_NAME);
                w.windowClass = property(w.id, XCB_ATOM_WM_CLASS);
                w.embedded = parentIsClient;
                out.push_back(w);
            }
            std::free(attributes);
            std::free(geometry);
            std::free(at);
            collect(w.id, parentIsClient || !w.windowClass.isEmpty(), out);
        }
        std::free(tree);
    }

    Child server_;
    std::string display_;
    xcb_connection_t* c_ = nullptr;
    uint32_t root_ = 0;
};

// An XEmbed tray along the top edge, at the right (trayer).
class XEmbedTray {
public:
    explicit XEmbedTray(const XServer& x) {
        if (!onPath("trayer")) return;
        tray_ = Child({"trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "180", "--height", "24",
                       "--transparent", "true", "--alpha", "0", "--tint", "0x1d212b", "--SetDockType", "true"},
                      {{"DISPLAY", x.display()}});
        up_ = waitFor([&x] { return x.selectionOwned("_NET_SYSTEM_TRAY_S0"); }, 10);
    }
    bool ok() const { return up_; }

private:
    Child tray_;
    bool up_ = false;
};

// A private session bus.
class SessionBus {
public:
    SessionBus() {
        if (!onPath("dbus-daemon")) return;
        daemon_ = Child({"dbus-daemon", "--session", "--nofork", "--print-address=3"}, {}, {}, 3);
        address_ = daemon_.report();
        if (address_.empty()) return;
        name_ = QStringLiteral("trayharness-%1").arg(reinterpret_cast<quintptr>(this));
        bus_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(QString::fromStdString(address_), name_));
    }
    ~SessionBus() {
        bus_.reset();
        if (!name_.isEmpty()) QDBusConnection::disconnectFromBus(name_);
    }
    bool ok() const { return bus_ && bus_->isConnected(); }
    const std::string& address() const { return address_; }
    QDBusConnection& connection() const { return *bus_; }

private:
    Child daemon_;
    std::string address_;
    QString name_;
    std::unique_ptr<QDBusConnection> bus_;
};

// A StatusNotifierItem watcher on the bus, with a host registered as a desktop's
// panel would, and the means to ask about the items it holds.
class SniTray {
public:
    static constexpr const char* watcher = "org.kde.StatusNotifierWatcher";

    explicit SniTray(SessionBus& bus) : bus_(bus) {
        if (!bus.ok() || !onPath("status-notifier-watcher")) return;
        watcher_ = Child({"status-notifier-watcher"}, {{"DBUS_SESSION_BUS_ADDRESS", bus.address()}});
        if (!waitFor([&] { return bus_.connection().interface()->isServiceRegistered(watcher).value(); }, 10)) return;
        QDBusMessage m = QDBusMessage::createMethodCall(watcher, "/StatusNotifierWatcher", watcher,
                                                        "RegisterStatusNotifierHost");
        m << QStringLiteral("org.kde.StatusNotifierHost-trayharness");
        up_ = bus_.connection().call(m, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
    }
    bool ok() const { return up_; }

    QStringList items() const { return watcherProperty("RegisteredStatusNotifierItems").toStringList(); }

    // The item's tool tip: its title and its text.
    QStringList toolTip(const QString& item) const {
        const QVariant v = itemProperty(item, "ToolTip");
        if (!v.canConvert<QDBusArgument>()) return {};
        const QDBusArgument arg = v.value<QDBusArgument>();
        QString iconName, title, text;
        arg.beginStructure();
        arg >> iconName;
        arg.beginArray();
        while (!arg.atEnd()) {
            int w, h;
            QByteArray data;
            arg.beginStructure();
            arg >> w >> h >> data;
            arg.endStructure();
        }
        arg.endArray();
        arg >> title >> text;
        arg.endStructure();
        return {title, text};
    }
    bool activate(const QString& item, QPoint at = {}) const {
        const auto [service, path] = split(item);
        QDBusMessage m = QDBusMessage::createMethodCall(service, path, "org.kde.StatusNotifierItem", "Activate");
        m << at.x() << at.y();
        return bus_.connection().call(m, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
    }

private:
    static std::pair<QString, QString> split(const QString& item) {
        const int slash = item.indexOf(QLatin1Char('/'));
        if (slash < 0) return {item, QStringLiteral("/StatusNotifierItem")};
        return {item.left(slash), item.mid(slash)};
    }
    QVariant get(const QString& service, const QString& path, const QString& interface, const char* name) const {
        QDBusMessage m = QDBusMessage::createMethodCall(service, path, "org.freedesktop.DBus.Properties", "Get");
        m << interface << QString::fromLatin1(name);
        const QDBusMessage answer = bus_.connection().call(m, QDBus::Block, 5000);
        if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().isEmpty()) return {};
        return answer.arguments().first().value<QDBusVariant>().variant();
    }
    QVariant watcherProperty(const char* name) const {
        return get(watcher, "/StatusNotifierWatcher", watcher, name);
    }
    QVariant itemProperty(const QString& item, const char* name) const {
        const auto [service, path] = split(item);
        return get(service, path, "org.kde.StatusNotifierItem", name);
    }

    SessionBus& bus_;
    Child watcher_;
    bool up_ = false;
};

}  // namespace trayharness
