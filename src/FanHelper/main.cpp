#include "FanHelper/FanTool.h"

// Everything is fixed here: the tool runs as root and takes nothing from its environment.
int main(int argc, char** argv) {
    FanTool::Setup setup;
    setup.tokenFolder = "/run/quelto";
    setup.connect = [] { return SmcConnection::open(); };
    return FanTool::run(argc, argv, setup);
}
