#include "Core/Disk/DiskIndex.h"

#include <algorithm>

#include "Core/Text.h"

namespace DiskIndex {
TreeWalk::Options measureOptions(int recordDepth) {
    TreeWalk::Options options;
    options.folderBlocks = true;
    options.linksAsFiles = true;
    options.hardLinksOnce = true;
    options.oneDevice = true;
    options.recordDepth = recordDepth;
    return options;
}

TreeWalk::Options largeFileOptions(int64_t minimum) {
    TreeWalk::Options options;
    options.oneDevice = true;
    options.largeMinimum = minimum;
    options.skippedSuffixes = {".photoslibrary", ".musiclibrary", ".tvlibrary"};
    return options;
}

Measurement measurement(TreeWalk::Result&& result) {
    Measurement m;
    m.root = result.rootElsewhere    ? Info{0, 0, true, false}
             : result.rootUnreadable ? Info{0, 0, false, true}
                                     : Info{result.root.size, result.root.files};
    for (auto& [path, totals] : result.recorded) m.recorded.emplace(std::move(path), Info{totals.size, totals.files});
    m.complete = result.complete;
    return m;
}

bool largerFile(const std::string& aPath, int64_t aBytes, const std::string& bPath, int64_t bBytes) {
    if (aBytes != bBytes) return aBytes > bBytes;
    return Text::localizedStandardCompare(aPath, bPath) < 0;
}

LargeFiles largest(TreeWalk::Result&& result, size_t limit) {
    LargeFiles found{std::move(result.large), !result.rootElsewhere && !result.rootUnreadable, !result.rootUnreadable};
    std::sort(found.files.begin(), found.files.end(),
              [](const auto& a, const auto& b) { return largerFile(a.first, a.second, b.first, b.second); });
    if (found.files.size() > limit) found.files.resize(limit);
    return found;
}

Measurement measure(const std::string& path, int recordDepth, const std::atomic<bool>* stop) {
    auto options = measureOptions(recordDepth);
    options.stop = stop;
    return measurement(TreeWalk::run(path, options));
}

LargeFiles largeFiles(const std::string& under, int64_t minimum, size_t limit, const std::atomic<bool>* stop) {
    auto options = largeFileOptions(minimum);
    options.stop = stop;
    return largest(TreeWalk::run(under, options), limit);
}
}  // namespace DiskIndex
