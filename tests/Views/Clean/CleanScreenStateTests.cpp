#include <gtest/gtest.h>

#include "Support/QtTestSupport.h"
#include "Views/Analyze/RemovalBar.h"
#include "Views/Clean/CleanScreenState.h"
#include "Views/Clean/EmptyTrashButton.h"
#include "Views/Clean/ReviewList.h"

namespace {
CleanItem finding(CleanCategory c, Risk risk = Risk::safe, bool permanent = false, bool admin = false) {
    CleanItem i;
    i.url = "/home/u/x";
    i.category = c;
    i.risk = risk;
    i.permanent = permanent;
    i.requiresAdmin = admin;
    return i;
}
}  // namespace

struct TrashCase {
    const char* name;
    std::vector<CleanItem> run;
    bool alwaysTrash, dryRun, expected;
};

class CleaningSubtitle : public ::testing::TestWithParam<TrashCase> {};

// The cleaning subtitle promises the Trash only when the remover's own rule sends
// every finding of the run there.
TEST_P(CleaningSubtitle, NamesTheTrashOnlyWhenEverythingGoesThere) {
    const auto& c = GetParam();
    EXPECT_EQ(CleanScreenState::allGoToTrash(c.run, c.alwaysTrash, c.dryRun), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CleaningSubtitle,
    ::testing::Values(
        TrashCase{"InstallersAndReviewedCaches", {finding(CleanCategory::installers), finding(CleanCategory::userCaches, Risk::review)}, false, false, true},
        TrashCase{"CachesAreDeletedOutright", {finding(CleanCategory::installers), finding(CleanCategory::userCaches)}, false, false, false},
        TrashCase{"AlwaysTrashTakesCachesToo", {finding(CleanCategory::userCaches), finding(CleanCategory::projects)}, true, false, true},
        TrashCase{"PermanentNeverGoesThere", {finding(CleanCategory::installers, Risk::review, true)}, true, false, false},
        TrashCase{"AdministratorFindingsAreDeleted", {finding(CleanCategory::systemData, Risk::safe, false, true)}, true, false, false},
        TrashCase{"APreviewTouchesNothing", {finding(CleanCategory::installers)}, false, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

// One of anything reads "1 item", never "1 items", on every screen that counts.
TEST(CountedTexts, ScreensSayOneItemNotOneItems) {
    CleanReport one;
    one.removed = {finding(CleanCategory::userCaches)};
    one.freed = 4096;
    CleanReport preview = one;
    preview.dryRun = true;
    const QString bytes = QString::fromStdString(formattedBytes(4096));
    const std::pair<QString, QString> texts[] = {
        {RemovalBar::confirmationTitle(1, 4096), "Move 1 item (" + bytes + ") to the Trash?"},
        {RemovalBar::bannerText(one), "1 item · " + QString::fromStdString(formattedBytes(0)) + " moved to the Trash"},
        {ReportBanner::headline(one), "Freed " + bytes + " · 1 item removed"},
        {ReportBanner::headline(preview), "Preview: " + bytes + " would be freed (1 item)"},
        {EmptyTrashButton::resultText({4096, 1}), "Freed " + bytes + " · 1 item could not be deleted"},
    };
    for (const auto& [shown, expected] : texts) EXPECT_EQ(shown, expected);
}
