#include "Core/Permissions.h"

namespace Permissions {
bool hasFullDiskAccess() {
    // What the user cannot read here is refused by ordinary file permissions, which
    // every reader already meets one entry at a time; no folder is hidden as a whole.
    return true;
}

void openFullDiskAccessSettings() {
    // The pane is "x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles".
    // Linux has no privacy pane that grants such a right and no handler for that
    // scheme (xdg-open would only report an error or hand it to a browser), so there
    // is nothing to show.
}
}  // namespace Permissions
