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
};

// A folder that was opened. Its descriptor is kept while folders queued in it still
// have to be opened there (or while a thread uses it), within the walk's budget.
struct Node {
    Node* parent;
    std::string name;  // in the parent; the root's is its path
    dev_t device;
    ino_t inode;
    int depth;
    Bucket* bucket;
    int fd = -1;
    int refs = 1;   // owners of the node: its children, queued jobs, cursors, pins
    int users = 1;  // reasons to keep the descriptor: queued jobs, pins, a cursor
    int pins = 1;   // threads using the descriptor right now
    Node* older = nullptr;  // least recently used first
    Node* newer = nullptr;
};
}  // namespace

// One unit of work: open `name` in `folder` and read it; or read `folder` itself; or
// look at the entries of one listing read from `folder`.
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
        : options_(std::move(options)), path_(std::move(path)), cursors_(static_cast<size_t>(threads), nullptr) {
        while (path_.size() > 1 && path_.back() == '/') path_.pop_back();
    }
    ~Walk() = default;

    // Looks at the root and emits its first job, unless there is nothing to walk.
    void begin(Sink& sink);
    void process(Job& job, int thread, Sink& sink, bool pooled);
    Result end();

private:
    // What one thread found in a listing: added to the folder's totals and queued at
    // once when it is done, under one lock.
    struct Local {
        int64_t size = 0, files = 0;
        std::vector<Job> folders;
    };
    struct HardLink {
        int64_t size;
        Bucket* bucket;
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

    bool stopped() const { return options_.stop && options_.stop->load(std::memory_order_relaxed); }
    bool skips(std::string_view name) const;
    Bucket* bucketFor(Node* parent, const char* name, int depth);
    // Reads the pinned folder; returns with the lock held, for the caller's last steps.
    std::unique_lock<std::mutex> read(Node* node, Sink& sink, bool pooled);
    void visit(Node* node, int fd, const LinuxDirent* entry, Local& local);
    void visitListing(Node* node, int fd, const char* listing, size_t length, Local& local);
    void enqueue(Node* folder, const char* name, Local& local);
    // Adds what was found to the folder; with the lock held, claims it for the folders
    // found and hands them to the sink as the lock is let go.
    std::unique_lock<std::mutex> hand(Node* node, Local& local, Sink& sink);
    std::string pathOf(const Node* node) const;

    // Descriptors; every function below expects nodesMutex_ held.
    Node* adopt(Node* parent, std::string name, int fd, const struct ::stat& st, Bucket* bucket);
    int pin(Node* node, int thread);
    void unpin(Node* node);
    void release(Node* node);  // drops a user and an owner
    void unref(Node* node);
    void setCursor(int thread, Node* node);
    int reopen(Node* node, int thread);
    bool reopenUpwards(Node* node, Node* from);
    bool reopenDownwards(Node* node);
    void store(Node* node, int fd);
    void close(Node* node);
    void touch(Node* node);
    void unlink(Node* node);
    void evict();

    const Options options_;
    std::string path_;
    dev_t device_ = 0;
    Result result_;
    std::atomic<bool> incomplete_{false};

    std::mutex nodesMutex_;
    Node* root_ = nullptr;
    Node* oldest_ = nullptr;
    Node* newest_ = nullptr;
    int open_ = 0;
    std::vector<Node*> cursors_;  // per thread: the folder it read last, kept for going up

    std::mutex bucketsMutex_;
    std::vector<std::unique_ptr<Bucket>> buckets_;  // parents before children

    Shard shards_[kHardLinkShards];
    std::mutex largeMutex_;
};

// ---- descriptors ---------------------------------------------------------------

void Walk::touch(Node* n) {
    if (newest_ == n) return;
    unlink(n);
    n->older = newest_;
    n->newer = nullptr;
    if (newest_) newest_->newer = n;
    newest_ = n;
    if (!oldest_) oldest_ = n;
}

void Walk::unlink(Node* n) {
    if (n->older) n->older->newer = n->newer;
    else if (oldest_ == n) oldest_ = n->newer;
    if (n->newer) n->newer->older = n->older;
    else if (newest_ == n) newest_ = n->older;
    n->older = n->newer = nullptr;
}

void Walk::store(Node* n, int fd) {
    n->fd = fd;
    ++open_;
    touch(n);
}

void Walk::close(Node* n) {
    ::close(n->fd);
    n->fd = -1;
    --open_;
    unlink(n);
}

void Walk::evict() {
    for (Node* n = oldest_; n && open_ > kOpenParents;) {
        Node* next = n->newer;
        if (n->pins == 0 && n != root_) close(n);
        n = next;
    }
}

Node* Walk::adopt(Node* parent, std::string name, int fd, const struct ::stat& st, Bucket* bucket) {
    Node* n = new Node{parent, std::move(name), st.st_dev, st.st_ino, parent ? parent->depth + 1 : 0, bucket};
    if (parent) ++parent->refs;
    store(n, fd);
    evict();
    return n;
}

void Walk::unref(Node* n) {
    while (n && --n->refs == 0) {
        if (n->fd >= 0) close(n);
        Node* parent = n->parent;
        delete n;  // parents are let go in this loop, not by recursion: chains can be long
        n = parent;
    }
}

void Walk::release(Node* n) {
    if (--n->users == 0 && n->fd >= 0) close(n);
    unref(n);
}

int Walk::pin(Node* n, int thread) {
    ++n->pins;
    ++n->users;
    if (n->fd < 0) {
        if (reopen(n, thread) < 0) {
            --n->pins;
            --n->users;
            return -1;
        }
        evict();
    }
    touch(n);
    return n->fd;
}

void Walk::unpin(Node* n) {
    --n->pins;
    if (--n->users == 0 && n->fd >= 0) close(n);
}

void Walk::setCursor(int thread, Node* n) {
    Node*& cursor = cursors_[static_cast<size_t>(thread)];
    if (cursor == n) return;
    ++n->refs;
    ++n->users;
    if (cursor) release(cursor);
    cursor = n;
}

int Walk::reopen(Node* n, int thread) {
    // Back up from the folder this thread read last where it lies below: a walk goes
    // back to a parent just after finishing the folders under it.
    Node* cursor = cursors_[static_cast<size_t>(thread)];
    Node* from = nullptr;
    for (Node* c = cursor; c && c->depth > n->depth; c = c->parent) {
        if (c->fd >= 0) from = c;  // the open folder nearest above ends up here
        if (c->parent == n) {
            if (from && reopenUpwards(n, from)) return n->fd;
            break;
        }
    }
    return reopenDownwards(n) ? n->fd : -1;
}

// Through ".." from an open folder below, checked against the folders it must meet.
bool Walk::reopenUpwards(Node* target, Node* from) {
    int fd = from->fd;
    bool ours = false;
    for (Node* n = from->parent;; n = n->parent) {
        const int up = ::openat(fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (ours) ::close(fd);
        struct ::stat st {};
        if (up < 0 || ::fstat(up, &st) != 0 || st.st_dev != n->device || st.st_ino != n->inode) {
            if (up >= 0) ::close(up);
            return false;
        }
        if (n == target) {
            store(n, up);
            return true;
        }
        if (n->fd < 0 && n->users > 0) {
            store(n, up);
            fd = up;
            ours = false;
        } else {
            fd = up;
            ours = true;
        }
    }
}

// By name from the nearest open ancestor (the root stays open), each step checked.
bool Walk::reopenDownwards(Node* target) {
    std::vector<Node*> way;
    Node* anchor = target;
    while (anchor->fd < 0) {
        way.push_back(anchor);
        anchor = anchor->parent;
        if (!anchor) return false;
    }
    int fd = anchor->fd;
    bool ours = false;
    for (auto it = way.rbegin(); it != way.rend(); ++it) {
        Node* n = *it;
        const int next = ::openat(fd, n->name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (ours) ::close(fd);
        struct ::stat st {};
        if (next < 0 || ::fstat(next, &st) != 0 || st.st_dev != n->device || st.st_ino != n->inode) {
            if (next >= 0) ::close(next);
            return false;
        }
        if (n == target || n->users > 0) {
            store(n, next);
            ours = false;
        } else {
            ours = true;
        }
        fd = next;
    }
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
    if (fd < 0) return;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return;
    }
    device_ = st.st_dev;
    if (options_.folderBlocks) bucket->size = allocated(st);
    if (options_.oneDevice && Platform::FileSystems::isPseudoOrRemote(fd)) {
        result_.rootElsewhere = true;
        ::close(fd);
        return;
    }
    std::lock_guard lock(nodesMutex_);
    root_ = adopt(nullptr, path_, fd, st, bucket);
    // The root stays pinned to the end: every folder can be reached again from it.
    Job job;
    job.folder = root_;
    ++root_->refs;
    ++root_->users;
    sink.emit(std::move(job));
}

void Walk::process(Job& job, int thread, Sink& sink, bool pooled) {
    Node* folder = job.folder;
    if (job.listing) {
        int fd;
        {
            std::lock_guard lock(nodesMutex_);
            fd = pin(folder, thread);
        }
        Local local;
        if (fd >= 0 && !stopped()) visitListing(folder, fd, job.listing.get(), job.length, local);
        auto lock = hand(folder, local, sink);
        if (fd >= 0) unpin(folder);
        release(folder);
        return;
    }
    if (job.name.empty()) {  // the root
        auto lock = read(folder, sink, pooled);
        release(folder);
        return;
    }

    int parentFd;
    {
        std::lock_guard lock(nodesMutex_);
        parentFd = pin(folder, thread);
    }
    int fd = -1;
    struct ::stat st {};
    if (parentFd >= 0 && !stopped()) {
        fd = ::openat(parentFd, job.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        // Unreadable, gone or swapped for something else since it was listed: it adds nothing.
        if (fd >= 0 && ::fstat(fd, &st) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    const int depth = folder->depth + 1;
    Bucket* bucket = fd >= 0 ? bucketFor(folder, job.name.c_str(), depth) : nullptr;
    if (fd >= 0 && options_.folderBlocks) bucket->size.fetch_add(allocated(st), std::memory_order_relaxed);
    if (fd >= 0 && options_.oneDevice && st.st_dev != device_) {
        // Another volume mounted here: its root's own blocks and nothing inside.
        if (bucket != folder->bucket) bucket->elsewhere = true;
        ::close(fd);
        fd = -1;
    }
    Node* node = nullptr;
    {
        std::lock_guard lock(nodesMutex_);
        if (parentFd >= 0) unpin(folder);
        // The job's claim on the descriptor ends; its ownership passes to the new node.
        if (--folder->users == 0 && folder->fd >= 0) close(folder);
        if (fd >= 0) node = adopt(folder, std::move(job.name), fd, st, bucket);
        unref(folder);
    }
    if (!node) return;
    auto lock = read(node, sink, pooled);
    setCursor(thread, node);
    unpin(node);
    unref(node);
}

std::unique_lock<std::mutex> Walk::read(Node* node, Sink& sink, bool pooled) {
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
            {
                std::lock_guard lock(nodesMutex_);
                ++node->refs;
                ++node->users;
            }
            sink.emit(std::move(job));
        }
    }
    if (length > 0) visitListing(node, fd, first.get(), size_t(length), local);
    if (length > 0 && !pooled)
        for (long n; (n = listing(first.get())) > 0;) visitListing(node, fd, first.get(), size_t(n), local);
    return hand(node, local, sink);
}

std::unique_lock<std::mutex> Walk::hand(Node* node, Local& local, Sink& sink) {
    node->bucket->size.fetch_add(local.size, std::memory_order_relaxed);
    node->bucket->files.fetch_add(local.files, std::memory_order_relaxed);
    std::unique_lock lock(nodesMutex_);
    const int found = static_cast<int>(local.folders.size());
    node->refs += found;
    node->users += found;
    // Other threads may take these once they are handed over: never before the claims.
    for (auto& job : local.folders) sink.emit(std::move(job));
    return lock;
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
        // Counted once, at the end, in the recorded folder of smallest path that holds
        // one of its names: the same on every run, whatever order threads meet them.
        const InodeKey key{st.st_dev, st.st_ino};
        Shard& shard = shards_[InodeHash()(key) % kHardLinkShards];
        std::lock_guard lock(shard.mutex);
        const auto [it, added] = shard.inodes.try_emplace(key, HardLink{bytes, node->bucket});
        if (!added && node->bucket->path < it->second.bucket->path) it->second.bucket = node->bucket;
        return;
    }
    local.size += bytes;
    local.files += 1;
}

Result Walk::end() {
    {
        std::lock_guard lock(nodesMutex_);
        for (Node*& cursor : cursors_) {
            if (cursor) release(cursor);
            cursor = nullptr;
        }
        if (root_) {
            unpin(root_);
            unref(root_);
            root_ = nullptr;
        }
    }
    for (auto& shard : shards_)
        for (const auto& [key, link] : shard.inodes) {
            link.bucket->size += link.size;
            link.bucket->files += 1;
        }
    Result result = std::move(result_);
    for (auto it = buckets_.rbegin(); it != buckets_.rend(); ++it) {
        Bucket& b = **it;
        if (b.parent) {
            b.parent->size += b.size.load();
            b.parent->files += b.files.load();
        }
        if (b.depth >= 1 && !b.elsewhere) result.recorded.emplace_back(b.path, Totals{b.size.load(), b.files.load()});
    }
    result.root = {buckets_.front()->size.load(), buckets_.front()->files.load()};
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
    std::unique_ptr<Walk> walk;
    std::vector<Job> shared;  // jobs any thread may take
    std::atomic<int64_t> outstanding{1};  // jobs made and not yet done; the beginning is one
    bool begun = false;
    std::function<void()> prelude;
    std::function<void(Result)> done;
};

// A thread keeps the jobs it makes on a stack of its own and works through them without
// locking; it shares them, oldest first, only while other threads are idle.
class PoolSink : public Sink {
public:
    PoolSink(Pool& pool, Pool::Active& active) : pool_(pool), active_(active) {}
    void emit(Job&& job) override {
        active_.outstanding.fetch_add(1, std::memory_order_relaxed);
        const bool listing = static_cast<bool>(job.listing);
        stack_.push_back(std::move(job));
        // A listing of a large folder is for others at once. The walk may hold its own
        // lock for a folder job, so those wait for share().
        if (listing) share(stack_.size());
    }
    size_t size() const { return stack_.size(); }
    bool pop(Job& job) {
        if (stack_.empty()) return false;
        job = std::move(stack_.back());
        stack_.pop_back();
        return true;
    }
    // Hands over up to `count` of the oldest jobs if some thread is idle.
    void share(size_t count) {
        if (pool_.idle_.load(std::memory_order_relaxed) == 0 || stack_.empty()) return;
        std::lock_guard lock(pool_.mutex_);
        const size_t n = std::min({count, stack_.size(), size_t(pool_.idle_.load())});
        for (size_t i = 0; i < n; ++i) active_.shared.push_back(std::move(stack_[i]));
        stack_.erase(stack_.begin(), stack_.begin() + static_cast<std::ptrdiff_t>(n));
        pool_.shared_.fetch_add(static_cast<int>(n), std::memory_order_release);
        for (size_t i = 0, sleeping = size_t(pool_.sleeping_); i < std::min(n, sleeping); ++i)
            pool_.wake_.notify_one();
    }

private:
    Pool& pool_;
    Pool::Active& active_;
    std::vector<Job> stack_;
};

Pool::Pool(int threads) : count_(threads) {}

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
    auto active = std::make_unique<Active>();
    active->walk = std::make_unique<Walk>(path, options, threads());
    active->prelude = std::move(prelude);
    active->done = std::move(done);
    active->shared.emplace_back();  // the beginning
    {
        std::lock_guard lock(mutex_);
        walks_.push_back(std::move(active));
        shared_.fetch_add(1, std::memory_order_release);
        // Made with the first walk: a process that never measures has no threads for it.
        if (threads_.empty())
            for (int i = 0; i < count_; ++i) threads_.emplace_back([this, i] { work(i); });
    }
    wake_.notify_one();
}

void Pool::work(int index) {
    std::unique_lock lock(mutex_);
    for (;;) {
        Active* active = nullptr;
        for (auto it = walks_.rbegin(); it != walks_.rend(); ++it)
            if (!(*it)->shared.empty()) {
                active = it->get();
                break;
            }
        if (!active) {
            if (stopping_ && walks_.empty()) return;
            // Work comes back within microseconds while a walk runs: look for it a
            // little while before sleeping, which costs far more.
            ++idle_;
            lock.unlock();
            for (int spin = 0; spin < 4000 && shared_.load(std::memory_order_acquire) == 0; ++spin)
                __builtin_ia32_pause();
            lock.lock();
            if (shared_.load() == 0 && !(stopping_ && walks_.empty())) {
                ++sleeping_;
                wake_.wait(lock);
                --sleeping_;
            }
            --idle_;
            continue;
        }
        Job job = std::move(active->shared.back());
        active->shared.pop_back();
        shared_.fetch_sub(1, std::memory_order_relaxed);
        const bool beginning = !active->begun;
        active->begun = true;
        lock.unlock();

        bool finished = false;
        {
            PoolSink sink(*this, *active);
            bool more = true;
            if (beginning) {
                if (active->prelude) active->prelude();
                active->walk->begin(sink);
                finished = active->outstanding.fetch_sub(1) == 1;
                more = !finished && sink.pop(job);
            }
            while (more) {
                active->walk->process(job, index, sink, true);
                // Counted when made, so the count reaches 0 only once every job is done.
                if (active->outstanding.fetch_sub(1) == 1) {
                    finished = true;
                    break;
                }
                // Half of what waits here (the oldest: the larger subtrees) goes to threads that are idle.
                if (sink.size() > 1) sink.share(sink.size() / 2);
                more = sink.pop(job);
            }
        }
        if (finished) {
            lock.lock();
            std::unique_ptr<Active> ended;
            for (auto it = walks_.begin(); it != walks_.end(); ++it)
                if (it->get() == active) {
                    ended = std::move(*it);
                    walks_.erase(it);
                    break;
                }
            lock.unlock();
            Result result = ended->walk->end();
            ended->done(std::move(result));
            ended.reset();
            lock.lock();
            if (stopping_ && walks_.empty()) wake_.notify_all();
            continue;
        }
        lock.lock();
    }
}
}  // namespace TreeWalk
