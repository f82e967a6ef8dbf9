// Moves each named item to the Trash, the way the application does (unique names
// beside a .trashinfo record, never over an earlier item):
//
//   trash <path>...
//
// Exit status 0 when every item was moved, 1 when any was not; each failure
// prints "<path>: <why>" on standard error.
#include <cstdio>

#include "Platform/Trash.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: trash <path>...\n");
        return 64;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        const auto moved = Platform::Trash::moveToTrash(argv[i]);
        if (moved.ok) continue;
        std::fprintf(stderr, "%s: %s\n", argv[i], moved.error.c_str());
        status = 1;
    }
    return status;
}
