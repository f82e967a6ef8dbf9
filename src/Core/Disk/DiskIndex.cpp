#include "Core/Disk/DiskIndex.h"

#include <algorithm>

#include "Core/Text.h"

namespace DiskIndex {
namespace {
Info info(TreeWalk::Totals&& totals) {
    Info i{totals.size, totals.files};
    if (!totals.shared.empty()) i.shared = std::make_shared<const SharedFiles>(std::move(totals.shared));
    return i;
}
}  // namespace

bool Info::operator==(const Info& o) const {
    static const SharedFiles none;
    return size == o.size && files == o.files && sizeless == o.sizeless && unreadable == o.unreadable &&
           (shared ? *shared : none) == (o.shared ? *o.shared : none);
}

TreeWalk::Options measureOptions(int recordDepth) {
    TreeWalk::Options options;
    options.folderBlocks = true;
    options.linksAsFiles = true;
    options.hardLinksOnce = true;
    options.sharedFiles = true;
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
                                     : info(std::move(result.root));
    for (auto& [path, totals] : result.recorded) m.recorded.emplace(std::move(path), info(std::move(totals)));
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
