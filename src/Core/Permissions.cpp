#include "Core/Permissions.h"

#include <fcntl.h>
#include <unistd.h>

#include "Platform/Locations.h"

namespace {
bool probe(const std::string& path) {
    if (::access(path.c_str(), R_OK) != 0) return false;
    // Opening reads folders as well as files. Non-blocking, so a FIFO planted at a
    // probe path cannot hang the caller.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}
}  // namespace

namespace Permissions {
bool hasFullDiskAccess() {
    static const char* const probes[] = {
        "Library/Application Support/com.apple.TCC/TCC.db",
        "Library/Containers/com.apple.stocks",
        "Library/Safari",
    };
    const std::string home = Platform::Locations::home().string();
    for (const char* rel : probes) {
        const std::string path = home.empty() || home.back() != '/' ? home + "/" + rel : home + rel;
        if (probe(path)) return true;
    }
    return false;
}

void openFullDiskAccessSettings() {
    // The pane is "x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles".
    // Linux has no privacy pane that grants such a right and no handler for that
    // scheme (xdg-open would only report an error or hand it to a browser), so there
    // is nothing to show.
}
}  // namespace Permissions
