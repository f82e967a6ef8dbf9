#include "Core/Clean/FileSizer.h"

#include "Core/Disk/TreeWalk.h"

namespace {
// Files only, into mounted volumes too: what freeing the item gives back. A file of
// several names inside the tree is freed once, so it counts once.
TreeWalk::Options options() {
    TreeWalk::Options o;
    o.hardLinksOnce = true;
    return o;
}
}  // namespace

int64_t FileSizer::size(const std::filesystem::path& url) {
    return TreeWalk::Pool::shared().walk(url.native(), options()).root.size;
}

std::vector<int64_t> FileSizer::sizes(const std::vector<std::filesystem::path>& urls) {
    std::vector<std::string> paths;
    paths.reserve(urls.size());
    for (const auto& url : urls) paths.push_back(url.native());
    std::vector<int64_t> out;
    out.reserve(urls.size());
    for (const auto& result : TreeWalk::Pool::shared().walkAll(paths, options())) out.push_back(result.root.size);
    return out;
}
