#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <optional>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <thread>

#include "Core/Clean/History.h"
#include "Support/PeakMemory.h"
#include "Support/TestTree.h"
#include "Support/Unprivileged.h"

using namespace testtree;
using nlohmann::json;
using std::chrono::system_clock;

namespace {
class HistoryTest : public ::testing::Test {
protected:
    TempDir tmp;
    ScopedEnv home{"HOME", tmp.path().string()};
    ScopedEnv data{"XDG_DATA_HOME", (tmp / "data").string()};

    static History::Entry entry(const std::string& action, int64_t count = 1) {
        return {History::newIdentifier(), system_clock::now(), action, count, count * 100,
                {"/h/" + action}};
    }
    static json stored(int i) {
        char id[40];
        std::snprintf(id, sizeof id, "00000000-0000-4000-8000-%012d", i);
        return {{"id", id}, {"date", "2025-01-02T03:04:05Z"}, {"action", "clean"},
                {"count", i}, {"bytes", 10 * i}, {"paths", {"/h/" + std::to_string(i)}}};
    }
};
}  // namespace

TEST_F(HistoryTest, FirstRecordCreatesFolderAndFile) {
    EXPECT_EQ(History::fileURL(), tmp / "data/Quelto/history.json");
    const auto e = entry("clean");
    History::record(e);
    const std::string text = readFile(History::fileURL());
    const json doc = json::parse(text);
    ASSERT_TRUE(doc.is_array());
    ASSERT_EQ(doc.size(), 1u);
    EXPECT_EQ(doc[0]["action"], "clean");
    EXPECT_EQ(doc[0]["id"], e.id);
    EXPECT_EQ(doc[0]["paths"], json::array({"/h/clean"}));
    EXPECT_TRUE(std::regex_match(doc[0]["date"].get<std::string>(),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")));
    EXPECT_NE(text.find("\n    \"action\""), std::string::npos) << "pretty-printed";
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp / "data/Quelto"), fs::directory_iterator{}), 1);
}

TEST_F(HistoryTest, KeepsNewestFirstAndAtMostTheLimit) {
    json doc = json::array();
    for (int i = 0; i < 500; ++i) doc.push_back(stored(i));
    writeFile(History::fileURL(), doc.dump(2));
    ASSERT_EQ(History::entries().size(), 500u);

    const auto e = entry("optimize");
    History::record(e);
    const auto list = History::entries();
    ASSERT_EQ(list.size(), 500u);
    EXPECT_EQ(list.front().id, e.id);
    EXPECT_EQ(list[1].count, 0);
    EXPECT_EQ(list.back().count, 498);  // the oldest, 499, is gone
}

TEST_F(HistoryTest, AnEntryThatCannotBeDecodedCostsOnlyItself) {
    json missingBytes = json::array({stored(1), stored(2)});
    missingBytes[1].erase("bytes");
    json wrongType = json::array({stored(1)});
    wrongType[0]["count"] = "1";
    json badId = json::array({stored(1)});
    badId[0]["id"] = "not-a-uuid";
    json fraction = json::array({stored(1)});
    fraction[0]["date"] = "2025-01-02T03:04:05.5Z";
    json nonStringPath = json::array({stored(1)});
    nonStringPath[0]["paths"] = json::array({"/a", 2});
    json oneOfThree = json::array({stored(1), stored(2), stored(3)});
    oneOfThree[1]["date"] = 20250102;
    const std::pair<std::string, std::vector<int64_t>> cases[] = {  // the file, the counts of the entries that still read
        {"not json {", {}},
        {"{\"id\": 1}", {}},
        {missingBytes.dump(), {1}},
        {wrongType.dump(), {}},
        {badId.dump(), {}},
        {fraction.dump(), {}},
        {nonStringPath.dump(), {}},
        {json::array({stored(1), 7, stored(3)}).dump(), {1, 3}},
        {oneOfThree.dump(2), {1, 3}},
    };
    const auto counts = [](const std::vector<History::Entry>& list) {
        std::vector<int64_t> out;
        for (const auto& e : list) out.push_back(e.count);
        return out;
    };
    const fs::path copy = History::fileURL().string() + ".bad";
    for (const auto& [content, kept] : cases) {
        SCOPED_TRACE(content);
        fs::remove(copy);
        writeFile(History::fileURL(), content);
        EXPECT_EQ(counts(History::entries()), kept);
        History::record(entry("purge", 100));
        std::vector<int64_t> after = {100};
        after.insert(after.end(), kept.begin(), kept.end());
        EXPECT_EQ(counts(History::entries()), after);
        // What the new file no longer holds is kept beside it, byte for byte.
        EXPECT_EQ(readFile(copy), content);
    }
    // A later record, of an intact file, copies nothing more.
    History::record(entry("clean"));
    EXPECT_FALSE(fs::exists(History::fileURL().string() + ".bad.1"));
    EXPECT_EQ(History::entries().size(), 4u);
}

TEST_F(HistoryTest, AFileThatCannotBeReadIsNeverReplaced) {
    if (!unprivileged::rerunAsNobody()) return;
    const std::string content = json::array({stored(1), stored(2)}).dump();
    writeFile(History::fileURL(), content);
    ::chmod(History::fileURL().c_str(), 0200);
    EXPECT_TRUE(History::entries().empty());
    History::record(entry("clean"));
    ::chmod(History::fileURL().c_str(), 0644);
    EXPECT_EQ(readFile(History::fileURL()), content);
    EXPECT_EQ(History::entries().size(), 2u);
}

TEST_F(HistoryTest, ReadsOffsetDatesAndUnsignedCounts) {
    json doc = json::array({stored(1)});
    doc[0]["date"] = "2025-01-02T05:04:05+02:00";
    writeFile(History::fileURL(), doc.dump());
    const auto list = History::entries();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].date, system_clock::from_time_t(1735787045));  // 2025-01-02T03:04:05Z
    EXPECT_EQ(list[0].bytes, 10);
}

TEST_F(HistoryTest, ClearRemovesTheFileAndToleratesNone) {
    History::clear();
    EXPECT_FALSE(fs::exists(History::fileURL()));
    writeFile(History::fileURL(), "not json {");
    History::record(entry("clean"));
    writeFile(History::fileURL().string() + ".bad.7", "[]");
    ASSERT_TRUE(fs::exists(History::fileURL().string() + ".bad"));
    History::clear();
    EXPECT_FALSE(fs::exists(History::fileURL()));
    EXPECT_TRUE(History::entries().empty());
    // The copies of undecodable files go with it.
    EXPECT_TRUE(fs::is_empty(History::fileURL().parent_path()));
}

// A record in another process is stopped while it holds the history, once it is seen
// holding the folder's lock; a clear must wait for it to write the file back.
TEST_F(HistoryTest, ClearWaitsForARecordInAnotherProcessThatReadTheFile) {
    struct Child {
        pid_t pid;
        explicit Child(const std::function<void()>& work) : pid(::fork()) {
            if (pid == 0) {
                work();
                ::_exit(0);
            }
        }
        ~Child() {
            if (pid > 0 && !ended(0)) {
                ::kill(pid, SIGKILL);
                ended(-1);
            }
        }
        // Whether it ended within `ms` (-1: however long it takes).
        bool ended(int ms) {
            for (int waited = 0;; waited += 10) {
                if (pid < 0 || ::waitpid(pid, nullptr, ms < 0 ? 0 : WNOHANG) == pid) return (pid = -1), true;
                if (waited >= ms) return false;
                ::usleep(10000);
            }
        }
    };
    // A history of some MiB, so that a record takes long enough to be caught.
    json list = json::array();
    for (int i = 0; i < 400; ++i) {
        json e = stored(i);
        e["paths"] = {std::string(8000, 'p')};
        list.push_back(e);
    }
    writeFile(History::fileURL(), list.dump());
    const auto lockedElsewhere = [folder = History::fileURL().parent_path()] {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::close(fd);
        return locked;
    };
    std::optional<Child> recorder;
    for (int attempt = 0; attempt < 50 && !recorder; ++attempt) {
        recorder.emplace([] { History::record(entry("purge")); });
        while (!recorder->ended(0)) {
            if (!lockedElsewhere()) continue;
            ::kill(recorder->pid, SIGSTOP);
            int status = 0;
            if (::waitpid(recorder->pid, &status, WUNTRACED) == recorder->pid && !WIFSTOPPED(status)) {
                recorder->pid = -1;  // it ended first
                break;
            }
            if (lockedElsewhere()) break;
            ::kill(recorder->pid, SIGCONT);
        }
        if (recorder->pid < 0) recorder.reset();
    }
    ASSERT_TRUE(recorder) << "no record was caught holding the history";
    Child clearer([] { History::clear(); });
    EXPECT_FALSE(clearer.ended(300)) << "cleared under a record that had read the file";
    ::kill(recorder->pid, SIGCONT);
    EXPECT_TRUE(recorder->ended(20000) && clearer.ended(20000));
    EXPECT_FALSE(fs::exists(History::fileURL()));
    EXPECT_TRUE(History::entries().empty());
}

TEST_F(HistoryTest, DatesKeepWholeSecondsOnly) {
    auto e = entry("clean");
    e.date = system_clock::from_time_t(1700000000) + std::chrono::milliseconds(750);
    History::record(e);
    const auto list = History::entries();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].date, system_clock::from_time_t(1700000000));
    EXPECT_NE(readFile(History::fileURL()).find("\"2023-11-14T22:13:20Z\""), std::string::npos);
}

TEST_F(HistoryTest, NonUtf8PathsDoNotLoseTheRecord) {
    auto e = entry("clean");
    e.paths = {"/h/caf\xE9", "/h/ok"};
    History::record(e);
    const auto list = History::entries();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].paths[0], "/h/caf\xEF\xBF\xBD");
    EXPECT_EQ(list[0].paths[1], "/h/ok");
}

TEST_F(HistoryTest, ConcurrentRecordsLoseNothing) {
    constexpr int kThreads = 8, kEach = 20;
    std::vector<std::thread> threads;
    std::vector<std::vector<std::string>> ids(kThreads);
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &ids] {
            for (int k = 0; k < kEach; ++k) {
                const auto e = entry("clean");
                ids[t].push_back(e.id);
                History::record(e);
            }
        });
    for (auto& th : threads) th.join();
    std::set<std::string> stored;
    for (const auto& e : History::entries()) stored.insert(e.id);
    EXPECT_EQ(stored.size(), size_t(kThreads * kEach));
    for (const auto& list : ids)
        for (const auto& id : list) EXPECT_TRUE(stored.count(id)) << id;
}

TEST(HistoryIdentifier, IsRandomVersion4) {
    const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const auto id = History::newIdentifier();
        EXPECT_TRUE(std::regex_match(id, form)) << id;
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

// Files that cost a reader as much as they can, each read and recorded over in a child
// of its own with its time and resident growth measured.
TEST_F(HistoryTest, EveryFileIsReadWithinTheBoundAndNoneIsLost) {
    // `head`, `piece` `count` times, then `tail`, written as it goes.
    const auto repeat = [](const fs::path& file, const std::string& head, const std::string& piece, size_t count,
                           const std::string& tail) {
        fs::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary);
        out << head;
        for (size_t i = 0; i < count; ++i) out << piece;
        out << tail;
    };
    const std::string one = stored(1).dump(), opened = one.substr(0, one.find("[\"/h/1\"]}") + 1);
    const struct {
        const char* name;
        std::function<void(const fs::path&)> lay;
        const char* said;
    } cases[] = {
        {"1,000,000 records", [&](const fs::path& f) { repeat(f, "[", one + ",", 999999, one + "]"); },
         "read 500, then 500 newest first"},
        {"an entry of 4 MiB of empty paths",
         [&](const fs::path& f) { repeat(f, "[" + opened, "\"\",", (4 << 20) / 3, "\"\"]}]"); },
         "read 0, then 1 newest first"},
        {"a path of 60 MiB",
         [&](const fs::path& f) { repeat(f, "[" + opened + "\"", std::string(1 << 20, 'x'), 60, "\"]}]"); },
         "read 0, then 1 newest first"},
        {"arrays nested 4 MiB deep", [&](const fs::path& f) { repeat(f, "", "[", 4 << 20, ""); },
         "read 0, then 1 newest first"},
        {"a record, 3 MiB of line breaks, then a fault",
         [&](const fs::path& f) { repeat(f, "[" + one + ",", "\n", 3 << 20, "{]"); }, "read 1, then 2 newest first"},
        {"a link to an endless device",
         [&](const fs::path& f) {
             fs::create_directories(f.parent_path());
             fs::create_symlink("/dev/zero", f);
         },
         "read 0, then 1 newest first"},
        {"a fifo no one writes to",
         [&](const fs::path& f) {
             fs::create_directories(f.parent_path());
             ::mkfifo(f.c_str(), 0600);
         },
         "read 0, then 1 newest first"},
    };
    const fs::path file = History::fileURL(), copy = file.string() + ".bad";
    for (const auto& c : cases) {
        History::clear();
        c.lay(file);
        struct ::stat before {}, kept {};
        ::lstat(file.c_str(), &before);
        const auto peak = peakmemory::measure([] {
            const size_t read = History::entries().size();
            History::record(entry("purge", 100));
            const auto after = History::entries();
            return "read " + std::to_string(read) + ", then " + std::to_string(after.size()) +
                   (!after.empty() && after[0].count == 100 ? " newest first" : "");
        }, 20);
        ASSERT_TRUE(peak) << c.name << ": over 20 s";
        EXPECT_EQ(peak->said, c.said) << c.name;
        EXPECT_LT(peak->seconds, peakmemory::kBoundSeconds) << c.name;
        EXPECT_LT(peak->growthKiB, peakmemory::kBoundKiB) << c.name;
        // The file that could not be kept whole lies beside the new one, untouched.
        EXPECT_TRUE(::lstat(copy.c_str(), &kept) == 0 && kept.st_ino == before.st_ino &&
                    kept.st_size == before.st_size)
            << c.name;
    }
}

// What Quelto writes it can read again within the bound: the oldest entries give way,
// and a new entry too large for its share keeps the first of its paths.
TEST_F(HistoryTest, OwnWritesStayWithinTheBound) {
    const auto large = [](int64_t count, size_t paths, size_t length) {
        auto e = entry("clean", count);
        e.paths.clear();
        for (size_t i = 0; i < paths; ++i) e.paths.push_back(std::string(length, 'p') + std::to_string(i));
        return e;
    };
    for (int i = 1; i <= 10; ++i) History::record(large(i, 5000, 100));
    const auto huge = large(11, 2000000, 0);
    History::record(huge);
    const auto list = History::entries();
    ASSERT_TRUE(list.size() > 2 && list.size() < 11) << list.size();
    EXPECT_EQ(list.back().count, int64_t(12 - list.size())) << "the oldest gave way";
    EXPECT_EQ(list.back().paths.size(), 5000u);
    const auto& kept = list[0].paths;
    EXPECT_EQ(list[0].count, 11);
    EXPECT_TRUE(!kept.empty() && kept.size() < huge.paths.size() &&
                std::equal(kept.begin(), kept.end(), huge.paths.begin()))
        << kept.size();
    History::record(entry("clean"));
    EXPECT_FALSE(fs::exists(History::fileURL().string() + ".bad")) << "set aside as beyond the bound";
}
