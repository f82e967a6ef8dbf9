// The Clean screen through a real scan and clean of a fixture home, on stepped
// clocks: in each phase, a picture and what it must say and offer.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTest>

#include "Core/Clean/FakeHome.h"
#include "Models/Clean/CleanListModel.h"
#include "Models/Clean/CleanTestSupport.h"
#include "Support/Pinned.h"
#include "Views/Clean/BlackHole.h"
#include "Views/Clean/CleanScreen.h"
#include "Views/Clean/EmptyTrashButton.h"
#include "Views/Clean/HeroText.h"
#include "Views/Clean/ReviewList.h"
#include "Views/Clean/ReviewPanel.h"
#include "Views/Kit/ConfirmationDialog.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/ScreenStack.h"
#include "Views/Kit/WindowActions.h"
#include "Views/TestSupport.h"
#include "Views/Window/ContentView.h"

namespace fs = std::filesystem;
using Kind = CleanListModel::Phase::Kind;

namespace {
// Between two shooting stars, so no streak crosses the pictures.
constexpr double pictureTime = 11.0 * 72000000 + 4.5;

QString bytes(int64_t n) { return QString::fromStdString(formattedBytes(n)); }

// The main window's content on the Clean tab over a fixture home, with the
// application's own junk list, real scanner and real remover.
struct Scene {
    fakehome::FakeHome home;
    steppedtime::Clocks clocks{Platform::dateFromReferenceSeconds(pictureTime)};
    cleantest::FakeAudio audio;
    Fixture f;
    std::unique_ptr<ContentView> view;

    explicit Scene(bool junk = true) {
        if (junk) {
            home.folder(".npm/_cacache/index-v5", 300);
            home.folder(".cache/uv/wheels", 180);
            home.folder(".cargo/registry/cache/index", 90);
        }
        home.file("Documents/keep.txt", 1);
        view = std::make_unique<ContentView>(*f.state, Preferences::shared(), *f.login);
        WindowActions::install(view.get());
        view->resize(1000, 680);
        view->show();
        QCoreApplication::sendPostedEvents();
    }
    ~Scene() {
        Preferences::shared().setDryRun(false);
        Preferences::shared().setAlwaysTrash(false);
    }
    CleanListModel& list() const { return f.state->junk(); }
    CleanScreen& screen() const { return *qobject_cast<CleanScreen*>(view->screens()->screen()); }
    bool drive(QCoro::Task<> task) { return cleantest::drive(clocks, std::move(task)); }
    // Waits until the list's running scan or clean has ended.
    bool settle() {
        QElapsedTimer timer;
        timer.start();
        while (list().isBusy() && timer.elapsed() < 30000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            clocks.advance(0.05);
        }
        return !list().isBusy();
    }
    // Lets `seconds` of stepped time pass for everything waiting on the clocks.
    void run(double seconds) {
        for (int i = 0; i < int(std::lround(seconds / 0.05)); ++i) {
            QCoreApplication::processEvents();
            clocks.advance(0.05);
            deliverFrames();
        }
        QCoreApplication::processEvents();
    }
    // The hero draws the frames that fell due on the stepped clock.
    void deliverFrames() { deliverDueFrames(screen().hero()->timeline()); }
    QImage picture(const QString& name) {
        screen().heroText()->showRollAt(1);
        deliverFrames();
        QCoreApplication::sendPostedEvents();  // layouts catch up with what changed
        QImage img = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_TRUE(keepScreenshot(img, "clean-phase-" + name));
        return img;
    }
};

struct Shows {
    QString title, subtitle;
    std::vector<QString> buttons;  // the visible ones, left to right
    double open;
};

std::vector<QString> visibleButtons(CleanScreen& s) {
    std::vector<QString> out;
    for (PillButton* b : {s.scanButton(), s.reviewButton(), s.scanAgainButton()})
        if (b->isVisibleTo(&s)) out.push_back(b->text());
    if (EmptyTrashButton* t = s.emptyTrashButton(); t && t->isVisibleTo(&s)) out.push_back(t->button()->text());
    return out;
}

void expectShows(Scene& s, const QString& name, const Shows& expected) {
    SCOPED_TRACE(name.toStdString());
    s.picture(name);
    CleanScreen& screen = s.screen();
    EXPECT_EQ(screen.heroText()->title(), expected.title);
    EXPECT_EQ(screen.heroText()->subtitle(), expected.subtitle);
    EXPECT_EQ(visibleButtons(screen), expected.buttons);
    EXPECT_DOUBLE_EQ(screen.hero()->open(), expected.open);
}

int64_t total(const std::vector<CleanItem>& items) {
    int64_t sum = 0;
    for (const auto& i : items) sum += i.size;
    return sum;
}
}  // namespace

TEST(CleanScreenPhases, ScanReviewAndCleanOutright) {
    Scene s;
    expectShows(s, "idle", {"Ready to clean", "Caches, logs, Xcode, package managers, browsers and the Trash", {"Scan"}, 0});
    EXPECT_FALSE(s.screen().hero()->spinning());

    // Return presses Scan, the window's default action.
    QTest::keyClick(s.view.get(), Qt::Key_Return);
    ASSERT_EQ(s.list().phase().kind, Kind::scanning);
    expectShows(s, "scanning", {"Scanning", "Measuring caches, logs and leftovers", {}, 0});
    EXPECT_TRUE(s.screen().hero()->spinning());
    ASSERT_TRUE(s.settle());
    ASSERT_EQ(s.list().phase().kind, Kind::ready);

    const auto items = s.list().items();
    ASSERT_EQ(items.size(), 3u);
    const int64_t found = total(items), selected = total(s.list().selectedItems());
    expectShows(s, "ready", {bytes(found) + " found",
                             QString("3 items in %1 · %2 preselected")
                                 .arg(s.list().grouped().size() == 1 ? QString("1 category")
                                                                     : QString("%1 categories").arg(s.list().grouped().size()))
                                 .arg(bytes(selected)),
                             {"Review results", "Scan again"}, 0.5});
    const QImage closed = s.picture("ready");

    // Return now opens the review; the sheet covers the hero, dimmed and blurred.
    QTest::keyClick(s.view.get(), Qt::Key_Return);
    ASSERT_TRUE(s.list().reviewing());
    s.screen().finishTransitions();
    ReviewPanel* panel = s.screen().reviewPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->titleLabel()->text(), "System junk");
    EXPECT_EQ(panel->subtitleLabel()->text(), "3 items · " + bytes(found) + " in total");
    EXPECT_EQ(panel->actionButton()->text(), "Clean · " + bytes(selected));
    panel->list()->toggleExpanded(s.list().grouped().front().category, false);
    const QImage review = s.picture("review");
    const QRect heroBox(s.screen().hero()->mapTo(s.view.get(), QPoint(0, 0)), s.screen().hero()->size());
    double before = 0, after = 0;
    for (int y = heroBox.top(); y < heroBox.bottom(); y += 4)
        for (int x = heroBox.left(); x < heroBox.right(); x += 4) {
            before += luminance(closed.pixel(x, y));
            after += luminance(review.pixel(x, y));
        }
    EXPECT_LT(after, before * 0.6);

    // Return in the sheet cleans: only the sheet's action, not the hero's buttons.
    QTest::keyClick(s.view.get(), Qt::Key_Return);
    ASSERT_EQ(s.list().phase().kind, Kind::cleaning);
    EXPECT_FALSE(s.list().reviewing());
    s.screen().finishTransitions();
    // Mid-flight: the remover is done and the first batch has landed, the feed is
    // still counting down. The clock waits for the remover, however slow the machine.
    SwallowFeed* feed = s.list().feed();
    ASSERT_NE(feed, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return feed->finished(); }, 30000));
    for (int i = 0; i < 80 && feed->remaining() == found; ++i) s.run(0.05);
    ASSERT_EQ(s.list().phase().kind, Kind::cleaning);
    const int64_t remaining = feed->remaining();
    EXPECT_GT(remaining, 0);
    EXPECT_LT(remaining, found);
    expectShows(s, "cleaning", {bytes(remaining) + " to go", "Crossing the event horizon", {}, 1});
    EXPECT_TRUE(s.screen().hero()->suction());
    ASSERT_TRUE(s.screen().hero()->feed().has_value());
    EXPECT_EQ(*s.screen().hero()->feed(), feed->events());
    EXPECT_FALSE(feed->events().empty());

    s.run(3);
    ASSERT_EQ(s.list().phase().kind, Kind::done);
    const CleanReport report = s.list().phase().report;
    EXPECT_EQ(report.trashed, 0);
    EXPECT_EQ(s.screen().hero()->feed(), BlackHole::Events{});  // nothing flies once it is done
    expectShows(s, "done-deleted", {bytes(report.freed) + " freed", QString("%1 items removed for good").arg(report.removed.size()),
                                    {"Scan again"}, 1});
    EXPECT_TRUE(fs::exists(s.home / "Documents/keep.txt"));
}

TEST(CleanScreenPhases, IntoTheTrashThenEmptyIt) {
    Scene s;
    Preferences::shared().setAlwaysTrash(true);
    ASSERT_TRUE(s.drive(s.list().scan()));
    QCoro::Task<> clean = s.list().clean();
    // Every finding goes to the Trash, so the subtitle may say so.
    EXPECT_EQ(s.screen().heroText()->subtitle(), "Crossing the event horizon — items go to the Trash");
    ASSERT_TRUE(s.drive(std::move(clean)));
    const CleanReport report = s.list().phase().report;
    ASSERT_EQ(report.trashed, report.freed);
    expectShows(s, "done-trash", {"0 bytes freed",
                                  QString("%1 items removed · %2 waiting in the Trash").arg(report.removed.size()).arg(bytes(report.trashed)),
                                  {"Scan again", "Empty Trash"}, 1});

    EmptyTrashButton* empty = s.screen().emptyTrashButton();
    QTest::mouseClick(empty->button(), Qt::LeftButton);
    ConfirmationDialog* dialog = empty->dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->title(), "Empty the Trash?");
    // The picture of the window with the dialog over it, where it opens.
    QImage img = s.view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    {
        QPainter p(&img);
        const QPoint at = (img.rect().center() - dialog->rect().center());
        p.drawImage(at, dialog->grab().toImage());
    }
    EXPECT_TRUE(keepScreenshot(img, "clean-phase-empty-trash-confirmation"));
    QTest::keyClick(dialog, Qt::Key_Return);  // Cancel is the default
    EXPECT_FALSE(empty->emptied());

    QTest::mouseClick(empty->button(), Qt::LeftButton);
    QTest::mouseClick(empty->dialog()->destructiveButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return empty->emptied().has_value(); }, 30000));
    EXPECT_EQ(empty->emptied()->freed, report.trashed);
    s.picture("trash-emptied");
    EXPECT_TRUE(empty->result()->isVisibleTo(&s.screen()));
    EXPECT_EQ(empty->result()->text(), "Trash emptied · " + bytes(report.trashed));
    // Nothing waits in the Trash any more: what it held counts as freed.
    EXPECT_EQ(s.screen().heroText()->title(), bytes(report.trashed) + " freed");
    EXPECT_EQ(s.screen().heroText()->subtitle(), QString("%1 items removed for good").arg(report.removed.size()));

    // A new scan takes the button away; its result goes with it.
    ASSERT_TRUE(s.drive(s.list().scan()));
    EXPECT_EQ(s.screen().emptyTrashButton(), nullptr);
}

// Emptied in part, a file of one finding kept from deletion: what went counts as
// freed, and only that finding waits in the Trash.
TEST(CleanScreenPhases, ATrashEmptiedInPartCountsNoByteTwice) {
    Scene s;
    Preferences::shared().setAlwaysTrash(true);
    ASSERT_TRUE(s.drive(s.list().scan()));
    ASSERT_TRUE(s.drive(s.list().clean()));
    const CleanReport report = s.list().phase().report;
    const CleanReport::Moved& stuck = report.inTrash.front();
    const auto left = std::find_if(report.removed.begin(), report.removed.end(),
                                   [&](const CleanItem& i) { return i.url == stuck.from; });
    ASSERT_NE(left, report.removed.end());
    auto file = fs::recursive_directory_iterator(stuck.to);
    while (file != fs::recursive_directory_iterator() && !file->is_regular_file()) ++file;
    ASSERT_NE(file, fs::recursive_directory_iterator());
    const Pinned pin(file->path());

    EmptyTrashButton* empty = s.screen().emptyTrashButton();
    QTest::mouseClick(empty->button(), Qt::LeftButton);
    QTest::mouseClick(empty->dialog()->destructiveButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return empty->emptied().has_value(); }, 30000));
    QCoreApplication::processEvents();  // the result beside the button takes its room
    s.picture("trash-emptied-in-part");
    const QString removed = QString("%1 items removed").arg(report.removed.size());
    const QString freed = bytes(empty->emptied()->freed);
    EXPECT_EQ(s.screen().heroText()->title(), freed + " freed");
    EXPECT_EQ(empty->result()->text(), pin.ok() ? "Freed " + freed + " · 1 item could not be deleted"
                                                : "Trash emptied · " + freed);
    // A file system that cannot keep a file empties the Trash whole.
    EXPECT_EQ(s.screen().heroText()->subtitle(),
              pin.ok() ? removed + " · " + bytes(left->size) + " waiting in the Trash" : removed + " for good");
}

TEST(CleanScreenPhases, PreviewAndNothingFound) {
    {
        Scene s;
        Preferences::shared().setDryRun(true);
        ASSERT_TRUE(s.drive(s.list().scan()));
        const auto before = s.list().items();
        QCoro::Task<> clean = s.list().clean();
        EXPECT_EQ(s.screen().heroText()->subtitle(), "Crossing the event horizon");
        ASSERT_TRUE(s.drive(std::move(clean)));
        const CleanReport report = s.list().phase().report;
        ASSERT_TRUE(report.dryRun);
        expectShows(s, "done-preview", {bytes(report.freed) + " would go", "Preview mode is on — nothing was touched",
                                        {"Review results", "Scan again"}, 0});
        EXPECT_EQ(s.list().items(), before);
    }
    Scene empty(false);
    ASSERT_TRUE(empty.drive(empty.list().scan()));
    expectShows(empty, "ready-none", {"All clear", "Nothing worth removing right now", {"Scan again"}, 0});
}

namespace {
// A list of its own over findings in a temporary home: `outside` ones are refused
// by the safety gate, so a clean skips them.
struct Bench {
    fakehome::FakeHome home;
    steppedtime::Clocks clocks{home.now()};
    cleantest::FakeAudio audio;
    std::vector<CleanItem> findings;
    CleanListModel model;
    CleanScreen screen;

    explicit Bench(bool outside)
        : model("clean", [this](CleanListModel&) -> QCoro::Task<std::vector<CleanItem>> { co_return findings; }),
          screen(model, Preferences::shared(), Qt::blue, {"Idle", "idle", "Review", "Clean"}) {
        screen.resize(900, 600);
        screen.show();
        refill(outside);
    }
    void refill(bool outside) {
        findings.clear();
        for (int i = 0; i < 3; ++i) {
            const auto where = outside ? home.root() / ("elsewhere" + std::to_string(i)) : home / (".cache/x" + std::to_string(i));
            CleanItem item;
            item.url = home.folder(where, 20);
            item.size = 20 * fakehome::kBlock;
            item.category = CleanCategory::userCaches;
            findings.push_back(item);
        }
    }
    bool drive(QCoro::Task<> task) { return cleantest::drive(clocks, std::move(task), 0.01); }
    void step(double seconds) {
        for (int i = 0; i < int(std::lround(seconds / 0.01)); ++i) {
            clocks.advance(0.01);
            QCoreApplication::processEvents();
        }
    }
};
}  // namespace

TEST(CleanScreenReseal, TheIrisClosesTwoAndAHalfSecondsAfterAClean) {
    Bench b(false);
    ASSERT_TRUE(b.drive(b.model.scan()));
    ASSERT_TRUE(b.drive(b.model.clean()));
    ASSERT_EQ(b.model.phase().kind, Kind::done);
    b.step(2.4);
    EXPECT_EQ(b.screen.hero()->open(), 1.0);
    b.step(0.2);
    EXPECT_TRUE(b.screen.resealed());
    EXPECT_EQ(b.screen.hero()->open(), 0.0);
}

TEST(CleanScreenReseal, ASecondCleanSoonAfterKeepsItsOwnTwoAndAHalfSeconds) {
    Bench b(false);
    ASSERT_TRUE(b.drive(b.model.scan()));
    ASSERT_TRUE(b.drive(b.model.clean()));
    const double firstDone = b.clocks.t();
    b.step(1.0);
    b.refill(false);
    ASSERT_TRUE(b.drive(b.model.scan()));
    ASSERT_TRUE(b.drive(b.model.clean()));
    ASSERT_EQ(b.model.phase().kind, Kind::done);
    // The first clean's wait ran out during the second one, and closed nothing.
    EXPECT_GT(b.clocks.t(), firstDone + 2.5);
    EXPECT_FALSE(b.screen.resealed());
    b.step(2.4);
    EXPECT_EQ(b.screen.hero()->open(), 1.0);
    b.step(0.2);
    EXPECT_EQ(b.screen.hero()->open(), 0.0);
}

TEST(CleanScreenReseal, ACleanThatRemovedNothingLeavesTheIrisOpen) {
    Bench b(true);
    ASSERT_TRUE(b.drive(b.model.scan()));
    ASSERT_TRUE(b.drive(b.model.clean()));
    ASSERT_EQ(b.model.phase().report.skipped.size(), 3u);
    b.step(5);
    EXPECT_FALSE(b.screen.resealed());
    EXPECT_EQ(b.screen.hero()->open(), 1.0);
}

TEST(CleanScreenPhases, AnotherSubModeGetsAFreshScreenWhileTheFirstListScans) {
    Scene s;
    QTest::keyClick(s.view.get(), Qt::Key_Return);
    ASSERT_TRUE(s.list().isBusy());
    CleanScreen* system = &s.screen();
    s.f.state->setCleanMode(CleanMode::ai);
    CleanScreen& ai = s.screen();
    EXPECT_NE(&ai, system);
    EXPECT_EQ(ai.heroText()->title(), "AI leftovers");
    EXPECT_EQ(visibleButtons(ai), std::vector<QString>{"Scan"});
    EXPECT_FALSE(ai.resealed());
    EXPECT_TRUE(s.f.state->isBusy(AppTab::clean));
    ASSERT_TRUE(s.settle());
    EXPECT_EQ(s.list().phase().kind, Kind::ready);
}
