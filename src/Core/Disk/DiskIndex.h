#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Core/Disk/TreeWalk.h"

// The analyzer's two walks of a folder tree. Synchronous, any thread; each call walks on
// the calling thread (the size service runs the same walks spread over its pool).
namespace DiskIndex {
using SharedFiles = std::vector<TreeWalk::SharedFile>;

// The totals of one folder.
struct Info {
    int64_t size = 0;   // allocated bytes, folders' own blocks included
    int64_t files = 0;  // non-folder entries at any depth below it
    // On a pseudo or network file system: never walked, so there is no size to show.
    bool sizeless = false;
    // The folder could not be opened: nothing in it was counted, so its size is unknown.
    bool unreadable = false;
    // The files of several names counted here with a name elsewhere: totals of other
    // folders measured apart may count them too. None for most folders.
    std::shared_ptr<const SharedFiles> shared = {};
    bool operator==(const Info& other) const;
};

struct Measurement {
    Info root;
    // Every folder at depth 1 … the record depth, keyed by the walked path, "/" and the
    // names below it; none where another volume is mounted (a walk of its own measures it).
    std::map<std::string, Info> recorded;
    bool complete = true;  // false when stopped early: then it is no measurement to keep
};

// Allocated bytes and files of the folder at `path`: a regular file of several names
// counts once, a symbolic link counts its own blocks and is never followed, the walk
// never leaves the volume of `path` (a folder where another volume is mounted counts
// its own blocks), and an unreadable folder adds nothing. A root on a pseudo or network
// file system is not walked: its totals are sizeless; a root that cannot be opened is
// unreadable.
Measurement measure(const std::string& path, int recordDepth, const std::atomic<bool>* stop = nullptr);

struct LargeFiles {
    std::vector<std::pair<std::string, int64_t>> files;  // path and allocated bytes
    // False when the folder lies on a pseudo or network file system: it was not walked,
    // so no files says nothing about what is there.
    bool searched = true;
    // False when the folder could not be opened: nothing in it was seen.
    bool readable = true;
    bool operator==(const LargeFiles&) const = default;
};
// The regular files of at least `minimum` allocated bytes under `under` (every name
// of a hard link), largest first, ties by path as a person reads it, at most `limit`. Photo, music and TV
// libraries are not entered, nor is a folder on a pseudo or network file system.
LargeFiles largeFiles(const std::string& under, int64_t minimum, size_t limit,
                      const std::atomic<bool>* stop = nullptr);

// The order of large files: largest first, equal sizes by path as a person reads it.
bool largerFile(const std::string& aPath, int64_t aBytes, const std::string& bPath, int64_t bBytes);

// The same walks, taken apart for running them elsewhere.
TreeWalk::Options measureOptions(int recordDepth);
TreeWalk::Options largeFileOptions(int64_t minimum);
Measurement measurement(TreeWalk::Result&& result);
LargeFiles largest(TreeWalk::Result&& result, size_t limit);
}  // namespace DiskIndex
