#include "Models/Analyze/AnalyzeModel.h"

#include <QCoreApplication>
#include <QCoroFuture>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <limits>
#include <numeric>
#include <string_view>
#include <unordered_set>

#include "Core/Clean/Cleaner.h"
#include "Core/Clean/SafetyGuard.h"
#include "Core/Disk/DiskIndex.h"
#include "Core/Text.h"
#include "Models/Kit/AssignIfChanged.h"
#include "Models/Kit/Completion.h"
#include "Models/Kit/ReleaseElsewhere.h"
#include "Models/Settings/Preferences.h"
#include "Platform/FileOps.h"
#include "Platform/FileSystems.h"
#include "Platform/Locations.h"
#include "Platform/MonotonicClock.h"

namespace fs = std::filesystem;

namespace {
const char* const kAction = "analyze";

fs::path resolvedHome() { return SafetyGuard::standardized(Platform::Locations::resolvedHome().string()); }

// The parent of a path as the crumbs hold it ("/" for a folder at the top).
fs::path parentOf(const fs::path& p) {
    const std::string& s = p.native();
    const size_t slash = s.find_last_of('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? fs::path("/") : fs::path(s.substr(0, slash));
}

fs::path joined(const fs::path& folder, const std::string& name) {
    return folder.native() == "/" ? fs::path("/" + name) : fs::path(folder.native() + "/" + name);
}

// The child of folder `f` on the way down to `i`, when `i` lies below it: a view into `i`.
std::optional<std::string_view> childOnTheWay(std::string_view f, std::string_view i) {
    const size_t start = f == "/" ? 1 : f.size() + 1;
    if (i.size() <= start || i.compare(0, f.size(), f) != 0 || i[start - 1] != '/') return std::nullopt;
    return i.substr(0, i.find('/', start));
}

// A file of several names, which rows measured apart may each count.
std::optional<TreeWalk::SharedFile> sharedFile(const struct ::stat& st) {
    if (!S_ISREG(st.st_mode) || st.st_nlink < 2) return std::nullopt;
    return TreeWalk::SharedFile{st.st_dev, st.st_ino, static_cast<int64_t>(st.st_blocks) * 512};
}

// A child as the listing makes it from its status: a folder to measure, or a file with
// its size; nothing for a link.
std::optional<AnalyzeModel::Entry> listedEntry(std::string_view p, const struct ::stat& st,
                                               std::optional<TreeWalk::SharedFile>& shared) {
    if (S_ISLNK(st.st_mode)) return std::nullopt;
    shared = sharedFile(st);
    const fs::path url(p);
    if (S_ISDIR(st.st_mode)) return AnalyzeModel::Entry{url, {}, {}, !Platform::FileOps::isPackage(url.filename().native())};
    return AnalyzeModel::Entry{url, static_cast<int64_t>(st.st_blocks) * 512, 1, false};
}

// Children of one folder as the listing makes them now; nothing for one gone. Many are
// read from one listing of the folder: after a large removal most names are gone, and
// looking up each name gone is a search of the folder.
class ChildrenNow {
public:
    ChildrenNow(const fs::path& folder, bool many) {
        if (!many) return;
        if (auto children = Platform::FileOps::listIfReadable(folder)) {
            listed_.emplace();
            for (auto& child : *children) listed_->emplace(std::move(child.name), child.status);
        }
    }
    std::optional<AnalyzeModel::Entry> operator()(std::string_view p, std::optional<TreeWalk::SharedFile>& shared) const {
        if (listed_) {
            const auto it = listed_->find(p.substr(p.find_last_of('/') + 1));
            return it == listed_->end() ? std::nullopt : listedEntry(p, it->second, shared);
        }
        struct ::stat st {};
        if (::lstat(std::string(p).c_str(), &st) != 0) return std::nullopt;
        return listedEntry(p, st, shared);
    }

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    std::optional<std::unordered_map<std::string, struct ::stat, Hash, std::equal_to<>>> listed_;
};

// Large files in the order the search gives them.
std::vector<AnalyzeModel::Entry> largestFirst(std::vector<AnalyzeModel::Entry> files) {
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return DiskIndex::largerFile(a.url.native(), a.size.value_or(0), b.url.native(), b.size.value_or(0));
    });
    return files;
}

// What a measurement tells of an entry: no size at all where nothing was walked.
void fill(AnalyzeModel::Entry& entry, const DiskIndex::Info& info) {
    entry.sizeless = info.sizeless;
    entry.unreadable = info.unreadable;
    const bool known = !info.sizeless && !info.unreadable;
    entry.size = known ? std::optional(info.size) : std::nullopt;
    entry.files = known ? std::optional(info.files) : std::nullopt;
}
}  // namespace

QString rawValue(AnalyzeModel::Mode mode) {
    return mode == AnalyzeModel::Mode::folders ? QStringLiteral("folders") : QStringLiteral("largeFiles");
}

// One load's measuring: the working copies that results go into, published in batches.
struct AnalyzeModel::Measuring {
    int token = 0;
    std::vector<Entry> entries;
    SubSlices subSlices;
    SortKeys sortKeys;  // by name, for as long as the load lasts
    double lastPublished = -std::numeric_limits<double>::infinity();
    size_t waiting = 0;  // results still to come
    // The latest request for each path: one made before a change may answer after it.
    std::unordered_map<std::string, int> asked;
    // Results not yet in their rows: they go in with the next publication, all in one
    // pass over the rows.
    struct Arrived {
        DiskIndex::Info info;
        std::vector<SubSlice> subSlices;
    };
    std::unordered_map<std::string, Arrived> arrived;
    // By row: the files of several names it counts that other rows may count too.
    struct Sharing {
        bool own = false;  // a file of the folder itself
        std::shared_ptr<const DiskIndex::SharedFiles> files;
    };
    std::unordered_map<std::string, Sharing> shared;
    // By row: the bytes and files it counts that a row before it holds already. A row
    // changes whether it holds such files only along with its sharing, so this is made
    // again only when the sharing changed.
    std::unordered_map<std::string, std::pair<int64_t, int64_t>> deducted;
    bool sharingChanged = false;

    void share(const std::string& path, bool own, std::shared_ptr<const DiskIndex::SharedFiles> files) {
        if (files) {
            shared[path] = {own, std::move(files)};
            sharingChanged = true;
        } else if (shared.erase(path)) {
            sharingChanged = true;
        }
    }
    // Puts the results arrived into their rows.
    void settle() {
        if (arrived.empty()) return;
        for (auto& e : entries) {
            const auto it = arrived.find(e.id());
            if (it == arrived.end()) continue;
            fill(e, it->second.info);
            share(e.id(), false, it->second.info.shared);
            if (e.isFolder) subSlices[e.id()] = std::move(it->second.subSlices);
        }
        arrived.clear();
    }
    // The entries with each such file in the first row that holds it, as a walk of the
    // folder counts it: its own files before its folders, each by name.
    std::vector<Entry> credited() {
        if (sharingChanged) {
            sharingChanged = false;
            deducted.clear();
            std::vector<std::pair<const Sharing*, const Entry*>> holders;
            if (!shared.empty())
                for (const auto& e : entries)
                    if (const auto it = shared.find(e.id()); it != shared.end() && e.size && e.files)
                        holders.emplace_back(&it->second, &e);
            if (holders.size() >= 2) {
                std::sort(holders.begin(), holders.end(), [](const auto& a, const auto& b) {
                    if (a.first->own != b.first->own) return a.first->own;
                    return a.second->id() < b.second->id();
                });
                std::set<std::pair<uint64_t, uint64_t>> counted;
                for (const auto& [sharing, e] : holders)
                    for (const auto& f : *sharing->files)
                        if (!counted.emplace(f.device, f.inode).second) {
                            auto& [bytes, files] = deducted[e->id()];
                            bytes += f.bytes;
                            files += 1;
                        }
            }
        }
        std::vector<Entry> out = entries;
        if (!deducted.empty())
            for (auto& e : out)
                if (const auto it = deducted.find(e.id()); it != deducted.end()) {
                    *e.size -= it->second.first;
                    *e.files -= it->second.second;
                }
        return out;
    }
};

AnalyzeModel::AnalyzeModel(QObject* parent) : AnalyzeModel(SizeService::shared(), parent) {}

AnalyzeModel::AnalyzeModel(SizeService& sizes, QObject* parent)
    : QObject(parent), sizes_(sizes), home_(resolvedHome()), path_{fs::path("/"), home_} {
    // A verdict may change with what the user protects.
    connect(&Preferences::shared(), &Preferences::protectedPathsChanged, this, [this] {
        removable_.clear();
        gate_.reset();
    });
    listener_ = sizes_.listen([this](const std::vector<std::string>& paths) {
        if (QThread::currentThread() == thread())
            forgotten(paths);
        else
            QMetaObject::invokeMethod(
                this,
                [this, paths = std::make_shared<std::vector<std::string>>(paths)] {
                    forgotten(*paths);
                    releaseElsewhere(std::move(*paths));
                },
                Qt::QueuedConnection);
    });
}

AnalyzeModel::~AnalyzeModel() { sizes_.unlisten(listener_); }

// ---- state -------------------------------------------------------------------

void AnalyzeModel::setPath(std::vector<fs::path> value) {
    if (path_ == value) return;
    path_ = std::move(value);
    emit pathChanged();
}

void AnalyzeModel::setEntries(std::vector<Entry> value) {
    if (entries_ == value) return;
    releaseElsewhere(std::exchange(entries_, std::move(value)));
    const auto pending = std::count_if(entries_.begin(), entries_.end(), [](const Entry& e) { return e.measuring(); });
    const bool pendingChanged = assignIfChanged(pending_, static_cast<int64_t>(pending));
    emit entriesChanged();
    if (pendingChanged) emit busyChanged();
}

void AnalyzeModel::setSearched(bool value) {
    if (assignIfChanged(searched_, value)) emit searchedChanged(value);
}

void AnalyzeModel::setReadable(bool value) {
    if (assignIfChanged(readable_, value)) emit readableChanged(value);
}

void AnalyzeModel::setCounting(Counting value) {
    // The folder's totals change with it.
    if (assignIfChanged(counting_, std::move(value))) emit entriesChanged();
}

void AnalyzeModel::setListing(bool value) {
    if (!assignIfChanged(listing_, value)) return;
    emit listingChanged(value);
    emit busyChanged();
}

void AnalyzeModel::setSubSlices(SubSlices value) {
    if (subSlices_ == value) return;
    subSlices_ = std::move(value);
    emit subSlicesChanged();
}

void AnalyzeModel::setFocus(std::optional<AnalyzeFocus> value) {
    if (assignIfChanged(focus_, std::move(value))) emit focusChanged();
}

void AnalyzeModel::setSelection(Selection value) {
    if (selection_ == value) return;
    releaseElsewhere(std::exchange(selection_, std::move(value)));
    emit selectionChanged();
}

void AnalyzeModel::setLastRemoval(std::optional<CleanReport> value) {
    lastRemoval_ = std::move(value);
    emit lastRemovalChanged();
}

void AnalyzeModel::setRemoving(bool value) {
    if (assignIfChanged(removing_, value)) emit removingChanged(value);
}

void AnalyzeModel::setMode(Mode value) {
    if (!assignIfChanged(mode_, value)) return;
    emit modeChanged(value);
    load();
}

int64_t AnalyzeModel::total() const {
    int64_t sum = 0;
    for (const auto& e : entries_) sum += e.size.value_or(0);
    return sum;
}

int64_t AnalyzeModel::totalFiles() const {
    int64_t sum = 0;
    for (const auto& e : entries_) sum += e.files.value_or(0);
    return sum;
}

std::pair<int64_t, int64_t> AnalyzeModel::walkedTotals() const {
    auto [bytes, files] = std::pair(counting_.bytes, counting_.files);
    for (const auto& e : entries_) {
        if (const auto mount = counting_.mountPoints.find(e.id()); mount != counting_.mountPoints.end()) {
            bytes += mount->second;
            continue;
        }
        bytes += e.size.value_or(0);
        files += e.files.value_or(0);
    }
    return {bytes, files};
}

std::optional<int64_t> AnalyzeModel::folderSize() const {
    if (!readable_) return std::nullopt;
    return walkedTotals().first;
}

std::optional<int64_t> AnalyzeModel::folderFiles() const {
    if (!readable_) return std::nullopt;
    return walkedTotals().second;
}

std::vector<AnalyzeModel::Entry> AnalyzeModel::sorted(std::vector<Entry> entries) {
    SortKeys keys;
    return sortedBy(std::move(entries), keys);
}

std::vector<AnalyzeModel::Entry> AnalyzeModel::sortedBy(std::vector<Entry> entries, SortKeys& known) {
    // Names are keyed once, when first compared: at first every folder is unmeasured,
    // and ties are the rule.
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (const auto& e : entries) names.push_back(e.url.filename().native());
    std::vector<const std::string*> keys(entries.size(), nullptr);
    const auto key = [&](size_t i) -> const std::string& {
        if (!keys[i]) {
            const auto [it, fresh] = known.try_emplace(names[i]);
            if (fresh) it->second = Text::standardSortKey(names[i]);
            keys[i] = &it->second;
        }
        return *keys[i];
    };
    // An unmeasured entry stands just under 100 MiB: the first measured entry of that
    // size or more goes before it, a smaller one after it.
    const auto before = [&](size_t i, size_t j) {
        const Entry &a = entries[i], &b = entries[j];
        // Those with no size to show go last.
        const bool aUnsized = a.sizeless || a.unreadable, bUnsized = b.sizeless || b.unreadable;
        if (aUnsized != bUnsized) return bUnsized;
        if (a.size && b.size && *a.size != *b.size) return *a.size > *b.size;
        if (a.size && !b.size) return *a.size >= unmeasuredRank;
        if (!a.size && b.size) return *b.size < unmeasuredRank;
        if (const int c = key(i).compare(key(j)); c != 0) return c < 0;
        return names[i] < names[j];
    };
    std::vector<size_t> order(entries.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), before);
    std::vector<Entry> out;
    out.reserve(entries.size());
    for (const size_t i : order) out.push_back(std::move(entries[i]));
    return out;
}

// ---- loading -----------------------------------------------------------------

AnalyzeModel::Listing AnalyzeModel::list(const fs::path& folder) {
    Listing listing;
    std::vector<Listed>& listed = listing.children;
    struct ::stat own {};
    const bool known = ::stat(folder.c_str(), &own) == 0;
    const auto children = Platform::FileOps::listIfReadable(folder);
    listing.readable = children.has_value();
    if (!children) return listing;
    // How a walk of the folder counts it, so the folder reads the same opened as it
    // did as a row.
    Counting& counting = listing.counting;
    if (known) counting.bytes = static_cast<int64_t>(own.st_blocks) * 512;
    for (const auto& child : *children) {
        const mode_t type = child.status.st_mode;
        const int64_t blocks = static_cast<int64_t>(child.status.st_blocks) * 512;
        if (S_ISLNK(type)) {
            counting.bytes += blocks;
            ++counting.files;
            continue;
        }
        Listed l{joined(folder, child.name), std::nullopt, false};
        if (S_ISDIR(type)) l.navigable = !Platform::FileOps::isPackage(child.name);
        else l.fileSize = blocks;
        l.shared = sharedFile(child.status);
        // Where another volume is mounted, a kernel or network one is known at once, so
        // it never waits for a walk that would not measure it anyway.
        if (S_ISDIR(type) && known && child.status.st_dev != own.st_dev) {
            counting.mountPoints.emplace(l.url.native(), blocks);
            const int fd = ::open(l.url.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd >= 0) {
                l.sizeless = Platform::FileSystems::isPseudoOrRemote(fd);
                ::close(fd);
            }
        }
        listed.push_back(std::move(l));
    }
    return listing;
}

std::vector<AnalyzeModel::SubSlice> AnalyzeModel::subSlicesOf(const std::string& path) const {
    std::vector<SubSlice> slices;
    for (auto& [child, info] : sizes_.children(path)) {
        if (slices.size() == subSliceLimit) break;
        slices.push_back({fs::path(child), info.size, info.files});
    }
    return slices;
}

void AnalyzeModel::load() {
    setFocus(std::nullopt);
    setSelection({});
    if (lastRemoval_) setLastRemoval(std::nullopt);
    emit generationChanged(++generation_);
    measuring_.reset();
    forgottenWhileListing_.clear();  // this listing comes after those changes
    const fs::path folder = path_.back();
    setListing(true);
    setSearched(true);
    if (mode_ == Mode::largeFiles) {
        setCounting({});
        setReadable(true);
        setEntries({});
        loadLargeFiles(generation_, folder);
    } else {
        loadFolders(generation_, folder);
    }
}

void AnalyzeModel::rescan() {
    sizes_.reset();
    load();
}

QCoro::Task<> AnalyzeModel::loadFolders(int token, fs::path folder) {
    QPointer<AnalyzeModel> self(this);
    QFuture<Listing> listing = QtConcurrent::run([folder] { return list(folder); });
    const Listing listed = co_await listing;
    QCoro::Task<> turn = nextTurn();  // a load never ends inside load()
    co_await turn;
    if (!self || generation_ != token) co_return;

    // What the size service knows already shows at once.
    std::vector<std::string> folders;
    for (const auto& l : listed.children)
        if (!l.fileSize) folders.push_back(l.url.native());
    const auto known = sizes_.cached(folders);
    auto load = std::make_shared<Measuring>();
    load->token = token;
    size_t k = 0;
    for (const auto& l : listed.children) {
        if (l.fileSize) {
            load->entries.push_back({l.url, l.fileSize, 1, false});
            if (l.shared) load->share(l.url.native(), true, std::make_shared<DiskIndex::SharedFiles>(1, *l.shared));
            continue;
        }
        const auto& info = known[k++];
        Entry entry{l.url, std::nullopt, std::nullopt, l.navigable, l.sizeless};
        if (info && !l.sizeless) {
            fill(entry, *info);
            load->share(l.url.native(), false, info->shared);
        }
        load->entries.push_back(std::move(entry));
        if (info && l.navigable) load->subSlices[l.url.native()] = subSlicesOf(l.url.native());
    }
    setReadable(listed.readable);
    setCounting(listed.counting);
    setEntries(sortedBy(load->credited(), load->sortKeys));
    setSubSlices(load->subSlices);
    setListing(false);

    // The rest are measured by the service, at most its number of walks at once.
    measuring_ = load;
    std::vector<std::string> unmeasured;
    for (const auto& e : load->entries)
        if (e.measuring()) unmeasured.push_back(e.id());
    load->waiting = unmeasured.size();
    if (unmeasured.empty()) publish(*load);
    else measureInto(load, unmeasured);
    if (!forgottenWhileListing_.empty()) forgotten(std::exchange(forgottenWhileListing_, {}));
}

void AnalyzeModel::measureInto(const std::shared_ptr<Measuring>& load, const std::vector<std::string>& paths) {
    QPointer<AnalyzeModel> self(this);
    for (const auto& path : paths) {
        const int ticket = ++load->asked[path];
        sizes_.info(path, [self, load, path, ticket](DiskIndex::Info info) {
            // Any thread: the result goes to the main thread, to a model that may be gone.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, load, path, ticket, info] {
                    if (self) self->measured(load, path, ticket, info);
                },
                Qt::QueuedConnection);
        });
    }
}

void AnalyzeModel::measured(const std::shared_ptr<Measuring>& load, const std::string& path, int ticket,
                            DiskIndex::Info info) {
    --load->waiting;
    // A newer load began: the size still went into the service's cache.
    if (generation_ != load->token) return;
    // Measured again when it changed meanwhile; gone when it was removed meanwhile,
    // which its publication finds.
    if (load->asked[path] == ticket) load->arrived[path] = {info, subSlicesOf(path)};
    if (load->waiting == 0 || Platform::monotonicSeconds() - load->lastPublished > publishInterval) publish(*load);
}

void AnalyzeModel::publish(Measuring& load) {
    load.settle();
    load.lastPublished = Platform::monotonicSeconds();
    setEntries(sortedBy(load.credited(), load.sortKeys));
    setSubSlices(load.subSlices);
}

QCoro::Task<> AnalyzeModel::loadLargeFiles(int token, fs::path folder) {
    QPointer<AnalyzeModel> self(this);
    SizeService& sizes = sizes_;
    // Made in statements of their own: this compiler destroys a temporary of a
    // co_await expression twice.
    const std::function<void(std::function<void(DiskIndex::LargeFiles)>)> search = [&sizes, folder](auto done) {
        sizes.largeFiles(folder.native(), largeFileMinimum, largeFileLimit, std::move(done));
    };
    QFuture<DiskIndex::LargeFiles> searched = completion<DiskIndex::LargeFiles>(search);
    const DiskIndex::LargeFiles found = co_await searched;
    QCoro::Task<> turn = nextTurn();
    co_await turn;
    if (!self || generation_ != token) co_return;
    std::vector<Entry> entries;
    entries.reserve(found.files.size());
    for (const auto& [path, bytes] : found.files) entries.push_back({fs::path(path), bytes, 1, false});
    setEntries(std::move(entries));
    setSearched(found.searched);
    setReadable(found.readable);
    setListing(false);
    if (!forgottenWhileListing_.empty()) forgotten(std::exchange(forgottenWhileListing_, {}));
}

void AnalyzeModel::forgotten(const std::vector<std::string>& paths) {
    if (listing_) {
        forgottenWhileListing_.insert(forgottenWhileListing_.end(), paths.begin(), paths.end());
        return;
    }
    const fs::path& shown = path_.back();
    const auto holds = [&](const std::string& p) { return SafetyGuard::isInside(shown.native(), p); };
    if (std::any_of(paths.begin(), paths.end(), holds)) {
        // The folder shown changed as a whole: listed afresh, or the nearest one left.
        auto crumbs = path_;
        std::error_code ec;
        while (crumbs.size() > 1 && !fs::is_directory(crumbs.back(), ec)) crumbs.pop_back();
        setPath(std::move(crumbs));
        load();
        return;
    }
    // The children of the folder shown on the way to a change, and what became of each.
    enum class Now { unseen, here, gone };
    std::unordered_map<std::string_view, Now> touched;
    touched.reserve(paths.size());
    for (const auto& p : paths)
        if (const auto child = childOnTheWay(shown.native(), p)) touched.emplace(*child, Now::unseen);
    if (touched.empty()) return;

    if (mode_ == Mode::largeFiles) {
        // A file listed goes with what held it; one that came (into the Trash) is listed.
        const std::unordered_set<std::string_view> changed(paths.begin(), paths.end());
        // A change that holds a file is at the file or at a folder on its way down, named
        // with or without a last "/".
        const auto holdsFile = [&](std::string_view f) {
            if (changed.count(f)) return true;
            for (size_t slash = f.find('/'); slash != std::string_view::npos; slash = f.find('/', slash + 1))
                if ((slash > 0 && changed.count(f.substr(0, slash))) || changed.count(f.substr(0, slash + 1)))
                    return true;
            return false;
        };
        Selection selection = selection_;
        std::vector<Entry> left;
        std::unordered_set<std::string> listed;
        for (const auto& e : entries_) {
            struct ::stat st {};
            if (!holdsFile(e.id()) || ::lstat(e.url.c_str(), &st) == 0) {
                left.push_back(e);
                listed.insert(e.id());
            } else {
                selection.erase(e.id());
            }
        }
        for (const auto& p : paths) {
            struct ::stat st {};
            if (!childOnTheWay(shown.native(), p) || ::lstat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
            const int64_t bytes = static_cast<int64_t>(st.st_blocks) * 512;
            if (bytes >= largeFileMinimum && listed.insert(p).second) left.push_back({fs::path(p), bytes, 1, false});
        }
        setEntries(largestFirst(std::move(left)));
        setSelection(std::move(selection));
        return;
    }
    if (!measuring_ || measuring_->token != generation_) return;
    // A child gone is dropped; one changed is measured again; one made anew is listed.
    Measuring& load = *measuring_;
    load.settle();  // what was measured before the change
    const ChildrenNow children(shown, touched.size() * 4 >= load.entries.size());  // a quarter of the rows or more
    std::vector<std::string> again;
    bool anyGone = false;
    const auto now = [&](std::pair<const std::string_view, Now>& touch) {
        const std::string_view child = touch.first;
        if (!load.subSlices.empty()) load.subSlices.erase(std::string(child));
        std::optional<TreeWalk::SharedFile> file;
        auto entry = children(child, file);
        if (file || !load.shared.empty())
            load.share(std::string(child), true, file ? std::make_shared<DiskIndex::SharedFiles>(1, *file) : nullptr);
        touch.second = entry ? Now::here : Now::gone;
        anyGone = anyGone || !entry;
        if (entry && entry->measuring()) again.emplace_back(child);
        return entry;
    };
    // One pass over the rows, dropping those gone; the children not met are new.
    size_t kept = 0;
    std::vector<Entry> gone;
    gone.reserve(std::min(touched.size(), load.entries.size()));
    for (size_t i = 0; i < load.entries.size(); ++i) {
        Entry& e = load.entries[i];
        if (const auto it = touched.find(e.id()); it != touched.end()) {
            auto entry = now(*it);
            if (!entry) {
                gone.push_back(std::move(e));
                continue;
            }
            e = std::move(*entry);
        }
        if (kept != i) load.entries[kept] = std::move(e);
        ++kept;
    }
    load.entries.erase(load.entries.begin() + static_cast<ptrdiff_t>(kept), load.entries.end());
    releaseElsewhere(std::move(gone));
    for (auto& touch : touched)
        if (touch.second == Now::unseen)
            if (auto entry = now(touch)) load.entries.push_back(std::move(*entry));
    publish(load);
    if (anyGone) {
        Selection selection;
        for (const auto& id : selection_)
            if (const auto it = touched.find(id); it == touched.end() || it->second != Now::gone)
                selection.insert(selection.end(), id);
        setSelection(std::move(selection));
    }
    std::sort(again.begin(), again.end());  // asked for in the order of their paths
    load.waiting += again.size();
    measureInto(measuring_, again);
}

// ---- navigation --------------------------------------------------------------

void AnalyzeModel::open(const Entry& entry) {
    // A row of the folder shown before (clicked while a new listing loads) opens nothing.
    if (!entry.isFolder || mode_ != Mode::folders || parentOf(entry.url) != path_.back()) return;
    auto next = path_;
    next.push_back(entry.url);
    setPath(std::move(next));
    load();
}

void AnalyzeModel::open(const SubSlice& slice) {
    const fs::path parent = parentOf(slice.url);
    if (mode_ != Mode::folders || parentOf(parent) != path_.back()) return;
    auto next = path_;
    next.push_back(parent);
    next.push_back(slice.url);
    setPath(std::move(next));
    load();
}

void AnalyzeModel::goBack() {
    if (path_.size() < 2) return;
    auto next = path_;
    next.pop_back();
    setPath(std::move(next));
    load();
}

void AnalyzeModel::go(int index) {
    if (index < 0 || static_cast<size_t>(index) + 1 >= path_.size()) return;
    auto next = path_;
    next.resize(static_cast<size_t>(index) + 1);
    setPath(std::move(next));
    load();
}

void AnalyzeModel::navigate(const fs::path& url) {
    const std::string target = SafetyGuard::standardized(url.native());
    std::vector<fs::path> crumbs{fs::path("/")};
    if (target != "/") {
        fs::path base("/");
        if (SafetyGuard::isInside(target, home_.native())) {
            crumbs.push_back(home_);
            base = home_;
        }
        const std::string rest =
            target.size() > base.native().size() ? target.substr(base.native() == "/" ? 1 : base.native().size() + 1)
                                                 : std::string();
        size_t start = 0;
        while (start < rest.size()) {
            const size_t slash = rest.find('/', start);
            const std::string piece = rest.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
            if (!piece.empty()) {
                base = joined(base, piece);
                crumbs.push_back(base);
            }
            if (slash == std::string::npos) break;
            start = slash + 1;
        }
    }
    setPath(std::move(crumbs));
    load();
}

// ---- selection and removal ---------------------------------------------------

bool AnalyzeModel::canRemove(const Entry& entry) {
    const auto known = removable_.find(entry.id());
    if (known != removable_.end()) return known->second;
    // One gate for every row: making one resolves the home and the cache folder.
    if (!gate_) gate_ = Preferences::shared().safetyGuard({});
    const bool allowed = gate_->check(entry.url).isAllowed();
    removable_.emplace(entry.id(), allowed);
    return allowed;
}

void AnalyzeModel::toggleSelection(const Entry& entry) {
    if (!canRemove(entry)) return;
    Selection next = selection_;
    if (!next.erase(entry.id())) next.insert(entry.id());
    setSelection(std::move(next));
}

std::vector<AnalyzeModel::Entry> AnalyzeModel::selectedEntries() const {
    std::vector<Entry> chosen;
    for (const auto& e : entries_)
        if (selection_.count(e.id())) chosen.push_back(e);
    return chosen;
}

int64_t AnalyzeModel::selectedSize() const {
    int64_t sum = 0;
    for (const auto& e : selectedEntries()) sum += e.size.value_or(0);
    return sum;
}

void AnalyzeModel::trash(const Entry& entry) { remove({entry}); }

void AnalyzeModel::trashSelected() { remove(selectedEntries()); }

QFuture<DiskIndex::Info> AnalyzeModel::measure(const std::string& path) {
    SizeService& sizes = sizes_;
    return completion<DiskIndex::Info>([&sizes, path](auto done) { sizes.info(path, std::move(done)); });
}

QCoro::Task<> AnalyzeModel::remove(std::vector<Entry> entries) {
    if (entries.empty() || removing_) co_return;
    setRemoving(true);
    QPointer<AnalyzeModel> self(this);

    // A size not known yet is measured first (sharing a walk under way), so the report
    // and the history never count it as nothing.
    std::vector<CleanItem> items;
    items.reserve(entries.size());
    for (const auto& e : entries) {
        int64_t size = e.size.value_or(0);
        if (e.measuring()) {
            QFuture<DiskIndex::Info> measured = measure(e.id());
            size = (co_await measured).size;
            if (!self) co_return;
        }
        items.push_back({e.url, size, CleanCategory::userCaches, Risk::review, "", false, false, std::nullopt});
    }

    const Preferences& prefs = Preferences::shared();
    const SafetyGuard safety = prefs.safetyGuard({});
    const bool dryRun = prefs.dryRun(), alwaysTrash = prefs.alwaysTrash();
    SizeService& sizes = sizes_;
    QFuture<std::shared_ptr<CleanReport>> removal = QtConcurrent::run([items, safety, dryRun, alwaysTrash, &sizes] {
        auto report =
            std::make_shared<CleanReport>(Cleaner().clean(items, kAction, safety, dryRun, alwaysTrash, nullptr));
        // What it touched is looked at again, here as after a change made anywhere else.
        // Forgotten off the window's thread: a removal of many files names many paths.
        sizes.forget(report->touched());
        return report;
    });
    const std::shared_ptr<CleanReport> report = co_await removal;
    if (!self) co_return;
    setRemoving(false);
    setLastRemoval(std::move(*report));
}
