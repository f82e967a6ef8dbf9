#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// The one walk of a folder tree, behind both the cleaning engine's size measure and
// the analyzer's, which share one pool of threads. It is fd-relative and never follows a
// symbolic link. Its queue holds (parent folder, name) pairs, and the parent folders it
// keeps open are bounded, so depth costs neither stack nor descriptors. It reads status
// records only and allocates nothing per entry beyond a queued folder's name. A walk
// runs on the calling thread, or spread folder by folder over a Pool's threads.
namespace TreeWalk {

// A regular file of several names.
struct SharedFile {
    uint64_t device = 0, inode = 0;
    int64_t bytes = 0;  // allocated
    bool operator==(const SharedFile&) const = default;
};

struct Totals {
    int64_t size = 0;   // allocated bytes
    int64_t files = 0;  // non-folder entries
    // With Options::sharedFiles: the files of several names counted here of which some
    // name lies outside, which another folder's totals may count too.
    std::vector<SharedFile> shared;
    bool operator==(const Totals&) const = default;
};

struct Options {
    bool folderBlocks = false;   // a folder adds its own blocks, as du counts them
    bool linksAsFiles = false;   // a symbolic link adds its own blocks and counts as a file
    // A regular file of several names counts once per (device, inode), in the first
    // folder with totals that holds a name of it: a folder before what lies below it,
    // that before its later siblings.
    bool hardLinksOnce = false;
    bool sharedFiles = false;  // with hardLinksOnce: totals list their shared files
    // Never enters a folder of another volume (it adds its own blocks only, and is not
    // recorded), and does not walk a root on a pseudo or network file system.
    bool oneDevice = false;
    int recordDepth = 0;  // totals kept for every folder at depth 1 … recordDepth (at most 2)
    int64_t largeMinimum = -1;                 // from 0: collects regular files at least this large
    std::vector<std::string> skippedSuffixes;  // folders whose names end so are not entered
    const std::atomic<bool>* stop = nullptr;   // when it turns true the walk ends early
};

struct Result {
    Totals root;
    std::vector<std::pair<std::string, Totals>> recorded;  // sorted by path
    std::vector<std::pair<std::string, int64_t>> large;    // largest first, then by path
    bool complete = true;  // false when stopped before the end
    bool rootElsewhere = false;  // the root lies on a pseudo or network file system: not walked
    bool rootUnreadable = false;  // the root is a folder that could not be opened: not walked
};

// Walks on the calling thread.
Result run(const std::string& path, const Options& options);

class Walk;
struct Job;

// A fixed set of threads shared by every walk started on it. Each thread keeps the jobs
// it makes in a lane of its own and takes the newest; a thread without work takes the
// oldest job of another thread's lane, from the newest walk that has work.
class Pool {
public:
    explicit Pool(int threads);  // started with the first walk
    ~Pool();  // lets the walks under way end first
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    // The process's pool, made on first use and never destroyed (walks may be under way
    // when the process ends). 16 threads: a walk cold on disk wants more requests in
    // flight than there are processors.
    static Pool& shared();

    // Starts a walk; `prelude` runs on a pool thread just before it, and `done` on the
    // pool thread that ends it.
    void start(const std::string& path, const Options& options, std::function<void(Result)> done,
               std::function<void()> prelude = {});
    // Walks and waits for the result, the calling thread walking along with the pool's.
    // On one of the pool's own threads it walks there alone.
    Result walk(const std::string& path, const Options& options);
    // Walks every path and waits for all, the results in the order given. The walks run
    // side by side (a bounded number at once), so many small trees keep every thread
    // busy where one at a time each would wait for threads to wake. Roots that are no
    // folders are looked at on the calling thread; on one of the pool's own threads, all are.
    std::vector<Result> walkAll(const std::vector<std::string>& paths, const Options& options);

private:
    struct Active;
    friend class PoolSink;
    void work(int index);
    void run(const std::shared_ptr<Active>& active, int index);
    std::shared_ptr<Active> choose() const;  // with mutex_ held
    void wakeOne();
    void spawn();  // the threads, once

    const int count_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::shared_ptr<Active>> walks_;  // newest last
    std::atomic<int> sleeping_{0};  // threads waiting on wake_
    bool stopping_ = false;
    std::mutex spawnMutex_;
    std::vector<std::thread> threads_;
};
}  // namespace TreeWalk
