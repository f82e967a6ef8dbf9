#include <gtest/gtest.h>

#include "Views/MenuBar/MenuBarPanel.h"
#include "Views/TestSupport.h"

namespace {
Processes::Info process(int pid, double cpu, double power = 0) { return {pid, "p" + std::to_string(pid), cpu, 1, power}; }

std::vector<int> pids(const std::vector<Processes::Info>& rows) {
    std::vector<int> out;
    for (const auto& r : rows) out.push_back(r.pid);
    return out;
}
}  // namespace

TEST(MenuBarPanel, AccessorySymbolsByTheWordsInTheName) {
    const std::pair<const char*, const char*> rows[] = {
        {"Keyboard Mouse", "keyboard"},
        {"Galaxy BUDS", "airpodspro"},
        {"AirPods Pro", "airpodspro"},
        {"Studio Headphones", "airpodspro"},
        {"Magic Trackpad", "rectangle.and.hand.point.up.left"},
        {"MX Mouse", "magicmouse"},
        {"Speaker", "dot.radiowaves.left.and.right"},
        {"", "dot.radiowaves.left.and.right"},
    };
    for (const auto& [name, symbol] : rows) EXPECT_EQ(MenuBarPanel::accessorySymbol(name), symbol) << name;
}

TEST(MenuBarPanel, TheBusiestFiveAndTheTopEnergyUser) {
    const std::vector<Processes::Info> five{process(1, 3), process(2, 9), process(3, 1), process(4, 5), process(5, 7)};
    EXPECT_EQ(pids(MenuBarPanel::topProcesses(five)), (std::vector<int>{2, 5, 4, 1, 3}));
    std::vector<Processes::Info> seven = five;
    seven.push_back(process(6, 8));
    seven.push_back(process(7, std::nan("")));
    EXPECT_EQ(pids(MenuBarPanel::topProcesses(seven)), (std::vector<int>{2, 6, 5, 4, 1}));

    // A tie goes to the earlier row; where no row has a figure, there is no top user.
    EXPECT_EQ(MenuBarPanel::topEnergy({process(1, 0, 2.5), process(2, 0, 4), process(3, 0, 4)})->pid, 2);
    EXPECT_FALSE(MenuBarPanel::topEnergy({process(1, 5), process(2, 3)}));
    EXPECT_FALSE(MenuBarPanel::topEnergy({}));
}
