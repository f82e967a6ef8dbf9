#include <gtest/gtest.h>
#include <unistd.h>

#include "Sensors/Fans/FanReader.h"
#include "Support/FanFixtures.h"

using namespace fanfixture;
using testtree::TempDir;

namespace {
struct Sim {
    TempDir dir;
    fs::path file = dir / "smc";
    explicit Sim(const SimulatedSmc::Table& table) { SimulatedSmc::store(file, table); }
    FanReader reader(Sensors::ThermalState state = Sensors::ThermalState::nominal) const {
        return FanReader(std::make_unique<SimulatedSmc>(file), [state] { return state; });
    }
};

void remove(SimulatedSmc::Table& t, const std::string& name) {
    std::erase_if(t.keys, [&](const auto& k) { return k.name == name; });
}
void set(SimulatedSmc::Table& t, const SimulatedSmc::Key& k) {
    remove(t, k.name);
    t.keys.push_back(k);
}

struct ControllableCase {
    const char* name;
    std::function<void(SimulatedSmc::Table&)> change;
    bool controllable;
    size_t fans;
};

class FanReaderControllable : public testing::TestWithParam<ControllableCase> {};

TEST_P(FanReaderControllable, Table) {
    auto table = fans(2);
    GetParam().change(table);
    Sim sim(table);
    const auto reader = sim.reader();
    EXPECT_EQ(reader.isControllable(), GetParam().controllable);
    EXPECT_EQ(reader.read().size(), GetParam().fans);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FanReaderControllable,
    testing::Values(
        ControllableCase{"twoFans", [](auto&) {}, true, 2},
        ControllableCase{"fanCountZeroProbes", [](auto& t) { set(t, key("FNum", "ui8", 0)); }, true, 2},
        ControllableCase{"fanCountEightProbes", [](auto& t) { set(t, key("FNum", "ui8", 8)); }, true, 2},
        ControllableCase{"noFanCountProbes", [](auto& t) { remove(t, "FNum"); }, true, 2},
        ControllableCase{"upperCaseModeKey",
                         [](auto& t) {
                             remove(t, "F1md");
                             set(t, key("F1Md", "ui8", 0));
                         },
                         true, 2},
        ControllableCase{"noModeKey", [](auto& t) { remove(t, "F1md"); }, false, 2},
        ControllableCase{"noTarget", [](auto& t) { remove(t, "F0Tg"); }, false, 2},
        ControllableCase{"maxEqualsMin", [](auto& t) { set(t, key("F1Mx", "fpe2", 1200)); }, false, 2},
        ControllableCase{"notANumberMinimum", [](auto& t) { set(t, {"F0Mn", "flt ", {0x00, 0x00, 0xC0, 0x7F}}); }, false, 2},
        ControllableCase{"noFans", [](auto& t) { t = {}; }, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FanReader, NotConnected) {
    FanReader reader(nullptr);
    EXPECT_FALSE(reader.isControllable());
    EXPECT_TRUE(reader.read().empty());
}

TEST(FanReader, ReadSkipsUnreadableSpeedAndReportsMissingMaximumAsZero) {
    auto table = fans(3);
    table.failures.push_back({"F0Ac", "read", {}});
    remove(table, "F2Mx");
    table.keys.push_back(key("F1Ac", "fpe2", 2400));  // the later entry is ignored: first match wins
    Sim sim(table);
    EXPECT_EQ(sim.reader().read(), (std::vector<FanReader::Fan>{{1500, 5000}, {1500, 0}}));
}

struct TargetCase {
    const char* name;
    bool maximum;
    std::optional<double> temperature;
    Sensors::ThermalState state;
    bool preserve;
    double actual;
    double target;
};

class FanReaderTarget : public testing::TestWithParam<TargetCase> {};

TEST_P(FanReaderTarget, ForcesEveryFan) {
    ASSERT_EQ(::geteuid(), 0u) << "drives the simulated controller as root";
    const auto& c = GetParam();
    Sim sim(fans(2, {1200, 5000, c.actual}));
    auto reader = sim.reader(c.state);
    EXPECT_FALSE(reader.setFanMode(c.maximum, c.temperature, c.preserve));
    for (const char* f : {"F0", "F1"}) {
        EXPECT_EQ(number(sim.file, f + std::string("Tg")), c.target) << f;
        EXPECT_EQ(number(sim.file, f + std::string("md")), 1) << f;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FanReaderTarget,
    testing::Values(TargetCase{"warm", false, 72.0, Sensors::ThermalState::nominal, true, 1500, 4050},
                    TargetCase{"coolNominal", false, 60.0, Sensors::ThermalState::nominal, true, 1500, 3290},
                    TargetCase{"coolFair", false, 60.0, Sensors::ThermalState::fair, true, 1500, 4050},
                    TargetCase{"coolSerious", false, 60.0, Sensors::ThermalState::serious, false, 1500, 5000},
                    TargetCase{"hot", false, 80.0, Sensors::ThermalState::nominal, false, 1500, 5000},
                    TargetCase{"noTemperature", false, std::nullopt, Sensors::ThermalState::nominal, false, 1500, 5000},
                    TargetCase{"preservesFasterFan", false, 60.0, Sensors::ThermalState::nominal, true, 3500, 3500},
                    TargetCase{"preserveCappedAtMaximum", false, 60.0, Sensors::ThermalState::nominal, true, 6000, 5000},
                    TargetCase{"maximumIgnoresEverything", true, 20.0, Sensors::ThermalState::nominal, true, 3500, 5000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FanReader, RefusedWriteHandsEveryFanBack) {
    ASSERT_EQ(::geteuid(), 0u);
    for (const char* refused : {"F1Tg", "F1md"}) {
        SCOPED_TRACE(refused);
        auto table = fans(2);
        table.failures.push_back({refused, "write", {}});
        Sim sim(table);
        auto reader = sim.reader();
        EXPECT_EQ(reader.setFanMode(true, std::nullopt, false),
                  (FanReader::FanControlError{FanReader::FanControlError::Kind::smcWrite, refused}));
        EXPECT_EQ(number(sim.file, "F0md"), 0);
        EXPECT_EQ(number(sim.file, "F1md"), 0);
    }
}

TEST(FanReader, KeyTooSmallForItsTypeIsNeverWritten) {
    ASSERT_EQ(::geteuid(), 0u);
    auto table = fans(1);
    set(table, key("F0md", "ui16", 0, 1));  // one byte would carry only the high half
    Sim sim(table);
    auto reader = sim.reader();
    EXPECT_EQ(reader.setFanMode(true, std::nullopt, false),
              (FanReader::FanControlError{FanReader::FanControlError::Kind::smcWrite, "F0md"}));
    const auto log = testtree::readFile(SimulatedSmc::logOf(sim.file));
    EXPECT_EQ(log.find("F0md"), std::string::npos) << log;
}

TEST(FanReader, Messages) {
    using K = FanReader::FanControlError::Kind;
    EXPECT_EQ((FanReader::FanControlError{K::requiresAdministrator, {}}).errorDescription(),
              "Administrator access is required to control fans.");
    EXPECT_EQ((FanReader::FanControlError{K::unsupported, {}}).errorDescription(),
              "This Mac does not expose writable fan controls.");
    EXPECT_EQ((FanReader::FanControlError{K::smcWrite, "F1Tg"}).errorDescription(),
              "macOS rejected the fan command for F1Tg.");
}
}  // namespace
