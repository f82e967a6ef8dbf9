// Quelto as a user's desktop runs it: the built program on a private X server with
// a tray that comes up after it, looked at and clicked from outside.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include <fstream>

#include "Models/Window/QuietStart.h"
#include "Platform/Clock.h"
#include "Platform/UserDefaults.h"
#include "Support/QtTestSupport.h"
#include "Support/Screenshots.h"
#include "Support/TrayHarness.h"

namespace {
namespace th = trayharness;

// A fresh home, an X server, and Quelto started on them.
struct Desktop {
    qttest::TempHome home;
    th::XServer x;
    std::filesystem::path log = home / "quelto.log";

    bool ready() const { return x.ok() && th::onPath("xdotool"); }

    // Quelto with `arguments`, on the given session bus or none.
    th::Child launch(const std::vector<std::string>& arguments, const std::optional<std::string>& bus = {}) const {
        return th::launchQuelto(x.display(), home.path(), arguments, bus, log.string());
    }
    std::string output() const {
        std::ifstream in(log);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::optional<th::Window> mainWindow() const {
        for (const th::Window& w : x.mapped("Quelto"))
            if (!w.embedded && !w.overrideRedirect && w.name == "Quelto" && w.frame.width() >= 800) return w;
        return std::nullopt;
    }
    std::optional<th::Window> trayIcon() const {
        for (const th::Window& w : x.mapped("Quelto"))
            if (w.embedded) return w;
        return std::nullopt;
    }
    // The glass panel: a window of ours that bypasses the window manager, 340 wide.
    std::optional<th::Window> panel() const {
        for (const th::Window& w : x.mapped("Quelto"))
            if (!w.embedded && w.overrideRedirect && w.frame.width() == 340) return w;
        return std::nullopt;
    }
    // The right-click menu: another such window, beside the icon.
    std::optional<th::Window> menu() const {
        for (const th::Window& w : x.mapped("Quelto"))
            if (!w.embedded && w.overrideRedirect && w.frame.height() >= 80 && w.frame.width() != 340) return w;
        return std::nullopt;
    }
    // A note or tool tip by the icon: a small window of ours that bypasses the window manager.
    std::optional<th::Window> note(int minHeight = 16) const {
        for (const th::Window& w : x.mapped("Quelto"))
            if (!w.embedded && w.overrideRedirect && w.frame.width() >= 100 && w.frame.height() >= minHeight &&
                w.frame.height() < 200 && w.frame.top() < 120)
                return w;
        return std::nullopt;
    }
    // How many pixels of the glyph's light lines the icon shows.
    int glyphPixels(const th::Window& icon) const {
        const QImage image = x.grab(icon.frame);
        int n = 0;
        for (int yy = 0; yy < image.height(); ++yy)
            for (int xx = 0; xx < image.width(); ++xx) n += qGray(image.pixel(xx, yy)) > 200;
        return n;
    }
};

#define SKIP_WITHOUT(desktop)                                                                                  \
    if (!(desktop).ready()) GTEST_SKIP() << "needs Xvfb and xdotool (in .ci/packages.txt)"

// The login-item case: Quelto starts before the desktop's tray, with no window and
// no session bus. The tray still gets the icon; a click on it opens the glass panel
// and another closes it, the menu brings the window, closing that keeps Quelto in the
// tray, and the menu quits.
TEST(Tray, AnXEmbedTrayStartedLaterGetsTheIconAndItsMenuQuits) {
    Desktop d;
    SKIP_WITHOUT(d);
    if (!th::onPath("trayer")) GTEST_SKIP() << "needs trayer (in .ci/packages.txt)";
    th::Child app = d.launch({"--login-item"});
    EXPECT_FALSE(th::waitFor([&] { return d.mainWindow().has_value(); }, 1.5)) << "a login launch showed its window";

    th::XEmbedTray tray(d.x);
    ASSERT_TRUE(tray.ok());
    ASSERT_TRUE(th::waitFor([&] { return d.trayIcon().has_value(); }, 30)) << d.output();
    th::Window icon = *d.trayIcon();
    EXPECT_FALSE(d.mainWindow().has_value()) << "a login launch showed its window";
    EXPECT_GE(icon.frame.width(), 16);
    ASSERT_TRUE(th::waitFor([&] { return d.glyphPixels(icon) >= 10; }, 5)) << "the icon shows no glyph";
    const QRect trayArea(1280 - 200, 0, 200, 36);
    EXPECT_TRUE(keepScreenshot(d.x.grab(trayArea).scaled(400, 72), "tray-icon"));

    // Resting the pointer on the icon shows the readings.
    ASSERT_TRUE(d.x.moveMouse(icon.frame.center()));
    ASSERT_TRUE(th::waitFor([&] { return d.note().has_value(); }, 30)) << "no tool tip on the icon";
    th::waitFor([] { return false; }, 0.3);
    EXPECT_TRUE(keepScreenshot(d.x.grab(d.note()->frame.united(trayArea).adjusted(-8, 0, 8, 8)), "tray-tool-tip"));

    // A click opens the glass panel under the icon; another closes it.
    ASSERT_TRUE(d.x.click(icon.frame.center()));
    ASSERT_TRUE(th::waitFor([&] { return d.panel().has_value(); }, 30)) << "a click on the icon showed nothing";
    EXPECT_GE(d.panel()->frame.top(), icon.frame.bottom());
    EXPECT_FALSE(d.mainWindow().has_value());
    ASSERT_TRUE(d.x.click(icon.frame.center()));
    ASSERT_TRUE(th::waitFor([&] { return !d.panel(); }, 30)) << "a second click left the panel open";

    // "Open Quelto", the menu's first row, brings the window.
    ASSERT_TRUE(d.x.click(icon.frame.center(), 3));
    ASSERT_TRUE(th::waitFor([&] { return d.menu().has_value(); }, 30)) << "no menu on a right click";
    ASSERT_TRUE(d.x.keys({"Down", "Return"}));
    ASSERT_TRUE(th::waitFor([&] { return d.mainWindow().has_value(); }, 30)) << "Open Quelto showed nothing";

    d.x.close(d.mainWindow()->id);
    ASSERT_TRUE(th::waitFor([&] { return !d.mainWindow(); }, 30));
    EXPECT_FALSE(app.exitCode(1.5).has_value()) << "closing the window ended Quelto";
    ASSERT_TRUE(d.trayIcon().has_value());

    ASSERT_TRUE(d.x.click(icon.frame.center(), 3));
    ASSERT_TRUE(th::waitFor([&] { return d.menu().has_value(); }, 30)) << "no menu on a right click";
    const th::Window menu = *d.menu();
    EXPECT_TRUE(QRect(0, 0, 1280, 800).contains(menu.frame)) << "the menu runs off the screen";
    th::waitFor([] { return false; }, 0.3);  // its first paint
    EXPECT_TRUE(keepScreenshot(d.x.grab(menu.frame.united(trayArea).adjusted(-40, 0, 0, 12)), "tray-menu"));

    // "Check for Updates…", the third row, answers in a note by the icon, not an alert.
    ASSERT_TRUE(d.x.keys({"Down", "Down", "Down", "Return"}));
    ASSERT_TRUE(th::waitFor([&] { return !d.menu(); }, 30));
    // A balloon, taller than a tool tip.
    ASSERT_TRUE(th::waitFor([&] { return d.note(40).has_value(); }, 30)) << "no note after a check for updates";
    th::waitFor([] { return false; }, 0.3);
    EXPECT_TRUE(keepScreenshot(d.x.grab(d.note(40)->frame.united(trayArea).adjusted(-8, 0, 8, 8)), "tray-no-update"));
    EXPECT_FALSE(d.mainWindow().has_value());

    // "Quit Quelto", the last row, ends the run.
    ASSERT_TRUE(d.x.click(icon.frame.center(), 3));
    ASSERT_TRUE(th::waitFor([&] { return d.menu().has_value(); }, 30));
    ASSERT_TRUE(d.x.keys({"Up", "Return"}));
    EXPECT_EQ(app.exitCode(30), 0) << d.output();
}

// The relaunch after an update: a fresh mark starts Quelto with no window and is
// gone afterwards. The desktop's StatusNotifierItem watcher comes up seconds later
// and still gets the item, with the readings in its tool tip; activating it opens
// and closes the glass panel, and a second launch brings the window.
TEST(Tray, ANotifierWatcherStartedLaterGetsTheItemAndASecondLaunchShowsTheWindow) {
    Desktop d;
    SKIP_WITHOUT(d);
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
    ASSERT_TRUE(th::waitFor([&] { return !tray.items().isEmpty(); }, 30)) << d.output();
    const QString item = tray.items().first();
    QStringList tip;
    ASSERT_TRUE(th::waitFor(
        [&] {
            tip = tray.toolTip(item);
            return tip.join(' ').contains(QRegularExpression("CPU \\d+%  Memory \\d+%"));
        },
        10))
        << tip.join('|').toStdString();

    // Activating it opens the glass panel (by the pointer: the host tells no icon
    // place), and again closes it; the window stays closed.
    ASSERT_TRUE(tray.activate(item));
    ASSERT_TRUE(th::waitFor([&] { return d.panel().has_value(); }, 30));
    EXPECT_TRUE(QRect(0, 0, 1280, 800).contains(d.panel()->frame));
    ASSERT_TRUE(tray.activate(item));
    ASSERT_TRUE(th::waitFor([&] { return !d.panel(); }, 30));
    EXPECT_FALSE(d.mainWindow().has_value());
    EXPECT_TRUE(app.running());
    EXPECT_EQ(tray.items(), QStringList{item});

    th::Child second = d.launch({}, bus.address());
    EXPECT_EQ(second.exitCode(30), 0);
    EXPECT_TRUE(th::waitFor([&] { return d.mainWindow().has_value(); }, 30));
    EXPECT_TRUE(app.running());
}

// No session bus and no tray: a quiet start would leave a process nothing can
// reach, so once the tray has had its time the window comes; closing it then quits.
TEST(Tray, AQuietStartThatNothingCouldReachShowsTheWindowAfterWaitingForATray) {
    Desktop d;
    SKIP_WITHOUT(d);
    th::Child app = d.launch({"--login-item"});
    EXPECT_FALSE(th::waitFor([&] { return d.mainWindow().has_value(); }, 6));
    ASSERT_TRUE(th::waitFor([&] { return d.mainWindow().has_value(); }, 30)) << d.output();
    d.x.close(d.mainWindow()->id);
    EXPECT_EQ(app.exitCode(30), 0);
}
}  // namespace
