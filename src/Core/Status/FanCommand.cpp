#include "Core/Status/FanCommand.h"

#include "Core/AdminScript.h"

namespace FanCommand {
std::string script(const std::string& tool, const std::string& mode, pid_t pid) {
    return AdminScript::singleQuoted(tool) + " " + mode + " " + std::to_string(pid);
}

bool handedBack(const std::string& output) {
    return output.find("Fan command failed: ") != std::string::npos ||
           output.find("Could not start the fan safety watcher.") != std::string::npos;
}
}  // namespace FanCommand
