#include <gtest/gtest.h>

#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include "Models/Kit/MotionPause.h"
#include "Views/Analyze/AnalyzeTestSupport.h"
#include "Views/Analyze/DetailTable.h"
#include "Views/Analyze/RemovalBar.h"
#include "Views/Kit/Controls.h"

using namespace analyzetest;

namespace {
std::optional<AnalyzeFocus> entryFocus(const AnalyzeModel& m, int row) {
    return AnalyzeFocus::entry(m.entries().at(size_t(row)).id());
}
}  // namespace

TEST(DetailRow, PercentTexts) {
    const std::pair<std::optional<double>, const char*> cases[] = {
        {0.42, "42"}, {0.1, "10"}, {0.042, "4.2"}, {0.0004, "0.0"}, {0.0, "0.0"}, {std::nullopt, "—"}};
    for (const auto& [share, text] : cases) EXPECT_EQ(DetailRow::percentText(share), QString::fromUtf8(text));
}

// Every counted text of the bar and its confirmation agrees with its number.
TEST(RemovalBar, CountedTextsAgreeInNumber) {
    CleanReport one;
    one.removed.push_back(CleanItem{"/x/a"});
    one.trashed = 629'100'000;
    CleanReport two = one;
    two.removed.push_back(CleanItem{"/x/b"});
    const std::pair<QString, const char*> cases[] = {
        {RemovalBar::confirmationTitle(1, 629'100'000), "Move 1 item (629.1 MB) to the Trash?"},
        {RemovalBar::confirmationTitle(2, 4'000), "Move 2 items (4 KB) to the Trash?"},
        {RemovalBar::confirmationMessage(1), "You can put it back from the Trash until you empty it."},
        {RemovalBar::confirmationMessage(2), "You can put them back from the Trash until you empty it."},
        {RemovalBar::bannerText(one), "1 item · 629.1 MB moved to the Trash"},
        {RemovalBar::bannerText(two), "2 items · 629.1 MB moved to the Trash"},
        {RemovalBar::selectionText(1, 4'000), "1 selected · 4 KB"},
    };
    for (const auto& [got, want] : cases) EXPECT_EQ(got, QString::fromUtf8(want));
}

class DetailTableView : public ::testing::Test {
protected:
    void SetUp() override {
        stage.show();
        ASSERT_TRUE(stage.settle());
        list = stage.view->table()->list();
    }
    Home home;
    Stage stage;
    DetailList* list = nullptr;
};

TEST_F(DetailTableView, HoverFocusesTheRowUnderThePointer) {
    AnalyzeModel& m = *stage.model;
    QWidget* vp = list->viewport();
    QTest::mouseMove(vp, QPoint(200, 33));
    EXPECT_EQ(m.focus(), entryFocus(m, 0));
    QTest::mouseMove(vp, QPoint(200, 34));
    EXPECT_EQ(m.focus(), entryFocus(m, 1));
    // Below the last row nothing is focused, a slice from the chart included.
    m.setFocus(AnalyzeFocus::slice("/somewhere/else"));
    QTest::mouseMove(vp, QPoint(200, int(m.entries().size()) * DetailList::rowHeight + 5));
    EXPECT_EQ(m.focus(), std::nullopt);
    // While the list scrolls the focus stays where it was.
    QSignalSpy writes(&m, &AnalyzeModel::focusChanged);
    MotionPause::shared().setScrolling(true);
    QTest::mouseMove(vp, QPoint(200, 40));
    EXPECT_EQ(writes.count(), 0);
    // Once it rests, the row under the pointer is lit.
    MotionPause::shared().setScrolling(false);
    EXPECT_EQ(m.focus(), entryFocus(m, 1));
    // Leaving clears a row's focus, never the chart's.
    QTest::mouseMove(vp, QPoint(201, 40));
    ASSERT_EQ(m.focus(), entryFocus(m, 1));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(vp, &leave);
    EXPECT_EQ(m.focus(), std::nullopt);
    m.setFocus(AnalyzeFocus::other());
    QCoreApplication::sendEvent(vp, &leave);
    EXPECT_EQ(m.focus(), AnalyzeFocus::other());
}

TEST_F(DetailTableView, SelectAllTakesOnlyWhatMayBeRemoved) {
    AnalyzeModel& m = *stage.model;
    CheckBox* all = stage.view->table()->selectAll();
    const int removable = int(m.removableCount());
    ASSERT_EQ(removable, 4);  // Projects, Developer, the Latin-1 folder, notes.txt (.cache is the user cache folder)
    EXPECT_EQ(all->state(), CheckBox::Mark::off);
    all->click();
    EXPECT_EQ(int(m.selection().size()), removable);
    EXPECT_EQ(all->state(), CheckBox::Mark::on);
    all->click();
    EXPECT_TRUE(m.selection().empty());
    m.toggleSelection(m.entries()[size_t(std::find_if(m.entries().begin(), m.entries().end(), [](const auto& e) {
                                              return e.url.filename() == "Projects";
                                          }) - m.entries().begin())]);
    EXPECT_EQ(all->state(), CheckBox::Mark::mixed);
    all->click();
    EXPECT_TRUE(m.selection().empty());
    // Inside Movies nothing may be removed: the box is off and cannot be used.
    m.navigate(home.home() / "Movies");
    ASSERT_TRUE(stage.settle());
    EXPECT_FALSE(all->isEnabled());
    EXPECT_EQ(all->state(), CheckBox::Mark::off);
    const auto strongest = [all] {  // of the box's drawn pixels
        QImage image(all->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        all->render(&image, {}, {}, QWidget::DrawChildren);
        int alpha = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) alpha = std::max(alpha, qAlpha(image.pixel(x, y)));
        return alpha;
    };
    const int dimmed = strongest();
    all->setEnabled(true);
    EXPECT_LT(dimmed * 2, strongest()) << "a box that cannot be used looks it";
    all->setEnabled(false);
    // A protected row's box is faded and says why.
    EXPECT_FALSE(list->row(0).removable);
}

TEST_F(DetailTableView, TenThousandRowsDrawOnlyWhatIsOnScreenAndWhatChanged) {
    testtree::TempDir memory(testtree::TempDir::inMemory);
    const fs::path big = memory.path() / "many";
    fs::create_directories(big);
    for (int i = 0; i < 10000; ++i) ::close(::open((big / ("f" + std::to_string(i))).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
    stage.model->navigate(big);
    ASSERT_TRUE(stage.settle());
    ASSERT_EQ(list->count(), 10000);
    QCoreApplication::processEvents();
    list->viewport()->repaint();
    const int onScreen = list->viewport()->height() / DetailList::rowHeight + 1;
    EXPECT_LE(list->rowsPainted(), onScreen);
    EXPECT_GT(list->rowsPainted(), 0);
    // Moving the light from one row to another redraws those two rows alone.
    QTest::mouseMove(list->viewport(), list->rowRect(2).center());
    list->settle();
    QCoreApplication::processEvents();
    QTest::mouseMove(list->viewport(), list->rowRect(5).center());
    list->settle();
    QCoreApplication::processEvents();
    EXPECT_EQ(list->rowsPainted(), 2);
}

TEST_F(DetailTableView, ALitRowsTrashButtonMovesItsEntryAtOnce) {
    AnalyzeModel& m = *stage.model;
    const auto notes = std::find_if(m.entries().begin(), m.entries().end(), [](const auto& e) { return e.url.filename() == "notes.txt"; });
    const int row = int(notes - m.entries().begin());
    const fs::path path = notes->url;
    const QRect r = list->rowRect(row);
    QTest::mouseMove(list->viewport(), r.center());
    ASSERT_TRUE(list->row(row).lit);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.topLeft() + DetailList::trashRect(r.width()).center().toPoint());
    ASSERT_TRUE(until([&] { return m.lastRemoval().has_value() && !m.removing(); }));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(stage.view->table()->removalBar()->content(), RemovalBar::Content::banner);
}

TEST_F(DetailTableView, TheBarShowsTheSelectionFirstThenTheReportWithWhatWasSkipped) {
    AnalyzeModel& m = *stage.model;
    RemovalBar* bar = stage.view->table()->removalBar();
    EXPECT_EQ(bar->content(), RemovalBar::Content::none);
    EXPECT_TRUE(bar->isHidden());
    CleanReport report;
    report.removed.resize(3);
    report.trashed = 2'000'000'000;
    for (const char* name : {"a.bin", "b.bin"}) {
        CleanItem item;
        item.url = fs::path("/x") / name;
        report.skipped.push_back({item, "protected in Settings"});
    }
    m.setLastRemoval(report);
    m.setSelection({m.entries().front().id()});
    EXPECT_EQ(bar->content(), RemovalBar::Content::selection);
    QTest::mouseClick(bar->clearButton(), Qt::LeftButton);
    ASSERT_EQ(bar->content(), RemovalBar::Content::banner);
    EXPECT_EQ(bar->bannerLabel()->text(), "3 items · 2 GB moved to the Trash");
    EXPECT_EQ(bar->skippedLabel()->text(), "2 skipped");
    EXPECT_EQ(bar->skippedLabel()->toolTip(),
              "<p style='white-space:pre'>a.bin: protected in Settings\nb.bin: protected in Settings</p>");
}

TEST_F(DetailTableView, TheEntryMenuOpensFoldersAndTrashesOnlyWhatTheGateAllows) {
    const auto items = [&](const AnalyzeModel::Entry& e) {
        std::unique_ptr<QMenu> menu(EntryMenu::make(e, *stage.model, nullptr));
        std::vector<std::pair<QString, bool>> out;
        for (QAction* a : menu->actions())
            if (!a->isSeparator()) out.emplace_back(a->text(), a->isEnabled());
        return out;
    };
    using Items = std::vector<std::pair<QString, bool>>;
    const auto entry = [&](const char* name) {
        for (const auto& e : stage.model->entries())
            if (e.url.filename() == name) return e;
        return AnalyzeModel::Entry{};
    };
    EXPECT_EQ(items(entry("notes.txt")), (Items{{"Show in Finder", true}, {"Move to Trash", true}}));
    EXPECT_EQ(items(entry("Projects")), (Items{{"Open", true}, {"Show in Finder", true}, {"Move to Trash", true}}));
    EXPECT_EQ(items(entry("Movies")), (Items{{"Open", true}, {"Show in Finder", true}, {"Move to Trash", false}}));
    EXPECT_EQ(items({"/usr", std::nullopt, std::nullopt, true}),
              (Items{{"Open", true}, {"Show in Finder", true}, {"Move to Trash", false}}));
}
