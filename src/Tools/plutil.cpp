// Stand-in for the platform's property-list checker in the one form the system
// runs:
//
//   plutil -lint [-s] <file>...
//
// Each file is read (a regular file only: a fifo or device is never waited on)
// and parsed as an XML or binary property list. Exit status 0 when every file is
// one, 1 when some file is not (it is broken), and 2 when a file could not be
// checked at all (unreadable, not a regular file, or past the bounds every
// property list here is read within): a file that could not be read is no proof of
// a broken one. Without -s each good file prints "<file>: OK"; a problem always
// prints "<file>: <what>".
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Platform/PropertyList.h"

int main(int argc, char** argv) {
    bool silent = false;
    std::vector<const char*> files;
    if (argc < 2 || std::strcmp(argv[1], "-lint") != 0) {
        std::fprintf(stderr, "usage: plutil -lint [-s] <file>...\n");
        return 64;
    }
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "-s") == 0 && files.empty()) silent = true;
        else files.push_back(argv[i]);
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: plutil -lint [-s] <file>...\n");
        return 64;
    }
    bool broken = false, unchecked = false;
    for (const char* file : files) {
        const auto bytes = Platform::PropertyList::readFile(file);
        using Problem = Platform::PropertyList::Problem;
        Problem problem = Problem::notPropertyList;
        if (!bytes) {
            std::printf("%s: could not be read\n", file);
            unchecked = true;
        } else if (!Platform::PropertyList::isPropertyList(*bytes, &problem)) {
            // Too deep or too large to read is a limit of this checker, not a fault of the file.
            const bool beyondLimits = problem == Problem::nestedTooDeeply || problem == Problem::tooManyValues;
            std::printf("%s: %s\n", file,
                        !beyondLimits                         ? "not a property list"
                        : problem == Problem::nestedTooDeeply ? "nested too deeply to be checked"
                                                              : "unfolds into too much to be checked");
            (beyondLimits ? unchecked : broken) = true;
        } else if (!silent) {
            std::printf("%s: OK\n", file);
        }
    }
    return broken ? 1 : unchecked ? 2 : 0;
}
