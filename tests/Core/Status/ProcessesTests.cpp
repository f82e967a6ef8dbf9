#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "Core/Clean/Shell.h"
#include "Core/Status/Processes.h"
#include "Platform/Programs.h"
#include "Support/TestTree.h"

using Processes::Info;

TEST(ProcessesParse, OnlyTheLastSample) {
    const std::string output =
        "Processes: 3 total\n\n"
        "PID    COMMAND      %CPU MEM    POWER\n"
        "1      first        0.0  1M     0.0\n"
        "\n"
        "PID    COMMAND      %CPU MEM    POWER\n"
        "123    Example Helper (Renderer) 12.5 350M+  3.1\n"
        "77     launchd      0.0  12K    0\n"
        "9      four columns 1.0 2.0\n"
        "x9     notapid      1.0  1M     0.0\n";
    EXPECT_EQ(Processes::parse(output), (std::vector<Info>{{123, "Example Helper (Renderer)", 12.5, 367001600, 3.1},
                                                           {77, "launchd", 0.0, 12288, 0}}));
    EXPECT_TRUE(Processes::parse("no header\n1 a 0.0 1M 0.0\n").empty());
    EXPECT_TRUE(Processes::parse("PID COMMAND %CPU MEM POWER\n").empty());
}

TEST(ProcessesParse, ColumnTexts) {
    struct Case {
        const char* name;
        std::string cpu, memory, power;
        std::optional<Info> row;  // nothing: the row is skipped
    } cases[] = {
        {"gigabytes", "1.0", "1.5G", "0.0", Info{5, "p", 1.0, 1610612736, 0}},
        {"bytes", "1.0", "0B", "0.0", Info{5, "p", 1.0, 0, 0}},
        {"lonePlus", "1.0", "+", "0.0", Info{5, "p", 1.0, 0, 0}},
        {"shrinking", "1.0", "64K-", "0.0", Info{5, "p", 1.0, 65536, 0}},
        // A count without a unit is bytes, read whole, not its digits but the last.
        {"noUnit", "1.0", "1234", "0.0", Info{5, "p", 1.0, 1234, 0}},
        {"tooLarge", "1.0", "99999999999999G", "0.0", Info{5, "p", 1.0, 0, 0}},
        {"nanMemory", "1.0", "nanM", "0.0", Info{5, "p", 1.0, 0, 0}},
        // Not-a-number and infinite figures never reach a sort.
        {"nanCpu", "nan", "1M", "0.0", std::nullopt},
        {"infCpu", "inf", "1M", "0.0", std::nullopt},
        {"infPower", "1.0", "1M", "-inf", std::nullopt},
        {"wordCpu", "busy", "1M", "0.0", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto rows = Processes::parse("PID COMMAND %CPU MEM POWER\n5 p " + c.cpu + " " + c.memory + " " + c.power + "\n");
        if (!c.row) {
            EXPECT_TRUE(rows.empty()) << c.name;
        } else {
            ASSERT_EQ(rows.size(), 1u) << c.name;
            EXPECT_EQ(rows[0], *c.row) << c.name;
        }
    }
}

TEST(ProcessesSort, StableLargestFirstEvenWithNonNumbers) {
    const double nan = std::nan("");
    std::vector<Info> rows;
    for (int i = 0; i < 40; ++i)  // enough rows for the library to use its unguarded sorts
        rows.push_back({i, "p" + std::to_string(i), i % 3 == 0 ? nan : double(i % 4), int64_t(i % 2), i % 5 == 0 ? INFINITY : 1.0});
    auto byCpu = rows;
    Processes::sortLargestFirst(byCpu, Processes::SortKey::cpu);
    std::vector<int32_t> order;
    for (const auto& r : byCpu) order.push_back(r.pid);
    // 3s, 2s, 1s, 0s in snapshot order, then the rows without a figure.
    EXPECT_EQ(std::vector<int32_t>(order.begin(), order.begin() + 5), (std::vector<int32_t>{7, 11, 19, 23, 31}));
    // Equal figures (two missing ones included) keep the snapshot's order; missing ones come last.
    const auto key = [](double v) { return std::isnan(v) ? -INFINITY : v; };
    for (size_t i = 1; i < byCpu.size(); ++i) {
        EXPECT_GE(key(byCpu[i - 1].cpu), key(byCpu[i].cpu));
        if (key(byCpu[i - 1].cpu) == key(byCpu[i].cpu)) {
            EXPECT_LT(byCpu[i - 1].pid, byCpu[i].pid);
        }
    }
    auto byMemory = rows;
    Processes::sortLargestFirst(byMemory, Processes::SortKey::memory);
    EXPECT_EQ(byMemory[0].pid, 1);
    EXPECT_EQ(byMemory[20].pid, 0);
    auto byEnergy = rows;
    Processes::sortLargestFirst(byEnergy, Processes::SortKey::energy);
    EXPECT_EQ(byEnergy[0].pid, 0);
    EXPECT_EQ(byEnergy[8].pid, 1);
}

TEST(ProcessesExplanation, KnownNamesAndHelpers) {
    EXPECT_EQ(Processes::explanation("launchd"), "Starts and supervises every other process.");
    const std::string helper = "A helper process of an app — usually a browser tab, renderer or extension.";
    EXPECT_EQ(Processes::explanation("Example Helper (Renderer)"), helper);
    EXPECT_EQ(Processes::explanation("Finder Helper"), helper);
    EXPECT_EQ(Processes::explanation("Finder"), "The Finder.");
    EXPECT_EQ(Processes::explanation("finder"), std::nullopt);
    EXPECT_EQ(Processes::explanation("Helpers"), std::nullopt);
}

namespace {
// A child that spins under the given name until killed; `ahead` puts it before other
// work where it may, so it gets a share of the machine however loaded.
pid_t spinner(const std::string& name, bool ahead = false) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_NAME, name.c_str(), 0, 0, 0);
        if (ahead) ::setpriority(PRIO_PROCESS, 0, -10);
        for (;;) asm volatile("");
    }
    return pid;
}
void stop(pid_t pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}
}  // namespace

// The stand-in for `top`, run for real on this machine's /proc.
TEST(ProcessesSnapshot, BusiestFirstAndNoForgedRows) {
    const pid_t busy = spinner("quelto-spin", true);
    // Names that try to start a header or a row of their own.
    const pid_t header = spinner("x\nPID COMMAND");
    const pid_t row = spinner("\n1 evil 99 1M 0");
    const auto rows = Processes::snapshot();
    stop(busy);
    stop(header);
    stop(row);

    ASSERT_FALSE(rows.empty());
    EXPECT_LE(rows.size(), 60u);
    auto find = [&](pid_t pid) { return std::find_if(rows.begin(), rows.end(), [&](const Info& r) { return r.pid == pid; }); };
    ASSERT_NE(find(busy), rows.end());
    EXPECT_EQ(find(busy)->name, "quelto-spin");
    // A spinner shares the machine with the rest of the suite: measured, not a set share.
    EXPECT_GT(find(busy)->cpu, 5.0);
    EXPECT_GT(find(busy)->memory, 0);
    ASSERT_NE(find(header), rows.end());
    EXPECT_EQ(find(header)->name, "x?PID COMMAND");
    ASSERT_NE(find(row), rows.end());
    EXPECT_EQ(find(row)->name, "?1 evil 99 1M 0");
    EXPECT_TRUE(std::none_of(rows.begin(), rows.end(), [](const Info& r) { return r.name == "evil"; }));
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), [](const Info& a, const Info& b) { return a.cpu > b.cpu; }));
}

// One full sample of the stand-in lists every process, whatever name it gave itself.
TEST(ProcessesSnapshot, EveryProcessKeepsItsRowWhateverItsName) {
    std::vector<std::pair<pid_t, std::string>> named;
    for (const std::string name : {"   ", " ", "\t", "  x  "}) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::prctl(PR_SET_NAME, name.c_str(), 0, 0, 0);
            for (;;) ::pause();
        }
        named.push_back({pid, name});
        // Named by now: the child names itself first thing.
        for (int i = 0; i < 1000 && testtree::readFile("/proc/" + std::to_string(pid) + "/comm") != name + "\n"; ++i)
            ::usleep(1000);
    }
    const auto result = Shell::run(Platform::Programs::path(Platform::Program::top),
                                   {"-l", "1", "-n", "1000000", "-stats", "pid,command,cpu,mem,power"}, 10);
    for (const auto& [pid, name] : named) stop(pid);
    const auto rows = Processes::parse(result.output);
    for (const auto& [pid, name] : named) {
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const Info& r) { return r.pid == pid; });
        ASSERT_NE(row, rows.end()) << "'" << name << "'";
        EXPECT_FALSE(row->name.empty());
    }
}

// Every sort shows the leaders of the whole machine by its own key, not the busiest
// processes reordered.
TEST(ProcessesSnapshot, EachSortsLeadersComeFromEveryProcess) {
    std::string top = "PID COMMAND %CPU MEM POWER\n";
    for (int i = 1; i <= 100; ++i)
        top += std::to_string(i) + " busy" + std::to_string(i) + " " + std::to_string(200 - i) + ".0 " +
               std::to_string(i) + "M 0.0\n";
    // Idle, at the bottom of a CPU listing: one holding memory, one drawing energy.
    top += "900 hog 0.0 900M 0.0\n901 drain 0.0 1K 50.0\n";
    testtree::TempDir tmp;
    Platform::Programs::setPathForTesting(
        Platform::Program::top, testtree::writeScript(tmp / "top", "cat <<'END'\n" + top + "END\n"));
    const auto rows = Processes::snapshot();
    Platform::Programs::setPathForTesting(Platform::Program::top, "");

    EXPECT_LE(rows.size(), 60u);
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), [](const Info& a, const Info& b) { return a.cpu > b.cpu; }));
    const auto everyone = Processes::parse(top);
    for (const auto key : {Processes::SortKey::cpu, Processes::SortKey::memory, Processes::SortKey::energy}) {
        auto shown = rows, all = everyone;
        Processes::sortLargestFirst(shown, key);
        Processes::sortLargestFirst(all, key);
        shown.resize(12);
        all.resize(12);
        EXPECT_EQ(shown, all) << "key " << int(key);
    }
}

TEST(ProcessesSnapshot, EmptyWhenTopFails) {
    testtree::TempDir tmp;
    Platform::Programs::setPathForTesting(Platform::Program::top,
                                          testtree::writeScript(tmp / "top", "echo 'PID COMMAND %CPU MEM POWER'\necho '1 a 1.0 1M 0.0'\nexit 1\n"));
    EXPECT_TRUE(Processes::snapshot().empty());
    Platform::Programs::setPathForTesting(Platform::Program::top, "");
}
