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
#include <iterator>
#include <chrono>
#include <climits>
#include <mutex>
#include <limits>
#include <numeric>
#include <set>
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
#include "Platform/Memory.h"
#include "Platform/MonotonicClock.h"

namespace fs = std::filesystem;

namespace {
const char* const kAction = "analyze";
// Fewer rows than this touched by a change are looked at again at once; more, off the
// window's thread.
constexpr size_t kLookedAtOnce = 2048;
// The longest the window's thread takes in one go for the sizes that came.
constexpr auto kMeasuredStretch = std::chrono::milliseconds(8);

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

// The name of the child of folder `f` on the way down to `i`, when `i` lies below it: a
// view into `i`.
std::optional<std::string_view> childOnTheWay(std::string_view f, std::string_view i) {
    const size_t start = f == "/" ? 1 : f.size() + 1;
    if (i.size() <= start || i.compare(0, f.size(), f) != 0 || i[start - 1] != '/') return std::nullopt;
    return i.substr(start, i.find('/', start) - start);
}

// A file of several names, which rows measured apart may each count.
std::optional<TreeWalk::SharedFile> sharedFile(const struct ::stat& st) {
    if (!S_ISREG(st.st_mode) || st.st_nlink < 2) return std::nullopt;
    return TreeWalk::SharedFile{st.st_dev, st.st_ino, static_cast<int64_t>(st.st_blocks) * 512};
}

// A child as the listing makes it from its status: a folder to measure, or a file with
// its size; nothing for a link.
std::optional<AnalyzeModel::Entry> listedEntry(const std::shared_ptr<const std::string>& within, std::string name,
                                               const struct ::stat& st, std::optional<TreeWalk::SharedFile>& shared) {
    if (S_ISLNK(st.st_mode)) return std::nullopt;
    shared = sharedFile(st);
    if (S_ISDIR(st.st_mode)) {
        const bool navigable = !Platform::FileOps::isPackage(name);
        return AnalyzeModel::Entry{ChildPath(within, std::move(name)), {}, {}, navigable};
    }
    return AnalyzeModel::Entry{ChildPath(within, std::move(name)), static_cast<int64_t>(st.st_blocks) * 512, 1, false};
}

// Large files in the order the search gives them.
std::vector<AnalyzeModel::Entry> largestFirst(std::vector<AnalyzeModel::Entry> files) {
    std::vector<std::pair<std::string, size_t>> paths;
    paths.reserve(files.size());
    for (size_t i = 0; i < files.size(); ++i) paths.emplace_back(files[i].id(), i);
    std::sort(paths.begin(), paths.end(), [&](const auto& a, const auto& b) {
        return DiskIndex::largerFile(a.first, files[a.second].size.value_or(0), b.first,
                                     files[b.second].size.value_or(0));
    });
    std::vector<AnalyzeModel::Entry> out;
    out.reserve(files.size());
    for (const auto& [path, i] : paths) out.push_back(std::move(files[i]));
    return out;
}

// What a measurement tells of an entry: no size at all where nothing was walked.
void fill(AnalyzeModel::Entry& entry, const DiskIndex::Info& info) {
    entry.sizeless = info.sizeless;
    entry.unreadable = info.unreadable;
    const bool known = !info.sizeless && !info.unreadable;
    entry.size = known ? std::optional(info.size) : std::nullopt;
    entry.files = known ? std::optional(info.files) : std::nullopt;
}

struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};
template <class Value>
using ByName = std::unordered_map<std::string, Value, NameHash, std::equal_to<>>;

// The names of a folder's rows in the order a person reads them, as sort keys kept in
// one block: a row's place among them is a number, and a name that comes later is
// placed among them by its key.
class NameKeys {
public:
    struct Place {
        uint32_t rank = 0;  // the name's place among the names; gaps where rows went
        uint32_t at = 0, length = 0;  // its key in the block
    };
    // Places for the names, in their order.
    std::vector<Place> place(const std::vector<std::string_view>& names) {
        std::vector<Place> places;
        places.reserve(names.size());
        for (const auto name : names) places.push_back(add(Text::standardSortKey(name)));
        std::vector<uint32_t> order(names.size());
        std::iota(order.begin(), order.end(), 0u);
        std::stable_sort(order.begin(), order.end(),
                         [&](uint32_t a, uint32_t b) { return before(places[a], names[a], places[b], names[b]); });
        for (uint32_t r = 0; r < order.size(); ++r) places[order[r]].rank = r;
        return places;
    }
    // Ranks afresh for all, the places from `from` on those of names that came later:
    // they are sorted among themselves and merged into the order of the others.
    void merge(const std::vector<Place*>& places, const std::vector<std::string_view>& names, size_t from) {
        const auto earlier = [&](uint32_t a, uint32_t b) { return before(*places[a], names[a], *places[b], names[b]); };
        std::vector<uint32_t> old(from), fresh(places.size() - from), order;
        std::iota(old.begin(), old.end(), 0u);
        std::iota(fresh.begin(), fresh.end(), uint32_t(from));
        std::sort(old.begin(), old.end(), [&](uint32_t a, uint32_t b) { return places[a]->rank < places[b]->rank; });
        std::stable_sort(fresh.begin(), fresh.end(), earlier);
        order.reserve(places.size());
        std::merge(old.begin(), old.end(), fresh.begin(), fresh.end(), std::back_inserter(order), earlier);
        for (uint32_t r = 0; r < order.size(); ++r) places[order[r]]->rank = r;
    }
    Place add(const std::string& key) {
        Place p{0, uint32_t(bytes_.size()), uint32_t(key.size())};
        bytes_ += key;
        return p;
    }
    // Keeps the keys of these places alone, which move to a block of their own.
    template <class Places>
    NameKeys kept(Places& places) const {
        NameKeys out;
        for (Place* p : places) {
            const std::string_view k = key(*p);
            p->at = uint32_t(out.bytes_.size());
            out.bytes_.append(k);
        }
        return out;
    }

private:
    std::string_view key(const Place& p) const { return std::string_view(bytes_).substr(p.at, p.length); }
    bool before(const Place& a, std::string_view aName, const Place& b, std::string_view bName) const {
        if (const int c = key(a).compare(key(b)); c != 0) return c < 0;
        return aName < bName;
    }
    std::string bytes_;
};

// The order of the list over rows with their ranks: larger first, unmeasured as if just
// under 100 MiB, sizeless last, ties by name.
struct SortKey {
    int64_t size = 0;
    uint32_t rank = 0;
    bool last = false;  // no size to show
    bool measured = false;
};
bool before(const SortKey& a, const SortKey& b) {
    if (a.last != b.last) return b.last;
    if (!a.last) {
        if (a.measured && b.measured && a.size != b.size) return a.size > b.size;
        if (a.measured && !b.measured) return a.size >= AnalyzeModel::unmeasuredRank;
        if (!a.measured && b.measured) return b.size < AnalyzeModel::unmeasuredRank;
    }
    return a.rank < b.rank;
}
SortKey sortKey(const AnalyzeModel::Entry& e, uint32_t rank) {
    return {e.size.value_or(0), rank, e.sizeless || e.unreadable, e.size.has_value()};
}
std::vector<uint32_t> orderOf(const std::vector<SortKey>& keys) {
    std::vector<uint32_t> order(keys.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return before(keys[a], keys[b]); });
    return order;
}
}  // namespace

QString rawValue(AnalyzeModel::Mode mode) {
    return mode == AnalyzeModel::Mode::folders ? QStringLiteral("folders") : QStringLiteral("largeFiles");
}

// What the size service measured for a load, put by its threads and taken by the
// window's thread, which one queued call at most is on its way to.
struct AnalyzeModel::Inbox {
    // True when this made it hold something: the caller sends for it.
    bool put(Measured result) {
        std::lock_guard lock(mutex_);
        results_.push_back(std::move(result));
        return results_.size() == 1;
    }
    // The same for results taken but not used yet, which go ahead of the rest.
    bool putBack(std::vector<Measured> results) {
        std::lock_guard lock(mutex_);
        results_.insert(results_.begin(), std::make_move_iterator(results.begin()),
                        std::make_move_iterator(results.end()));
        return results_.size() == results.size();
    }
    std::vector<Measured> take() {
        std::lock_guard lock(mutex_);
        return std::exchange(results_, {});
    }

private:
    std::mutex mutex_;
    std::vector<Measured> results_;
};

// One load's measuring: the working copies that results go into, published in batches.
// Every row is a child of the folder listed, so its rows are known by their names.
struct AnalyzeModel::Measuring {
    int token = 0;
    std::shared_ptr<const std::string> within;  // the folder's path and "/"
    struct Row {
        Entry entry;
        NameKeys::Place place;
    };
    std::vector<Row> rows;  // in listing order
    NameKeys keys;
    SubSlices subSlices;
    double lastPublished = -std::numeric_limits<double>::infinity();
    size_t waiting = 0;  // results still to come
    // The latest request for each name: one made before a change may answer after it.
    ByName<int> asked;
    // Results not yet in their rows: they go in with the next publication, all in one
    // pass over the rows.
    struct Arrived {
        DiskIndex::Info info;
        std::vector<SubSlice> subSlices;
    };
    ByName<Arrived> arrived;
    // By row: the files of several names it counts that other rows may count too.
    struct Sharing {
        bool own = false;  // a file of the folder itself
        std::shared_ptr<const DiskIndex::SharedFiles> files;
    };
    ByName<Sharing> shared;
    // By row: the bytes and files it counts that a row before it holds already. A row
    // changes whether it holds such files only along with its sharing, so this is made
    // again only when the sharing changed.
    ByName<std::pair<int64_t, int64_t>> deducted;
    bool sharingChanged = false;
    std::vector<uint32_t> order;  // of the rows as last published
    std::shared_ptr<Inbox> inbox = std::make_shared<Inbox>();

    size_t size() const { return rows.size(); }  // what releasing it frees
    std::string pathOf(std::string_view name) const { return *within + std::string(name); }

    void share(std::string_view name, bool own, std::shared_ptr<const DiskIndex::SharedFiles> files) {
        if (files) {
            shared[std::string(name)] = {own, std::move(files)};
            sharingChanged = true;
        } else if (const auto it = shared.find(name); it != shared.end()) {
            shared.erase(it);
            sharingChanged = true;
        }
    }
    // Puts the results arrived into their rows.
    void settle() {
        if (arrived.empty()) return;
        for (auto& row : rows) {
            const auto it = arrived.find(row.entry.name());
            if (it == arrived.end()) continue;
            fill(row.entry, it->second.info);
            share(row.entry.name(), false, it->second.info.shared);
            // A folder with no subfolder known has none kept: most folders of a large one.
            if (!row.entry.isFolder) continue;
            if (!it->second.subSlices.empty()) subSlices[pathOf(row.entry.name())] = std::move(it->second.subSlices);
            else if (!subSlices.empty()) subSlices.erase(pathOf(row.entry.name()));
        }
        arrived.clear();
    }
    // Places the names of the rows from `from` on, which came later, among the others.
    void placeFrom(size_t from, const std::vector<std::string>& newKeys) {
        reordered();
        for (size_t i = from; i < rows.size(); ++i) rows[i].place = keys.add(newKeys[i - from]);
        std::vector<NameKeys::Place*> places;
        std::vector<std::string_view> names;
        places.reserve(rows.size());
        names.reserve(rows.size());
        for (auto& row : rows) {
            places.push_back(&row.place);
            names.push_back(row.entry.name());
        }
        keys.merge(places, names, from);
    }
    // The rows to show: each file of several names in the first row that holds it, as a
    // walk of the folder counts it (its own files before its folders, each by name), in
    // the order of the list. None when they are those of `shown` already.
    std::optional<std::vector<Entry>> published(const std::vector<Entry>& shown) {
        if (sharingChanged) credit();
        std::vector<SortKey> sortKeys;
        sortKeys.reserve(rows.size());
        for (const auto& row : rows) {
            SortKey k = sortKey(row.entry, row.place.rank);
            if (!deducted.empty())
                if (const auto it = deducted.find(row.entry.name()); it != deducted.end()) k.size -= it->second.first;
            sortKeys.push_back(k);
        }
        // The order of the last publication, while it holds.
        const auto inOrder = [&](uint32_t a, uint32_t b) { return before(sortKeys[a], sortKeys[b]); };
        if (order.size() != rows.size() || !std::is_sorted(order.begin(), order.end(), inOrder))
            order = orderOf(sortKeys);
        const auto credited = [&](uint32_t i) {
            Entry e = rows[i].entry;
            if (const auto it = deducted.find(e.name()); it != deducted.end()) {
                *e.size -= it->second.first;
                *e.files -= it->second.second;
            }
            return e;
        };
        if (shown.size() == rows.size()) {
            size_t i = 0;
            while (i < order.size() && (deducted.empty() ? rows[order[i]].entry : credited(order[i])) == shown[i]) ++i;
            if (i == order.size()) return std::nullopt;
        }
        std::vector<Entry> out;
        out.reserve(rows.size());
        for (const uint32_t i : order) out.push_back(deducted.empty() ? rows[i].entry : credited(i));
        return out;
    }
    // The rows were added to or taken from: the order is made afresh.
    void reordered() { order.clear(); }
    // After most rows went, what they held goes too.
    void compact() {
        if (rows.capacity() < 4096 || rows.size() * 2 > rows.capacity()) return;
        std::vector<Row> left(std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
        releaseElsewhere(std::exchange(rows, std::move(left)));
        std::vector<NameKeys::Place*> places;
        places.reserve(rows.size());
        for (auto& row : rows) places.push_back(&row.place);
        keys = keys.kept(places);
        order = {};
    }

private:
    void credit() {
        sharingChanged = false;
        deducted.clear();
        std::vector<std::pair<const Sharing*, const Entry*>> holders;
        if (!shared.empty())
            for (const auto& row : rows)
                if (const auto it = shared.find(row.entry.name());
                    it != shared.end() && row.entry.size && row.entry.files)
                    holders.emplace_back(&it->second, &row.entry);
        if (holders.size() < 2) return;
        std::sort(holders.begin(), holders.end(), [](const auto& a, const auto& b) {
            if (a.first->own != b.first->own) return a.first->own;
            return a.second->name() < b.second->name();
        });
        std::set<std::pair<uint64_t, uint64_t>> counted;
        for (const auto& [sharing, e] : holders)
            for (const auto& f : *sharing->files)
                if (!counted.emplace(f.device, f.inode).second) {
                    auto& [bytes, files] = deducted[e->name()];
                    bytes += f.bytes;
                    files += 1;
                }
    }
};

// A listing made ready off the window's thread: the first publication and what follows it.
struct AnalyzeModel::Prepared {
    bool readable = true;
    Counting counting;
    std::shared_ptr<Measuring> load;
    std::vector<Entry> shown;  // in the order of the list
    std::vector<std::string> unmeasured;  // names, in listing order
    Verdicts verdicts;
    size_t size() const { return shown.size(); }
};

// What a change touched of the folder shown, looked at again: the children on the way
// to the paths it named, which rows they are, and what each is now.
struct AnalyzeModel::Looked {
    Paths paths;
    std::string shown;                          // the folder shown
    std::shared_ptr<const std::string> within;  // its path and "/"
    std::vector<std::string> rowNames;          // the rows, when looked at elsewhere
    std::vector<std::string> names;             // the children touched, as first named
    std::vector<char> met;                      // aligned: a row has the name
    std::vector<int32_t> nameOfRow;             // aligned with the rows: its name's place, or -1
    ByName<int32_t> touched;                    // each name's place
    struct Now {
        std::optional<Entry> entry;  // none: gone
        std::optional<TreeWalk::SharedFile> file;
        std::string key;  // for a row that comes: its name's sort key
    };
    std::vector<Now> now;  // aligned with the names
    size_t size() const { return rowNames.size() + names.size(); }
    // The place of the name of a path in the folder, if it was touched.
    std::optional<size_t> placeOf(std::string_view folder, std::string_view name) const {
        if (folder != *within) return std::nullopt;
        const auto it = touched.find(name);
        return it == touched.end() ? std::nullopt : std::optional<size_t>(size_t(it->second));
    }

    // `rowName(i)` names each of the `rows` rows.
    template <class RowName>
    void look(size_t rows, RowName rowName) {
        for (const auto& p : *paths)
            if (const auto child = childOnTheWay(shown, p))
                if (touched.try_emplace(std::string(*child), int32_t(names.size())).second) names.emplace_back(*child);
        met.assign(names.size(), 0);
        nameOfRow.assign(rows, -1);
        if (names.empty()) return;
        for (size_t r = 0; r < rows; ++r)
            if (const auto it = touched.find(rowName(r)); it != touched.end()) {
                nameOfRow[r] = it->second;
                met[size_t(it->second)] = 1;
            }
        // From one listing of the folder for many names, else one status each.
        now.assign(names.size(), {});
        std::optional<ByName<struct ::stat>> listed;
        if (names.size() >= kLookedAtOnce)
            if (auto children = Platform::FileOps::listIfReadable(*within)) {
                listed.emplace();
                listed->reserve(children->size());
                for (auto& child : *children) listed->emplace(std::move(child.name), child.status);
            }
        for (size_t i = 0; i < names.size(); ++i) {
            struct ::stat st {};
            if (listed) {
                const auto it = listed->find(names[i]);
                if (it == listed->end()) continue;
                st = it->second;
            } else if (::lstat((*within + names[i]).c_str(), &st) != 0) {
                continue;
            }
            now[i].entry = listedEntry(within, names[i], st, now[i].file);
            if (now[i].entry && !met[i]) now[i].key = Text::standardSortKey(names[i]);
        }
    }
};

AnalyzeModel::AnalyzeModel(QObject* parent) : AnalyzeModel(SizeService::shared(), parent) {}

AnalyzeModel::AnalyzeModel(SizeService& sizes, QObject* parent)
    : QObject(parent), sizes_(sizes), home_(resolvedHome()), path_{fs::path("/"), home_} {
    // A verdict may change with what the user protects.
    connect(&Preferences::shared(), &Preferences::protectedPathsChanged, this, [this] {
        releaseElsewhere(std::exchange(removable_, {}).verdicts);
        gate_.reset();
        ++gateEpoch_;
    });
    listener_ = sizes_.listen([this](const std::vector<std::string>& paths) {
        Paths forgot = sharedReleasedElsewhere(paths);
        if (QThread::currentThread() == thread())
            forgotten(std::move(forgot));
        else
            QMetaObject::invokeMethod(
                this,
                [this, forgot] { forgotten(forgot); },
                Qt::QueuedConnection);
    });
}

AnalyzeModel::~AnalyzeModel() {
    sizes_.unlisten(listener_);
    // Work under way that reads the size service, which need not outlive this.
    for (auto& work : working_) work.waitForFinished();
    if (measuring_) releaseElsewhere(std::move(*measuring_));
    releaseElsewhere(std::move(entries_));
    releaseElsewhere(std::move(removable_.verdicts));
}

// ---- state -------------------------------------------------------------------

void AnalyzeModel::setPath(std::vector<fs::path> value) {
    if (path_ == value) return;
    path_ = std::move(value);
    emit pathChanged();
}

void AnalyzeModel::setEntries(std::vector<Entry> value) {
    if (entries_ == value) {
        releaseElsewhere(std::move(value));
        return;
    }
    releaseElsewhere(std::exchange(entries_, std::move(value)));
    removable_.counted = removable_.found = 0;
    entriesSet();
}

void AnalyzeModel::entriesSet() {
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
    releaseElsewhere(std::exchange(subSlices_, std::move(value)));
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
    // A report of many removed files is freed off the window's thread.
    if (lastRemoval_ && lastRemoval_->removed.size() + lastRemoval_->inTrash.size() >= 4096) {
        std::vector<CleanReport> gone;
        gone.push_back(std::move(*lastRemoval_));
        releaseElsewhere(std::move(gone), 1);
    }
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
    const auto& mounts = counting_.mountPoints;
    for (const auto& e : entries_) {
        if (!mounts.empty())
            if (const auto mount = mounts.find(e.name()); mount != mounts.end()) {
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
    std::vector<std::string_view> names;
    names.reserve(entries.size());
    for (const auto& e : entries) names.push_back(e.name());
    NameKeys keys;
    const auto places = keys.place(names);
    std::vector<SortKey> sortKeys;
    sortKeys.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) sortKeys.push_back(sortKey(entries[i], places[i].rank));
    std::vector<Entry> out;
    out.reserve(entries.size());
    for (const uint32_t i : orderOf(sortKeys)) out.push_back(std::move(entries[i]));
    return out;
}

// ---- loading -----------------------------------------------------------------

std::shared_ptr<AnalyzeModel::Prepared> AnalyzeModel::prepare(const fs::path& folder, int token,
                                                              const SizeService& sizes, const SafetyGuard& gate) {
    auto prepared = std::make_shared<Prepared>();
    auto load = std::make_shared<Measuring>();
    prepared->load = load;
    load->token = token;
    load->within = ChildPath::within(folder);
    {
        struct ::stat own {};
        const bool known = ::stat(folder.c_str(), &own) == 0;
        auto children = Platform::FileOps::listIfReadable(folder);
        prepared->readable = children.has_value();
        if (!children) return prepared;
        // How a walk of the folder counts it, so the folder reads the same opened as it
        // did as a row.
        Counting& counting = prepared->counting;
        if (known) counting.bytes = static_cast<int64_t>(own.st_blocks) * 512;
        std::vector<std::string> folders;
        std::vector<size_t> folderRows;
        load->rows.reserve(children->size());
        for (auto& child : *children) {
            const mode_t type = child.status.st_mode;
            const int64_t blocks = static_cast<int64_t>(child.status.st_blocks) * 512;
            if (S_ISLNK(type)) {
                counting.bytes += blocks;
                ++counting.files;
                continue;
            }
            std::optional<TreeWalk::SharedFile> shared;
            Entry entry = *listedEntry(load->within, std::move(child.name), child.status, shared);
            // Where another volume is mounted, a kernel or network one is known at once,
            // so it never waits for a walk that would not measure it anyway.
            if (S_ISDIR(type) && known && child.status.st_dev != own.st_dev) {
                counting.mountPoints.emplace(entry.name(), blocks);
                const int fd = ::open(entry.id().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (fd >= 0) {
                    entry.sizeless = Platform::FileSystems::isPseudoOrRemote(fd);
                    ::close(fd);
                }
            }
            if (entry.size) {
                if (shared) load->share(entry.name(), true, std::make_shared<DiskIndex::SharedFiles>(1, *shared));
            } else {
                folders.push_back(entry.id());
                folderRows.push_back(load->rows.size());
            }
            load->rows.push_back({std::move(entry), {}});
        }
        children.reset();
        // What the size service knows already shows at once.
        const auto cachedInfos = sizes.cached(folders);
        for (size_t k = 0; k < folders.size(); ++k) {
            Entry& entry = load->rows[folderRows[k]].entry;
            const auto& info = cachedInfos[k];
            if (!info) continue;
            if (!entry.sizeless) {
                fill(entry, *info);
                load->share(entry.name(), false, info->shared);
            }
            if (!entry.isFolder) continue;
            if (auto slices = subSlicesOf(sizes, folders[k]); !slices.empty())
                load->subSlices[folders[k]] = std::move(slices);
        }
    }
    std::vector<std::string_view> names;
    names.reserve(load->rows.size());
    for (const auto& row : load->rows) names.push_back(row.entry.name());
    const auto places = load->keys.place(names);
    for (size_t i = 0; i < places.size(); ++i) load->rows[i].place = places[i];
    prepared->shown = load->published({}).value_or(std::vector<Entry>{});
    for (const auto& row : load->rows)
        if (row.entry.measuring()) prepared->unmeasured.push_back(row.entry.name());
    if (!load->rows.empty()) prepared->verdicts.reserve(load->rows.front().entry.url, load->rows.size());
    for (const auto& row : load->rows)
        prepared->verdicts.insert(row.entry.url, gate.check(row.entry.url.path()).isAllowed());
    // What was made along the way goes back to the system now, not with the next trim.
    Platform::Memory::giveBack();
    return prepared;
}

std::vector<AnalyzeModel::SubSlice> AnalyzeModel::subSlicesOf(const SizeService& sizes, const std::string& path) {
    std::vector<SubSlice> slices;
    const auto children = sizes.children(path);
    if (children.empty()) return slices;
    const auto within = ChildPath::within(path);
    for (const auto& [child, info] : children) {
        if (slices.size() == subSliceLimit) break;
        const std::string_view name = std::string_view(child).substr(std::min(child.size(), within->size()));
        slices.push_back({ChildPath(within, std::string(name)), info.size, info.files});
    }
    return slices;
}

std::vector<AnalyzeModel::SubSlice> AnalyzeModel::subSlicesOf(const std::string& path) const {
    return subSlicesOf(sizes_, path);
}

const SafetyGuard& AnalyzeModel::gate() {
    // One gate for every row: making one resolves the home and the cache folder.
    if (!gate_) gate_ = Preferences::shared().safetyGuard({});
    return *gate_;
}

void AnalyzeModel::load() {
    setFocus(std::nullopt);
    setSelection({});
    if (lastRemoval_) setLastRemoval(std::nullopt);
    emit generationChanged(++generation_);
    if (measuring_) releaseElsewhere(std::move(*std::exchange(measuring_, nullptr)));
    forgottenWhileListing_.clear();  // this listing comes after those changes
    const fs::path folder = path_.back();
    setListing(true);
    setSearched(true);
    if (mode_ == Mode::largeFiles) {
        setCounting({});
        setReadable(true);
        setEntries({});
        releaseElsewhere(std::exchange(removable_, {}).verdicts);
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
    const SizeService& sizes = sizes_;
    const SafetyGuard judge = gate();
    const int epoch = gateEpoch_;
    QFuture<std::shared_ptr<Prepared>> preparing =
        QtConcurrent::run([folder, token, &sizes, judge] { return prepare(folder, token, sizes, judge); });
    std::erase_if(working_, [](const QFuture<void>& f) { return f.isFinished(); });
    working_.emplace_back(preparing);
    const std::shared_ptr<Prepared> prepared = co_await preparing;
    QCoro::Task<> turn = nextTurn();  // a load never ends inside load()
    co_await turn;
    if (!self || generation_ != token) {
        releaseElsewhere(std::move(*prepared));
        co_return;
    }
    Prepared& ready = *prepared;
    const std::shared_ptr<Measuring> load = ready.load;
    setReadable(ready.readable);
    setCounting(std::move(ready.counting));
    if (epoch == gateEpoch_) releaseElsewhere(std::exchange(removable_.verdicts, std::move(ready.verdicts)));
    // Another folder's rows give way to these a slice at a time; a folder listed again
    // has its rows replaced at once.
    const bool again = !entries_.empty() && entries_.front().url.folderText() == *load->within;
    std::vector<Entry>& shown = ready.shown;
    if (again || shown.size() <= firstSlice) {
        setEntries(std::move(shown));
        setSubSlices(load->subSlices);
    } else {
        std::vector<Entry> first;
        first.reserve(shown.size());
        first.insert(first.end(), std::make_move_iterator(shown.begin()),
                     std::make_move_iterator(shown.begin() + ptrdiff_t(firstSlice)));
        releaseElsewhere(std::exchange(entries_, std::move(first)));
        removable_.counted = removable_.found = 0;
        entriesSet();
        setSubSlices(load->subSlices);
        for (size_t slice = firstSlice * 2; entries_.size() < shown.size(); slice *= 2) {
            QCoro::Task<> next = nextTurn();
            co_await next;
            if (!self || generation_ != token) {
                releaseElsewhere(std::move(ready));
                co_return;
            }
            const size_t from = entries_.size(), to = std::min(shown.size(), from + slice);
            entries_.insert(entries_.end(), std::make_move_iterator(shown.begin() + ptrdiff_t(from)),
                            std::make_move_iterator(shown.begin() + ptrdiff_t(to)));
            entriesSet();
        }
    }
    setListing(false);

    // The rest are measured by the service, at most its number of walks at once.
    measuring_ = load;
    load->waiting = ready.unmeasured.size();
    if (!ready.unmeasured.empty()) measureInto(load, ready.unmeasured);
    releaseElsewhere(std::move(ready));
    replayForgotten();
}

void AnalyzeModel::replayForgotten() {
    // In order; any that comes while one is looked at again waits for it.
    for (auto& paths : std::exchange(forgottenWhileListing_, {})) forgotten(std::move(paths));
}

void AnalyzeModel::measureInto(const std::shared_ptr<Measuring>& load, const std::vector<std::string>& names) {
    std::vector<std::pair<std::string, int>> asked;
    asked.reserve(names.size());
    for (const auto& name : names) asked.emplace_back(name, ++load->asked[name]);
    // A load that gives way is freed by the model, not by the last answer to reach it.
    auto ask = [self = QPointer(this), weak = std::weak_ptr<Measuring>(load), inbox = load->inbox,
                within = load->within, &sizes = sizes_, asked = std::move(asked)] {
        for (const auto& [name, ticket] : asked) {
            std::string path = *within + name;
            sizes.info(path, [self, weak, inbox, &sizes, path, name = name, ticket = ticket](DiskIndex::Info info) {
                // Any thread. What is measured reaches the window's thread in one hop for
                // all that came meanwhile, its sub-slices read here.
                if (inbox->put({name, ticket, info, subSlicesOf(sizes, path)})) hop(self, weak);
            });
        }
    };
    // Asking for many wakes the service's threads many times: done off the window's thread.
    if (names.size() < 256) return ask();
    std::erase_if(working_, [](const QFuture<void>& f) { return f.isFinished(); });
    working_.push_back(QtConcurrent::run(std::move(ask)));
}

void AnalyzeModel::hop(QPointer<AnalyzeModel> self, std::weak_ptr<Measuring> load) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self, load] {
            if (!self) return;
            if (const auto l = load.lock()) self->measured(*l);
        },
        Qt::QueuedConnection);
}

void AnalyzeModel::measured(Measuring& load) {
    std::vector<Measured> results = load.inbox->take();
    // A newer load began: the sizes still went into the service's cache.
    if (generation_ != load.token) {
        load.waiting -= results.size();
        return;
    }
    // In stretches the window can paint between: the rest goes back, ahead of what came.
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < results.size(); ++i) {
        if (generation_ != load.token) return;  // a view loaded anew
        Measured& r = results[i];
        --load.waiting;
        // Measured again when it changed meanwhile; gone when it was removed meanwhile,
        // which its publication finds.
        if (load.asked[r.name] == r.ticket) load.arrived[r.name] = {r.info, std::move(r.subSlices)};
        if (load.waiting == 0 || Platform::monotonicSeconds() - load.lastPublished > publishInterval) publish(load);
        if (i + 1 < results.size() && std::chrono::steady_clock::now() - start > kMeasuredStretch) {
            results.erase(results.begin(), results.begin() + ptrdiff_t(i + 1));
            if (load.inbox->putBack(std::move(results))) hop(this, measuring_);
            return;
        }
    }
}

void AnalyzeModel::publish(Measuring& load) {
    load.settle();
    load.lastPublished = Platform::monotonicSeconds();
    if (auto rows = load.published(entries_)) setEntries(std::move(*rows));
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
    for (const auto& [path, bytes] : found.files) entries.push_back({ChildPath(path), bytes, 1, false});
    setEntries(std::move(entries));
    setSearched(found.searched);
    setReadable(found.readable);
    setListing(false);
    replayForgotten();
}

void AnalyzeModel::forgotten(Paths paths) {
    if (listing_) {
        forgottenWhileListing_.push_back(std::move(paths));
        return;
    }
    const fs::path& shown = path_.back();
    const auto holds = [&](const std::string& p) { return SafetyGuard::isInside(shown.native(), p); };
    if (std::any_of(paths->begin(), paths->end(), holds)) {
        // The folder shown changed as a whole: listed afresh, or the nearest one left.
        auto crumbs = path_;
        std::error_code ec;
        while (crumbs.size() > 1 && !fs::is_directory(crumbs.back(), ec)) crumbs.pop_back();
        setPath(std::move(crumbs));
        load();
        return;
    }
    const auto touches = [&](const std::string& p) { return childOnTheWay(shown.native(), p).has_value(); };
    if (std::none_of(paths->begin(), paths->end(), touches)) return;
    if (mode_ == Mode::largeFiles) return forgottenLargeFiles(*paths);
    if (!measuring_ || measuring_->token != generation_) return;
    // A child gone is dropped; one changed is measured again; one made anew is listed.
    Measuring& load = *measuring_;
    auto looked = sharedReleasedElsewhere(Looked{});
    looked->paths = std::move(paths);
    looked->shown = shown.native();
    looked->within = load.within;
    if (looked->paths->size() < kLookedAtOnce) {
        looked->look(load.rows.size(), [&](size_t r) -> std::string_view { return load.rows[r].entry.name(); });
        lookedAgain(load, *looked);
        return;
    }
    // Many are looked at off the window's thread, the folder being listed meanwhile:
    // what changes meanwhile waits for it.
    looked->rowNames.reserve(load.rows.size());
    for (const auto& row : load.rows) looked->rowNames.push_back(row.entry.name());
    setListing(true);
    lookAgain(generation_, std::move(looked));
}

QCoro::Task<> AnalyzeModel::lookAgain(int token, std::shared_ptr<Looked> looked) {
    QPointer<AnalyzeModel> self(this);
    QFuture<void> looking = QtConcurrent::run([looked] {
        looked->look(looked->rowNames.size(), [&](size_t r) -> std::string_view { return looked->rowNames[r]; });
        looked->rowNames = {};
        Platform::Memory::giveBack();
    });
    co_await looking;
    if (!self || generation_ != token || !measuring_ || measuring_->token != token) co_return;
    lookedAgain(*measuring_, *looked);
    looked.reset();
    setListing(false);
    replayForgotten();
}

void AnalyzeModel::lookedAgain(Measuring& load, Looked& looked) {
    if (looked.names.empty()) return;
    load.settle();  // what was measured before the change
    std::vector<char> isGone(looked.names.size(), 0);
    std::vector<std::string> again;
    bool anyGone = false;
    // What the child named is now (none: gone); its entry stays in `looked`.
    const auto now = [&](size_t i) {
        const std::string& name = looked.names[i];
        if (!load.subSlices.empty()) load.subSlices.erase(load.pathOf(name));
        Looked::Now& n = looked.now[i];
        if (n.file || !load.shared.empty())
            load.share(name, true, n.file ? std::make_shared<DiskIndex::SharedFiles>(1, *n.file) : nullptr);
        isGone[i] = !n.entry;
        anyGone = anyGone || !n.entry;
        if (n.entry && n.entry->measuring()) again.push_back(name);
        return n.entry ? &*n.entry : nullptr;
    };
    // One pass over the rows, dropping those gone.
    size_t kept = 0;
    std::vector<Measuring::Row> gone;
    gone.reserve(size_t(std::count_if(looked.now.begin(), looked.now.end(), [](const auto& n) { return !n.entry; })));
    for (size_t i = 0; i < load.rows.size(); ++i) {
        Measuring::Row& row = load.rows[i];
        if (const int32_t k = looked.nameOfRow[i]; k >= 0) {
            Entry* entry = now(size_t(k));
            if (!entry) {
                gone.push_back(std::move(row));
                continue;
            }
            if (!(row.entry == *entry)) row.entry = std::move(*entry);
        }
        if (kept != i) load.rows[kept] = std::move(row);
        ++kept;
    }
    if (kept != load.rows.size()) load.reordered();
    load.rows.erase(load.rows.begin() + static_cast<ptrdiff_t>(kept), load.rows.end());
    releaseElsewhere(std::move(gone));
    load.compact();
    // The children not met are new.
    const size_t from = load.rows.size();
    std::vector<std::string> keys;
    for (size_t i = 0; i < looked.names.size(); ++i) {
        if (looked.met[i]) continue;
        if (Entry* entry = now(i)) {
            load.rows.push_back({std::move(*entry), {}});
            std::string& key = looked.now[i].key;
            keys.push_back(key.empty() ? Text::standardSortKey(looked.names[i]) : std::move(key));
        }
    }
    if (load.rows.size() > from) load.placeFrom(from, keys);
    publish(load);
    if (anyGone && !selection_.empty()) {
        Selection kept;
        selection_.forEach([&](std::string_view folder, const std::string& name) {
            const auto i = looked.placeOf(folder, name);
            if (!i || !isGone[*i]) kept.insertIn(folder, name);
        });
        setSelection(std::move(kept));
    }
    std::sort(again.begin(), again.end());  // asked for in the order of their paths
    load.waiting += again.size();
    measureInto(measuring_, again);
}

void AnalyzeModel::forgottenLargeFiles(const std::vector<std::string>& paths) {
    const fs::path& shown = path_.back();
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
        const std::string id = e.id();
        struct ::stat st {};
        if (!holdsFile(id) || ::lstat(id.c_str(), &st) == 0) {
            left.push_back(e);
            listed.insert(id);
        } else {
            selection.erase(e.url);
        }
    }
    for (const auto& p : paths) {
        struct ::stat st {};
        if (!childOnTheWay(shown.native(), p) || ::lstat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        const int64_t bytes = static_cast<int64_t>(st.st_blocks) * 512;
        if (bytes >= largeFileMinimum && listed.insert(p).second) left.push_back({ChildPath(p), bytes, 1, false});
    }
    setEntries(largestFirst(std::move(left)));
    setSelection(std::move(selection));
}

// ---- navigation --------------------------------------------------------------

void AnalyzeModel::open(const Entry& entry) {
    // A row of the folder shown before (clicked while a new listing loads) opens nothing.
    if (!entry.isFolder || mode_ != Mode::folders || !entry.url.isIn(path_.back())) return;
    auto next = path_;
    next.push_back(entry.url.path());
    setPath(std::move(next));
    load();
}

void AnalyzeModel::open(const SubSlice& slice) {
    const fs::path url = slice.url.path(), parent = parentOf(url);
    if (mode_ != Mode::folders || parentOf(parent) != path_.back()) return;
    auto next = path_;
    next.push_back(parent);
    next.push_back(url);
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
    if (const bool* known = removable_.verdicts.find(entry.url)) return *known;
    const bool allowed = gate().check(entry.url.path()).isAllowed();
    removable_.verdicts.insert(entry.url, allowed);
    return allowed;
}

size_t AnalyzeModel::removableCount() {
    // Counted on from where it was: slices of a listing only add rows.
    for (; removable_.counted < entries_.size(); ++removable_.counted)
        removable_.found += canRemove(entries_[removable_.counted]) ? 1 : 0;
    return removable_.found;
}

void AnalyzeModel::toggleSelection(const Entry& entry) {
    if (!canRemove(entry)) return;
    Selection next = selection_;
    if (!next.erase(entry.url)) next.insert(entry.url);
    setSelection(std::move(next));
}

std::vector<AnalyzeModel::Entry> AnalyzeModel::selectedEntries() const {
    std::vector<Entry> chosen;
    if (selection_.empty()) return chosen;
    for (const auto& e : entries_)
        if (selection_.contains(e.url)) chosen.push_back(e);
    return chosen;
}

int64_t AnalyzeModel::selectedSize() const {
    int64_t sum = 0;
    if (selection_.empty()) return sum;
    for (const auto& e : entries_)
        if (selection_.contains(e.url)) sum += e.size.value_or(0);
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
    std::vector<int64_t> sizes;
    sizes.reserve(entries.size());
    for (const auto& e : entries) {
        int64_t size = e.size.value_or(0);
        if (e.measuring()) {
            QFuture<DiskIndex::Info> measured = measure(e.id());
            size = (co_await measured).size;
            if (!self) co_return;
        }
        sizes.push_back(size);
    }

    const Preferences& prefs = Preferences::shared();
    const SafetyGuard safety = prefs.safetyGuard({});
    const bool dryRun = prefs.dryRun(), alwaysTrash = prefs.alwaysTrash();
    SizeService& service = sizes_;
    // The findings are made, removed and let go off the window's thread: a removal of
    // many files names many paths.
    using Chosen = std::pair<std::vector<Entry>, std::vector<int64_t>>;
    auto chosen = std::make_shared<Chosen>(std::move(entries), std::move(sizes));
    QFuture<std::shared_ptr<CleanReport>> removal = QtConcurrent::run([chosen, safety, dryRun, alwaysTrash, &service] {
        std::vector<CleanItem> items;
        items.reserve(chosen->first.size());
        for (size_t i = 0; i < chosen->first.size(); ++i)
            items.push_back({chosen->first[i].url.path(), chosen->second[i], CleanCategory::userCaches, Risk::review,
                             "", false, false, std::nullopt});
        *chosen = {};
        auto report =
            std::make_shared<CleanReport>(Cleaner().clean(items, kAction, safety, dryRun, alwaysTrash, nullptr));
        items = {};
        // What it touched is looked at again, here as after a change made anywhere else.
        service.forget(report->touched());
        Platform::Memory::giveBack();
        return report;
    });
    const std::shared_ptr<CleanReport> report = co_await removal;
    if (!self) co_return;
    setRemoving(false);
    setLastRemoval(std::move(*report));
}
