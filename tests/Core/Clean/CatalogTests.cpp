#include <gtest/gtest.h>

#include <set>

#include "Core/Clean/Catalog.h"

using Kind = CleanRule::Mode::Kind;

TEST(Catalog, TablesConcatenateInOrder) {
    const auto& rules = Catalog::rules();
    ASSERT_EQ(rules.size(), 132u);
    const std::vector<const std::vector<CleanRule>*> tables = {
        &Catalog::xcode(),   &Catalog::packageManagers(), &Catalog::devCaches(),  &Catalog::ideCaches(),
        &Catalog::editors(), &Catalog::browsers(),        &Catalog::appCaches(), &Catalog::generic()};
    const size_t sizes[] = {10, 17, 40, 3, 42, 6, 8, 6};
    size_t at = 0;
    for (size_t t = 0; t < tables.size(); ++t) {
        ASSERT_EQ(tables[t]->size(), sizes[t]) << "table " << t;
        for (const auto& rule : *tables[t]) EXPECT_EQ(rules[at++], rule);
    }
    EXPECT_EQ(rules.front().path, "~/Library/Developer/Xcode/DerivedData");
    EXPECT_EQ(rules.back().path, "~/.Trash");
}

TEST(Catalog, PathsAreHomeRelativeAndDistinct) {
    std::set<std::string> paths;
    for (const auto& rule : Catalog::rules()) {
        EXPECT_EQ(rule.path.rfind("~/", 0), 0u) << rule.path;
        EXPECT_TRUE(paths.insert(rule.path).second) << "twice: " << rule.path;
        EXPECT_FALSE(rule.note.empty()) << rule.path;
    }
}

TEST(Catalog, EditorRulesAreEditorTimesSubPath) {
    const auto& rules = Catalog::rules();
    EXPECT_EQ(rules[70].path, "~/Library/Application Support/Code/Cache");
    EXPECT_EQ(rules[70].note, "Code \u00B7 cache");
    EXPECT_EQ(rules[111].path, "~/Library/Application Support/Zed/User/workspaceStorage");
    EXPECT_EQ(rules[111].note, "Zed \u00B7 per-workspace state (open tabs, local history)");
    EXPECT_EQ(rules[111].risk, Risk::review);
    // "Code - Insiders" stays one component, unchanged, in the path and the note.
    EXPECT_EQ(rules[77].path, "~/Library/Application Support/Code - Insiders/Cache");
    EXPECT_EQ(rules[77].note, "Code - Insiders \u00B7 cache");
    EXPECT_EQ(rules[84 + 4].note, "Cursor \u00B7 GPU cache");
    for (size_t i = 70; i < 112; ++i) {
        EXPECT_EQ(rules[i].category, CleanCategory::editors);
        EXPECT_EQ(rules[i].mode.kind, Kind::whole);
        EXPECT_EQ(rules[i].risk, (i - 70) % 7 == 6 ? Risk::review : Risk::safe) << rules[i].path;
    }
}

TEST(Catalog, OnlyTheTrashIsPermanentAndOnlyThreeRulesHaveAnAge) {
    std::vector<std::pair<std::string, int>> aged;
    for (const auto& rule : Catalog::rules()) {
        EXPECT_EQ(rule.permanent, rule.path == "~/.Trash") << rule.path;
        if (rule.minAgeDays) aged.emplace_back(rule.path, rule.minAgeDays);
    }
    const std::vector<std::pair<std::string, int>> expected = {
        {"~/Library/Application Support/CrashReporter", 7}, {"~/Library/Logs", 1}, {"~/Downloads", 2}};
    EXPECT_EQ(aged, expected);
    const auto& downloads = Catalog::generic()[3];
    EXPECT_EQ(downloads.mode, CleanRule::Mode::files({"crdownload", "part", "download", "partial"}));
    EXPECT_EQ(downloads.category, CleanCategory::downloads);
}

TEST(Catalog, RowsKeepTheirExactTexts) {
    struct Row {
        size_t index;
        CleanCategory category;
        const char* path;
        Kind mode;
        Risk risk;
        const char* note;
    };
    const Row rows[] = {
        {1, CleanCategory::xcode, "~/Library/Developer/Xcode/iOS DeviceSupport", Kind::children, Risk::review,
         "Debug symbols per iOS version; re-copied when the device connects"},
        {6, CleanCategory::xcode, "~/Library/Caches/com.apple.dt.Xcode", Kind::whole, Risk::safe, "Xcode's own cache"},
        {26, CleanCategory::packageManagers, "~/.pub-cache/hosted", Kind::whole, Risk::review, "Dart/Flutter packages"},
        {39, CleanCategory::devCaches, "~/Library/Caches/ms-playwright", Kind::children, Risk::review,
         "Browsers for Playwright; re-downloaded on next install"},
        {113, CleanCategory::browsers, "~/Library/Caches/com.apple.Safari", Kind::whole, Risk::safe,
         "Safari page cache; logins are kept"},
        {125, CleanCategory::logs, "~/Library/Application Support/CrashReporter", Kind::children, Risk::safe,
         "Old crash reporter data"},
        {128, CleanCategory::mail, "~/Library/Containers/com.apple.mail/Data/Library/Mail Downloads", Kind::children,
         Risk::safe, "Copies of opened attachments; the originals stay in Mail"},
        {130, CleanCategory::iosBackups, "~/Library/Application Support/MobileSync/Backup", Kind::children,
         Risk::review, "Local device backup; make sure it's not your only one"},
        {131, CleanCategory::trash, "~/.Trash", Kind::children, Risk::safe, "Already in the Trash"},
    };
    const auto& rules = Catalog::rules();
    for (const auto& row : rows) {
        const auto& r = rules[row.index];
        EXPECT_EQ(r.category, row.category) << row.index;
        EXPECT_EQ(r.path, row.path) << row.index;
        EXPECT_EQ(r.mode.kind, row.mode) << row.index;
        EXPECT_EQ(r.risk, row.risk) << row.index;
        EXPECT_EQ(r.note, row.note) << row.index;
    }
}
