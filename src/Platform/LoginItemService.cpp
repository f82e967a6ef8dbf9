#include "Platform/LoginItemService.h"

#include "Platform/Autostart.h"
#include "Platform/DesktopEntry.h"
#include "Platform/FileOps.h"
#include "Platform/Programs.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace fs = std::filesystem;

namespace Platform {

LoginItemService::LoginItemService(fs::path entryFile, fs::path executable)
    : entryFile_(std::move(entryFile)), executable_(std::move(executable)) {}

LoginItemService& LoginItemService::mainApp() {
    static LoginItemService* instance = new LoginItemService(defaultEntryFile(), defaultExecutable());
    return *instance;
}

fs::path LoginItemService::defaultEntryFile() { return Autostart::userFolder() / "quelto.desktop"; }

fs::path LoginItemService::defaultExecutable() {
    const std::string dir = Programs::executableDirectory();
    return dir.empty() ? fs::path() : fs::path(dir) / "Quelto";
}

std::string LoginItemService::entryText() const {
    std::string text;
    text += "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Name=Quelto\n";
    text += "Exec=" + DesktopEntry::quotedExecArgument(executable_.string()) + " " + loginItemArgument + "\n";
    text += "Terminal=false\n";
    text += "X-GNOME-Autostart-enabled=true\n";
    return text;
}

LoginItemService::Status LoginItemService::status() const {
    if (!FileOps::isExecutableFile(executable_)) return Status::notFound;
    const Autostart::Entry entry = Autostart::read(entryFile_);
    const auto args = DesktopEntry::execArguments(entry.exec);
    // An entry left by a copy of Quelto elsewhere does not start this one.
    if (args.empty() || fs::path(args.front()) != executable_) return Status::notRegistered;
    if (!entry.startsAtLogin()) return Status::requiresApproval;
    return Status::enabled;
}

LoginItemService::Result LoginItemService::registerItem() {
    if (!FileOps::isExecutableFile(executable_))
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
        return Result::failure("Cannot remove " + entryFile_.string() + ": " + std::strerror(errno));
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
