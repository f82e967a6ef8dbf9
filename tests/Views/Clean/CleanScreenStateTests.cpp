#include <gtest/gtest.h>

#include "Views/Clean/CleanScreenState.h"

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
