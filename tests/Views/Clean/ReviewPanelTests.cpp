#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QTest>

#include "Models/Clean/CleanListModel.h"
#include "Views/Clean/ReviewList.h"
#include "Views/Clean/ReviewPanel.h"
#include "Views/Kit/Controls.h"
#include "Views/Kit/Theme.h"
#include "Views/Kit/WindowActions.h"
#include "Models/Clean/CleanTestSupport.h"
#include "Views/TestSupport.h"

using Kind = ReviewList::Target::Kind;

namespace {
CleanItem finding(const std::string& path, int64_t size, CleanCategory c = CleanCategory::userCaches) {
    CleanItem i;
    i.url = path;
    i.size = size;
    i.category = c;
    i.note = "Regenerated on demand";
    return i;
}

std::vector<CleanItem> many(int n, CleanCategory c, const std::string& prefix = "/home/u/.cache/f") {
    std::vector<CleanItem> out;
    for (int i = 0; i < n; ++i) out.push_back(finding(prefix + std::to_string(i), 1000 + i, c));
    return out;
}

// A list whose scan finds the given findings, on stepped clocks.
struct ScannedList {
    steppedtime::Clocks clocks;
    CleanListModel model;
    explicit ScannedList(std::vector<CleanItem> items)
        : model("clean", [items](CleanListModel&) -> QCoro::Task<std::vector<CleanItem>> { co_return items; }) {
        EXPECT_TRUE(cleantest::drive(clocks, model.scan()));
    }
};

// A sheet over a list, shown in a window that routes Return and Escape.
struct Sheet : ScannedList {
    Fixture f;
    int closes = 0;
    std::unique_ptr<ReviewPanel> panel;
    explicit Sheet(std::vector<CleanItem> items, bool closable = true) : ScannedList(std::move(items)) {
        std::function<void()> onClose;
        if (closable) onClose = [this] { ++closes; };
        panel = std::make_unique<ReviewPanel>(model, *f.prefs, "System junk", "subtitle", "Clean", onClose);
        WindowActions::install(panel.get());
        panel->resize(900, 600);
        panel->show();
    }
    ReviewList& list() { return *panel->list(); }
    void click(QPoint at) { QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, at); }
};
}  // namespace

struct CardCase {
    const char* name;
    int selected;  // of 4, the first ones
    CheckBox::Mark mark;
    const char* count;
    std::optional<QString> selectedSize;
    bool sizeInText;
};

class CardHeader : public ::testing::TestWithParam<CardCase> {};

TEST_P(CardHeader, FollowsTheSelection) {
    const auto items = many(4, CleanCategory::logs);
    CleanListModel::Selection selection;
    for (int i = 0; i < GetParam().selected; ++i) selection.insert(items[i].id());
    selection.insert("/somewhere/else");  // matches no finding of the card
    const auto s = CategoryCard::summarize(items, selection);
    EXPECT_EQ(CategoryCard::mark(s), GetParam().mark);
    EXPECT_EQ(CategoryCard::countText(s), GetParam().count);
    EXPECT_EQ(CategoryCard::selectedSizeText(s), GetParam().selectedSize);
    EXPECT_EQ(CategoryCard::sizeColor(s), GetParam().sizeInText ? Theme::text() : Theme::secondary());
}

INSTANTIATE_TEST_SUITE_P(Table, CardHeader,
                         ::testing::Values(CardCase{"None", 0, CheckBox::Mark::off, "0/4", std::nullopt, false},
                                           CardCase{"Some", 2, CheckBox::Mark::mixed, "2/4", "2 KB selected", true},
                                           CardCase{"All", 4, CheckBox::Mark::on, "4/4", std::nullopt, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReviewPanel, ClicksToggleOnceAndCardsOpenAndClose) {
    auto items = many(3, CleanCategory::logs);
    for (auto& i : many(2, CleanCategory::browsers, "/home/u/.cache/b")) items.push_back(i);
    Sheet s(items);
    s.model.setSelection({});
    ReviewList& list = s.list();
    ASSERT_EQ(list.groups().size(), 2u);
    EXPECT_EQ(list.openness(0), 0.0);  // several cards start closed
    EXPECT_TRUE(list.rowRect(0, 0).isEmpty());

    s.click(list.headerRect(0).center());
    EXPECT_TRUE(list.isExpanded(0));
    list.toggleExpanded(CleanCategory::logs, false);  // close again, without the spring
    list.toggleExpanded(CleanCategory::logs, false);
    ASSERT_FALSE(list.rowRect(0, 1).isEmpty());

    // The row's box and its name each toggle the finding exactly once.
    const QRect row = list.rowRect(0, 1);
    s.click(QPoint(row.left() + 40 + 7, row.center().y()));
    EXPECT_EQ(s.model.selection(), CleanListModel::Selection{items[1].id()});
    s.click(QPoint(row.left() + 100, row.center().y()));
    EXPECT_TRUE(s.model.selection().empty());

    // The card's box selects all of its findings, then none.
    EXPECT_EQ(list.targetAt(list.headerBoxRect(0).center()).kind, Kind::cardBox);
    s.click(list.headerBoxRect(0).center());
    EXPECT_EQ(s.model.selection().size(), 3u);
    EXPECT_TRUE(list.isExpanded(0));
    s.click(list.headerBoxRect(0).center());
    EXPECT_TRUE(s.model.selection().empty());
}

TEST(ReviewPanel, TheOnlyCardStaysOpen) {
    Sheet s(many(3, CleanCategory::logs));
    EXPECT_TRUE(s.list().isExpanded(0));
    s.list().toggleExpanded(CleanCategory::logs, false);
    EXPECT_TRUE(s.list().expanded().count(CleanCategory::logs));
    s.list().toggleExpanded(CleanCategory::logs, false);
    EXPECT_TRUE(s.list().expanded().empty());
    EXPECT_TRUE(s.list().isExpanded(0));
    EXPECT_FALSE(s.list().rowRect(0, 2).isEmpty());
}

TEST(ReviewPanel, OpeningTenThousandFindingsDrawsOnlyWhatIsOnScreen) {
    Sheet s(many(10000, CleanCategory::logs));
    s.list().grab();
    const int visible = s.list().viewport()->height() / s.list().rowRect(0, 0).height() + 1;
    EXPECT_GT(s.list().rowsPainted(), 0);
    EXPECT_LE(s.list().rowsPainted(), visible + 1);
    EXPECT_TRUE(s.panel->findChildren<CheckBox*>().empty());  // no widget per row
}

TEST(ReviewPanel, FooterCountsOnlySelectedFindings) {
    Sheet s(many(3, CleanCategory::logs));
    s.model.setSelection({"/no/such/finding"});
    EXPECT_EQ(s.panel->countLabel()->text(), "0 selected");
    EXPECT_FALSE(s.panel->actionButton()->isEnabled());
    EXPECT_EQ(s.panel->actionButton()->text(), "Clean · 0 bytes");
    s.model.setSelection({"/no/such/finding", s.model.items()[0].id()});
    EXPECT_EQ(s.panel->countLabel()->text(), "1 selected");
    EXPECT_TRUE(s.panel->actionButton()->isEnabled());
    EXPECT_FALSE(s.panel->previewNote()->isVisible());

    s.f.prefs->setDryRun(true);
    EXPECT_TRUE(s.panel->previewNote()->isVisible());
    EXPECT_EQ(s.panel->previewNote()->text(), "Preview mode");
    EXPECT_EQ(s.panel->actionButton()->text(), "Preview · 1 KB");

    QCoro::Task<> cleaning = s.model.clean();
    ASSERT_TRUE(s.model.isBusy());
    EXPECT_FALSE(s.panel->actionButton()->isEnabled());
    EXPECT_TRUE(s.panel->actionButton()->isBusy());
    EXPECT_TRUE(cleantest::drive(s.clocks, std::move(cleaning)));
    EXPECT_FALSE(s.panel->actionButton()->isBusy());
}

TEST(ReviewPanel, ReturnCleansAndEscapeClosesOnlyWithAClose) {
    for (bool closable : {true, false}) {
        Sheet s(many(2, CleanCategory::logs), closable);
        s.model.setSelection({s.model.items()[0].id()});
        EXPECT_EQ(s.panel->closeButton() != nullptr, closable);
        QTest::keyClick(s.panel.get(), Qt::Key_Escape);
        EXPECT_EQ(s.closes, closable ? 1 : 0);
        QTest::keyClick(s.panel.get(), Qt::Key_Return);
        EXPECT_EQ(s.model.phase().kind, CleanListModel::Phase::Kind::cleaning);
        EXPECT_TRUE(cleantest::drive(s.clocks, s.model.scan()));  // waits out the clean, then does nothing
    }
}

struct BannerCase {
    const char* name;
    CleanReport report;
    QString headline, symbol;
};

class Banner : public ::testing::TestWithParam<BannerCase> {};

TEST_P(Banner, NamesWhatWasFreedAndWhere) {
    EXPECT_EQ(ReportBanner::headline(GetParam().report), GetParam().headline);
    EXPECT_EQ(ReportBanner::symbol(GetParam().report), GetParam().symbol);
    EXPECT_EQ(ReportBanner::color(GetParam().report), GetParam().report.dryRun ? Theme::review() : Theme::good());
}

INSTANTIATE_TEST_SUITE_P(
    Table, Banner,
    ::testing::Values(
        BannerCase{"Preview", {1'500'000'000, 0, many(3, CleanCategory::logs), {}, true},
                   "Preview: 1.5 GB would be freed (3 items)", "eye"},
        BannerCase{"SomeInTheTrash", {1'500'000'000, 300'000'000, many(2, CleanCategory::logs), {}, false},
                   "Freed 1.2 GB · 300 MB in the Trash", "checkmark.circle.fill"},
        BannerCase{"NothingInTheTrash", {1'500'000'000, 0, many(4, CleanCategory::logs), {}, false},
                   "Freed 1.5 GB · 4 items removed", "checkmark.circle.fill"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReviewPanel, HostileNamesShowLiterally) {
    const std::string name = "a\xff<b>x<i>";
    CleanItem item = finding("/home/u/" + name, 5000);
    item.note = "<img src=x>";
    CleanReport report;
    report.skipped = {{item, "<b>Permission denied</b>"}, {finding("/home/u/two", 1), "Busy"}};
    EXPECT_EQ(ItemRow::name(item), QString::fromUtf8("a\xEF\xBF\xBD<b>x<i>"));
    EXPECT_EQ(ReportBanner::skippedTitle(report), "2 skipped");
    EXPECT_EQ(ReportBanner::skippedLine(report.skipped[0]), QString::fromUtf8("a\xEF\xBF\xBD<b>x<i>: <b>Permission denied</b>"));
    EXPECT_EQ(ReportBanner::skippedLine(report.skipped[1]), "two: Busy");
    const QString tip = ItemRow::toolTip(item);
    EXPECT_TRUE(Qt::mightBeRichText(tip));
    EXPECT_TRUE(tip.contains("&lt;b&gt;x&lt;i&gt;")) << tip.toStdString();

    // The row's "Copy Path" hands over the exact bytes.
    Sheet s({item});
    std::unique_ptr<QMenu> menu(s.list().contextMenu(0, 0, nullptr));
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), "Show in Finder");
    EXPECT_EQ(menu->actions()[1]->text(), "Copy Path");
    menu->actions()[1]->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data("text/plain"), QByteArray(item.url.c_str()));
}
