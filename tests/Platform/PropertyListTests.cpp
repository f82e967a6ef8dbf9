#include "Platform/PlatformTestSupport.h"
#include "Platform/PropertyList.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <chrono>
#include <cstdio>

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
         "read 1 values"},
        {"binary, the most values and text",
         texts.bytes(texts.container(0xA, std::vector<uint32_t>(PL::kMaxValues - 1, text))), "read 131072 values"},
        {"xml, the most small values",
         plist + "<array>" + repeat("<string/>", PL::kMaxValues - 1) + "</array>" + endPlist, "read 131072 values"},
        {"xml, the most keys, each long", [&] {
             std::string dict = plist + "<dict>";
             char key[48];
             for (size_t i = 0; i < PL::kMaxValues / 2 - 1; ++i)
                 dict += "<key>" + std::string(key, std::snprintf(key, sizeof key, "%040zu", i)) + "</key><true/>";
             return dict + "</dict>" + endPlist;
         }(), "read 131071 values"},
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

// Lists as their writers make them, and the odd forms older lists hold, read into
// the values they have always had: text byte for byte (not UTF-8, CR LF kept,
// references decoded), a key's later value where it comes twice, data left out
// with the array holding it, numbers leniently; and what is no list refused.
TEST(PropertyList, AnXmlListReadsIntoTheValuesItHolds) {
    using Platform::UserDefaults;
    const auto show = [](const std::string& bytes) {
        const auto text = [](const std::string& s) {
            std::string out = "\"";
            char hex[5];
            for (unsigned char c : s) {
                std::snprintf(hex, sizeof hex, c < 0x20 || c > 0x7E ? "\\x%02X" : "%c", c);
                out += hex;
            }
            return out + "\"";
        };
        const auto shown = [&](const UserDefaults::Value& v, auto& self) -> std::string {
            if (const auto* b = v.get<bool>()) return *b ? "true" : "false";
            if (const auto* i = v.get<int64_t>()) return std::to_string(*i);
            if (const auto* d = v.get<double>()) return std::to_string(*d);
            if (const auto* s = v.get<std::string>()) return text(*s);
            if (const auto* t = v.get<UserDefaults::Date>())
                return "@" + std::to_string(std::chrono::duration_cast<std::chrono::seconds>(t->time_since_epoch()).count());
            std::string out;
            if (const auto* a = v.get<UserDefaults::Array>())
                for (const auto& e : *a) out += (out.empty() ? "" : ",") + self(e, self);
            if (const auto* m = v.get<UserDefaults::Dictionary>())
                for (const auto& [k, e] : *m) out += (out.empty() ? "" : ",") + text(k) + ":" + self(e, self);
            return v.is<UserDefaults::Array>() ? "[" + out + "]" : "{" + out + "}";
        };
        const auto value = Platform::PropertyList::parse(bytes);
        return value ? shown(*value, shown) : "refused";
    };
    const std::string apple = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD "
                              "PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n";
    std::string longText, longShown;
    for (int i = 0; i < 20000; ++i) longText += "\xE9&amp;\r\n", longShown += "\\xE9&\\x0D\\x0A";
    const struct {
        const char* name;
        std::string bytes, read;
    } cases[] = {
        {"every type, as written",
         apple + "<dict>\n\t<key>s</key>\n\t<string>a b</string>\n\t<key>i</key>\n\t<integer>-42</integer>\n\t<key>u</key>"
                 "<integer>18446744073709551615</integer><key>h</key><integer>0x1F</integer><key>r</key><real>1.5e3</real>"
                 "<key>t</key><true/><key>f</key><false/><key>d</key><date>2020-02-29T12:34:56Z</date>"
                 "<key>a</key><array><string/><dict/></array><key>x</key><data>aGk=</data>\n</dict>\n</plist>\n",
         "{\"a\":[\"\",{}],\"d\":@1582979696,\"f\":false,\"h\":31,\"i\":-42,\"r\":1500.000000,\"s\":\"a b\",\"t\":true,\"u\":-1}"},
        {"text byte for byte",
         "<plist><string>caf\xE9 &amp;&lt; &#233;&#x1F600; \r\n<![CDATA[<b>&amp;\xE9]]><!-- c --></string></plist>",
         "\"caf\\xE9 &< \\xC3\\xA9\\xF0\\x9F\\x98\\x80 \\x0D\\x0A<b>&amp;\\xE9\""},
        {"a long text, byte for byte", "<plist><string>" + longText + "</string></plist>", "\"" + longShown + "\""},
        {"keys: their bytes, the later value, none without a value",
         "<dict><key>k\xE9</key><true/><key>a</key><string>1</string><key>a</key><string>2</string>"
         "<key>b</key><string>x</string><key>b</key><data>aGk=</data><key>last</key></dict>",
         "{\"a\":\"2\",\"k\\xE9\":true}"},
        {"data, and an array holding it, left out",
         "<dict><key>a</key><array><true/><data/></array><key>n</key><array><dict><key>d</key><data/></dict></array></dict>",
         "{\"n\":[{}]}"},
        {"numbers and dates leniently",
         "<array><integer> 010 </integer><integer>-0x10</integer><integer>12abc</integer><integer/><real>x</real>"
         "<date>2020-02-29T12:34:56.789Z</date><date>2020-02-29T12:34</date><date>garbage</date></array>",
         "[8,-16,12,0,0.000000,@1582979696,@1582979640,@0]"},
        {"after white space, no wrapper", "\n\t<dict><key>a</key><true/></dict>", "{\"a\":true}"},
        {"a wrapper's later values unread", "<plist version=\"2.0\" x=\"y\"><true/><false/><foo/></plist>", "true"},
        {"declared in another encoding", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><plist><string>\xE9</string></plist>",
         "\"\\xE9\""},
        {"after a byte-order mark", "\xEF\xBB\xBF<plist><true/></plist>", "true"},
        {"dates past 2069 and before 1933",
         "<array><date>2100-01-01T00:00:00Z</date><date>1900-01-01T00:00:00Z</date></array>", "[@4102444800,@-2208988800]"},
        {"a number past 64 bits below zero", "<integer>-99999999999999999999</integer>", "-9223372036854775808"},
        {"an unknown element", "<plist><dict><key>a</key><foo/></dict></plist>", "refused"},
        {"a key after a key", "<dict><key>a</key><key>b</key><true/></dict>", "refused"},
        {"text between values", "<array>x<true/></array>", "refused"},
        {"an element in a text", "<string>a<b/>c</string>", "refused"},
        {"more after the list", "<plist><true/></plist>x", "refused"},
        {"UTF-16", std::string("<\0p\0l\0i\0s\0t\0>\0<\0t\0r\0u\0e\0/\0>\0<\0/\0p\0l\0i\0s\0t\0>\0", 30), "refused"},
        {"an entity declared", "<!DOCTYPE plist [<!ENTITY e \"x\">]><plist><string>&e;</string></plist>", "refused"},
        {"an entity declared nowhere read", "<!DOCTYPE plist SYSTEM \"x\"><plist><string>&e;</string></plist>", "refused"},
    };
    for (const auto& c : cases) EXPECT_EQ(show(c.bytes), c.read) << c.name;
}
