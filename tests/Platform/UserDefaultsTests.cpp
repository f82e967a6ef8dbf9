#include "Platform/PlatformTestSupport.h"
#include "Platform/UserDefaults.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "Support/NestedPlists.h"
#include "Support/PeakMemory.h"

using Platform::UserDefaults;
using platformtest::readFile;
using platformtest::TempDir;
using platformtest::writeFile;
namespace fs = std::filesystem;
using namespace std::chrono;

namespace {
std::string plistXml(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\"><dict>" + body + "</dict></plist>\n";
}

std::vector<std::string> entries(const fs::path& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}
}  // namespace

TEST(UserDefaults, EveryTypeSurvivesARoundTripThroughTheFile) {
    TempDir tmp;
    const fs::path file = tmp / "Quelto/Test.plist";
    const auto when = system_clock::time_point(seconds(1700000000) + microseconds(250000));
    const auto before2001 = system_clock::time_point(seconds(946684800));  // 2000-01-01
    UserDefaults::Dictionary dict{{"name", UserDefaults::Value("x")}, {"n", UserDefaults::Value(7)}};
    UserDefaults::Array mixed{UserDefaults::Value(true), UserDefaults::Value(2.5), UserDefaults::Value("s")};
    {
        UserDefaults d(file);  // folder does not exist yet
        ASSERT_TRUE(d.setBool("yes", true));
        ASSERT_TRUE(d.setBool("no", false));
        ASSERT_TRUE(d.setInteger("int", 400));
        ASSERT_TRUE(d.setInteger("negative", -42));
        ASSERT_TRUE(d.setInteger("big", int64_t{1} << 62));
        ASSERT_TRUE(d.setReal("real", 0.1));
        ASSERT_TRUE(d.setReal("tiny", 1.0e-300));
        ASSERT_TRUE(d.setString("text", "Grüße & <tags> \"quoted\"\nline"));
        ASSERT_TRUE(d.setString("empty", ""));
        ASSERT_TRUE(d.setDate("date", when));
        ASSERT_TRUE(d.setDate("old", before2001));
        ASSERT_TRUE(d.setStringArray("list", {"~/a", "b", "b"}));
        ASSERT_TRUE(d.setStringArray("none", {}));
        ASSERT_TRUE(d.set("mixed", mixed));
        ASSERT_TRUE(d.set("dict", dict));
    }
    UserDefaults r(file);
    EXPECT_EQ(r.boolean("yes"), true);
    EXPECT_EQ(r.boolean("no"), false);
    EXPECT_EQ(r.integer("int"), 400);
    EXPECT_EQ(r.integer("negative"), -42);
    EXPECT_EQ(r.integer("big"), int64_t{1} << 62);
    EXPECT_EQ(r.real("real"), 0.1);
    EXPECT_EQ(r.real("tiny"), 1.0e-300);
    EXPECT_EQ(r.string("text"), "Grüße & <tags> \"quoted\"\nline");
    EXPECT_EQ(r.string("empty"), "");
    EXPECT_EQ(r.date("date"), when);
    EXPECT_EQ(r.date("old"), before2001);
    EXPECT_EQ(r.stringArray("list"), (std::vector<std::string>{"~/a", "b", "b"}));
    EXPECT_EQ(r.stringArray("none"), std::vector<std::string>{});
    EXPECT_EQ(r.array("mixed"), mixed);
    EXPECT_EQ(r.dictionary("dict"), dict);
    EXPECT_FALSE(r.object("missing"));
}

TEST(UserDefaults, AGetterOfAnotherTypeSeesNothing) {
    TempDir tmp;
    const fs::path file = tmp / "d.plist";
    writeFile(file, plistXml("<key>b</key><true/>"
                             "<key>i</key><integer>1</integer>"
                             "<key>s</key><string>30</string>"
                             "<key>mixed</key><array><string>cpu</string><integer>3</integer></array>"
                             "<key>data</key><data>AAEC</data>"));
    UserDefaults d(file);
    EXPECT_EQ(d.boolean("b"), true);
    EXPECT_FALSE(d.integer("b"));
    EXPECT_FALSE(d.boolean("i"));
    EXPECT_FALSE(d.string("i"));
    EXPECT_FALSE(d.integer("s"));
    EXPECT_FALSE(d.stringArray("s"));
    EXPECT_TRUE(d.array("mixed"));
    EXPECT_FALSE(d.stringArray("mixed"));  // not every element is a string
    EXPECT_FALSE(d.object("data"));         // a type this store does not keep
    EXPECT_EQ(d.string("s"), "30");
}

TEST(UserDefaults, ReadsBinaryPropertyLists) {
    TempDir tmp;
    // bplist00 { "dryRun": true }
    const unsigned char bin[] = {
        'b','p','l','i','s','t','0','0', 0xD1, 0x01, 0x02, 0x56, 'd','r','y','R','u','n', 0x09,
        0x08, 0x0B, 0x12,
        0,0,0,0,0,0, 1, 1, 0,0,0,0,0,0,0,3, 0,0,0,0,0,0,0,0, 0,0,0,0,0,0,0,0x13};
    writeFile(tmp / "b.plist", std::string(reinterpret_cast<const char*>(bin), sizeof bin));
    UserDefaults d(tmp / "b.plist");
    EXPECT_EQ(d.boolean("dryRun"), true);
}

TEST(UserDefaults, UnusableFilesReadAsEmptyAndAreKeptAsideOnTheNextWrite) {
    struct Case { const char* name; std::string content; };
    const Case cases[] = {
        {"garbage", "this is not a property list \x01\x02"},
        {"truncated", plistXml("<key>a</key><true/>").substr(0, 120)},
        {"not a dictionary", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><true/></array></plist>"},
        {"bad binary", std::string("bplist00\xD1\x01\x02\xFF\xFF", 13)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir tmp;
        const fs::path file = tmp / "d.plist";
        writeFile(file, c.content);
        UserDefaults d(file);
        EXPECT_TRUE(d.keys().empty());
        EXPECT_FALSE(d.boolean("a"));
        ASSERT_TRUE(d.setBool("sounds", false));
        EXPECT_EQ(entries(tmp.path()), (std::vector<std::string>{"d.plist", "d.plist.unreadable"}));
        EXPECT_EQ(readFile(tmp / "d.plist.unreadable"), c.content);
        EXPECT_EQ(UserDefaults(file).boolean("sounds"), false);
    }
}

TEST(UserDefaults, WritesReplaceTheFileAtomicallyAndKeepOtherKeys) {
    TempDir tmp;
    const fs::path file = tmp / "Quelto/d.plist";
    UserDefaults d(file);
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(d.setInteger("k" + std::to_string(i), i));
    ASSERT_TRUE(d.remove("k3"));
    EXPECT_EQ(entries(tmp / "Quelto"), std::vector<std::string>{"d.plist"});  // no temporary left
    UserDefaults r(file);
    EXPECT_EQ(r.keys().size(), 19u);
    EXPECT_EQ(r.integer("k19"), 19);
    EXPECT_FALSE(r.object("k3"));
}

TEST(UserDefaults, AFailedWriteReportsFalseButKeepsTheValueForThisProcess) {
    TempDir tmp;
    writeFile(tmp / "blocker", "a file where the folder should be");
    UserDefaults d(tmp / "blocker/d.plist");
    EXPECT_FALSE(d.setBool("dryRun", true));
    EXPECT_EQ(d.boolean("dryRun"), true);
}

TEST(UserDefaults, ReadsTheFileOnceUntilReloaded) {
    TempDir tmp;
    const fs::path file = tmp / "d.plist";
    writeFile(file, plistXml("<key>a</key><integer>1</integer>"));
    UserDefaults d(file);
    EXPECT_EQ(d.integer("a"), 1);
    writeFile(file, plistXml("<key>a</key><integer>2</integer>"));
    EXPECT_EQ(d.integer("a"), 1);
    d.reload();
    EXPECT_EQ(d.integer("a"), 2);
}

TEST(UserDefaults, ConcurrentWritersLoseNoKey) {
    TempDir tmp;
    UserDefaults d(tmp / "d.plist");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&d, t] {
            for (int i = 0; i < 25; ++i) d.setInteger("t" + std::to_string(t) + "-" + std::to_string(i), i);
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(UserDefaults(tmp / "d.plist").keys().size(), 100u);
}

TEST(UserDefaults, ASymlinkedFileIsWrittenWhereItLeads) {
    TempDir tmp;
    const fs::path real = tmp / "dotfiles/Quelto.plist";
    const fs::path link = tmp / "config/Quelto/Quelto.plist";
    writeFile(real, plistXml("<key>a</key><integer>1</integer>"));
    fs::create_directories(link.parent_path());
    fs::create_symlink(real, link);
    UserDefaults d(link);
    ASSERT_TRUE(d.setInteger("b", 2));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(UserDefaults(real).integer("a"), 1);
    EXPECT_EQ(UserDefaults(real).integer("b"), 2);
    EXPECT_EQ(entries(link.parent_path()), std::vector<std::string>{"Quelto.plist"});
}

TEST(UserDefaults, AnEarlierUnreadableCopyIsNotOverwritten) {
    TempDir tmp;
    const fs::path file = tmp / "d.plist";
    writeFile(tmp / "d.plist.unreadable", "first");
    writeFile(file, "second");
    ASSERT_TRUE(UserDefaults(file).setBool("a", true));
    EXPECT_EQ(entries(tmp.path()),
              (std::vector<std::string>{"d.plist", "d.plist.unreadable", "d.plist.unreadable-1"}));
}

// Every unreadable file kept aside stays as it was: with all 100 names taken, the next
// one stays where it is, and the settings are not written over it.
TEST(UserDefaults, NoKeptFileIsWrittenOverWhenEveryNameIsTaken) {
    TempDir tmp;
    const fs::path file = tmp / "d.plist";
    const auto aside = [&](int n) { return tmp / ("d.plist.unreadable" + (n ? "-" + std::to_string(n) : "")); };
    for (int n = 0; n <= 100; ++n) {
        writeFile(file, "unreadable " + std::to_string(n));
        UserDefaults d(file);
        EXPECT_EQ(d.setBool("a", true), n < 100) << n;
        EXPECT_EQ(d.boolean("a"), true) << n;
    }
    EXPECT_EQ(readFile(file), "unreadable 100");
    for (int n = 0; n < 100; ++n) EXPECT_EQ(readFile(aside(n)), "unreadable " + std::to_string(n));
    EXPECT_EQ(entries(tmp.path()).size(), 101u);
}

// A settings file past the bounds every property list keeps, or no file at all, is
// unreadable, found so within 2 s and 64 MiB, and kept aside whole at the next write.
TEST(UserDefaults, AFileBeyondTheBoundsIsUnreadableAtOnceAndKeptAside) {
    const struct {
        const char* name;
        std::string bytes;
        uintmax_t size;
        bool fifo = false;
    } cases[] = {
        {"100 MB", plistXml("<key>a</key><true/>"), 100'000'000},
        {"1 MB binary with a long array", nestedplists::longArray(1'000'000), 0},
        {"a fifo", "", 0, true},
    };
    for (const auto& c : cases) {
        TempDir tmp;
        const fs::path file = tmp / "d.plist";
        if (c.fifo) ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
        else writeFile(file, c.bytes);
        if (c.size) fs::resize_file(file, c.size);
        // The same file, never written since: renamed, not copied.
        const auto identity = [](const fs::path& f) {
            struct stat st {};
            ::stat(f.c_str(), &st);
            return std::tuple(st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
        };
        const auto before = identity(file);
        const auto peak = peakmemory::measure([&] {
            UserDefaults d(file);
            const std::string read = std::to_string(d.keys().size()) + " keys, ";
            return read + (d.setBool("sounds", false) ? "written" : "not written");
        }, 20);
        ASSERT_TRUE(peak) << c.name << ": over 20 s";
        EXPECT_EQ(peak->said, "0 keys, written") << c.name;
        EXPECT_LT(peak->seconds, peakmemory::kBoundSeconds) << c.name;
        EXPECT_LT(peak->growthKiB, peakmemory::kBoundKiB) << c.name;
        EXPECT_EQ(entries(tmp.path()), (std::vector<std::string>{"d.plist", "d.plist.unreadable"})) << c.name;
        EXPECT_EQ(identity(tmp / "d.plist.unreadable"), before) << c.name;
    }
}
