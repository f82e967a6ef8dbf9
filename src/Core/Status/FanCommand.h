#pragma once
#include <sys/types.h>

#include <string>

// The shell command that runs the fan tool for one mode, and what its output tells.
namespace FanCommand {
// `'<tool>' <mode> <pid>`, the tool's path single-quoted for the shell, run only once
// the root shell has made sure that nobody but root could have replaced the tool:
// it and every folder above it belong to root, none is a link, the tool is writable
// by root alone, and a folder others may write to is sticky (so what root put there
// stays root's). Anything else is refused with `refusal()` and the path at fault.
std::string script(const std::string& tool, const std::string& mode, pid_t pid);

// The refusal's text, "%@" standing for the path at fault.
std::string refusal();

// Whether the output holds one of the tool's own failure lines that come after
// its checks: by then it has handed every fan back to automatic control.
bool handedBack(const std::string& output);
}  // namespace FanCommand
