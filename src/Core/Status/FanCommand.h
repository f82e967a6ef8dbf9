#pragma once
#include <sys/types.h>

#include <string>

// The shell command that runs the fan tool for one mode, and what its output tells.
namespace FanCommand {
// `'<tool>' <mode> <pid>`, the tool's path single-quoted for the shell.
std::string script(const std::string& tool, const std::string& mode, pid_t pid);

// Whether the output holds one of the tool's own failure lines that come after
// its checks: by then it has handed every fan back to automatic control.
bool handedBack(const std::string& output);
}  // namespace FanCommand
