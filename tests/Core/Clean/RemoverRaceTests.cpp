// The remover against another process of the same user that swaps folders for links
// while it works: nothing outside a finding is ever touched, and a finding reported
// removed is really gone.
#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "Core/Clean/Cleaner.h"
#include "Platform/FileOps.h"
#include "Support/TestTree.h"
#include "Support/Unprivileged.h"

using namespace testtree;

namespace {
constexpr int kRounds = 1000;

struct Way {
    const char* name;
    CleanCategory category;  // userCaches is deleted, installers go to the Trash
};
const Way kWays[] = {{"delete", CleanCategory::userCaches}, {"trash", CleanCategory::installers}};
void PrintTo(const Way& way, std::ostream* os) { *os << way.name; }

// A victim tree shaped like the finding, so a redirected removal would find its names.
void writeVictim(const fs::path& victim) {
    writeFile(victim / "cache/data", "victim data");
    writeFile(victim / "cache/sub/more", "victim more");
    writeFile(victim / "data", "victim top");
    writeFile(victim / "sub/more", "victim sub");
}

void expectVictimIntact(const fs::path& victim, int round) {
    for (const char* rel : {"cache/data", "cache/sub/more", "data", "sub/more"})
        ASSERT_TRUE(Platform::FileOps::exists(victim / rel)) << rel << " in round " << round;
}

// Until stopped, swaps `folder` for a link to `victim` and back, parking the real
// folder at `parking` meanwhile.
class Swapper {
public:
    Swapper(fs::path folder, fs::path parking, fs::path victim)
        : folder_(std::move(folder)), parking_(std::move(parking)), victim_(std::move(victim)),
          thread_([this] {
              while (!stop_) {
                  if (::rename(folder_.c_str(), parking_.c_str()) != 0) continue;
                  ::symlink(victim_.c_str(), folder_.c_str());
                  std::this_thread::yield();
                  ::unlink(folder_.c_str());
                  ::rename(parking_.c_str(), folder_.c_str());
              }
          }) {}
    ~Swapper() {
        stop_ = true;
        thread_.join();
        // Put the real folder back when the swap was cut short.
        if (Platform::FileOps::exists(parking_)) {
            ::unlink(folder_.c_str());
            ::rename(parking_.c_str(), folder_.c_str());
        }
    }

private:
    fs::path folder_, parking_, victim_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Made again in the run as nobody, which owns the tree then.
class RemoverRace : public ::testing::TestWithParam<Way> {
protected:
    TempDir tmp{TempDir::inMemory};
    fs::path home = tmp / "home", victim = tmp / "victim", app = home / "Library/Caches/app";
    ScopedEnv homeEnv{"HOME", home.string()};
    ScopedEnv dataEnv{"XDG_DATA_HOME", (home / ".local/share").string()};

    void SetUp() override { writeVictim(victim); }

    CleanReport clean(const fs::path& item) {
        const CleanItem finding{item, 4096, GetParam().category, Risk::safe, "", false, false, std::nullopt};
        CleanReport report = Cleaner().clean({finding}, "clean", SafetyGuard(home, {}, {}), false, false, nullptr);
        std::error_code ec;
        fs::remove_all(home / ".local/share/Trash", ec);
        return report;
    }
};
}  // namespace

// An ancestor of the finding becomes a link to a folder outside the home.
TEST_P(RemoverRace, AncestorSwappedForALinkNeverRedirectsTheRemoval) {
    if (!unprivileged::rerunAsNobody()) return;
    int removed = 0;
    for (int round = 0; round < kRounds; ++round) {
        writeFile(app / "cache/data", "mine");
        writeFile(app / "cache/sub/more", "mine");
        CleanReport report;
        {
            Swapper swapper(app, home / "Library/Caches/app.parked", victim);
            report = clean(app / "cache");
        }
        expectVictimIntact(victim, round);
        if (!report.removed.empty()) {
            ++removed;
            ASSERT_FALSE(Platform::FileOps::exists(app / "cache")) << "reported removed in round " << round;
        }
        for (const auto& skip : report.skipped)
            EXPECT_TRUE(skip.reason == "reached through a symbolic link" || skip.reason.rfind("can't move", 0) == 0)
                << skip.reason;
    }
    EXPECT_GT(removed, 0) << "the race never let a removal through";
}

// A folder inside the finding goes away and comes back, or becomes a link, mid-walk.
TEST_P(RemoverRace, FolderInsideSwappedNeverReportsATreeThatRemains) {
    if (!unprivileged::rerunAsNobody()) return;
    for (int round = 0; round < kRounds; ++round) {
        writeFile(app / "data", "mine");
        for (int i = 0; i < 8; ++i) writeFile(app / ("f" + std::to_string(i)), "mine");
        writeFile(app / "sub/more", "mine");
        CleanReport report;
        {
            Swapper swapper(app / "sub", tmp / "parked-sub", victim);
            report = clean(app);
        }
        expectVictimIntact(victim, round);
        if (!report.removed.empty()) {
            ASSERT_FALSE(Platform::FileOps::exists(app)) << "reported removed in round " << round;
        }
        std::error_code ec;
        fs::remove_all(tmp / "parked-sub", ec);
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, RemoverRace, ::testing::ValuesIn(kWays),
                         [](const auto& info) { return std::string(info.param.name); });
