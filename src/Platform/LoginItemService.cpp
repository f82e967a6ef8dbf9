#include "Platform/LoginItemService.h"

#include "Platform/FileOps.h"
#include "Platform/Locations.h"
#include "Platform/Programs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace Platform {
namespace {

std::string errnoText(const char* what, int err) { return std::string(what) + ": " + std::strerror(err); }

// The escapes of a desktop-entry string value.
std::string escapeStringValue(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

std::string unescapeStringValue(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        switch (s[++i]) {
        case 's': out += ' '; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default: out += '\\'; out += s[i];
        }
    }
    return out;
}

std::string trimmed(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// The keys of the [Desktop Entry] group; later duplicates win, as readers do.
struct Entry {
    bool readable = false;
    std::string exec;
    bool hidden = false;
    bool autostartDisabled = false;
};

Entry readEntry(const fs::path& file) {
    Entry e;
    std::ifstream in(file);
    if (!in) return e;
    e.readable = true;
    std::string line;
    bool inMain = false;
    while (std::getline(in, line)) {
        const std::string t = trimmed(line);
        if (t.empty() || t[0] == '#') continue;
        if (t[0] == '[') {
            inMain = t == "[Desktop Entry]";
            continue;
        }
        if (!inMain) continue;
        const auto eq = t.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = trimmed(t.substr(0, eq));
        const std::string value = trimmed(t.substr(eq + 1));
        if (key == "Exec") e.exec = value;
        else if (key == "Hidden") e.hidden = value == "true";
        else if (key == "X-GNOME-Autostart-enabled") e.autostartDisabled = value == "false";
    }
    return e;
}

bool isExecutableFile(const fs::path& p) {
    struct stat st{};
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0;
}

}  // namespace

LoginItemService::LoginItemService(fs::path entryFile, fs::path executable)
    : entryFile_(std::move(entryFile)), executable_(std::move(executable)) {}

LoginItemService& LoginItemService::mainApp() {
    static LoginItemService* instance = new LoginItemService(defaultEntryFile(), defaultExecutable());
    return *instance;
}

fs::path LoginItemService::defaultEntryFile() { return Locations::configHome() / "autostart" / "quelto.desktop"; }

fs::path LoginItemService::defaultExecutable() {
    const std::string dir = Programs::executableDirectory();
    return dir.empty() ? fs::path() : fs::path(dir) / "Quelto";
}

std::string LoginItemService::quotedExecArgument(const std::string& argument) {
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    return escapeStringValue(quoted);
}

std::vector<std::string> LoginItemService::execArguments(const std::string& execValue) {
    const std::string line = unescapeStringValue(execValue);
    std::vector<std::string> args;
    std::string current;
    bool inArg = false, quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '\\' && i + 1 < line.size()) {
                current += line[++i];
            } else if (c == '"') {
                quoted = false;
            } else if (c == '%' && i + 1 < line.size() && line[i + 1] == '%') {
                current += '%';
                ++i;
            } else {
                current += c;
            }
            continue;
        }
        if (c == ' ' || c == '\t') {
            if (inArg) args.push_back(current), current.clear(), inArg = false;
            continue;
        }
        inArg = true;
        if (c == '"') {
            quoted = true;
        } else if (c == '%' && i + 1 < line.size() && line[i + 1] == '%') {
            current += '%';
            ++i;
        } else {
            current += c;
        }
    }
    if (inArg) args.push_back(current);
    return args;
}

std::string LoginItemService::entryText() const {
    std::string text;
    text += "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Name=Quelto\n";
    text += "Exec=" + quotedExecArgument(executable_.string()) + " " + loginItemArgument + "\n";
    text += "Terminal=false\n";
    text += "X-GNOME-Autostart-enabled=true\n";
    return text;
}

LoginItemService::Status LoginItemService::status() const {
    if (executable_.empty() || !isExecutableFile(executable_)) return Status::notFound;
    std::error_code ec;
    if (!fs::exists(entryFile_, ec)) return Status::notRegistered;
    const Entry e = readEntry(entryFile_);
    if (!e.readable) return Status::notRegistered;
    const auto args = execArguments(e.exec);
    // An entry left by a copy of Quelto elsewhere does not start this one.
    if (args.empty() || fs::path(args.front()) != executable_) return Status::notRegistered;
    if (e.hidden || e.autostartDisabled) return Status::requiresApproval;
    return Status::enabled;
}

LoginItemService::Result LoginItemService::registerItem() {
    if (executable_.empty() || !isExecutableFile(executable_))
        return Result::failure("The Quelto program was not found at \"" + executable_.string() + "\".");
    const fs::path dir = entryFile_.parent_path();
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) return Result::failure("Cannot create " + dir.string() + ": " + ec.message());

    if (const auto written = FileOps::replaceFile(entryFile_, entryText(), 0644); !written.ok)
        return Result::failure("Cannot write " + entryFile_.string() + ": " + written.error);
    return Result::success();
}

LoginItemService::Result LoginItemService::unregisterItem() {
    if (::unlink(entryFile_.c_str()) != 0 && errno != ENOENT)
        return Result::failure(errnoText(("Cannot remove " + entryFile_.string()).c_str(), errno));
    return Result::success();
}

void LoginItemService::openSystemSettingsLoginItems() {
    // Desktops share no place to approve startup programs, and registering rewrites
    // a switched-off entry, so there is nothing to show.
}

bool launchedAsLoginItem(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i)
        if (argv[i] && std::strcmp(argv[i], loginItemArgument) == 0) return true;
    return false;
}

bool launchedAsLoginItem(const std::vector<std::string>& commandLine) {
    for (size_t i = 1; i < commandLine.size(); ++i)
        if (commandLine[i] == loginItemArgument) return true;
    return false;
}

}  // namespace Platform
