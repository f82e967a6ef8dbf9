#include "Core/Clean/FileSizer.h"

#include "Core/Disk/TreeWalk.h"

int64_t FileSizer::size(const std::filesystem::path& url) {
    // Files only, into mounted volumes too: what freeing the item gives back. A file of
    // several names inside the tree is freed once, so it counts once.
    TreeWalk::Options options;
    options.hardLinksOnce = true;
    return TreeWalk::Pool::shared().walk(url.native(), options).root.size;
}
