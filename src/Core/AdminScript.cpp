#include "Core/AdminScript.h"

#include "Core/Clean/Shell.h"
#include "Core/Localized.h"
#include "Platform/AsciiText.h"
#include "Platform/Programs.h"

namespace AdminScript {

std::string escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '"') out += "\\\"";
        else out += c;
    }
    return out;
}

std::string singleQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    out += '\'';
    return out;
}

std::string line(const std::string& script) {
    return "do shell script \"" + escaped(script) + "\" with administrator privileges";
}

bool isCancelled(const std::string& output) { return output.find("-128") != std::string::npos; }

std::string Result::failureReason(const std::string& fallback) const {
    if (cancelled) return localized("Password prompt cancelled");
    auto text = std::string(Platform::trimmed(output));
    return text.empty() ? fallback : text;
}

Result run(const std::string& script, double timeoutSeconds, size_t keep) {
    const auto shell = Shell::run(Platform::Programs::path(Platform::Program::osascript),
                                  {"-e", line(script)}, timeoutSeconds, keep);
    Result result;
    result.status = shell.status;
    result.output = shell.output;
    result.timedOut = shell.timedOut;
    result.cancelled = shell.status != 0 && isCancelled(shell.output);
    return result;
}

}  // namespace AdminScript
