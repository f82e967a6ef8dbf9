#pragma once
// The Analyze screen on a home folder laid out like a Mac's, over a size service of
// its own, in a window-sized frame over the still sky.
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QImage>
#include <QSize>

#include "Core/Clean/FakeHome.h"
#include "Core/Disk/SizeService.h"
#include "Models/Analyze/AnalyzeModel.h"
#include "Support/WalkLatch.h"
#include "Views/Analyze/AnalyzeView.h"
#include "Platform/Gui/Icons.h"
#include "Views/Kit/OverflowOverlay.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"
#include "Views/Kit/SpaceBackground.h"
#include "Views/TestSupport.h"

namespace analyzetest {
namespace fs = std::filesystem;

// Between two shooting stars, so no streak crosses a picture.
inline constexpr double pictureTime = 11.0 * 72000000 + 4.42;
inline constexpr int64_t MB = 1'000'000;
// What the screen has of the main window at its default size (1000 × 680) under the tab bar.
inline constexpr QSize defaultScreen{1000, 628};

using qttest::until;

inline bool settled(const AnalyzeModel& m) { return !m.listing() && m.pending() == 0 && !m.removing(); }

// A file of `bytes` allocated bytes, written without data.
inline void allocate(const fs::path& p, int64_t bytes) {
    fs::create_directories(p.parent_path());
    const int fd = ::open(p.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    if (fd >= 0) {
        if (bytes > 0) (void)::posix_fallocate(fd, 0, bytes);
        ::close(fd);
    }
}

// A home with folders of known sizes: the first three are measured in tens of MB.
struct Home {
    fakehome::FakeHome fake;
    fs::path home() const { return fs::canonical(fake.home()); }
    // A folder whose name is not UTF-8.
    fs::path latin1() const { return home() / "caf\xe9-old"; }
    Home() {
        const fs::path h = home();
        allocate(h / "Movies/2024/holiday.mov", 90 * MB);
        allocate(h / "Movies/old.mp4", 30 * MB);
        allocate(h / "Library/Caches/pip/wheels.bin", 42 * MB);
        allocate(h / "Library/Caches/Safari/cache.db", 16 * MB);
        allocate(h / "Library/Application Support/Code/state.vscdb", 25 * MB);
        allocate(h / "Projects/site/node_modules/pack.tgz", 24 * MB);
        allocate(h / "Projects/site/build/app.bin", 8 * MB);
        allocate(h / "Developer/quelto/build/libs.a", 12 * MB);
        allocate(h / "Downloads/installer.iso", 9 * MB);
        allocate(latin1() / "notes.bin", 6 * MB);
        allocate(h / "Documents/Taxes/2023.pdf", 4 * MB);
        allocate(h / ".cache/thumbnails/x.png", 300'000);
        allocate(h / "notes.txt", 2'000);
    }
};

struct Stage {
    Fixture f;
    testsupport::WalkLatch* latch;
    SizeService* sizes;
    AnalyzeModel* model;
    QWidget window;
    SpaceBackground* sky;
    AnalyzeView* view;

    // With `held`, every walk waits at its start for the whole process: the service and
    // its latch are never freed, and the process ends the walks.
    explicit Stage(bool held = false) : latch(new testsupport::WalkLatch) {
        // As the application does: icons no theme has fall back to our drawings.
        Platform::Icons::setSymbolPainter(
            [](QPainter& p, const QString& name, const QRectF& box) { Symbols::paint(p, name, box, Theme::text()); });
        sizes = new SizeService({4, 8, [l = latch](const std::string& path) { l->arrive(path); }});
        if (!held) latch->releaseAll();
        model = new AnalyzeModel(*sizes, &window);
        window.resize(defaultScreen);
        sky = new SpaceBackground(AppTab::analyze, false, &window);
        sky->setGeometry(window.rect());
        OverflowOverlay::markHost(&window, sky);
        view = new AnalyzeView(*model, f.state->monitor(), &window);
        view->setGeometry(window.rect());
        held_ = held;
    }
    ~Stage() {
        Platform::Icons::setSymbolPainter(nullptr);
        delete view;
        delete model;
        if (!held_) {
            delete sizes;
            delete latch;
        }
    }
    // The disk badge shows once the monitor has read the disk.
    void show() {
        until([&] { return f.state->monitor().disk().total > 0; });
        window.show();
    }
    bool settle() { return until([&] { return settled(*model); }); }
    QImage picture() {
        view->finishAnimations();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);  // what follows a layout
        return window.grab().toImage();
    }

private:
    bool held_ = false;
};

}  // namespace analyzetest
