#include "Core/Clean/FileSizer.h"

#include "Core/Disk/TreeWalk.h"

int64_t FileSizer::size(const std::filesystem::path& url) {
    // Files only, every name of a hard link, into mounted volumes too: what freeing
    // the item gives back as the platform's own measure tells it.
    return TreeWalk::run(url.native(), {}).root.size;
}
