#include "Core/Disk/TreeWalk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "Platform/FileSystems.h"

namespace TreeWalk {
namespace {
// Folder listings are read this much at a time; in a pool, every further read of one
// folder becomes a job of its own, so a folder of many names keeps every thread busy.
constexpr size_t kListingBytes = 64 * 1024;
// Parent folders a walk keeps open for the folders queued in them; the others are
// opened again when their turn comes.
constexpr int kOpenParents = 48;
constexpr int kHardLinkShards = 64;
// In a pool: rounds of 32 pauses a thread out of work waits for more before it sleeps,
// and the folders queued in a lane beyond which a sleeping thread is woken to help.
constexpr int kSpins = 20;
constexpr size_t kWakingBacklog = 8;

int64_t allocated(const struct ::stat& st) { return static_cast<int64_t>(st.st_blocks) * 512; }

bool isDots(const char* n) { return n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)); }

std::string joined(const std::string& folder, const char* name) {
    std::string out = folder;
    if (out.empty() || out.back() != '/') out += '/';
    return out += name;
}

struct LinuxDirent {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

// A folder with totals of its own: the root and every folder down to the record depth.
// Deeper folders add to the bucket of their nearest such ancestor.
struct Bucket {
    std::string path;
    Bucket* parent;
    int depth;
    std::atomic<int64_t> size{0}, files{0};
    bool elsewhere = false;  // another volume is mounted here: its totals are not its own
    std::vector<SharedFile> shared;  // filled at the end
};

// Whether bucket `a` comes before `b`: a folder before everything below it, and that
// before its later siblings ("/" orders before every other byte).
bool treeBefore(const std::string& a, const std::string& b) {
    const auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    if (ib == b.end()) return false;
    if (ia == a.end()) return true;
    if (*ia == '/' || *ib == '/') return *ia == '/';
    return static_cast<unsigned char>(*ia) < static_cast<unsigned char>(*ib);
}

// The nearest bucket holding both.
Bucket* nearestHolding(Bucket* a, Bucket* b) {
    while (a->depth > b->depth) a = a->parent;
    while (b->depth > a->depth) b = b->parent;
    while (a != b) a = a->parent, b = b->parent;
    return a;
}

// A node's descriptor state in one word, so that using, letting go of and closing the
// descriptor take no lock: claims are reasons to keep it (queued jobs, the thread
// reading the folder, a thread's last folder), pins are threads using it right now.
constexpr uint64_t kClaim = 1;
constexpr uint64_t kPin = uint64_t(1) << 32;
constexpr uint64_t kOpen = uint64_t(1) << 62;
constexpr uint64_t claimsOf(uint64_t state) { return state & 0xffffffffu; }
constexpr uint64_t pinsOf(uint64_t state) { return (state >> 32) & 0x3fffffffu; }

// A folder that was opened. Its descriptor is kept while claims remain; when a walk
// holds too many, the least needed are closed and opened again when their turn comes.
struct Node {
    Node(Node* parent, std::string name, const struct ::stat& st, Bucket* bucket, int fd, uint64_t state)
        : parent(parent), name(std::move(name)), device(st.st_dev), inode(st.st_ino),
          depth(parent ? parent->depth + 1 : 0), bucket(bucket), fd(fd), state(state) {}
    Node* const parent;
    const std::string name;  // in the parent; the root's is its path
    const dev_t device;
    const ino_t inode;
    const int depth;
    Bucket* const bucket;
    int fd;  // written only while closed, by the thread reopening it
    std::atomic<uint64_t> state;
    std::atomic<int> refs{1};  // owners of the node: its children, queued jobs, the lists below
};
}  // namespace

// One unit of work: open `name` in `folder` and read it; or read `folder` itself; or
// look at the entries of one listing read from `folder`. Each holds a claim and a
// reference on `folder`. A job without a folder begins the walk.
struct Job {
    Node* folder = nullptr;
    std::string name;
    std::unique_ptr<char[]> listing;
    size_t length = 0;
};

class Sink {
public:
    virtual ~Sink() = default;
    virtual void emit(Job&& job) = 0;
};

class Walk {
public:
    Walk(std::string path, Options options, int threads)
        : options_(std::move(options)), path_(std::move(path)), threads_(new Thread[size_t(threads)]),
          threadCount_(threads) {
        while (path_.size() > 1 && path_.back() == '/') path_.pop_back();
    }
    ~Walk() = default;

    // Looks at the root and emits its first job, unless there is nothing to walk.
    void begin(Sink& sink);
    void process(Job& job, int thread, Sink& sink, bool pooled);
    Result end();

private:
    // What one thread found in a listing: added to the folder's totals and handed on
    // at once when it is done.
    struct Local {
        int64_t size = 0, files = 0;
        std::vector<Job> folders;
    };
    struct HardLink {
        int64_t size;
        Bucket* bucket;  // where it counts
        Bucket* common;  // the nearest bucket holding every name met
        nlink_t names;   // names met
        nlink_t links;
    };
    struct InodeKey {
        dev_t device;
        ino_t inode;
        bool operator==(const InodeKey&) const = default;
    };
    struct InodeHash {
        size_t operator()(const InodeKey& k) const noexcept {
            return std::hash<uint64_t>()(static_cast<uint64_t>(k.inode) * 0x9E3779B97F4A7C15ull ^ k.device);
        }
    };
    struct Shard {
        std::mutex mutex;
        std::unordered_map<InodeKey, HardLink, InodeHash> inodes;
    };
    // Per thread: the folder it read last (kept open once descriptors run short, for
    // going back up through ".."), and the folders it left open for jobs still queued.
    struct alignas(64) Thread {
        Node* last = nullptr;
        std::mutex mutex;
        std::vector<Node*> kept;
    };

    bool stopped() const { return options_.stop && options_.stop->load(std::memory_order_relaxed); }
    bool skips(std::string_view name) const;
    Bucket* bucketFor(Node* parent, const char* name, int depth);
    void read(Node* node, int thread, Sink& sink, bool pooled);
    void visit(Node* node, int fd, const LinuxDirent* entry, Local& local);
    void visitListing(Node* node, int fd, const char* listing, size_t length, Local& local);
    void enqueue(Node* folder, const char* name, Local& local);
    // Adds what was found to the folder and hands the folders found to the sink.
    void hand(Node* node, Local& local, Sink& sink);
    std::string pathOf(const Node* node) const;

    // Descriptors.
    int pin(Node* node, int thread);         // the open descriptor, pinned; -1 when it cannot be had
    static bool tryPin(Node* node);          // only if open now
    void letGo(Node* node, uint64_t amount);  // claims and pins; the last one closes it
    static void unref(Node* node);
    void keep(Node* node, int thread);       // left open for queued jobs
    void setLast(Node* node, int thread);
    void relieve();                          // closes some when too many are open
    // With slowMutex_ held.
    int reopen(Node* node, int thread);
    bool reach(Node* target, Node* start, Node* common, int thread);
    void store(Node* node, int fd, bool pinned);
    void sweep();

    const Options options_;
    std::string path_;
    dev_t device_ = 0;
    Result result_;
    std::atomic<bool> incomplete_{false};

    Node* root_ = nullptr;
    std::atomic<int> open_{0};         // descriptors the nodes hold
    std::atomic<bool> pressed_{false};  // some were closed early: threads keep their last folder
    std::mutex slowMutex_;             // reopening and closing early
    std::unique_ptr<Thread[]> threads_;
    const int threadCount_;

    std::mutex bucketsMutex_;
    std::vector<std::unique_ptr<Bucket>> buckets_;  // parents before children

    Shard shards_[kHardLinkShards];
    std::mutex largeMutex_;
};

// ---- descriptors ---------------------------------------------------------------

bool Walk::tryPin(Node* n) {
    uint64_t s = n->state.load(std::memory_order_acquire);
    while (s & kOpen)
        if (n->state.compare_exchange_weak(s, s + kPin, std::memory_order_acq_rel, std::memory_order_acquire))
            return true;
    return false;
}

void Walk::letGo(Node* n, uint64_t amount) {
    uint64_t s = n->state.load(std::memory_order_relaxed), next;
    do {
        next = s - amount;
        if ((next & kOpen) && claimsOf(next) == 0 && pinsOf(next) == 0) next &= ~kOpen;
    } while (!n->state.compare_exchange_weak(s, next, std::memory_order_acq_rel, std::memory_order_relaxed));
    if ((s & kOpen) && !(next & kOpen)) {
        ::close(n->fd);
        open_.fetch_sub(1, std::memory_order_relaxed);
    }
}

void Walk::unref(Node* n) {
    while (n && n->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        Node* parent = n->parent;
        delete n;  // parents are let go in this loop, not by recursion: chains can be long
        n = parent;
    }
}

int Walk::pin(Node* n, int thread) {
    if (tryPin(n)) return n->fd;
    std::lock_guard lock(slowMutex_);
    return reopen(n, thread);
}

void Walk::keep(Node* n, int thread) {
    n->refs.fetch_add(1, std::memory_order_relaxed);
    Thread& t = threads_[size_t(thread)];
    std::vector<Node*> closed;
    {
        std::lock_guard lock(t.mutex);
        t.kept.push_back(n);
        // Folders whose jobs are all done were closed meanwhile: forget them now and then.
        if (t.kept.size() >= 256 && (t.kept.size() & 127) == 0) {
            auto open = std::partition(t.kept.begin(), t.kept.end(), [](Node* k) {
                return k->state.load(std::memory_order_relaxed) & kOpen;
            });
            closed.assign(open, t.kept.end());
            t.kept.erase(open, t.kept.end());
        }
    }
    for (Node* k : closed) unref(k);
}

void Walk::setLast(Node* n, int thread) {
    Node*& last = threads_[size_t(thread)].last;
    if (last == n) return;
    n->state.fetch_add(kClaim, std::memory_order_relaxed);
    n->refs.fetch_add(1, std::memory_order_relaxed);
    if (last) {
        letGo(last, kClaim);
        unref(last);
    }
    last = n;
}

void Walk::relieve() {
    if (open_.load(std::memory_order_relaxed) <= kOpenParents) return;
    // Another thread may be at it; past twice the budget, wait for it.
    std::unique_lock lock(slowMutex_, std::try_to_lock);
    if (!lock.owns_lock()) {
        if (open_.load(std::memory_order_relaxed) < 2 * kOpenParents) return;
        lock.lock();
    }
    sweep();
}

// Closes the open folders least likely to be needed soon, down to half the budget:
// the shallowest, whose queued jobs a depth-first walk comes back to last.
void Walk::sweep() {
    if (open_.load(std::memory_order_relaxed) <= kOpenParents) return;
    std::vector<Node*> all;
    for (int i = 0; i < threadCount_; ++i) {
        Thread& t = threads_[size_t(i)];
        std::lock_guard lock(t.mutex);
        all.insert(all.end(), t.kept.begin(), t.kept.end());
        t.kept.clear();
    }
    std::sort(all.begin(), all.end(), [](Node* a, Node* b) { return a->depth < b->depth; });
    std::vector<Node*> still;
    for (Node* n : all) {
        uint64_t s = n->state.load(std::memory_order_acquire);
        bool closedHere = false;
        while (n != root_ && (s & kOpen) && pinsOf(s) == 0 && claimsOf(s) > 0 &&
               open_.load(std::memory_order_relaxed) > kOpenParents / 2) {
            if (n->state.compare_exchange_weak(s, s & ~kOpen, std::memory_order_acq_rel, std::memory_order_acquire)) {
                ::close(n->fd);
                open_.fetch_sub(1, std::memory_order_relaxed);
                pressed_.store(true, std::memory_order_relaxed);
                closedHere = true;
                break;
            }
        }
        if (!closedHere && (s & kOpen)) still.push_back(n);
        else unref(n);  // kept again if it is opened again
    }
    Thread& t = threads_[0];
    std::lock_guard lock(t.mutex);
    t.kept.insert(t.kept.end(), still.begin(), still.end());
}

void Walk::store(Node* n, int fd, bool pinned) {
    n->fd = fd;
    uint64_t s = n->state.load(std::memory_order_relaxed);
    while (!n->state.compare_exchange_weak(s, s | kOpen | (pinned ? kPin : 0), std::memory_order_acq_rel,
                                           std::memory_order_relaxed)) {
    }
    open_.fetch_add(1, std::memory_order_relaxed);
}

int Walk::reopen(Node* n, int thread) {
    if (tryPin(n)) return n->fd;  // opened again meanwhile
    bool upFirst = true;
    for (;;) {
        // Up through ".." from the folder this thread read last to the folder the two
        // share, then down: a walk comes back to a parent, or goes on to a sibling, just
        // after finishing the folders under the last one …
        Node* from = nullptr;
        Node* common = nullptr;
        int upCost = INT_MAX;
        if (Node* last = threads_[size_t(thread)].last; last && upFirst) {
            Node *a = last, *b = n;
            while (a->depth > b->depth) a = a->parent;
            while (b->depth > a->depth) b = b->parent;
            while (a != b) a = a->parent, b = b->parent;
            common = a;
            for (Node* c = last; c != common; c = c->parent)
                if (c->state.load(std::memory_order_relaxed) & kOpen) from = c;  // the open one nearest above
            if (from) upCost = (from->depth - common->depth) + (n->depth - common->depth);
        }
        // … or down by name from the nearest open ancestor (the root stays open), looked
        // for only as far as it could be nearer.
        Node* anchor = n->parent;
        int downCost = 1;
        while (anchor && !(anchor->state.load(std::memory_order_relaxed) & kOpen) && downCost < upCost) {
            anchor = anchor->parent;
            ++downCost;
        }
        const bool up = from && upCost <= downCost;
        if (!up && !anchor) return -1;
        Node* start = up ? from : anchor;
        if (!tryPin(start)) continue;  // closed meanwhile: choose again
        if (reach(n, start, up ? common : nullptr, thread)) break;
        if (!up) return -1;
        upFirst = false;  // moved or replaced on the way up: try from above
    }
    sweep();
    return n->fd;
}

// From the pinned `start`, up through ".." to `common` (when given) and then down by
// name to `target`, each step checked against the folder it must reach.
bool Walk::reach(Node* target, Node* start, Node* common, int thread) {
    std::vector<std::pair<Node*, bool>> steps;  // the folder reached, and whether by ".."
    Node* base = start;
    if (common) {
        for (Node* c = start->parent; c != common->parent; c = c->parent) steps.emplace_back(c, true);
        base = common;
    }
    const size_t ups = steps.size();
    for (Node* c = target; c != base; c = c->parent) steps.emplace_back(c, false);
    std::reverse(steps.begin() + static_cast<std::ptrdiff_t>(ups), steps.end());

    int fd = start->fd;
    Node* pinned = start;
    bool ours = false;
    for (const auto& [n, byParent] : steps) {
        const int next = ::openat(fd, byParent ? ".." : n->name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (ours) ::close(fd);
        if (pinned) letGo(pinned, kPin);
        pinned = nullptr;
        ours = false;
        struct ::stat st {};
        if (next < 0 || ::fstat(next, &st) != 0 || st.st_dev != n->device || st.st_ino != n->inode) {
            if (next >= 0) ::close(next);
            return false;
        }
        const uint64_t s = n->state.load(std::memory_order_relaxed);
        // Within the budget, a folder on the way that jobs still need keeps its descriptor.
        if (!(s & kOpen) && (n == target || (claimsOf(s) > 0 && open_.load(std::memory_order_relaxed) < kOpenParents))) {
            store(n, next, true);
            keep(n, thread);
            if (n != target) pinned = n;
        } else {
            ours = true;
        }
        fd = next;
    }
    if (ours) ::close(fd);
    if (pinned) letGo(pinned, kPin);
    return true;
}

// ---- the walk ----------------------------------------------------------------

Bucket* Walk::bucketFor(Node* parent, const char* name, int depth) {
    if (depth > options_.recordDepth) return parent->bucket;
    auto bucket = std::make_unique<Bucket>();
    bucket->path = joined(parent->bucket->path, name);
    bucket->parent = parent->bucket;
    bucket->depth = depth;
    std::lock_guard lock(bucketsMutex_);
    buckets_.push_back(std::move(bucket));
    return buckets_.back().get();
}

std::string Walk::pathOf(const Node* node) const {
    std::vector<const Node*> way;
    for (const Node* n = node; n; n = n->parent) way.push_back(n);
    std::string path = way.back()->name;
    for (auto it = way.rbegin() + 1; it != way.rend(); ++it) path = joined(path, (*it)->name.c_str());
    return path;
}

void Walk::begin(Sink& sink) {
    auto rootBucket = std::make_unique<Bucket>();
    rootBucket->path = path_;
    rootBucket->parent = nullptr;
    rootBucket->depth = 0;
    Bucket* bucket = rootBucket.get();
    buckets_.push_back(std::move(rootBucket));

    struct ::stat st {};
    if (path_.empty() || ::lstat(path_.c_str(), &st) != 0) return;
    if (!S_ISDIR(st.st_mode)) {
        if (S_ISLNK(st.st_mode) && !options_.linksAsFiles) return;
        bucket->size = allocated(st);
        bucket->files = 1;
        if (options_.largeMinimum >= 0 && S_ISREG(st.st_mode) && allocated(st) >= options_.largeMinimum)
            result_.large.emplace_back(path_, allocated(st));
        return;
    }
    if (skips(path_)) return;
    const int fd = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        result_.rootUnreadable = true;
        if (fd >= 0) ::close(fd);
        return;
    }
    device_ = st.st_dev;
    if (options_.folderBlocks) bucket->size = allocated(st);
    if (options_.oneDevice && Platform::FileSystems::isPseudoOrRemote(fd)) {
        result_.rootElsewhere = true;
        ::close(fd);
        return;
    }
    // The root stays open to the end on a claim of the walk's own: every folder can be
    // reached again from it. The second claim and reference are its job's.
    root_ = new Node(nullptr, path_, st, bucket, fd, kOpen | 2 * kClaim);
    root_->refs.store(2, std::memory_order_relaxed);
    open_.store(1, std::memory_order_relaxed);
    Job job;
    job.folder = root_;
    sink.emit(std::move(job));
}

void Walk::process(Job& job, int thread, Sink& sink, bool pooled) {
    Node* folder = job.folder;
    if (job.listing || job.name.empty()) {  // a further listing, or the root
        const int fd = stopped() ? -1 : pin(folder, thread);
        if (fd >= 0 && job.listing) {
            Local local;
            visitListing(folder, fd, job.listing.get(), job.length, local);
            hand(folder, local, sink);
        } else if (fd >= 0) {
            read(folder, thread, sink, pooled);
        }
        letGo(folder, kClaim + (fd >= 0 ? kPin : 0));
        unref(folder);
        return;
    }

    const int parentFd = stopped() ? -1 : pin(folder, thread);
    int fd = -1;
    struct ::stat st {};
    if (parentFd >= 0) {
        fd = ::openat(parentFd, job.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        // Unreadable, gone or swapped for something else since it was listed: it adds nothing.
        if (fd >= 0 && ::fstat(fd, &st) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    letGo(folder, kClaim + (parentFd >= 0 ? kPin : 0));
    const int depth = folder->depth + 1;
    Bucket* bucket = fd >= 0 ? bucketFor(folder, job.name.c_str(), depth) : nullptr;
    if (fd >= 0 && options_.folderBlocks) bucket->size.fetch_add(allocated(st), std::memory_order_relaxed);
    if (fd >= 0 && options_.oneDevice && st.st_dev != device_) {
        // Another volume mounted here: its root's own blocks and nothing inside.
        if (bucket != folder->bucket) bucket->elsewhere = true;
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) {
        unref(folder);
        return;
    }
    // The job's reference on the parent passes to the new node.
    open_.fetch_add(1, std::memory_order_relaxed);
    Node* node = new Node(folder, std::move(job.name), st, bucket, fd, kOpen | kClaim | kPin);
    relieve();
    read(node, thread, sink, pooled);
    letGo(node, kClaim + kPin);
    unref(node);
}

void Walk::read(Node* node, int thread, Sink& sink, bool pooled) {
    thread_local std::unique_ptr<char[]> first(new char[kListingBytes]), next(new char[kListingBytes]);
    const int fd = node->fd;  // pinned by the caller
    Local local;
    auto listing = [&](char* buffer) {
        if (stopped()) {
            incomplete_ = true;
            return 0L;
        }
        return ::syscall(SYS_getdents64, fd, buffer, kListingBytes);
    };
    bool queued = false;
    const long length = listing(first.get());
    if (length > 0 && pooled) {
        // Every further listing of the folder goes to other threads, while this one
        // looks at the first.
        for (long n; (n = listing(next.get())) > 0;) {
            Job job;
            job.folder = node;
            job.listing.reset(new char[size_t(n)]);
            std::memcpy(job.listing.get(), next.get(), size_t(n));
            job.length = size_t(n);
            node->state.fetch_add(kClaim, std::memory_order_relaxed);
            node->refs.fetch_add(1, std::memory_order_relaxed);
            sink.emit(std::move(job));
            queued = true;
        }
    }
    if (length > 0) visitListing(node, fd, first.get(), size_t(length), local);
    if (length > 0 && !pooled)
        for (long n; (n = listing(first.get())) > 0;) visitListing(node, fd, first.get(), size_t(n), local);
    queued = queued || !local.folders.empty();
    hand(node, local, sink);
    if (queued) keep(node, thread);
    if (pressed_.load(std::memory_order_relaxed)) setLast(node, thread);
}

void Walk::hand(Node* node, Local& local, Sink& sink) {
    if (local.size) node->bucket->size.fetch_add(local.size, std::memory_order_relaxed);
    if (local.files) node->bucket->files.fetch_add(local.files, std::memory_order_relaxed);
    if (local.folders.empty()) return;
    // Claimed before other threads can take them: the caller's own claim keeps the folder open meanwhile.
    const auto found = static_cast<uint64_t>(local.folders.size());
    node->state.fetch_add(found * kClaim, std::memory_order_relaxed);
    node->refs.fetch_add(static_cast<int>(found), std::memory_order_relaxed);
    for (auto& job : local.folders) sink.emit(std::move(job));
}

void Walk::visitListing(Node* node, int fd, const char* listing, size_t length, Local& local) {
    for (size_t at = 0; at < length;) {
        const auto* entry = reinterpret_cast<const LinuxDirent*>(listing + at);
        at += entry->d_reclen;
        visit(node, fd, entry, local);
    }
}

bool Walk::skips(std::string_view name) const {
    for (const auto& suffix : options_.skippedSuffixes)
        if (name.size() >= suffix.size() && name.substr(name.size() - suffix.size()) == suffix) return true;
    return false;
}

void Walk::enqueue(Node* folder, const char* name, Local& local) {
    if (skips(name)) return;
    Job& job = local.folders.emplace_back();
    job.folder = folder;
    job.name = name;
}

void Walk::visit(Node* node, int fd, const LinuxDirent* entry, Local& local) {
    const char* name = entry->d_name;
    if (isDots(name)) return;
    const unsigned char type = entry->d_type;
    if (type == DT_DIR) return enqueue(node, name, local);
    if (type == DT_LNK && !options_.linksAsFiles) return;
    struct ::stat st;
    if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return;
    if (S_ISDIR(st.st_mode)) return enqueue(node, name, local);
    if (S_ISLNK(st.st_mode) && !options_.linksAsFiles) return;
    const int64_t bytes = allocated(st);
    if (options_.largeMinimum >= 0 && S_ISREG(st.st_mode) && bytes >= options_.largeMinimum) {
        std::string path = joined(pathOf(node), name);
        std::lock_guard lock(largeMutex_);
        result_.large.emplace_back(std::move(path), bytes);
    }
    if (options_.hardLinksOnce && S_ISREG(st.st_mode) && st.st_nlink >= 2) {
        // Counted once, at the end, in the first folder with totals that holds one of its
        // names: the same on every run, whatever order threads meet them.
        const InodeKey key{st.st_dev, st.st_ino};
        Shard& shard = shards_[InodeHash()(key) % kHardLinkShards];
        std::lock_guard lock(shard.mutex);
        const auto [it, added] =
            shard.inodes.try_emplace(key, HardLink{bytes, node->bucket, node->bucket, 1, st.st_nlink});
        if (added) return;
        HardLink& link = it->second;
        if (treeBefore(node->bucket->path, link.bucket->path)) link.bucket = node->bucket;
        if (options_.sharedFiles) {
            link.common = nearestHolding(link.common, node->bucket);
            ++link.names;
        }
        return;
    }
    local.size += bytes;
    local.files += 1;
}

Result Walk::end() {
    for (int i = 0; i < threadCount_; ++i) {
        Thread& t = threads_[size_t(i)];
        if (t.last) {
            letGo(t.last, kClaim);
            unref(t.last);
            t.last = nullptr;
        }
        for (Node* n : t.kept) unref(n);
        t.kept.clear();
    }
    if (root_) {
        letGo(root_, kClaim);
        unref(root_);
        root_ = nullptr;
    }
    for (auto& shard : shards_)
        for (const auto& [key, link] : shard.inodes) {
            link.bucket->size += link.size;
            link.bucket->files += 1;
            if (!options_.sharedFiles) continue;
            // Every folder that counts it and lacks one of its names.
            const bool allMet = link.names >= link.links;
            const SharedFile file{static_cast<uint64_t>(key.device), static_cast<uint64_t>(key.inode), link.size};
            for (Bucket* b = link.bucket; b && !(allMet && b == link.common); b = b->parent) b->shared.push_back(file);
        }
    Result result = std::move(result_);
    for (auto it = buckets_.rbegin(); it != buckets_.rend(); ++it) {
        Bucket& b = **it;
        if (b.parent) {
            b.parent->size += b.size.load();
            b.parent->files += b.files.load();
        }
        if (b.depth >= 1 && !b.elsewhere)
            result.recorded.emplace_back(b.path, Totals{b.size.load(), b.files.load(), std::move(b.shared)});
    }
    result.root = {buckets_.front()->size.load(), buckets_.front()->files.load(), std::move(buckets_.front()->shared)};
    std::sort(result.recorded.begin(), result.recorded.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::sort(result.large.begin(), result.large.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    result.complete = !incomplete_ && !stopped();
    return result;
}

// ---- running -------------------------------------------------------------------

namespace {
class StackSink : public Sink {
public:
    std::vector<Job> jobs;
    void emit(Job&& job) override { jobs.push_back(std::move(job)); }
};

// One thread's jobs in one walk: it takes the newest itself, others take the oldest
// (the larger subtrees). Each lock is held for a push or a pop only.
struct alignas(64) Lane {
    std::mutex mutex;
    std::deque<Job> jobs;
    std::atomic<size_t> size{0};
};
}  // namespace

Result run(const std::string& path, const Options& options) {
    Walk walk(path, options, 1);
    StackSink sink;
    walk.begin(sink);
    while (!sink.jobs.empty()) {
        Job job = std::move(sink.jobs.back());
        sink.jobs.pop_back();
        walk.process(job, 0, sink, false);
    }
    return walk.end();
}

struct Pool::Active {
    explicit Active(int threads) : lanes(new Lane[size_t(threads)]), count(threads) {}
    std::unique_ptr<Walk> walk;
    std::unique_ptr<Lane[]> lanes;
    const int count;
    std::atomic<int64_t> outstanding{1};  // jobs made and not yet done; the beginning is one
    std::function<void()> prelude;
    std::function<void(Result)> done;

    bool hasWork() const {
        for (int i = 0; i < count; ++i)
            if (lanes[size_t(i)].size.load() > 0) return true;
        return false;
    }
    // This thread's newest job, or else the oldest job of another thread.
    bool take(int index, Job& job) {
        for (int i = 0; i < count; ++i) {
            Lane& lane = lanes[size_t((index + i) % count)];
            if (lane.size.load(std::memory_order_relaxed) == 0) continue;
            std::lock_guard lock(lane.mutex);
            if (lane.jobs.empty()) continue;
            if (i == 0) {
                job = std::move(lane.jobs.back());
                lane.jobs.pop_back();
            } else {
                job = std::move(lane.jobs.front());
                lane.jobs.pop_front();
            }
            lane.size.store(lane.jobs.size(), std::memory_order_relaxed);
            return true;
        }
        return false;
    }
};

class PoolSink : public Sink {
public:
    PoolSink(Pool& pool, Pool::Active& active, int index) : pool_(pool), active_(active), index_(index) {}
    void emit(Job&& job) override {
        active_.outstanding.fetch_add(1, std::memory_order_relaxed);
        Lane& lane = active_.lanes[size_t(index_)];
        // A sleeping thread is woken for a listing (this thread reads another meanwhile)
        // and once more folders wait in this lane than this thread gets through in the
        // time a wake-up takes: most folders are small.
        bool others = static_cast<bool>(job.listing);
        {
            std::lock_guard lock(lane.mutex);
            lane.jobs.push_back(std::move(job));
            others = others || lane.jobs.size() > kWakingBacklog;
            lane.size.store(lane.jobs.size());
        }
        if (others && pool_.sleeping_.load() > 0) pool_.wakeOne();
    }

private:
    Pool& pool_;
    Pool::Active& active_;
    const int index_;
};

namespace {
// The pool whose thread this is, if any: a walk asked for on a pool thread is walked
// right there, since waiting for the pool there could wait for itself.
thread_local const Pool* ownPool = nullptr;
}  // namespace

Pool::Pool(int threads) : count_(threads) {}

Pool& Pool::shared() {
    static Pool* pool = new Pool(16);
    return *pool;
}

Result Pool::walk(const std::string& path, const Options& options) {
    if (ownPool == this) return TreeWalk::run(path, options);
    std::mutex mutex;
    std::condition_variable finished;
    std::optional<Result> result;
    // The caller walks too, in a lane of its own after the pool's: it starts at once, so
    // a small tree is done before a pool thread has woken up, and threads join as the
    // folders it finds pile up.
    const int own = count_;
    auto active = std::make_shared<Active>(count_ + 1);
    active->walk = std::make_unique<Walk>(path, options, count_ + 1);
    active->done = [&](Result r) {
        std::lock_guard lock(mutex);
        result = std::move(r);
        finished.notify_one();
    };
    active->lanes[size_t(own)].jobs.emplace_back();  // the beginning
    active->lanes[size_t(own)].size.store(1);
    {
        std::lock_guard lock(mutex_);
        walks_.push_back(active);
    }
    spawn();
    run(active, own);
    std::unique_lock lock(mutex);
    finished.wait(lock, [&] { return result.has_value(); });
    return std::move(*result);
}

std::vector<Result> Pool::walkAll(const std::vector<std::string>& paths, const Options& options) {
    std::vector<Result> results(paths.size());
    if (ownPool == this) {
        for (size_t i = 0; i < paths.size(); ++i) results[i] = TreeWalk::run(paths[i], options);
        return results;
    }
    if (paths.size() == 1) {
        results[0] = walk(paths.front(), options);
        return results;
    }
    std::vector<size_t> folders, others;
    for (size_t i = 0; i < paths.size(); ++i) {
        struct ::stat st;
        const bool folder = ::lstat(paths[i].c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        (folder ? folders : others).push_back(i);
    }
    // A few walks in flight per thread keep them all busy; the others wait their turn
    // holding nothing.
    const size_t inFlight = size_t(count_) * 2;
    std::mutex mutex;
    std::condition_variable finished;
    size_t next = 0, left = folders.size();
    std::function<void(size_t)> begin = [&](size_t k) {
        start(paths[folders[k]], options, [&, k](Result r) {
            std::unique_lock lock(mutex);
            results[folders[k]] = std::move(r);
            if (next < folders.size()) {
                const size_t more = next++;
                lock.unlock();
                begin(more);
                lock.lock();
            }
            if (--left == 0) finished.notify_one();
        });
    };
    std::unique_lock lock(mutex);
    while (next < folders.size() && next < inFlight) {
        const size_t k = next++;
        lock.unlock();
        begin(k);
        lock.lock();
    }
    lock.unlock();
    // Meanwhile the files, here.
    for (const size_t i : others) results[i] = TreeWalk::run(paths[i], options);
    lock.lock();
    finished.wait(lock, [&] { return left == 0; });
    return results;
}

Pool::~Pool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (auto& t : threads_) t.join();
}

void Pool::start(const std::string& path, const Options& options, std::function<void(Result)> done,
                 std::function<void()> prelude) {
    auto active = std::make_shared<Active>(count_);
    active->walk = std::make_unique<Walk>(path, options, count_);
    active->prelude = std::move(prelude);
    active->done = std::move(done);
    active->lanes[0].jobs.emplace_back();  // the beginning
    active->lanes[0].size.store(1);
    {
        std::lock_guard lock(mutex_);
        walks_.push_back(std::move(active));
    }
    wake_.notify_one();
    spawn();
}

void Pool::spawn() {
    // Made with the first walk: a process that never measures has no threads for it.
    // Outside the pool's lock, so that the first ones start while the others are made.
    std::lock_guard lock(spawnMutex_);
    if (threads_.empty())
        for (int i = 0; i < count_; ++i) threads_.emplace_back([this, i] { work(i); });
}

void Pool::wakeOne() {
    { std::lock_guard lock(mutex_); }  // a thread about to sleep has either looked again or waits
    wake_.notify_one();
}

std::shared_ptr<Pool::Active> Pool::choose() const {
    for (auto it = walks_.rbegin(); it != walks_.rend(); ++it)
        if ((*it)->hasWork()) return *it;
    return nullptr;
}

void Pool::work(int index) {
    ownPool = this;
    std::unique_lock lock(mutex_);
    for (;;) {
        std::shared_ptr<Active> active = choose();
        if (!active) {
            if (stopping_ && walks_.empty()) return;
            sleeping_.fetch_add(1);
            // Looked at again after counting itself in: a thread that made jobs meanwhile wakes it.
            active = choose();
            if (!active) wake_.wait(lock);
            sleeping_.fetch_sub(1);
            if (!active) continue;
        }
        lock.unlock();
        run(active, index);
        active.reset();
        lock.lock();
    }
}

void Pool::run(const std::shared_ptr<Active>& active, int index) {
    Active& a = *active;
    PoolSink sink(*this, a, index);
    for (;;) {
        Job job;
        if (!a.take(index, job)) {
            // Work comes back within microseconds while a walk runs: look for it a little
            // while before going back to the pool, where a thread may sleep, which costs
            // more. Not long: on a busy machine a spinning thread takes a working one's turn.
            int spin = 0;
            while (spin < kSpins && !a.hasWork() && a.outstanding.load(std::memory_order_relaxed) > 0) {
                for (int i = 0; i < 32; ++i) __builtin_ia32_pause();
                ++spin;
            }
            if (spin == kSpins || !a.take(index, job)) return;
        }
        if (!job.folder) {
            if (a.prelude) a.prelude();
            a.walk->begin(sink);
        } else {
            a.walk->process(job, index, sink, true);
        }
        // Counted when made, so the count reaches 0 only once every job is done.
        if (a.outstanding.fetch_sub(1, std::memory_order_acq_rel) != 1) continue;
        {
            std::lock_guard lock(mutex_);
            walks_.erase(std::find(walks_.begin(), walks_.end(), active));
        }
        a.done(a.walk->end());
        std::lock_guard lock(mutex_);
        if (stopping_ && walks_.empty()) wake_.notify_all();
        return;
    }
}
}  // namespace TreeWalk
