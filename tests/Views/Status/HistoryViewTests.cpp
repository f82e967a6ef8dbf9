// The history sheet over real history files: what it lists, what an opened entry
// shows, what Clear leaves, and what it keeps from the window it covers. The
// pictures show it over the main window.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <nlohmann/json.hpp>

#include "Core/Clean/CleanTypes.h"
#include "Core/Clean/History.h"
#include "Support/TestTree.h"
#include "Support/Unprivileged.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/TabBar.h"
#include "Views/Kit/Theme.h"
#include "Views/Status/HistoryView.h"
#include "Views/TestSupport.h"
#include "Views/Window/AppCommands.h"
#include "Views/Window/ContentView.h"
#include "Views/Window/MainWindow.h"

using nlohmann::json;

namespace {
struct HistoryFile {
    testtree::TempDir tmp;
    testtree::ScopedEnv data{"XDG_DATA_HOME", (tmp / "data").string()};

    static json entry(int n, const char* action, int64_t bytes, int paths, const char* date) {
        char id[40];
        std::snprintf(id, sizeof id, "00000000-0000-4000-8000-%012d", n);
        json list = json::array();
        for (int i = 0; i < paths; ++i) list.push_back("/home/user/Library/Caches/app-" + std::to_string(i) + "/blob");
        return {{"id", id}, {"date", date}, {"action", action}, {"count", paths}, {"bytes", bytes}, {"paths", list}};
    }
    void write(const json& doc) const { testtree::writeFile(History::fileURL(), doc.dump(2)); }
};

bool loaded(HistoryView& sheet) { return QTest::qWaitFor([&] { return sheet.loaded(); }, 30000); }
}  // namespace

TEST(HistorySheet, ListsEveryEntryThatReadsAndOpensOneToItsFirst200Paths) {
    HistoryFile file;
    json doc = json::array({HistoryFile::entry(1, "clean", 1'500'000'000, 500, "2025-03-04T09:15:00Z"),
                            HistoryFile::entry(2, "optimize", 0, 3, "2025-03-03T18:02:00Z"),
                            HistoryFile::entry(3, "purge", 12, 2, "2025-03-02T08:00:00Z"),
                            HistoryFile::entry(4, "uninstall", 240'000'000, 7, "2025-03-01T12:30:00Z")});
    doc[2].erase("bytes");  // one malformed entry costs only itself
    file.write(doc);

    ShownContent content;
    content.state->setShowHistory(true);
    HistoryView* sheet = content.view.historySheet();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(loaded(*sheet));
    HistoryList* list = sheet->list();
    ASSERT_EQ(list->entries().size(), 3u);
    EXPECT_TRUE(list->isVisibleTo(sheet));
    EXPECT_TRUE(sheet->clearButton()->isEnabled());
    using Label = std::tuple<QString, QString, std::optional<QString>>;  // action, count, size
    const Label labels[] = {{"Clean", "500 items", QString::fromStdString(formattedBytes(1'500'000'000))},
                            {"Optimize", "3 items", std::nullopt},
                            {"Uninstall", "7 items", QString::fromStdString(formattedBytes(240'000'000))}};
    for (size_t i = 0; i < 3; ++i) {
        const auto& e = list->entries()[i];
        EXPECT_EQ(Label(HistoryList::actionTitle(e.action), HistoryList::countText(e.count), HistoryList::sizeText(e.bytes)),
                  labels[i]);
    }

    // A click on the label opens the entry: 200 of its 500 paths, then closes it again.
    const int closedHeight = list->cardRect(0).height();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->cardRect(0).topLeft() + QPoint(40, 20));
    ASSERT_TRUE(list->isExpanded(0));
    EXPECT_EQ(HistoryList::listedPaths(list->entries()[0]), 200);
    const int lines = (list->cardRect(0).height() - closedHeight - HistoryList::pathsTop) /
                      QFontMetrics(Theme::font(10.5, QFont::Normal, Theme::Design::monospaced)).height();
    EXPECT_NEAR(lines, 200, 2);
    EXPECT_EQ(list->cardRect(1).top(), list->cardRect(0).bottom() + 1 + HistoryList::spacing);
    // A click on a path picks it for copying.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->cardRect(0).topLeft() + QPoint(60, 60));
    EXPECT_EQ(list->selectedPath(), std::make_pair(0, 1));

    EXPECT_TRUE(keepScreenshot(content.view.grab().toImage(), "history-expanded"));

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->cardRect(0).topLeft() + QPoint(40, 20));
    EXPECT_EQ(list->cardRect(0).height(), closedHeight);

    // Done closes the sheet; so does Escape.
    QTest::mouseClick(sheet->doneButton(), Qt::LeftButton);
    EXPECT_FALSE(content.state->showHistory());
    content.state->setShowHistory(true);
    ASSERT_NE(content.view.historySheet(), nullptr);
    QTest::keyClick(content.view.historySheet(), Qt::Key_Escape);
    EXPECT_FALSE(content.state->showHistory());
}

TEST(HistorySheet, AClearThatCannotDeleteShowsWhatTheFileStillHolds) {
    if (!unprivileged::rerunAsNobody()) return;
    HistoryFile file;
    file.write(json::array({HistoryFile::entry(1, "clean", 10, 1, "2025-03-04T09:15:00Z"),
                            HistoryFile::entry(2, "ai", 20, 1, "2025-03-03T09:15:00Z")}));
    const auto folder = History::fileURL().parent_path();
    ::chmod(folder.c_str(), 0555);
    HistoryView sheet;
    sheet.show();
    ASSERT_TRUE(loaded(sheet));
    QTest::mouseClick(sheet.clearButton(), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sheet.list()->entries().size() == 2; }, 5000));
    EXPECT_TRUE(sheet.list()->isVisibleTo(&sheet));
    EXPECT_TRUE(sheet.clearButton()->isEnabled());
    // Once it can, Clear empties the file and the list at once.
    ::chmod(folder.c_str(), 0755);
    QTest::mouseClick(sheet.clearButton(), Qt::LeftButton);
    EXPECT_TRUE(sheet.emptyLabel()->isVisibleTo(&sheet));
    EXPECT_EQ(sheet.emptyLabel()->text(), "Nothing cleaned yet.");
    EXPECT_FALSE(sheet.clearButton()->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([] { return !std::filesystem::exists(History::fileURL()); }, 5000));
}

TEST(HistorySheet, DatesReadAsTheUsersDateLocaleWritesADayAndItsTime) {
    const QDateTime local(QDate(2025, 3, 4), QTime(9, 15, 42));
    const auto date = std::chrono::system_clock::time_point(std::chrono::milliseconds(local.toMSecsSinceEpoch()));
    const struct {
        const char* lang;
        std::optional<std::string> time;  // LC_TIME
        const char* text;
    } cases[] = {
        {"en_US.UTF-8", {}, "Mar 4, 2025 at 9:15 AM"},
        {"en_GB.UTF-8", {}, "4 Mar 2025 at 09:15"},
        {"de_DE.UTF-8", {}, "4. M\u00E4rz 2025 um 09:15"},
        {"ja_JP.UTF-8", {}, "2025\u5E743\u67084\u65E5 9:15"},
        {"hu_HU.UTF-8", {}, "2025. m\u00E1rc. 4. 9:15"},
        {"en_US.UTF-8", "de_DE.UTF-8", "4. M\u00E4rz 2025 um 09:15"},  // German dates in an English session
    };
    for (const auto& c : cases) {
        testtree::ScopedEnv all("LC_ALL", std::nullopt), lang("LANG", c.lang), time("LC_TIME", c.time);
        EXPECT_EQ(HistoryList::dateText(date), QString::fromUtf8(c.text)) << c.lang << " " << c.time.value_or("");
    }
}

TEST(HistorySheet, ClearLeavesTheWindowFreeWhileARecordHoldsTheHistory) {
    HistoryFile file;
    file.write(json::array({HistoryFile::entry(1, "clean", 10, 1, "2025-03-04T09:15:00Z")}));
    HistoryView sheet;
    sheet.show();
    ASSERT_TRUE(loaded(sheet));
    // A record under way holds the history's lock; let go of after a second, should the click wait for it.
    const int folder = ::open(History::fileURL().parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(::flock(folder, LOCK_EX), 0);
    std::thread release([folder] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        ::flock(folder, LOCK_UN);
    });
    const auto start = std::chrono::steady_clock::now();
    QTest::mouseClick(sheet.clearButton(), Qt::LeftButton);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_TRUE(sheet.emptyLabel()->isVisibleTo(&sheet));
    release.join();
    EXPECT_TRUE(QTest::qWaitFor([] { return !std::filesystem::exists(History::fileURL()); }, 5000));
    ::close(folder);
}

namespace {
// The main window as the app has it, its commands on it, over a history of two entries.
struct Window : Fixture {
    HistoryFile file;
    AppCommands commands{*state, {}};
    MainWindow window{*state, *prefs};
    explicit Window(AppTab tab = AppTab::clean) {
        file.write(json::array({HistoryFile::entry(1, "clean", 1'500'000'000, 12, "2025-03-04T09:15:00Z"),
                                HistoryFile::entry(2, "optimize", 0, 3, "2025-03-03T18:02:00Z")}));
        state->setTab(tab);
        window.addAction(commands.settings());
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    HistoryView* sheet() const { return window.content()->historySheet(); }
    QPoint inWindow(QWidget* w, QPointF at) const { return w->mapTo(&window, at.toPoint()); }
};
}  // namespace

TEST(HistorySheet, KeepsEveryClickAndKeyFromTheWindowBehindAndEscapeClosesIt) {
    const struct {
        const char* name;
        AppTab tab;
        std::function<void(Window&, QWindow*)> act;
        std::function<bool(Window&)> untouched;
    } cases[] = {
        {"a click on another tab", AppTab::clean,
         [](Window& w, QWindow* at) {
             TabBar* bar = w.window.content()->tabBar();
             QTest::mouseClick(at, Qt::LeftButton, {}, w.inWindow(bar, bar->tabRect(AppTab::apps).center()));
         },
         [](Window& w) { return w.state->tab() == AppTab::clean; }},
        {"the settings shortcut", AppTab::clean,
         [](Window&, QWindow* at) { QTest::keyClick(at, Qt::Key_Comma, Qt::ControlModifier); },
         [](Window& w) { return !w.state->showSettings(); }},
        {"tabbing to the search field and typing", AppTab::apps,
         [](Window&, QWindow* at) {
             for (int i = 0; i < 3; ++i) QTest::keyClick(at, Qt::Key_Tab);
             for (char c : std::string("xcode")) QTest::keyClick(at, c);
         },
         [](Window& w) {
             const auto edits = w.window.findChildren<QLineEdit*>();
             return !edits.empty() && std::all_of(edits.begin(), edits.end(), [](QLineEdit* e) { return e->text().isEmpty(); });
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Window w(c.tab);
        w.state->setShowHistory(true);
        ASSERT_NE(w.sheet(), nullptr);
        EXPECT_EQ(w.sheet()->window(), &w.window);
        c.act(w, w.window.windowHandle());
        EXPECT_TRUE(c.untouched(w));
        EXPECT_TRUE(w.state->showHistory());
        QTest::keyClick(w.window.windowHandle(), Qt::Key_Escape);
        EXPECT_FALSE(w.state->showHistory());
    }
}

TEST(HistorySheet, StaysCentredOnItsWindowAsItMovesAndResizesWithTheWindowDimmedAround) {
    Window w;
    TabBar* bar = w.window.content()->tabBar();
    const QImage before = w.window.grab().toImage();
    const QPoint pillBefore = w.inWindow(bar, bar->pillRect().center());
    w.state->setShowHistory(true);
    HistoryView* sheet = w.sheet();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(loaded(*sheet));
    // The window's own minimum size, then larger.
    const std::pair<QPoint, QSize> steps[] = {{{420, 260}, {860, 600}}, {{160, 90}, {1200, 760}}};
    for (const auto& [at, size] : steps) {
        w.window.move(at);
        w.window.resize(size);
        QCoreApplication::processEvents();
        const QPoint offset((size.width() - HistoryView::sheetWidth) / 2, (size.height() - HistoryView::sheetHeight) / 2);
        EXPECT_EQ(sheet->mapToGlobal(QPoint()) - w.window.mapToGlobal(QPoint()), offset) << at.x() << "," << at.y();
        EXPECT_EQ(sheet->size(), QSize(HistoryView::sheetWidth, HistoryView::sheetHeight));
    }
    // The selected tab's white pill reads darker around it.
    QTest::qWait(300);
    const QImage after = w.window.grab().toImage();
    EXPECT_LT(luminance(after.pixel(w.inWindow(bar, bar->pillRect().center()))), 0.7 * luminance(before.pixel(pillBefore)));
    EXPECT_TRUE(keepScreenshot(after, "history-sheet-moved"));
}
