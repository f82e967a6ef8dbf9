// The fan tool built for tests: the simulated controller, a test tree for /sys and
// the token folder, and a short watcher period, all under QUELTO_FAN_TEST_ROOT.
#include <cstdio>
#include <cstdlib>

#include "FanHelper/FanTool.h"
#include "Sensors/Fans/SimulatedSmc.h"

int main(int argc, char** argv) {
    const char* root = std::getenv("QUELTO_FAN_TEST_ROOT");
    if (!root || !*root) {
        std::fputs("QUELTO_FAN_TEST_ROOT is not set.\n", stderr);
        return 70;
    }
    const std::filesystem::path base = root;
    FanTool::Setup setup;
    setup.tokenFolder = base / "run/quelto";
    setup.roots.sys = base / "sys";
    setup.connect = [base] { return std::make_unique<SimulatedSmc>(base / "smc"); };
    setup.period = std::chrono::milliseconds(200);
    setup.watcherEnvironment = {std::string("QUELTO_FAN_TEST_ROOT=") + root};
    return FanTool::run(argc, argv, setup);
}
