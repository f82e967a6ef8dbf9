#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The one way to run shell text with administrator rights: wrapped in an
// AppleScript "do shell script … with administrator privileges" line and handed
// to the osascript program with a time-out. Every feature that needs the
// password prompt (remover, launchd switch, login items, maintenance, fan
// control) goes through here. Synchronous; call from a worker.
namespace AdminScript {

// Text safe inside an AppleScript string literal: `\` as `\\`, `"` as `\"`.
std::string escaped(const std::string& text);

// A POSIX shell word that stands for exactly `text`.
std::string singleQuoted(const std::string& text);

// The osascript argument that runs `script` with administrator privileges.
std::string line(const std::string& script);

struct Result {
    int status = -1;      // osascript's exit status; -1 when it could not start
    std::string output;   // what it printed, standard error included
    bool cancelled = false;  // the user dismissed the password prompt
    bool timedOut = false;   // the time-out ended it, and with it the privileged commands
    bool ok() const { return status == 0; }
    // "Password prompt cancelled", else the trimmed output, else `fallback`.
    std::string failureReason(const std::string& fallback) const;
};

// Only the last `keep` bytes of what osascript prints are held.
Result run(const std::string& script, double timeoutSeconds, size_t keep = SIZE_MAX);

// Whether osascript's output tells a dismissed prompt.
bool isCancelled(const std::string& output);

}  // namespace AdminScript
