// Quelto as a user's desktop runs it: the built program on a private X server with
// a tray that comes up after it, looked at and clicked from outside.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include <algorithm>

#include "Models/Window/QuietStart.h"
#include "Platform/Clock.h"
#include "Platform/UserDefaults.h"
#include "Support/QtTestSupport.h"
#include "Support/Screenshots.h"
#include "Support/TestTree.h"
#include "Support/TrayHarness.h"

namespace {
namespace th = trayharness;

// A fresh home, an X server, and Quelto started on them.
struct Desktop {
    qttest::TempHome home;
    th::XServer x;
    std::filesystem::path log = home / "quelto.log";

    explicit Desktop(QSize screen = {1280, 800}) : x(screen) {}

    bool ready() const { return x.ok() && th::onPath("xdotool"); }
    // Quelto with `arguments`, on the given session bus or none.
    th::Child launch(const std::vector<std::string>& arguments, const std::optional<std::string>& bus = {}) const {
        return th::launchQuelto(x.display(), home.path(), arguments, bus, log.string());
    }
    std::string output() const { return testtree::readFile(log); }

    std::optional<th::Window> find(const std::function<bool(const th::Window&)>& is) const {
        for (const th::Window& w : x.mapped("Quelto"))
            if (is(w)) return w;
        return std::nullopt;
    }
    // Our windows by their size: the main window, the glass panel (340 wide), the
    // right-click menu, a note or tool tip by the icon, and the icon in the tray.
    std::optional<th::Window> mainWindow() const {
        return find([](auto& w) { return w.name == "Quelto" && w.frame.width() >= 800; });
    }
    std::optional<th::Window> panel() const {
        return find([](auto& w) { return !w.embedded && w.frame.width() == 340; });
    }
    std::optional<th::Window> menu() const {
        return find([](auto& w) { return !w.embedded && w.frame.height() >= 80 && w.frame.width() < 340; });
    }
    std::optional<th::Window> note(int minHeight = 16) const {
        return find([minHeight](auto& w) {
            return !w.embedded && w.frame.width() >= 100 && w.frame.height() >= minHeight && w.frame.height() < 200 &&
                   w.frame.top() < 120;
        });
    }
    std::optional<th::Window> trayIcon() const { return find([](auto& w) { return w.embedded; }); }
    // What `which` finds within `seconds`, asked once each time: a window that goes between
    // asking and using it must not be read from an empty result.
    template <class Which>
    static std::optional<th::Window> await(const Which& which, double seconds) {
        std::optional<th::Window> found;
        th::waitFor([&] { return (found = which()).has_value(); }, seconds);
        return found;
    }
    // Whether the panel in `picture` shows its scroll bar: a light bar in its right margin.
    static bool scrolls(const QImage& picture) {
        const QImage gray = picture.convertToFormat(QImage::Format_Grayscale8);
        const int w = gray.width();
        int lit = 0;
        for (int y = 24; y < gray.height() - 24; ++y) lit += qGray(gray.pixel(w - 5, y)) - qGray(gray.pixel(w - 11, y)) > 20;
        return lit > 24;
    }
    // A picture of `area` once what shows there has painted.
    void shoot(QRect area, const char* name) const {
        th::waitFor([] { return false; }, 0.3);
        EXPECT_TRUE(keepScreenshot(x.grab(area), name));
    }
};

// The login-item case: Quelto starts before the desktop's tray, with no window and
// no session bus. The tray still gets the icon (its clicks are the quick-clean run's),
// the menu brings the window, closing that keeps Quelto in the tray, a check for
// updates answers in a note, and the menu quits.
TEST(Tray, AnXEmbedTrayStartedLaterGetsTheIconAndItsMenuQuits) {
    Desktop d;
    if (!d.ready()) GTEST_SKIP() << "needs Xvfb and xdotool (in .ci/packages.txt)";
    if (!th::onPath("trayer")) GTEST_SKIP() << "needs trayer (in .ci/packages.txt)";
    th::Child app = d.launch({"--login-item"});
    EXPECT_FALSE(th::waitFor([&] { return d.mainWindow().has_value(); }, 1.5)) << "a login launch showed its window";

    th::Child tray({"trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "180", "--height",
                    "24", "--transparent", "true", "--alpha", "0", "--tint", "0x1d212b", "--SetDockType", "true"},
                   {{"DISPLAY", d.x.display()}});
    const auto icon = Desktop::await([&] { return d.trayIcon(); }, 30);
    ASSERT_TRUE(icon) << d.output();
    const QPoint at = icon->frame.center();
    ASSERT_TRUE(th::waitFor([&] {
        const QImage gray = d.x.grab(icon->frame).convertToFormat(QImage::Format_Grayscale8);
        return std::count_if(gray.constBits(), gray.constBits() + gray.sizeInBytes(), [](uchar v) { return v > 200; }) >= 10;
    }, 5)) << "the icon shows no glyph";
    const QRect trayArea(1280 - 200, 0, 200, 36);
    EXPECT_TRUE(keepScreenshot(d.x.grab(trayArea).scaled(400, 72), "tray-icon"));

    // Resting the pointer on the icon shows the readings.
    ASSERT_TRUE(d.x.moveMouse(at));
    const auto tip = Desktop::await([&] { return d.note(); }, 30);
    ASSERT_TRUE(tip) << "no tool tip on the icon";
    d.shoot(tip->frame.united(trayArea).adjusted(-8, 0, 8, 8), "tray-tool-tip");

    // The menu's rows: Open Quelto, Settings…, Check for Updates…, Quit Quelto.
    const auto choose = [&](const std::vector<std::string>& keys, const char* picture = nullptr) {
        ASSERT_TRUE(d.x.click(at, 3));
        const auto menu = Desktop::await([&] { return d.menu(); }, 30);
        ASSERT_TRUE(menu) << "no menu on a right click";
        if (picture) {
            EXPECT_TRUE(QRect(0, 0, 1280, 800).contains(menu->frame)) << "the menu runs off the screen";
            d.shoot(menu->frame.united(trayArea).adjusted(-40, 0, 0, 12), picture);
        }
        ASSERT_TRUE(d.x.keys(keys));
    };
    choose({"Down", "Return"});
    const auto window = Desktop::await([&] { return d.mainWindow(); }, 30);
    ASSERT_TRUE(window) << "Open Quelto showed nothing";
    d.x.close(window->id);
    ASSERT_TRUE(th::waitFor([&] { return !d.mainWindow(); }, 30));
    EXPECT_FALSE(app.exitCode(1.5).has_value()) << "closing the window ended Quelto";
    ASSERT_TRUE(d.trayIcon().has_value());

    // A check for updates answers in a balloon (taller than a tool tip), not an alert.
    choose({"Down", "Down", "Down", "Return"}, "tray-menu");
    ASSERT_TRUE(th::waitFor([&] { return !d.menu(); }, 30));
    const auto balloon = Desktop::await([&] { return d.note(40); }, 30);
    ASSERT_TRUE(balloon) << "no note after a check for updates";
    d.shoot(balloon->frame.united(trayArea).adjusted(-8, 0, 8, 8), "tray-no-update");
    EXPECT_FALSE(d.mainWindow().has_value());

    choose({"Up", "Return"});
    EXPECT_EQ(app.exitCode(30), 0) << d.output();
}

// The relaunch after an update: a fresh mark starts Quelto with no window and is
// gone afterwards. The desktop's StatusNotifierItem watcher comes up seconds later
// and still gets the item, with the readings in its tool tip; activating it opens
// and closes the glass panel, and a second launch brings the window.
TEST(Tray, ANotifierWatcherStartedLaterGetsTheItemAndASecondLaunchShowsTheWindow) {
    Desktop d({1280, 1024});
    if (!d.ready()) GTEST_SKIP() << "needs Xvfb and xdotool (in .ci/packages.txt)";
    if (!th::onPath("status-notifier-watcher")) GTEST_SKIP() << "needs haskell-status-notifier-item-utils";
    th::SessionBus bus;
    ASSERT_TRUE(bus.ok());
    const auto defaultsFile = d.home / ".config/Quelto/Quelto.plist";
    Platform::UserDefaults(defaultsFile).setDate(QuietStart::relaunchKey, Platform::systemClock().now());

    th::Child app = d.launch({}, bus.address());
    ASSERT_TRUE(th::waitFor(
        [&] { return !Platform::UserDefaults(defaultsFile).object(QuietStart::relaunchKey).has_value(); }, 30));
    EXPECT_FALSE(th::waitFor([&] { return d.mainWindow().has_value(); }, 2)) << "the relaunch showed its window";

    th::SniTray tray(bus);
    ASSERT_TRUE(tray.ok());
    QStringList items;
    ASSERT_TRUE(th::waitFor([&] { return !(items = tray.items()).isEmpty(); }, 30)) << d.output();
    const QString item = items.first();
    QString tip;
    const QRegularExpression readings("CPU \\d+%  Memory \\d+%");
    ASSERT_TRUE(th::waitFor([&] { return (tip = tray.toolTip(item)).contains(readings); }, 10)) << tip.toStdString();

    // By the pointer, as the host tells no icon place: above it low on the screen, below
    // it high up, whole both times once the readings it opened for have come.
    const auto openBy = [&](QPoint pointer) -> QRect {
        EXPECT_TRUE(d.x.moveMouse(pointer));
        EXPECT_TRUE(tray.activate(item));
        EXPECT_TRUE(th::waitFor([&] { return d.panel().has_value(); }, 30));
        QRect frame;
        int still = 0;
        th::waitFor([&] {
            const auto panel = d.panel();
            const QRect now = panel ? panel->frame : QRect();
            still = now == frame ? still + 1 : 0;
            frame = now;
            return still >= 50;  // a second without a change
        }, 15);
        return frame;
    };
    const QPoint low(900, 1000), high(900, 60);
    const QRect above = openBy(low);
    EXPECT_EQ(above.y() + above.height(), low.y() - 11 - 6) << "not right above the pointer";
    EXPECT_GE(above.y(), 8);
    d.shoot(above, "tray-panel-by-the-pointer");
    EXPECT_FALSE(Desktop::scrolls(d.x.grab(above))) << "cut short: it scrolls";
    ASSERT_TRUE(tray.activate(item));
    ASSERT_TRUE(th::waitFor([&] { return !d.panel(); }, 30));
    const QRect below = openBy(high);
    EXPECT_EQ(below.y(), high.y() + 11 + 6) << "not right below the pointer";
    EXPECT_EQ(below.size(), above.size()) << "cut short on one side";
    ASSERT_TRUE(tray.activate(item));
    ASSERT_TRUE(th::waitFor([&] { return !d.panel(); }, 30));
    EXPECT_FALSE(d.mainWindow().has_value());
    EXPECT_EQ(tray.items(), QStringList{item});

    th::Child second = d.launch({}, bus.address());
    EXPECT_EQ(second.exitCode(30), 0);
    EXPECT_TRUE(th::waitFor([&] { return d.mainWindow().has_value(); }, 30));
    EXPECT_TRUE(app.running());
}

// Desktops where no tray shows the icon, with or without a session bus (a stock GNOME
// session has one): a quiet start would run unseen, so once the tray has had its time
// the window comes; closing it then quits.
struct NoTray {
    const char* name;
    bool bus;
    bool watcher;  // a StatusNotifierItem watcher with no host registered
};
void PrintTo(const NoTray& c, std::ostream* os) { *os << c.name; }
class WithoutATray : public ::testing::TestWithParam<NoTray> {};

TEST_P(WithoutATray, AQuietStartShowsTheWindowAfterWaitingForATrayAndClosingItQuits) {
    Desktop d;
    if (!d.ready()) GTEST_SKIP() << "needs Xvfb and xdotool (in .ci/packages.txt)";
    if (GetParam().watcher && !th::onPath("status-notifier-watcher"))
        GTEST_SKIP() << "needs haskell-status-notifier-item-utils";
    std::optional<th::SessionBus> bus;
    std::optional<th::SniTray> watcher;
    if (GetParam().bus) {
        ASSERT_TRUE(bus.emplace().ok());
    }
    if (GetParam().watcher) {
        ASSERT_TRUE(watcher.emplace(*bus, false).ok());
    }
    th::Child app = d.launch({"--login-item"}, bus ? std::optional(bus->address()) : std::nullopt);
    EXPECT_FALSE(th::waitFor([&] { return d.mainWindow().has_value(); }, 6));
    const auto window = Desktop::await([&] { return d.mainWindow(); }, 30);
    ASSERT_TRUE(window) << d.output();
    d.x.close(window->id);
    EXPECT_EQ(app.exitCode(30), 0) << d.output();
}

INSTANTIATE_TEST_SUITE_P(Tray, WithoutATray,
                         ::testing::Values(NoTray{"NoSessionBus", false, false}, NoTray{"ASessionBus", true, false},
                                           NoTray{"AWatcherWithNoHost", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// An ordinary run on a desktop whose tray is up before Quelto: from start to the
// menu's quit, nothing on the console.
TEST(Tray, AStartAndAQuitPrintNothing) {
    Desktop d;
    if (!d.ready()) GTEST_SKIP() << "needs Xvfb and xdotool (in .ci/packages.txt)";
    if (!th::onPath("trayer")) GTEST_SKIP() << "needs trayer (in .ci/packages.txt)";
    th::SessionBus bus;
    ASSERT_TRUE(bus.ok());
    th::Child tray({"trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "180"},
                   {{"DISPLAY", d.x.display()}});
    ASSERT_TRUE(th::waitFor([&] { return !d.x.mapped("trayer").empty(); }, 30)) << "trayer did not come up";
    th::Child app = d.launch({}, bus.address());
    std::optional<th::Window> icon;
    ASSERT_TRUE(th::waitFor([&] { return (icon = d.trayIcon()).has_value() && d.mainWindow().has_value(); }, 30))
        << d.output();
    ASSERT_TRUE(d.x.click(icon->frame.center(), 3));
    ASSERT_TRUE(th::waitFor([&] { return d.menu().has_value(); }, 30)) << "no menu on a right click";
    ASSERT_TRUE(d.x.keys({"Up", "Return"}));
    EXPECT_EQ(app.exitCode(30), 0);
    EXPECT_EQ(d.output(), "");
}
}  // namespace
