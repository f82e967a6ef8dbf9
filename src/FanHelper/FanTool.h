#pragma once
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Sensors/Fans/SmcConnection.h"
#include "Sensors/Roots.h"

// The fan tool's command line:
//
//   QueltoFanHelper auto|cool|max <application pid>          one-shot, run as root
//   QueltoFanHelper watch <mode> <application pid> <token>   the safety watcher it starts
//
// Exit status 0 done, 2 bad command or not root, 3 no writable fan controls,
// 4 watcher not started, 5 fan command failed; one fixed line on standard error.
namespace FanTool {
struct Setup {
    std::filesystem::path tokenFolder;  // root-only, created when missing
    Sensors::Roots roots;               // for temperatures and the thermal state
    std::function<std::unique_ptr<SmcConnection>()> connect;
    std::chrono::milliseconds period{3000};  // between two checks of the watcher
    std::vector<std::string> watcherEnvironment;  // "NAME=value" entries, nothing else is passed on
};

int run(int argc, char** argv, const Setup& setup);
}  // namespace FanTool
