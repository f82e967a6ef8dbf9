#include "Core/Status/FanCommand.h"

#include "Core/AdminScript.h"
#include "Core/Localized.h"

namespace FanCommand {
namespace {
// Walks from the tool up to "/" with the status of each entry itself (GNU stat: owner,
// and the mode in hex). The path is checked as it is written, so whatever the kernel
// resolves on the way is checked too; the walk ends at "ok" or at the entry at fault.
constexpr const char* kGuard =
    "p=$t; case $t in /*) ;; *) p=;; esac; "
    "while [ -n \"$p\" ] && [ \"$p\" != ok ]; do "
    "s=$(/usr/bin/stat -c '%u %f' -- \"$p\" 2>/dev/null) || break; "
    "m=$((0x${s#* })); k=$((m & 61440)); "
    "[ \"${s% *}\" = 0 ] || break; "
    "if [ \"$p\" = \"$t\" ]; then [ $k = 32768 ] && [ $((m & 18)) = 0 ] || break; "
    "else [ $k = 16384 ] && { [ $((m & 18)) = 0 ] || [ $((m & 512)) != 0 ]; } || break; fi; "
    "if [ \"$p\" = / ]; then p=ok; else p=${p%/*}; p=${p:-/}; fi; "
    "done; ";
}  // namespace

std::string refusal() {
    return localized("The fan tool was not run: %@ must belong to root, and no one else may be able to change "
                     "it. Install the tool as the README says.");
}

std::string script(const std::string& tool, const std::string& mode, pid_t pid) {
    const std::string text = refusal();
    const size_t mark = text.find("%@");
    const std::string before = text.substr(0, mark), after = mark == std::string::npos ? "" : text.substr(mark + 2);
    const std::string quoted = AdminScript::singleQuoted(tool);
    return "t=" + quoted + "; " + kGuard + "[ \"$p\" = ok ] || { printf '%s%s%s\\n' " +
           AdminScript::singleQuoted(before) + " \"${p:-$t}\" " + AdminScript::singleQuoted(after) + "; exit 126; }; exec " +
           quoted + " " + mode + " " + std::to_string(pid);
}

bool handedBack(const std::string& output) {
    return output.find("Fan command failed: ") != std::string::npos ||
           output.find("Could not start the fan safety watcher.") != std::string::npos;
}
}  // namespace FanCommand
