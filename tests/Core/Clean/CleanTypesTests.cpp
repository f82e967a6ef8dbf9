#include <gtest/gtest.h>

#include "Core/Clean/CleanTypes.h"

TEST(CleanCategory, RawValuesRoundTripCaseSensitively) {
    EXPECT_EQ(CleanCategories::allCases.size(), 19u);
    EXPECT_EQ(CleanCategories::allCases.front(), CleanCategory::systemData);
    EXPECT_EQ(CleanCategories::allCases.back(), CleanCategory::aiModels);
    for (auto c : CleanCategories::allCases) EXPECT_EQ(cleanCategoryFromRawValue(rawValue(c)), c);
    EXPECT_EQ(cleanCategoryFromRawValue("userCaches"), CleanCategory::userCaches);
    EXPECT_FALSE(cleanCategoryFromRawValue("UserCaches"));
    EXPECT_FALSE(cleanCategoryFromRawValue(""));
    EXPECT_EQ(rawValue(CleanCategory::aiModels), "aiModels");
}

TEST(CleanCategory, TextsKeepTheirPunctuation) {
    EXPECT_EQ(summary(CleanCategory::browsers), "Page caches only — logins and history stay");
    EXPECT_EQ(summary(CleanCategory::aiSessions), "Transcripts you can't resume once removed");
    EXPECT_EQ(title(CleanCategory::iosBackups), "iPhone & iPad backups");
    EXPECT_EQ(symbol(CleanCategory::editors), "chevron.left.forwardslash.chevron.right");
}

TEST(Risk, RawValues) {
    EXPECT_EQ(riskFromRawValue(0), Risk::safe);
    EXPECT_EQ(riskFromRawValue(1), Risk::review);
    EXPECT_FALSE(riskFromRawValue(2));
    EXPECT_FALSE(riskFromRawValue(-1));
    EXPECT_TRUE(Risk::safe < Risk::review);
    EXPECT_EQ(rawValue(Risk::review), 1);
}

TEST(CleanItem, SamePathDifferentSizeIsUnequalWithSameId) {
    CleanItem a{"/h/x", 10, CleanCategory::logs, Risk::safe, "n", false, false, std::nullopt};
    CleanItem b = a;
    b.size = 11;
    EXPECT_NE(a, b);
    EXPECT_EQ(a.id(), b.id());
}

struct PathCase {
    const char* name;
    std::string bytes, filename, parent;
};

class PathBytesCase : public ::testing::TestWithParam<PathCase> {};

// A finding's path keeps its exact bytes, whatever they are, and acts as the path they name.
TEST_P(PathBytesCase, KeepsTheBytesAndNamesTheSamePath) {
    const PathCase& c = GetParam();
    const PathBytes p(std::filesystem::path(c.bytes));
    EXPECT_EQ(p.native(), c.bytes);
    EXPECT_EQ(std::filesystem::path(p).native(), c.bytes);
    EXPECT_EQ(p.filename().native(), c.filename);
    EXPECT_EQ(p.parent_path().native(), c.parent);
    EXPECT_TRUE(p == std::filesystem::path(c.bytes));
    EXPECT_FALSE(p == PathBytes(c.bytes + "x"));
    EXPECT_EQ((p / "y").native(), c.bytes + "/y");
}

INSTANTIATE_TEST_SUITE_P(
    Names, PathBytesCase,
    ::testing::Values(PathCase{"Plain", "/h/.cache/tool", "tool", "/h/.cache"},
                      PathCase{"NotText", "/h/a\xff", "a\xff", "/h"},
                      PathCase{"OtherNotText", "/h/a\xfe", "a\xfe", "/h"},
                      PathCase{"Spaces", "/h/Trash/files/Screenshot 1.png", "Screenshot 1.png", "/h/Trash/files"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ByteCounts, FileAndMemoryStyles) {
    struct Case {
        int64_t bytes;
        const char* file;
        const char* memory;
    } cases[] = {
        {0, "0 bytes", "0 bytes"},
        {1, "1 byte", "1 byte"},
        {999, "999 bytes", "999 bytes"},
        {1000, "1 KB", "1,000 bytes"},
        {1024, "1 KB", "1 KB"},
        {1500000, "1.5 MB", "1.4 MB"},
        {1000000000, "1 GB", "953.7 MB"},
        {1234567890, "1.23 GB", "1.15 GB"},
        {999960000, "1 GB", "953.6 MB"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formattedBytes(c.bytes), c.file) << c.bytes;
        (void)c.memory;
    }
    EXPECT_EQ(formattedMemory(1024), "1 KB");
    EXPECT_EQ(formattedMemory(1536 * 1024), "1.5 MB");
    EXPECT_NE(formattedBytes(0).find('0'), std::string::npos);
}

TEST(SortLargestFirst, IsStable) {
    std::vector<CleanItem> v;
    for (auto [p, s] : {std::pair{"/a", 5}, {"/b", 9}, {"/c", 5}, {"/d", 1}})
        v.push_back({p, s, CleanCategory::logs, Risk::safe, "", false, false, std::nullopt});
    sortLargestFirst(v);
    std::vector<std::string> order;
    for (auto& i : v) order.push_back(i.id());
    EXPECT_EQ(order, (std::vector<std::string>{"/b", "/a", "/c", "/d"}));
}
