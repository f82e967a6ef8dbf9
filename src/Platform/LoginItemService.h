#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace Platform {

// The application's login item: an XDG autostart entry that starts Quelto with
// "--login-item" when the user logs in. Methods are virtual so tests can stand in
// a service that answers as the desktop would.
class LoginItemService {
public:
    enum class Status {
        notRegistered,     // no entry for this executable
        enabled,           // the session starts it at login
        requiresApproval,  // the entry is there but switched off in the desktop's startup settings
        notFound,          // the Quelto executable itself cannot be found
    };

    struct Result {
        bool ok = true;
        std::string error;  // why it failed, for the log; empty on success
        static Result success() { return {}; }
        static Result failure(std::string why) { return {false, std::move(why)}; }
    };

    // An entry at `entryFile` that starts `executable`.
    LoginItemService(std::filesystem::path entryFile, std::filesystem::path executable);
    virtual ~LoginItemService() = default;

    // $XDG_CONFIG_HOME/autostart/quelto.desktop starting the Quelto beside the running executable.
    static LoginItemService& mainApp();
    static std::filesystem::path defaultEntryFile();
    static std::filesystem::path defaultExecutable();

    virtual Status status() const;
    virtual Result registerItem();
    virtual Result unregisterItem();
    // Shows the place where the user manages startup applications.
    virtual void openSystemSettingsLoginItems();

    const std::filesystem::path& entryFile() const { return entryFile_; }
    const std::filesystem::path& executable() const { return executable_; }

    // The text registerItem() writes.
    std::string entryText() const;

private:
    std::filesystem::path entryFile_;
    std::filesystem::path executable_;
};

// The argument the autostart entry passes.
inline constexpr const char* loginItemArgument = "--login-item";
// True when the command line carries the login-item argument. Both take the whole
// command line, program name first (which is never taken for the argument).
bool launchedAsLoginItem(int argc, const char* const* argv);
bool launchedAsLoginItem(const std::vector<std::string>& commandLine);

}  // namespace Platform
