#include "Core/Disk/SizeService.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "Core/Text.h"
#include "Platform/FileOps.h"
#include "Sensors/SystemInfo.h"

namespace {
constexpr int kRecordDepth = 2;

// A view of the folder holding the path ("/" for one at the top).
std::string_view parentOf(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string_view::npos) return {};
    return path.substr(0, slash == 0 ? 1 : slash);
}

// The name of the path in the folder holding it.
std::string_view nameOf(std::string_view path) { return path.substr(path.find_last_of('/') + 1); }

// The path of a folder's child, as the walk that recorded it made it.
std::string childOf(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (folder != "/") path += '/';
    return path.append(name);
}

// Paths with the links on the way to them resolved (not a link one names itself): the
// cache knows folders by the paths the analyzer lists, which are resolved. A removal
// names many files of few folders, mostly one after another: each folder is resolved
// once.
class Resolving {
public:
    // The absolute path so resolved, where that differs from the path as given.
    std::optional<std::string> elsewhere(const std::string& path) {
        const std::string_view folder = parentOf(path);
        if (!last_ || last_->first != folder) {
            const auto [it, fresh] = folders_.try_emplace(std::string(folder));
            // A folder the kernel cannot reach is known by no other path.
            if (fresh) it->second = Platform::FileOps::resolvedAsFarAsItExists(it->first).value_or(it->first);
            last_ = &*it;
        }
        const std::string_view up = last_->second == "/" ? std::string_view() : last_->second;
        const size_t slash = path.find_last_of('/');
        if (up == std::string_view(path).substr(0, slash)) return std::nullopt;
        return std::string(up) + path.substr(slash);
    }

private:
    std::unordered_map<std::string, std::string> folders_;
    const std::pair<const std::string, std::string>* last_ = nullptr;
};

// Whether a key is touched by a change at any of the paths: it lies at or below one,
// or above one. Views into the paths, which outlive it.
class Touched {
public:
    explicit Touched(const std::vector<std::string>& paths) {
        changed_.reserve(paths.size());
        for (const std::string_view p : paths) {
            all_ = all_ || p == "/";
            changed_.insert(p);
            for (std::string_view up = parentOf(p); !up.empty(); up = up == "/" ? std::string_view() : parentOf(up))
                if (!above_.insert(up).second) break;
        }
    }
    bool operator()(std::string_view key) const {
        if (all_ || changed_.count(key) || above_.count(key)) return true;
        for (size_t slash = key.find_last_of('/'); slash != std::string_view::npos && slash > 0;
             slash = key.find_last_of('/', slash - 1))
            if (changed_.count(key.substr(0, slash))) return true;
        return false;
    }

private:
    bool all_ = false;
    std::unordered_set<std::string_view> changed_, above_;
};
}  // namespace

struct SizeService::Request {
    bool search = false;
    std::string path;
    int64_t minimum = 0;
    size_t limit = 0;
    bool started = false;
    bool stale = false;  // what it measures changed since it started: keep nothing of it
    std::vector<std::function<void(Info)>> measured;
    std::vector<std::function<void(LargeFiles)>> found;
};

SizeService::Settings SizeService::defaults() {
    Settings settings;
    settings.maxParallel = std::max(4, Sensors::processorCount() - 2);
    return settings;
}

SizeService& SizeService::shared() {
    // Never destroyed: walks may be under way when the process ends.
    static SizeService* service = new SizeService(defaults(), TreeWalk::Pool::shared());
    return *service;
}

SizeService::SizeService(Settings settings)
    : settings_(std::move(settings)), ownPool_(std::make_unique<TreeWalk::Pool>(settings_.threads)),
      pool_(*ownPool_) {}

SizeService::SizeService(Settings settings, TreeWalk::Pool& pool) : settings_(std::move(settings)), pool_(pool) {}

SizeService::~SizeService() = default;

void SizeService::info(const std::string& path, std::function<void(Info)> done) {
    std::unique_lock lock(mutex_);
    if (const auto it = cache_.find(path); it != cache_.end()) {
        const Info info = it->second;
        lock.unlock();
        done(info);
        return;
    }
    auto& request = measuring_[path];
    if (!request) {
        request = std::make_shared<Request>();
        request->path = path;
        request->measured.push_back(std::move(done));
        admit(request);
        return;
    }
    request->measured.push_back(std::move(done));
}

void SizeService::largeFiles(const std::string& under, int64_t minimum, size_t limit,
                             std::function<void(LargeFiles)> done) {
    std::lock_guard lock(mutex_);
    auto& request = searching_[{under, minimum, limit}];
    if (!request) {
        request = std::make_shared<Request>();
        request->search = true;
        request->path = under;
        request->minimum = minimum;
        request->limit = limit;
        request->found.push_back(std::move(done));
        admit(request);
        return;
    }
    request->found.push_back(std::move(done));
}

void SizeService::admit(const std::shared_ptr<Request>& request) {
    if (running_ < settings_.maxParallel) {
        ++running_;
        start(request);
    } else {
        waiting_.push_back(request);
    }
}

void SizeService::start(const std::shared_ptr<Request>& request) {
    request->started = true;
    auto options = request->search ? DiskIndex::largeFileOptions(request->minimum)
                                   : DiskIndex::measureOptions(kRecordDepth);
    std::function<void()> prelude;
    if (settings_.walkStarting) prelude = [hook = settings_.walkStarting, path = request->path] { hook(path); };
    pool_.start(
        request->path, options, [this, request](TreeWalk::Result result) { finish(request, std::move(result)); },
        std::move(prelude));
}

void SizeService::finish(const std::shared_ptr<Request>& request, TreeWalk::Result&& result) {
    std::vector<std::function<void(Info)>> measured;
    std::vector<std::function<void(LargeFiles)>> found;
    Info info;
    LargeFiles files;
    {
        std::lock_guard lock(mutex_);
        if (request->search) {
            files = DiskIndex::largest(std::move(result), request->limit);
            const auto key = std::make_tuple(request->path, request->minimum, request->limit);
            if (const auto it = searching_.find(key); it != searching_.end() && it->second == request)
                searching_.erase(it);
            found = std::move(request->found);
        } else {
            auto measurement = DiskIndex::measurement(std::move(result));
            info = measurement.root;
            if (!request->stale && measurement.complete) {
                cache_[request->path] = measurement.root;
                for (auto& [path, recorded] : measurement.recorded) {
                    cache_.try_emplace(path, recorded);
                    childIndex_[std::string(parentOf(path))].emplace(nameOf(path));
                }
            }
            if (const auto it = measuring_.find(request->path); it != measuring_.end() && it->second == request)
                measuring_.erase(it);
            measured = std::move(request->measured);
        }
        // The slot goes to the request that parked last.
        if (!waiting_.empty()) {
            auto next = std::move(waiting_.back());
            waiting_.pop_back();
            start(next);
        } else {
            --running_;
        }
    }
    for (auto& done : measured) done(info);
    for (auto& done : found) done(files);
}

std::optional<SizeService::Info> SizeService::cached(const std::string& path) const {
    std::lock_guard lock(mutex_);
    const auto it = cache_.find(path);
    if (it == cache_.end()) return std::nullopt;
    return it->second;
}

std::vector<std::optional<SizeService::Info>> SizeService::cached(const std::vector<std::string>& paths) const {
    std::vector<std::optional<Info>> infos;
    infos.reserve(paths.size());
    std::lock_guard lock(mutex_);
    for (const auto& path : paths) {
        const auto it = cache_.find(path);
        infos.push_back(it == cache_.end() ? std::nullopt : std::optional<Info>(it->second));
    }
    return infos;
}

std::vector<std::pair<std::string, SizeService::Info>> SizeService::children(const std::string& path) const {
    std::vector<std::pair<std::string, Info>> known;
    {
        std::lock_guard lock(mutex_);
        const auto members = childIndex_.find(path);
        if (members == childIndex_.end()) return known;
        for (const auto& name : members->second) {
            std::string member = childOf(path, name);
            if (const auto it = cache_.find(member); it != cache_.end()) known.emplace_back(std::move(member), it->second);
        }
    }
    // Ties in the order a person reads names, so the chart is the same on every run.
    std::sort(known.begin(), known.end(), [](const auto& a, const auto& b) {
        if (a.second.size != b.second.size) return a.second.size > b.second.size;
        return Text::localizedStandardCompare(a.first, b.first) < 0;
    });
    return known;
}

void SizeService::forgetWalks(const std::function<bool(const std::string&)>& touches) {
    // A walk that has started measured (part of) what is forgotten now: it keeps nothing,
    // and the next request starts a walk of its own. A parked one will walk afresh.
    for (auto it = measuring_.begin(); it != measuring_.end();) {
        if (it->second->started && touches(it->first)) {
            it->second->stale = true;
            it = measuring_.erase(it);
        } else {
            ++it;
        }
    }
}

void SizeService::invalidate(const std::string& path) { forgetPaths({path}); }

void SizeService::forget(const std::vector<std::filesystem::path>& changed) {
    std::vector<std::string> paths;
    paths.reserve(changed.size());
    Resolving resolving;
    for (const auto& c : changed) {
        std::string p = c.native();
        while (p.size() > 1 && p.back() == '/') p.pop_back();
        if (p.empty() || p.front() != '/') continue;
        std::optional<std::string> r = resolving.elsewhere(p);
        paths.push_back(std::move(p));
        if (r) paths.push_back(std::move(*r));
    }
    // A path named twice is forgotten twice, which costs less than sorting them all.
    if (!paths.empty()) forgetPaths(std::move(paths));
}

void SizeService::forgetPaths(std::vector<std::string> paths) {
    {
        const Touched touches(paths);
        std::lock_guard lock(mutex_);
        for (auto it = cache_.begin(); it != cache_.end();) {
            if (touches(it->first)) it = cache_.erase(it);
            else ++it;
        }
        for (const auto& path : paths)
            if (const auto it = childIndex_.find(std::string(parentOf(path))); it != childIndex_.end())
                if (const auto name = it->second.find(nameOf(path)); name != it->second.end()) it->second.erase(name);
        forgetWalks(std::cref(touches));
    }
    std::lock_guard lock(listenersMutex_);
    for (const auto& [id, listener] : listeners_) listener(paths);
}

int SizeService::listen(Listener listener) {
    std::lock_guard lock(listenersMutex_);
    listeners_.emplace(nextListener_, std::move(listener));
    return nextListener_++;
}

void SizeService::unlisten(int id) {
    std::lock_guard lock(listenersMutex_);
    listeners_.erase(id);
}

void SizeService::reset() {
    std::lock_guard lock(mutex_);
    cache_.clear();
    childIndex_.clear();
    forgetWalks([](const std::string&) { return true; });
}
