#include "Models/Analyze/AnalyzeModel.h"
#include "Models/Analyze/OrbitLayout.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <set>

#include "Core/Clean/FakeHome.h"
#include "Core/Clean/History.h"
#include "Core/Clean/Shell.h"
#include "Models/Clean/CleanListModel.h"
#include "Models/Clean/CleanTestSupport.h"
#include "Models/Settings/Preferences.h"
#include "Models/Window/AppState.h"
#include "Platform/Locations.h"
#include "Platform/PlatformTestSupport.h"
#include "Support/QtTestSupport.h"
#include "Support/SteppedTime.h"
#include "Support/WalkLatch.h"

using fakehome::FakeHome;
using fakehome::kBlock;
using Entry = AnalyzeModel::Entry;
namespace fs = std::filesystem;

namespace {
using qttest::until;
bool settled(const AnalyzeModel& m) { return !m.listing() && m.pending() == 0 && !m.removing(); }

std::vector<std::string> names(const std::vector<Entry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) out.push_back(e.url.filename().string());
    return out;
}

const Entry& entryNamed(const AnalyzeModel& m, const std::string& name) {
    for (const auto& e : m.entries())
        if (e.url.filename() == name) return e;
    throw std::runtime_error("no entry " + name);
}

int64_t du(const fs::path& p) { return std::stoll(Shell::run("/usr/bin/du", {"-sx", "-B1", p.string()}, 60).output); }

// A model over a size service of its own whose walks wait for the test.
struct Held {
    testsupport::WalkLatch latch;
    SizeService sizes{{4, 8, [this](const std::string& path) { latch.arrive(path); }}};
    AnalyzeModel model{sizes};
    ~Held() { latch.releaseAll(); }
};

// The same, walking freely, with the home folder listed and measured.
struct Loaded : Held {
    Loaded() {
        latch.releaseAll();
        model.load();
        EXPECT_TRUE(until([&] { return settled(model); }));
    }
};
}  // namespace

TEST(AnalyzeModel, SortOrder) {
    auto e = [](const char* name, std::optional<int64_t> size) { return Entry{fs::path("/x") / name, size, {}, true}; };
    struct Case {
        const char* name;
        std::vector<Entry> in;
        std::vector<std::string> out;
    } const cases[] = {
        {"unmeasured between", {e("ten", 10 << 20), e("folder", {}), e("two", 2'000'000'000)}, {"two", "folder", "ten"}},
        {"measured at 50 MB", {e("ten", 10 << 20), e("folder", 50 << 20), e("two", 2'000'000'000)}, {"two", "folder", "ten"}},
        {"names as a person reads them", {e("Zebra", {}), e("apple", {})}, {"apple", "Zebra"}},
        {"numbers in names by value", {e("f10", 5), e("f2", 5), e("f1", 5)}, {"f1", "f2", "f10"}},
        {"unmeasured numbered", {e("f10", {}), e("f2", {}), e("F1", {})}, {"F1", "f2", "f10"}},
        {"100 MiB exactly", {e("u", {}), e("m", AnalyzeModel::unmeasuredRank)}, {"m", "u"}},
        {"just under", {e("m", AnalyzeModel::unmeasuredRank - 1), e("u", {})}, {"u", "m"}},
        {"equal sizes", {e("b", 5), e("a", 5)}, {"a", "b"}},
    };
    for (const auto& c : cases) EXPECT_EQ(names(AnalyzeModel::sorted(c.in)), c.out) << c.name;
}

// List, measure, open, go back, select, and move to the freedesktop Trash through the
// remover, on a temporary home whose path comes through a link.
TEST(AnalyzeModel, BrowsesAndTrashesOnATemporaryHome) {
    FakeHome h;
    const fs::path linked = h.root() / "linked-home";
    fs::create_directory_symlink(h.home(), linked);
    testtree::ScopedEnv home("HOME", linked.string());
    h.folder("big", 30);
    h.folder("big/inner", 10);
    h.folder("unmeasured", 4);
    h.folder("keep", 2);
    h.file("file.bin", 3);
    h.folder("Applications.app", 1);  // a package: measured, never opened
    Preferences::shared().setProtectedPaths({"~/keep"});

    AppState state;
    QSignalSpy busy(&state, &AppState::busyChanged);
    AnalyzeModel& m = state.analyze();
    EXPECT_EQ(m.path(), (std::vector<fs::path>{"/", h.home()}));  // the resolved home
    m.load();
    EXPECT_TRUE(state.isBusy(AppTab::analyze));
    ASSERT_TRUE(until([&] { return settled(m); }));
    EXPECT_FALSE(state.isBusy(AppTab::analyze));
    EXPECT_GE(busy.count(), 2);
    EXPECT_EQ(names(m.entries()).front(), "big");
    EXPECT_EQ(entryNamed(m, "big").size, du(h / "big"));
    EXPECT_FALSE(entryNamed(m, "Applications.app").isFolder);
    EXPECT_EQ(m.subSlices().at((h / "big").string()).at(0).url, h / "big/inner");

    m.open(entryNamed(m, "big"));
    ASSERT_TRUE(until([&] { return settled(m); }));
    EXPECT_EQ(m.path().back(), h / "big");
    EXPECT_EQ(names(m.entries()), (std::vector<std::string>{"data", "inner"}));
    m.goBack();
    ASSERT_TRUE(until([&] { return settled(m); }));

    // The protected folder cannot be chosen; the others can.
    m.toggleSelection(entryNamed(m, "keep"));
    EXPECT_TRUE(m.selection().empty());
    const int64_t bytes = du(h / "big") + du(h / "unmeasured");
    m.sizes().reset();  // "unmeasured" has no size when it is chosen
    m.load();
    ASSERT_TRUE(until([&] { return !m.listing(); }));
    std::vector<std::string> left = names(m.entries());
    std::erase_if(left, [](const std::string& n) { return n == "big" || n == "unmeasured"; });
    m.setSelection({(h / "big").string(), (h / "unmeasured").string()});
    m.trashSelected();
    ASSERT_TRUE(until([&] { return m.lastRemoval().has_value() && settled(m); }));
    EXPECT_EQ(m.lastRemoval()->removed.size(), 2u);
    EXPECT_TRUE(fs::exists(Platform::Locations::trashInfo() / "big.trashinfo"));
    EXPECT_TRUE(fs::exists(Platform::Locations::trashInfo() / "unmeasured.trashinfo"));
    EXPECT_EQ(History::entries().at(0).action, "analyze");
    EXPECT_EQ(History::entries().at(0).bytes, bytes);
    std::vector<std::string> now = names(m.entries());
    left.push_back(".local");  // the Trash they went to, made in the home
    std::sort(now.begin(), now.end());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(now, left);
    EXPECT_TRUE(m.selection().empty());
    // Nothing at or above the removed folder stays known.
    EXPECT_FALSE(m.sizes().cached((h / "big").string()));
    EXPECT_FALSE(m.sizes().cached(h.home().string()));
    Preferences::shared().setProtectedPaths({});
}

TEST(AnalyzeModel, Crumbs) {
    FakeHome h;
    Held held;
    AnalyzeModel& m = held.model;
    const std::vector<fs::path> start = m.path();
    m.go(-1);
    m.go(1);  // the crumb shown
    m.go(7);
    EXPECT_EQ(m.path(), start);
    EXPECT_EQ(m.generation(), 0);
    m.goBack();
    EXPECT_EQ(m.path(), std::vector<fs::path>{"/"});
    m.goBack();
    EXPECT_EQ(m.path(), std::vector<fs::path>{"/"});
    m.navigate("/Library/./Caches");
    EXPECT_EQ(m.path(), (std::vector<fs::path>{"/", "/Library", "/Library/Caches"}));
    m.navigate(h / "Library/Caches");
    EXPECT_EQ(m.path(), (std::vector<fs::path>{"/", h.home(), h / "Library", h / "Library/Caches"}));
    m.go(1);
    EXPECT_EQ(m.path(), (std::vector<fs::path>{"/", h.home()}));
    m.navigate("/");
    EXPECT_EQ(m.path(), std::vector<fs::path>{"/"});
}

// A row of the folder shown before, clicked while the next listing loads, opens nothing.
TEST(AnalyzeModel, RowsOfAnEarlierFolderOpenNothing) {
    FakeHome h;
    h.folder("a/b/c", 1);
    h.folder("x", 1);
    Loaded held;
    AnalyzeModel& m = held.model;
    const Entry a = entryNamed(m, "a"), x = entryNamed(m, "x");
    const AnalyzeModel::SubSlice b = m.subSlices().at(a.id()).at(0);
    m.open(a);
    m.open(a);  // a double click
    m.open(x);
    EXPECT_EQ(m.path().back(), h / "a");
    m.goBack();
    m.open(b);  // two levels down through its parent
    EXPECT_EQ(m.path(), (std::vector<fs::path>{"/", h.home(), h / "a", h / "a/b"}));
    m.open(b);
    EXPECT_EQ(m.path().size(), 4u);
}

// A newer load wins: results of the one before it never show, and a removal while
// sizes arrive is not undone by them; publications come at most every 0.25 s.
TEST(AnalyzeModel, LateResultsAndBatches) {
    FakeHome h;
    steppedtime::Clocks clocks(h.now());
    for (int i = 0; i < 8; ++i) h.folder("old/f" + std::to_string(i), 1);
    for (int i = 0; i < 120; ++i) h.folder("new/f" + std::to_string(i), 1);
    h.file("new/gone.bin", 1);
    Held held;
    AnalyzeModel& m = held.model;
    std::vector<std::vector<Entry>> shown;
    QObject::connect(&m, &AnalyzeModel::entriesChanged, [&] { shown.push_back(m.entries()); });

    m.navigate(h / "old");
    ASSERT_TRUE(until([&] { return !m.listing(); }));
    held.latch.started(4);
    m.navigate(h / "new");
    ASSERT_TRUE(until([&] { return !m.listing(); }));
    const size_t firstNew = shown.size() - 1;
    m.trash(entryNamed(m, "gone.bin"));
    ASSERT_TRUE(until([&] { return m.lastRemoval().has_value(); }));
    ASSERT_EQ(m.lastRemoval()->removed.size(), 1u);
    // Each walk let go 0.05 s after the one before: 6 s for all of them.
    size_t released = 0;
    std::set<std::string> done;
    while (m.pending() > 0 && released < 200) {
        for (const auto& path : held.latch.started(held.latch.startedNow()))
            if (done.insert(path).second) {
                held.latch.release(path);
                ++released;
                clocks.advance(0.05);
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    ASSERT_TRUE(until([&] { return settled(m); }));
    for (size_t i = firstNew; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i].size(), i == firstNew ? 121u : 120u) << i;
        for (const auto& e : shown[i]) EXPECT_EQ(e.url.parent_path(), h / "new");
    }
    EXPECT_LE(shown.size() - firstNew, 1 + 1 + 6 / 0.25 + 1);
    EXPECT_EQ(m.total(), 120 * du(h / "new/f0"));
}

// A preview changes nothing; a second request while one runs is dropped; protecting a
// folder takes its check box away at once.
TEST(AnalyzeModel, PreviewDoubleRequestAndProtecting) {
    FakeHome h;
    h.folder("a", 2);
    h.folder("b", 2);
    Loaded held;
    AnalyzeModel& m = held.model;
    const Entry a = entryNamed(m, "a"), b = entryNamed(m, "b");

    Preferences::shared().setDryRun(true);
    m.toggleSelection(a);
    m.trashSelected();
    ASSERT_TRUE(until([&] { return m.lastRemoval().has_value() && !m.removing(); }));
    EXPECT_TRUE(m.lastRemoval()->dryRun);
    EXPECT_TRUE(fs::exists(h / "a"));
    EXPECT_EQ(m.selection(), AnalyzeModel::Selection{a.id()});
    Preferences::shared().setDryRun(false);

    m.trashSelected();
    m.trashSelected();
    ASSERT_TRUE(until([&] { return !m.removing(); }));
    EXPECT_EQ(History::entries().size(), 1u);
    EXPECT_FALSE(fs::exists(h / "a"));

    EXPECT_TRUE(m.canRemove(b));
    Preferences::shared().setProtectedPaths({"~/b"});
    EXPECT_FALSE(m.canRemove(b));
    Preferences::shared().setProtectedPaths({});
    EXPECT_TRUE(m.canRemove(b));
}

// A child of a measured folder shows every size at once, without a walk.
TEST(AnalyzeModel, AChildOfAMeasuredFolderNeedsNoWalk) {
    FakeHome h;
    h.folder("p/c1/x", 1);
    h.folder("p/c2", 1);
    Loaded held;
    AnalyzeModel& m = held.model;
    const size_t walks = held.latch.startedNow();
    m.open(entryNamed(m, "p"));
    ASSERT_TRUE(until([&] { return !m.listing(); }));
    EXPECT_EQ(m.pending(), 0);
    EXPECT_EQ(m.subSlices().at((h / "p/c1").string()).at(0).url, h / "p/c1/x");
    EXPECT_EQ(held.latch.startedNow(), walks);
}

// A kernel file system in the folder shown, as under the whole disk, is never walked:
// it shows no size (not "0 bytes"), is waited for by nothing and takes no share.
TEST(AnalyzeModel, KernelMountsShowNoSize) {
    FakeHome h;
    h.folder("data", 3);
    const platformtest::TmpfsMount kernel(h / "sys", platformtest::TmpfsMount::Kernel{"sysfs"});
    if (!kernel.mounted()) GTEST_SKIP() << "cannot mount a sysfs here";
    Loaded held;
    const AnalyzeModel& m = held.model;
    EXPECT_EQ(names(m.entries()), (std::vector<std::string>{"data", "sys"}));
    const Entry& sys = entryNamed(m, "sys");
    EXPECT_TRUE(sys.sizeless);
    EXPECT_FALSE(sys.size);
    EXPECT_FALSE(sys.files);
    EXPECT_EQ(held.latch.startedNow(), 1u);  // "data" alone
    EXPECT_EQ(m.total(), *entryNamed(m, "data").size);
    const auto layout = OrbitLayout::layout(m.entries(), m.subSlices());
    ASSERT_EQ(layout.inner.size(), 1u);
    EXPECT_EQ(layout.inner[0].id, (h / "data").string());
}

TEST(AnalyzeModel, LargeFileSearchOnAKernelFileSystemSaysItDidNotSearch) {
    FakeHome h;
    const platformtest::TmpfsMount kernel(h / "sys", platformtest::TmpfsMount::Kernel{"sysfs"});
    if (!kernel.mounted()) GTEST_SKIP() << "cannot mount a sysfs here";
    Held held;
    held.latch.releaseAll();
    AnalyzeModel& m = held.model;
    m.setMode(AnalyzeModel::Mode::largeFiles);
    ASSERT_TRUE(until([&] { return !m.listing(); }));
    EXPECT_TRUE(m.searched());
    m.navigate(h / "sys");
    ASSERT_TRUE(until([&] { return !m.listing() && m.generation() > 1; }));
    EXPECT_TRUE(m.entries().empty());
    EXPECT_FALSE(m.searched());
    // Back on the disk, a search is made again.
    m.goBack();
    EXPECT_TRUE(m.searched());
}

TEST(AnalyzeModel, LargeFiles) {
    FakeHome h;
    auto allocate = [&](const char* rel, off_t bytes) {
        const int fd = ::open((h / rel).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::posix_fallocate(fd, 0, bytes), 0);
        ::close(fd);
    };
    h.folder("videos");
    allocate("videos/large.mov", AnalyzeModel::largeFileMinimum);
    allocate("videos/almost.mov", AnalyzeModel::largeFileMinimum - (1 << 20));
    Held held;
    AnalyzeModel& m = held.model;
    m.setMode(AnalyzeModel::Mode::largeFiles);
    EXPECT_TRUE(m.listing());  // the search is held at its start
    held.latch.releaseAll();
    ASSERT_TRUE(until([&] { return !m.listing(); }));
    ASSERT_EQ(m.entries().size(), 1u);
    EXPECT_EQ(m.entries()[0], (Entry{h / "videos/large.mov", testtree::allocated(h / "videos/large.mov"), 1, false}));
    m.open(m.entries()[0]);
    EXPECT_EQ(m.path().size(), 2u);
}

// Opened, a folder reads what its row read: its own blocks and its links count, though
// the list leaves links out; a file listed under two names counts once; a folder with
// another volume mounted on it counts its own blocks, though its row reads the volume.
TEST(AnalyzeModel, AFolderOpenedReadsWhatItsRowRead) {
    FakeHome h;
    h.folder("Desktop");
    h.file(h.root() / "movie.bin", 50);
    h.link("Links/movie", h.root() / "movie.bin");
    h.folder("Mixed/sub", 3);
    h.file("Mixed/a.bin", 2);
    h.link("Mixed/shortcut", "a.bin");
    h.file("Twice/a", 3);
    ASSERT_EQ(::link((h / "Twice/a").c_str(), (h / "Twice/b").c_str()), 0);
    h.folder("Mounted/here", 2);
    const platformtest::TmpfsMount volume(h / "Mounted/volume");
    h.file("Mounted/volume/x", 5);
    Loaded held;
    AnalyzeModel& m = held.model;
    struct Case {
        const char* folder;
        std::vector<std::string> listed;
        int64_t links;
    };
    std::vector<Case> cases = {
        {"Desktop", {}, 0}, {"Links", {}, 1}, {"Mixed", {"sub", "a.bin"}, 1}, {"Twice", {"a", "b"}, 0}};
    if (volume.mounted()) cases.push_back({"Mounted", {"volume", "here"}, 0});  // root may mount
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        const Entry row = entryNamed(m, c.folder);
        ASSERT_TRUE(row.size);
        m.open(row);
        ASSERT_TRUE(until([&] { return settled(m) && m.path().back() == row.url; }));
        EXPECT_TRUE(m.readable());
        EXPECT_EQ(names(m.entries()), c.listed);
        EXPECT_EQ(m.unlistedFiles(), c.links);
        EXPECT_EQ(m.folderSize(), row.size);
        EXPECT_EQ(m.folderFiles(), row.files);
        m.goBack();
        ASSERT_TRUE(until([&] { return settled(m); }));
    }
}

namespace {
// What the model shows of its folder: rows with their sizes and files, and the totals.
struct Shown {
    std::vector<std::tuple<std::string, std::optional<int64_t>, std::optional<int64_t>>> rows;
    std::optional<int64_t> size, files;
    bool operator==(const Shown&) const = default;
};
void PrintTo(const Shown& s, std::ostream* os) {
    for (const auto& [path, size, files] : s.rows) *os << path << " " << size.value_or(-1) << " " << files.value_or(-1) << "; ";
    *os << "total " << s.size.value_or(-1) << " / " << s.files.value_or(-1);
}
Shown shown(const AnalyzeModel& m) {
    Shown s{{}, m.folderSize(), m.folderFiles()};
    for (const auto& e : m.entries()) s.rows.emplace_back(e.id(), e.size, e.files);
    return s;
}
// The same folder looked at afresh, as "Measure again" would show it.
Shown afresh(const AnalyzeModel& m) {
    Loaded again;
    again.model.setMode(m.mode());
    again.model.navigate(m.path().back());
    EXPECT_TRUE(until([&] { return settled(again.model) && again.model.path() == m.path(); }));
    return shown(again.model);
}
}  // namespace

// The Trash lies in the home: what a removal moved there is counted where it lies now,
// in the folder's totals and in the large-file list, as a fresh look would show it.
TEST(AnalyzeModel, WhatWentToTheTrashIsCountedWhereItLies) {
    FakeHome h;
    h.folder("big/inner", 30);
    h.folder("keep", 2);
    h.file("notes.txt", 1);
    h.folder("films");
    const int fd = ::open((h / "films/cut.mov").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::posix_fallocate(fd, 0, AnalyzeModel::largeFileMinimum), 0);
    ::close(fd);
    Loaded held;
    AnalyzeModel& m = held.model;
    const auto removal = [&](const std::string& name) {
        m.trash(entryNamed(m, name));
        EXPECT_TRUE(until([&] { return m.lastRemoval().has_value() && settled(m); }));
        ASSERT_EQ(m.lastRemoval()->removed.size(), 1u);
        m.setLastRemoval(std::nullopt);
    };
    // The first removal makes the Trash, and with it ".local"; the next one grows it.
    ASSERT_FALSE(fs::exists(h / ".local"));
    const auto before = m.folderSize();
    removal("big");
    EXPECT_GE(m.folderSize(), before);  // moved, not freed
    EXPECT_EQ(shown(m), afresh(m));
    removal("keep");
    EXPECT_EQ(shown(m), afresh(m));

    m.setMode(AnalyzeModel::Mode::largeFiles);
    ASSERT_TRUE(until([&] { return settled(m); }));
    ASSERT_EQ(names(m.entries()), std::vector<std::string>{"cut.mov"});
    removal("cut.mov");
    EXPECT_EQ(m.entries().at(0).url, Platform::Locations::trashFiles() / "cut.mov");
    EXPECT_EQ(shown(m), afresh(m));
}


// A removal made elsewhere (a cleaning list, which quick clean and uninstall use too, or
// emptying the Trash) leaves no size from before it: the folder shown measures what it
// touched again at once, and lists it again with du's figures.
TEST(AnalyzeModel, WhatARemovalElsewhereTouchedIsMeasuredAgain) {
    enum class Removal { deleted, trashed, trashEmptied };
    struct Case {
        const char* name;
        Removal removal;
        const char* shown;
        const char* shownAfter;
    } const cases[] = {
        {"deleted, home shown", Removal::deleted, "", ""},
        {"deleted, itself shown", Removal::deleted, ".cache/pip", ".cache"},
        {"trashed, home shown", Removal::trashed, "", ""},
        {"Trash emptied, home shown", Removal::trashEmptied, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHome h;
        steppedtime::Clocks clocks(h.now());
        cleantest::FakeAudio audio;
        h.folder(".cache/pip/wheels", 500);
        h.folder(".cache/other", 3);
        h.file("Downloads/setup.dmg", 20);
        h.file(".local/share/Trash/files/old.bin", 40);
        h.bytes(".local/share/Trash/info/old.bin.trashinfo", 60);
        const auto at = [&](const char* rel) { return *rel ? h / rel : h.home(); };
        AnalyzeModel m;  // over the process's size service, as the cleaning lists are
        m.navigate(at(c.shown));
        ASSERT_TRUE(until([&] { return settled(m); }));
        if (c.removal == Removal::trashEmptied) {
            QFuture<Cleaner::TrashEmptied> emptied = CleanListModel::emptyTrash();
            emptied.waitForFinished();
            QCoreApplication::sendPostedEvents();  // the analyzer hears of it
        } else {
            // Caches are deleted outright, installers go to the Trash.
            const bool deleted = c.removal == Removal::deleted;
            const fs::path found = deleted ? h / ".cache/pip" : h / "Downloads/setup.dmg";
            const CleanItem item{found, du(found), deleted ? CleanCategory::userCaches : CleanCategory::installers,
                                 Risk::safe, "", false, false, std::nullopt};
            CleanListModel list("clean", [&](CleanListModel&) -> QCoro::Task<std::vector<CleanItem>> {
                co_return std::vector<CleanItem>{item};
            });
            ASSERT_TRUE(cleantest::drive(clocks, list.scan()));
            ASSERT_TRUE(cleantest::drive(clocks, list.clean()));
            ASSERT_EQ(list.phase().report.removed.size(), 1u);
        }
        const auto expectDu = [&] {
            ASSERT_TRUE(until([&] { return settled(m) && m.path().back() == at(c.shownAfter); }));
            std::vector<std::string> onDisk;
            for (const auto& e : fs::directory_iterator(at(c.shownAfter))) onDisk.push_back(e.path().filename());
            std::vector<std::string> listed = names(m.entries());
            std::sort(onDisk.begin(), onDisk.end());
            std::sort(listed.begin(), listed.end());
            EXPECT_EQ(listed, onDisk);
            for (const auto& e : m.entries()) EXPECT_EQ(e.size, du(e.url)) << e.url;
        };
        expectDu();
        m.load();
        expectDu();
    }
}

// A file of several names counts in one row only, so the rows add up to the folder as
// du counts it: in the folder's own file before its folders, else in the first folder
// by name, however the rows were measured (in one walk of the folder, each alone, or
// mixed after a change).
TEST(AnalyzeModel, AFileOfSeveralNamesCountsInOneRow) {
    struct Case {
        const char* name;
        std::vector<const char*> names;  // under X; the first is made, the others linked to it
        const char* holder;
    } const cases[] = {
        {"in two subfolders", {"b/f", "a/f"}, "a"},
        {"twice in the folder", {"f2", "f1"}, "f1"},
        {"in the folder and a subfolder", {"a/z", "z"}, "z"},
        {"beside a sibling of the same start", {"a-b/f", "a/x/f"}, "a"},
        {"in a subfolder and outside", {"a/f", "../outside"}, "a"},
    };
    enum class Measured { inOneWalk, apart, mixed };
    for (const auto& c : cases)
        for (const Measured how : {Measured::inOneWalk, Measured::apart, Measured::mixed}) {
            SCOPED_TRACE(std::string(c.name) + " " + std::to_string(int(how)));
            FakeHome h;
            h.folder("X/a", 1);
            h.folder("X/a-b", 1);
            h.folder("X/b", 2);
            h.folder("X/c", 3);
            h.file(fs::path("X") / c.names[0], 5);
            for (size_t i = 1; i < c.names.size(); ++i) {
                fs::create_directories((h / "X" / c.names[i]).parent_path());
                ASSERT_EQ(::link((h / "X" / c.names[0]).c_str(), (h / "X" / c.names[i]).c_str()), 0);
            }
            Held held;
            held.latch.releaseAll();
            AnalyzeModel& m = held.model;
            if (how == Measured::apart) {
                m.navigate(h / "X");
            } else {  // the home measured first: X's rows come from one walk of X
                m.load();
                ASSERT_TRUE(until([&] { return settled(m); }));
                m.open(entryNamed(m, "X"));
            }
            ASSERT_TRUE(until([&] { return settled(m) && m.path().back() == h / "X"; }));
            if (how == Measured::mixed) {
                const std::vector<Entry> rows = m.entries();  // each one changes the list
                for (const auto& e : rows)
                    if (e.url.filename() != c.holder) m.sizes().invalidate(e.id());
                ASSERT_TRUE(until([&] { return settled(m); }));
            }
            int64_t bytes = 0, files = m.unlistedFiles();
            for (const auto& e : m.entries()) {
                bytes += e.size.value_or(0);
                files += e.files.value_or(0);
            }
            EXPECT_EQ(m.folderSize(), du(h / "X"));
            EXPECT_EQ(m.folderSize(), bytes + testtree::allocated(h / "X"));  // the rows and its own blocks
            EXPECT_EQ(m.folderFiles(), files);
            EXPECT_EQ(entryNamed(m, c.holder).size, du(h / "X" / c.holder));
        }
}

// "Select all, Move to Trash" in a folder of 40,000 files: the rows gone leave, those
// touched and left are measured or listed again, the rest stay, and the window's thread
// is not held for seconds, as it was while each row was looked for among the rows.
TEST(AnalyzeModel, ForgettingManyRowsLeavesTheRightOnesAtOnce) {
    constexpr int kMany = 40000;
    FakeHome h;
    h.folder("Many/kept", 1);
    h.file("Many/stays.bin", 2);
    ASSERT_TRUE(testtree::writeFiles(h / "Many", kMany));
    Held held;
    held.latch.releaseAll();
    AnalyzeModel& m = held.model;
    m.navigate(h / "Many");
    ASSERT_TRUE(until([&] { return settled(m) && m.entries().size() == kMany + 2; }));
    AnalyzeModel::Selection all;
    for (const auto& e : m.entries()) all.insert(e.id());
    m.setSelection(all);

    // What a removal's report names: each file where it was and where it lies now; and
    // beside it a folder that grew and a file that came.
    const fs::path trash = Platform::Locations::trashFiles();
    fs::create_directories(trash);
    std::vector<fs::path> touched;
    for (int i = 0; i < kMany; ++i) {
        const std::string name = "f" + std::to_string(i);
        ASSERT_EQ(::rename((h / "Many" / name).c_str(), (trash / name).c_str()), 0);
        touched.push_back(h / "Many" / name);
        touched.push_back(trash / name);
    }
    touched.push_back(h.file("Many/kept/more", 3));
    touched.push_back(h.file("Many/came.bin", 1));
    const auto start = std::chrono::steady_clock::now();
    m.sizes().forget(touched);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took.count(), 1.0);

    ASSERT_TRUE(until([&] { return settled(m); }));
    std::vector<std::string> left = names(m.entries());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"came.bin", "kept", "stays.bin"}));
    EXPECT_EQ(m.selection(), (AnalyzeModel::Selection{(h / "Many/kept").string(), (h / "Many/stays.bin").string()}));
    EXPECT_EQ(entryNamed(m, "kept").size, du(h / "Many/kept"));
}

// A folder of many files opened is published a slice at a time, each a longer start of
// the one order, with a turn of the event loop between them, so the window paints while
// the rows arrive; listed again, its rows are replaced at once.
TEST(AnalyzeModel, ALargeListingIsPublishedInSlices) {
    const size_t many = AnalyzeModel::firstSlice * 3 + 5;
    FakeHome h;
    ASSERT_TRUE(testtree::writeFiles(h / "Many", int(many), 0));
    Held held;
    held.latch.releaseAll();
    AnalyzeModel& m = held.model;
    struct Shown {
        std::vector<std::string> names;
        bool listing, turned;
    };
    std::vector<Shown> shown;
    bool turned = false;
    QObject::connect(&m, &AnalyzeModel::entriesChanged, [&] {
        if (m.entries().empty()) return;  // the folder's own totals, before its rows
        shown.push_back({names(m.entries()), m.listing(), std::exchange(turned, false)});
        QTimer::singleShot(0, [&] { turned = true; });
    });
    m.navigate(h / "Many");
    ASSERT_TRUE(until([&] { return settled(m); }));
    std::vector<size_t> counts;
    for (const auto& s : shown) counts.push_back(s.names.size());
    const size_t first = AnalyzeModel::firstSlice;
    EXPECT_EQ(counts, (std::vector<size_t>{first, first * 3, many}));
    for (size_t i = 0; i < shown.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(std::equal(shown[i].names.begin(), shown[i].names.end(), shown.back().names.begin()));
        EXPECT_TRUE(shown[i].listing);
        EXPECT_EQ(shown[i].turned, i > 0);
    }
    h.file("Many/came", 1);
    shown.clear();
    m.load();
    ASSERT_TRUE(until([&] { return settled(m); }));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].names.size(), many + 1);
}

// A change naming thousands of the rows is looked at again off the window's thread: the
// rows gone leave, with their selection, new ones take their places in the order, and
// what the folder shows is what a fresh look shows.
TEST(AnalyzeModel, AChangeOfThousandsOfRowsShowsWhatAFreshLookShows) {
    constexpr int kMany = 3000;
    FakeHome h;
    ASSERT_TRUE(testtree::writeFiles(h / "Many", kMany, 0));
    Held held;
    held.latch.releaseAll();
    AnalyzeModel& m = held.model;
    m.navigate(h / "Many");
    ASSERT_TRUE(until([&] { return settled(m) && m.entries().size() == size_t(kMany); }));
    m.setSelection({(h / "Many/f1").string(), (h / "Many/f2").string()});
    std::vector<fs::path> touched;
    for (int i = 0; i < kMany; i += 2) {  // every other one goes, and one comes beside it
        const fs::path gone = h / "Many" / ("f" + std::to_string(i));
        const fs::path came = h / "Many" / ("f" + std::to_string(i) + "b");
        ASSERT_EQ(::rename(gone.c_str(), came.c_str()), 0);
        touched.insert(touched.end(), {gone, came});
    }
    touched.push_back(h.file("Many/a large one", 40));
    m.sizes().forget(touched);
    ASSERT_TRUE(until([&] { return settled(m); }));
    EXPECT_EQ(shown(m), afresh(m));
    EXPECT_EQ(m.selection(), AnalyzeModel::Selection{(h / "Many/f1").string()});
}
