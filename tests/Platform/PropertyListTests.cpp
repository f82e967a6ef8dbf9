#include "Platform/PlatformTestSupport.h"
#include "Platform/PropertyList.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <chrono>

#include "Support/NestedPlists.h"
#include "Support/PeakMemory.h"

using Platform::PropertyList::readDictionary;
using platformtest::TempDir;

// Both formats, garbage, a fifo and a list that is no dictionary are read where
// bundles, job descriptions and the defaults are; here what only the reader turns away.
TEST(PropertyList, ReadsADictionaryWithinItsCapAndNothingElse) {
    TempDir tmp;
    const std::string xml = "<plist version=\"1.0\"><dict><key>Disabled</key><true/></dict></plist>";
    platformtest::writeFile(tmp / "xml.plist", xml);
    platformtest::writeFile(tmp / "large.plist", xml + std::string(Platform::PropertyList::kMaxFileBytes, ' '));
    std::filesystem::create_directory(tmp / "folder.plist");
    ASSERT_TRUE(readDictionary(tmp / "xml.plist"));
    EXPECT_TRUE(readDictionary(tmp / "xml.plist")->at("Disabled").is<bool>());
    for (const char* name : {"large.plist", "folder.plist", "missing.plist"})
        EXPECT_FALSE(readDictionary(tmp / name)) << name;
}

// Read on a thread with a small stack: a list that reached anything recursing once
// per level (libplist reading or freeing it, the conversion to values) would end
// the test, and libplist alone takes seconds over a deep binary list.
TEST(PropertyList, NestingPastTheBoundIsTurnedAwayBeforeAnythingRecursesOverIt) {
    using namespace nestedplists;
    using Platform::PropertyList::Problem;
    constexpr int bound = Platform::PropertyList::kMaxDepth;
    Binary cycle;
    cycle.container(0xA, {0});
    std::vector<std::tuple<std::string, std::string, std::optional<Problem>>> cases{
        {"binary, each level referring twice to the next", unfolding(40), Problem::tooManyValues},
        {"binary array inside itself", cycle.bytes(0), Problem::notPropertyList},
        {"xml declaring an entity", "<!DOCTYPE p [<!ENTITY e \"x\">]><plist><string>&e;</string></plist>",
         Problem::notPropertyList},
        {"xml after white space, its text not UTF-8", "\n <plist><string>caf\xE9</string></plist>", std::nullopt}};
    for (Format f : {Format::xml, Format::binary}) {
        cases.emplace_back(std::string(name(f)) + " at the bound", nested(f, bound), std::nullopt);
        cases.emplace_back(std::string(name(f)) + " one past it", nested(f, bound + 1), Problem::nestedTooDeeply);
        cases.emplace_back(std::string(name(f)) + " 60,000 deep", nested(f, 60000), Problem::nestedTooDeeply);
    }
    const auto readAll = [](void* all) -> void* {
        for (const auto& [label, bytes, expected] : *static_cast<decltype(cases)*>(all)) {
            const auto start = std::chrono::steady_clock::now();
            Problem problem = Problem::unreadable;
            EXPECT_EQ(Platform::PropertyList::parse(bytes, &problem).has_value(), !expected) << label;
            EXPECT_EQ(problem, expected.value_or(Problem::unreadable)) << label;
            // Generous: a loaded machine must not trip it, an unbounded expansion still does.
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << label;
        }
        return nullptr;
    };
#if defined(__SANITIZE_ADDRESS__)
    constexpr size_t stack = 8 * 512 * 1024;  // the sanitizer's frames are several times larger
#else
    constexpr size_t stack = 512 * 1024;
#endif
    pthread_attr_t small;
    pthread_t reader;
    ASSERT_TRUE(pthread_attr_init(&small) == 0 && pthread_attr_setstacksize(&small, stack) == 0 &&
                pthread_create(&reader, &small, readAll, &cases) == 0);
    pthread_join(reader, nullptr);
}

// libplist copies a shared object at every reference: a list of some tens of
// kilobytes naming one long text hundreds of times would take hundreds of megabytes.
TEST(PropertyList, ABinaryListUnfoldingIntoFarMoreBytesThanItHoldsIsTurnedAwayWithoutTheMemory) {
    using namespace nestedplists;
    using Platform::PropertyList::Problem;
    const auto text = [](size_t n) { return Binary::marker(0x5, n) + std::string(n, 'x'); };
    std::string euros = Binary::marker(0x6, 16384);  // U+20AC, three bytes in UTF-8
    for (int i = 0; i < 16384; ++i) euros += "\x20\xAC";
    const struct {
        const char* name;
        std::string bytes;
        const char* said;
    } cases[] = {
        {"a 64 KiB text named 500 times", naming(text(65536), 500), "too many values"},
        {"a UTF-16 text named 500 times", naming(euros, 500), "too many values"},
        {"64 KiB of data named 500 times", naming(Binary::marker(0x4, 65536) + std::string(65536, 'd'), 500),
         "too many values"},
        {"a small list naming a short text 1,000 times", naming(text(100), 1000), "read"},
    };
    for (const auto& c : cases) {
        const auto peak = peakmemory::measure([&] {
            Problem problem{};
            if (Platform::PropertyList::parse(c.bytes, &problem)) return std::string("read");
            return std::string(problem == Problem::tooManyValues ? "too many values" : "another problem");
        });
        ASSERT_TRUE(peak) << c.name;
        EXPECT_EQ(peak->said, c.said) << c.name;
        EXPECT_LT(peak->growthKiB, 16 * 1024) << c.name;
    }
}

// Whatever a list holds, reading it takes under 2 s and 64 MiB and gives the list
// or a refusal; the last cases are the costliest lists the bounds let through.
TEST(PropertyList, EveryListIsReadOrTurnedAwayWithinTheBound) {
    using namespace nestedplists;
    namespace PL = Platform::PropertyList;
    const auto repeat = [](const std::string& piece, size_t times) {
        std::string out;
        for (size_t i = 0; i < times; ++i) out += piece;
        return out;
    };
    Binary texts;
    texts.refWidth = 1;
    const uint32_t text = texts.string(std::string(PL::kMaxTextBytes / PL::kMaxValues, 't'));
    const std::string plist = "<plist>", endPlist = "</plist>";
    const struct {
        const char* name;
        std::string bytes, said;
    } cases[] = {
        {"binary, one array of 100,000 in 0.1 MB", longArray(100000), "read 100007 values"},
        {"binary, 4 MiB of some 4 million values", longArray(PL::kMaxFileBytes - 200), "too many"},
        {"xml, 3 MB of small values", plist + repeat("<array>" + repeat("<true/>", 16) + "</array>", 23600) + endPlist,
         "too many"},
        {"binary, 65,536 levels of shared arrays", sharedChain(65536, 254), "too deep"},
        {"xml, 4 MiB of references in one text", plist + "<string>" + repeat("&amp;", 838800) + "</string>" + endPlist,
         "too many"},
        {"binary, the most values and text",
         texts.bytes(texts.container(0xA, std::vector<uint32_t>(PL::kMaxValues - 1, text))), "read 131072 values"},
        {"xml, the most small values",
         plist + "<array>" + repeat("<string/>", PL::kMaxValues - 1) + "</array>" + endPlist, "read 131072 values"},
        {"xml, a 4 MiB text after 1,000 references",
         plist + "<string>" + repeat("&#38;", 1000) + std::string(PL::kMaxFileBytes - 5100, 'x') + "</string>" +
             endPlist,
         "read 1 values"},
    };
    for (const auto& c : cases) {
        const auto peak = peakmemory::measure([&] {
            PL::Problem problem{};
            const auto value = PL::parse(c.bytes, &problem);
            const char* refusals[] = {"unreadable", "not a list", "too deep", "too many", "no dictionary"};
            if (!value) return std::string(refusals[int(problem)]);
            size_t values = 0;
            const auto count = [&](const PL::Value& v, auto& self) -> void {
                ++values;
                if (const auto* a = v.get<Platform::UserDefaults::Array>()) for (const auto& e : *a) self(e, self);
                if (const auto* d = v.get<PL::Dictionary>()) for (const auto& [k, e] : *d) ++values, self(e, self);
            };
            count(*value, count);
            return "read " + std::to_string(values) + " values";
        }, 20);
        ASSERT_TRUE(peak) << c.name << ": over 20 s";
        EXPECT_EQ(peak->said, c.said) << c.name;
        EXPECT_LT(peak->seconds, peakmemory::kBoundSeconds) << c.name;
        EXPECT_LT(peak->growthKiB, peakmemory::kBoundKiB) << c.name;
    }
}
