#pragma once
#include <QCoroTask>
#include <QFuture>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "Core/Clean/CleanTypes.h"
#include "Core/Clean/SafetyGuard.h"
#include "Core/Disk/SizeService.h"
#include "Models/Analyze/AnalyzeFocus.h"
#include "Models/Analyze/ChildPath.h"
#include "Models/Analyze/PathSet.h"

// The state behind the Analyze tab: the breadcrumb of the folder shown, its children
// with their sizes as they become known, the largest subfolders of each child, the
// highlighted item, the selection and the last removal. A listing is published with
// the sizes already known; the others are measured by the size service and published
// in batches at most every 0.25 s. A newer load supersedes an older one, whose late
// results are dropped. What a change on disk made here or elsewhere touched is measured
// again as soon as the size service forgets it. Paths stay the exact bytes they are on
// disk. Main thread only.
class AnalyzeModel : public QObject {
    Q_OBJECT

public:
    struct Entry {
        // Kept as the folder shown and the child's name, the folder shared by its rows.
        ChildPath url;
        // Allocated bytes; none until measured. The rows add up to the folder: a file of
        // several names in several rows is in the first of them alone, the folder's own
        // files before its folders, each by name (as a walk of the folder counts it).
        std::optional<int64_t> size;
        std::optional<int64_t> files;  // none until measured; 1 for a file (0 counted elsewhere)
        bool isFolder = false;         // a folder that can be opened (not a package)
        // On a pseudo or network file system: never measured, shown without a size and
        // left out of the shares.
        bool sizeless = false;
        // A folder that could not be opened: its size is unknown, never 0.
        bool unreadable = false;
        std::string id() const { return url.string(); }
        const std::string& name() const { return url.name(); }
        bool measuring() const { return !size && !sizeless && !unreadable; }
        bool operator==(const Entry&) const = default;
    };
    struct SubSlice {
        ChildPath url;
        int64_t size = 0;
        int64_t files = 0;
        std::string id() const { return url.string(); }
        bool operator==(const SubSlice&) const = default;
    };
    enum class Mode { folders, largeFiles };
    // A child folder's largest subfolders, keyed by the child's path.
    using SubSlices = std::map<std::string, std::vector<SubSlice>>;
    // Chosen entries by the exact bytes of their paths.
    using Selection = PathSet;

    // Unmeasured entries sort as if just under this size.
    static constexpr int64_t unmeasuredRank = 104857600;
    // The large-file mode lists files of 500 MiB and more, the 200 largest.
    static constexpr int64_t largeFileMinimum = 524288000;
    static constexpr size_t largeFileLimit = 200;
    static constexpr size_t subSliceLimit = 24;
    static constexpr double publishInterval = 0.25;
    // A listing of another folder is published this many rows first, then twice as many
    // each turn of the event loop, so the window paints while the rows arrive.
    static constexpr size_t firstSlice = 4096;

    // Measures through the process's one size service.
    explicit AnalyzeModel(QObject* parent = nullptr);
    AnalyzeModel(SizeService& sizes, QObject* parent = nullptr);
    ~AnalyzeModel() override;

    // From the disk root to the folder shown; never empty.
    const std::vector<std::filesystem::path>& path() const { return path_; }
    const std::vector<Entry>& entries() const { return entries_; }
    bool listing() const { return listing_; }
    // False while the large files shown come from no search: the folder lies on a
    // pseudo or network file system, or could not be read.
    bool searched() const { return searched_; }
    // False when the folder shown could not be opened (listed or searched): nothing in
    // it is known. Follows the publication of what is listed.
    bool readable() const { return readable_; }
    const SubSlices& subSlices() const { return subSlices_; }
    const std::optional<AnalyzeFocus>& focus() const { return focus_; }
    void setFocus(std::optional<AnalyzeFocus> value);
    const Selection& selection() const { return selection_; }
    void setSelection(Selection value);
    const std::optional<CleanReport>& lastRemoval() const { return lastRemoval_; }
    void setLastRemoval(std::optional<CleanReport> value);  // notifies on every write
    bool removing() const { return removing_; }
    Mode mode() const { return mode_; }
    void setMode(Mode value);  // a change loads
    int generation() const { return generation_; }
    SizeService& sizes() const { return sizes_; }
    // The home folder as the analyzer uses it: links resolved.
    const std::filesystem::path& home() const { return home_; }

    // Entries still being measured.
    int64_t pending() const { return pending_; }
    // The sums of the entries' sizes and files: what their shares are of.
    int64_t total() const;
    int64_t totalFiles() const;
    // What the folder shown takes, as its row in the folder above reads: its entries,
    // its own blocks and its links, which are counted but not listed, and a folder with
    // another volume mounted on it by its own blocks. None while it cannot be read. In
    // large-file mode, the files found.
    std::optional<int64_t> folderSize() const;
    std::optional<int64_t> folderFiles() const;
    // The links in the folder shown: counted in its files, never listed.
    int64_t unlistedFiles() const { return counting_.files; }

    // Lists the folder shown, in the current mode, from the start.
    void load();
    // Forgets every measured size and loads again ("Measure again").
    void rescan();

    void open(const Entry& entry);     // a folder entry of the folder shown
    void open(const SubSlice& slice);  // two levels down, through its parent
    void goBack();
    void go(int index);  // to a crumb; the one shown and any outside the crumbs do nothing
    void navigate(const std::filesystem::path& url);

    // Whether the safety gate lets the entry be removed; asked once per path until the
    // protected paths change. A listing asks it of every row off the window's thread, and
    // what it answered is kept while those rows are listed.
    bool canRemove(const Entry& entry);
    void toggleSelection(const Entry& entry);
    std::vector<Entry> selectedEntries() const;
    int64_t selectedSize() const;  // unmeasured entries count 0
    // The entries that may be removed ("Select all" chooses them).
    size_t removableCount();

    // Move to the Trash through the remover; ignored while a removal runs.
    void trash(const Entry& entry);
    void trashSelected();

    // The order of the list: larger first, unmeasured as if just under 100 MiB, sizeless
    // last, ties by name in the user's locale, numbers by value.
    static std::vector<Entry> sorted(std::vector<Entry> entries);

signals:
    void pathChanged();
    void entriesChanged();  // also when the folder's totals change
    void listingChanged(bool value);
    void searchedChanged(bool value);
    void readableChanged(bool value);
    void subSlicesChanged();
    void focusChanged();
    void selectionChanged();
    void lastRemovalChanged();
    void removingChanged(bool value);
    void modeChanged(Mode value);
    void generationChanged(int value);
    // listing or pending may have changed.
    void busyChanged();

private:
    // How a walk of the folder counts it where its list reads otherwise: its own
    // blocks and its links count though nothing lists them; a folder with another
    // volume mounted on it counts its own blocks alone, whatever its own row reads.
    struct Counting {
        int64_t bytes = 0, files = 0;                // the folder's own blocks and its links
        std::map<std::string, int64_t> mountPoints;  // by name: its own blocks
        bool operator==(const Counting&) const = default;
    };
    struct Measuring;
    // A size measured for a row, with the row's sub-slices.
    struct Measured {
        std::string name;
        int ticket = 0;
        DiskIndex::Info info;
        std::vector<SubSlice> subSlices;
    };
    struct Inbox;
    struct Prepared;
    struct Looked;
    using Verdicts = PathMap<bool>;

    // The folder listed, its sizes known, sorted and judged, off the window's thread.
    static std::shared_ptr<Prepared> prepare(const std::filesystem::path& folder, int token, const SizeService& sizes,
                                             const SafetyGuard& gate);
    std::vector<SubSlice> subSlicesOf(const std::string& path) const;
    static std::vector<SubSlice> subSlicesOf(const SizeService& sizes, const std::string& path);
    QCoro::Task<> loadFolders(int token, std::filesystem::path folder);
    QCoro::Task<> loadLargeFiles(int token, std::filesystem::path folder);
    // Asks the size service for the named rows; their sizes go into the load's working copies.
    void measureInto(const std::shared_ptr<Measuring>& load, const std::vector<std::string>& names);
    static void hop(QPointer<AnalyzeModel> self, std::weak_ptr<Measuring> load);
    void measured(Measuring& load);  // takes what came
    // The size service forgot these after a change on disk, made here or elsewhere: what
    // the folder shown holds of them is looked at again.
    using Paths = std::shared_ptr<const std::vector<std::string>>;
    void forgotten(Paths paths);
    void forgottenLargeFiles(const std::vector<std::string>& paths);
    // Many rows are looked at again off the window's thread, the folder listing meanwhile.
    QCoro::Task<> lookAgain(int token, std::shared_ptr<Looked> looked);
    void lookedAgain(Measuring& load, Looked& looked);
    void replayForgotten();
    void publish(Measuring& load);
    QCoro::Task<> remove(std::vector<Entry> entries);
    QFuture<DiskIndex::Info> measure(const std::string& path);
    const SafetyGuard& gate();

    void setPath(std::vector<std::filesystem::path> value);
    void setEntries(std::vector<Entry> value);
    void entriesSet();  // entries_ changed in place
    void setListing(bool value);
    void setSearched(bool value);
    void setReadable(bool value);
    void setCounting(Counting value);
    // The folder's totals as a walk of it counts them.
    std::pair<int64_t, int64_t> walkedTotals() const;
    void setSubSlices(SubSlices value);
    void setRemoving(bool value);

    SizeService& sizes_;
    std::filesystem::path home_;
    std::vector<std::filesystem::path> path_;
    std::vector<Entry> entries_;
    int64_t pending_ = 0;
    bool listing_ = false;
    bool searched_ = true;
    bool readable_ = true;
    Counting counting_;
    SubSlices subSlices_;
    std::optional<AnalyzeFocus> focus_;
    Selection selection_;
    std::optional<CleanReport> lastRemoval_;
    bool removing_ = false;
    struct Removable {
        Verdicts verdicts;
        size_t counted = 0, found = 0;  // of the first `counted` entries, `found` may be removed
    } removable_;
    std::optional<SafetyGuard> gate_;  // what the verdicts were asked of
    int gateEpoch_ = 0;                // moves on with the protected paths
    Mode mode_ = Mode::folders;
    int generation_ = 0;
    std::shared_ptr<Measuring> measuring_;  // the current load's working copies
    std::vector<QFuture<void>> working_;  // listings and requests under way, which read the size service
    // Forgotten while a listing was under way, which may have been read before the change.
    std::vector<Paths> forgottenWhileListing_;
    int listener_ = -1;
};

QString rawValue(AnalyzeModel::Mode mode);
