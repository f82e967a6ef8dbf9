#pragma once
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Core/Disk/DiskIndex.h"
#include "Core/Disk/TreeWalk.h"

// Measures folders on request and keeps every result for the run. Requests for a folder
// already being measured share its walk; at most maxParallel walks (measurements and
// large-file searches alike) run at once, and a request that must wait is served
// last-parked first. The admitted walks share one fixed pool of threads (the shared
// instance's is the process's, which the cleaning engine's measure uses too). Thread-safe;
// results reach their callbacks on a thread of the service, or at once on the caller's
// thread when the size is known.
class SizeService {
public:
    using Info = DiskIndex::Info;
    using LargeFiles = DiskIndex::LargeFiles;

    struct Settings {
        int maxParallel = 4;
        int threads = 16;
        // Runs on a pool thread as each walk starts, with its path (for tests).
        std::function<void(const std::string&)> walkStarting;
    };
    // max(4, active processors − 2) walks over 16 threads: a walk cold on disk wants
    // more requests in flight than there are processors.
    static Settings defaults();
    // The one instance of the process, made on first use.
    static SizeService& shared();

    explicit SizeService(Settings settings = defaults());  // with a pool of its own
    ~SizeService();  // lets the walks under way end; parked requests are never answered
    SizeService(const SizeService&) = delete;
    SizeService& operator=(const SizeService&) = delete;

    int maxParallel() const { return settings_.maxParallel; }

    // The folder's totals: measured at most once while they stay known.
    void info(const std::string& path, std::function<void(Info)> done);
    // What is known now, without measuring.
    std::optional<Info> cached(const std::string& path) const;
    std::vector<std::optional<Info>> cached(const std::vector<std::string>& paths) const;
    // The known subfolders some walk recorded below the folder, largest first, ties by name
    // (Text::localizedStandardCompare).
    std::vector<std::pair<std::string, Info>> children(const std::string& path) const;
    // Forgets the path, everything below it and every folder above it, and tells the
    // listeners. A walk under way that these touch still answers its requests but keeps
    // nothing.
    void invalidate(const std::string& path);
    // What every change on disk calls with the paths it changed (removed, emptied or
    // grown): forgets each as `invalidate` does, taken both as given and with the links
    // on its way resolved, in one pass however many there are.
    void forget(const std::vector<std::filesystem::path>& changed);
    // Forgets everything ("Measure again"); walks under way keep nothing.
    void reset();

    // Told the paths forgotten, on the thread that forgot them; it must not forget
    // anything itself.
    using Listener = std::function<void(const std::vector<std::string>& forgotten)>;
    int listen(Listener listener);
    void unlisten(int id);  // returns once a call under way has ended

    // The files of at least `minimum` bytes under the folder (see DiskIndex::largeFiles);
    // identical searches under way share one walk. Nothing is kept.
    void largeFiles(const std::string& under, int64_t minimum, size_t limit, std::function<void(LargeFiles)> done);

private:
    SizeService(Settings settings, TreeWalk::Pool& pool);
    struct Request;
    void admit(const std::shared_ptr<Request>& request);  // with mutex_ held
    void start(const std::shared_ptr<Request>& request);  // with mutex_ held
    void finish(const std::shared_ptr<Request>& request, TreeWalk::Result&& result);
    void forgetWalks(const std::function<bool(const std::string&)>& touches);  // with mutex_ held
    void forgetPaths(std::vector<std::string> paths);

    const Settings settings_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, Info> cache_;
    // By folder, the names of its subfolders some walk recorded.
    std::unordered_map<std::string, std::set<std::string, std::less<>>> childIndex_;
    std::unordered_map<std::string, std::shared_ptr<Request>> measuring_;
    std::map<std::tuple<std::string, int64_t, size_t>, std::shared_ptr<Request>> searching_;
    int running_ = 0;
    std::vector<std::shared_ptr<Request>> waiting_;  // the last is served first
    std::mutex listenersMutex_;  // held while they are called
    std::map<int, Listener> listeners_;
    int nextListener_ = 0;
    // Last: an own pool ends first, while the tables it reports into live.
    std::unique_ptr<TreeWalk::Pool> ownPool_;
    TreeWalk::Pool& pool_;
};
