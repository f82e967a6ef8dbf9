#include "Models/Analyze/OrbitLayout.h"
#include "Models/Analyze/FileCount.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace {

struct Entry {
    std::filesystem::path url;
    std::optional<int64_t> size;
};
struct Slice {
    std::filesystem::path url;
    int64_t size;
};
using Slices = std::map<std::string, std::vector<Slice>>;

struct Arc {
    std::string id;
    double start, end;
    int color;  // palette index, -1 for the grey of "other"
};

int paletteIndex(const Rgba& c) {
    for (int i = 0; i < 8; ++i)
        if (OrbitLayout::palette()[i] == c) return i;
    return c == OrbitLayout::otherColor ? -1 : -2;
}

void expectArcs(const std::vector<OrbitLayout::Segment>& got, const std::vector<Arc>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(want[i].id);
        EXPECT_EQ(got[i].id, want[i].id);
        EXPECT_NEAR(got[i].start, want[i].start, 1e-9);
        EXPECT_NEAR(got[i].end, want[i].end, 1e-9);
        EXPECT_EQ(paletteIndex(got[i].color), want[i].color);
    }
}

struct InnerCase {
    const char* name;
    std::vector<Entry> entries;
    std::vector<Arc> inner;
};

class InnerRing : public ::testing::TestWithParam<InnerCase> {};

TEST_P(InnerRing, GivesEachLargeEnoughEntryItsArcAndSumsTheRestIntoOther) {
    expectArcs(OrbitLayout::layout(GetParam().entries, Slices{}).inner, GetParam().inner);
}

INSTANTIATE_TEST_SUITE_P(
    Shares, InnerRing,
    ::testing::Values(
        InnerCase{"SixtyAndAlmostFortyAndATinyOne",
                  {{"/f/a", 6000}, {"/f/b", 3970}, {"/f/c", 30}},
                  {{"/f/a", 0, 0.6, 0}, {"/f/b", 0.6, 0.997, 1}, {"other", 0.997, 1.0, -1}}},
        InnerCase{"FourThousandthsIsAnArcJustBelowIsOther",
                  {{"/f/big", 9921}, {"/f/edge", 40}, {"/f/under", 39}},
                  {{"/f/big", 0, 0.9921, 0}, {"/f/edge", 0.9921, 0.9961, 1}, {"other", 0.9961, 1.0, -1}}},
        InnerCase{"NoSortingAndSmallEntriesKeepTheirColourPosition",
                  {{"/f/a", 400}, {"/f/b", 2}, {"/f/c", 598}},
                  {{"/f/a", 0, 0.4, 0}, {"/f/c", 0.4, 0.998, 2}, {"other", 0.998, 1.0, -1}}},
        InnerCase{"UnmeasuredAndEmptyEntriesNeitherDrawNorCount",
                  {{"/f/a", 300}, {"/f/pending", std::nullopt}, {"/f/zero", 0}, {"/f/b", 100}},
                  {{"/f/a", 0, 0.75, 0}, {"/f/b", 0.75, 1.0, 1}}},
        InnerCase{"NothingSizedDrawsNothing", {{"/f/a", 0}, {"/f/b", std::nullopt}}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OrbitLayout, TheNinthSizedEntryTakesTheFirstColourAgain) {
    std::vector<Entry> entries;
    for (int i = 0; i < 9; ++i) entries.push_back({"/f/" + std::to_string(i), 100});
    const auto inner = OrbitLayout::layout(entries, Slices{}).inner;
    ASSERT_EQ(inner.size(), 9u);
    EXPECT_EQ(paletteIndex(inner[7].color), 7);
    EXPECT_EQ(paletteIndex(inner[8].color), 0);
}

TEST(OrbitLayout, SubSlicesAreSharesOfTheFolderAndSmallOnesLeaveAGap) {
    const std::vector<Entry> entries{{"/f/first", 100}, {"/f/lib", 900}};
    Slices slices{{"/f/lib", {{"/f/lib/a", 300}, {"/f/lib/tiny", 1}, {"/f/lib/b", 200}}}};
    const auto l = OrbitLayout::layout(entries, slices);
    // /f/lib starts at 0.1; its children keep its colour.
    expectArcs(l.outer, {{"/f/lib/a", 0.1, 0.4, 1}, {"/f/lib/b", 0.401, 0.601, 1}});
    EXPECT_EQ(l.outer[0].focus, AnalyzeFocus::slice("/f/lib/a"));
    EXPECT_EQ(l.inner[1].focus, AnalyzeFocus::entry("/f/lib"));
}

TEST(OrbitLayout, ATableRowAndItsArcShareOneColourAsSizesArrive) {
    // Listed as sorted while B is unmeasured, then re-sorted once it is.
    const std::vector<Entry> before{{"/f/A", 10'000}, {"/f/B", std::nullopt}, {"/f/C", 50}};
    const std::vector<Entry> after{{"/f/A", 10'000}, {"/f/B", 7'000}, {"/f/C", 50}};
    const auto n0 = OrbitLayout::colourNumbers(before), n1 = OrbitLayout::colourNumbers(after);
    EXPECT_EQ(n0, (std::vector<std::optional<int>>{0, std::nullopt, 1}));
    EXPECT_EQ(n1, (std::vector<std::optional<int>>{0, 1, 2}));
    for (const auto& [entries, numbers] : {std::pair{before, n0}, std::pair{after, n1}}) {
        for (const auto& seg : OrbitLayout::layout(entries, Slices{}).inner) {
            if (seg.id == OrbitLayout::otherId) continue;
            const auto at = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.url == seg.id; });
            EXPECT_EQ(seg.color, OrbitLayout::paletteColor(*numbers[size_t(at - entries.begin())])) << seg.id;
        }
    }
}

TEST(FileCount, ShortTexts) {
    const std::pair<int64_t, const char*> cases[] = {{-3, "-3"},          {0, "0"},         {999, "999"},
                                                     {1000, "1.0k"},      {1260, "1.3k"},  {9999, "10.0k"},
                                                     {10'000, "10k"},     {999'999, "1000k"}, {1'000'000, "1.0M"},
                                                     {183'400'000, "183.4M"}};
    for (const auto& [n, text] : cases) EXPECT_EQ(FileCount::format(n), QString::fromLatin1(text)) << n;
}

}  // namespace
