#pragma once
#include <QCoroTask>
#include <QFuture>
#include <QObject>
#include <QPointer>
#include <QString>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "Core/Clean/CleanTypes.h"
#include "Core/Clean/Cleaner.h"
#include "Models/Clean/SwallowFeed.h"

// The model behind every cleaning list: the findings of the last scan, the
// selected ones, what the list is doing, whether the review sheet is up, and the
// swallow feed of the running or last clean. It asks its finder for findings,
// preselects the safe ones, and hands the selection to a new remover while the
// feed flies the findings into the black hole. Main thread only; busy phases are
// the only guard against overlapping runs. The sizes what it removes took are forgotten.
class CleanListModel : public QObject {
    Q_OBJECT

public:
    // Runs on the main thread, may suspend, and returns the findings. It is handed
    // the list, which it must not touch after suspending unless it checks it still lives.
    using Finder = std::function<QCoro::Task<std::vector<CleanItem>>(CleanListModel&)>;
    // Selected findings by the exact bytes of their paths (CleanItem::id()): two
    // names that are not text can never stand for each other. Hashed: every view asks
    // it about each of tens of thousands of findings.
    using Selection = std::unordered_set<std::string>;

    struct Phase {
        enum class Kind { scanning, cleaning, done, idle, ready };
        Kind kind = Kind::idle;
        QString text;         // scanning
        double fraction = 0;  // cleaning; stays 0, progress travels through the feed
        CleanReport report;   // done

        static Phase scanning(QString text) { return {Kind::scanning, std::move(text), 0, {}}; }
        static Phase cleaning(double fraction) { return {Kind::cleaning, {}, fraction, {}}; }
        static Phase done(CleanReport report) { return {Kind::done, {}, 0, std::move(report)}; }
        static Phase idle() { return {}; }
        static Phase ready() { return {Kind::ready, {}, 0, {}}; }
        bool isBusy() const { return kind == Kind::scanning || kind == Kind::cleaning; }
    };

    struct Group {
        CleanCategory category;
        std::vector<CleanItem> items;
    };
    // A group as where its findings stand in items().
    struct Rows {
        CleanCategory category;
        std::vector<size_t> rows;
    };
    struct Totals {
        size_t count = 0;
        int64_t size = 0;
    };

    CleanListModel(std::string action, Finder finder, QObject* parent = nullptr);

    // In the finder's order; removed findings are dropped after a real clean.
    const std::vector<CleanItem>& items() const { return *items_; }
    const Selection& selection() const { return selection_; }
    void setSelection(Selection value);
    const Phase& phase() const { return phase_; }
    bool isBusy() const { return phase_.isBusy(); }
    bool reviewing() const { return reviewing_; }
    void setReviewing(bool value);
    // The feed of the running or last clean; none before the first and after a scan starts.
    SwallowFeed* feed() const { return feed_; }
    // The word the remover writes to the cleaning history.
    const std::string& action() const { return action_; }
    // Folders the safety gate allows beyond the home folder.
    const std::vector<std::filesystem::path>& extraRoots() const { return extraRoots_; }
    void setExtraRoots(std::vector<std::filesystem::path> value);

    // Runs the finder and preselects the safe findings. Ignored while busy.
    QCoro::Task<> scan();
    // Removes the selected findings. Ignored while busy or with nothing selected.
    QCoro::Task<> clean();
    // Empties the user's Trash off the main thread; the sizes it held are forgotten.
    static QFuture<Cleaner::TrashEmptied> emptyTrash();
    // Deselects the paths if every one is selected, else selects them all.
    void toggle(const std::vector<std::string>& paths);

    // The findings whose paths are selected, in list order.
    std::vector<CleanItem> selectedItems() const;
    // The same without copying them: `visit` is called with each.
    template <class Visit>
    void forEachSelected(Visit visit) const {
        if (selection_.empty()) return;
        for (const CleanItem& item : *items_)
            if (isSelected(item)) visit(item);
    }
    bool isSelected(const CleanItem& item) const { return selection_.count(item.url.native()) > 0; }
    // How many findings are selected, and their bytes.
    Totals selectedTotals() const;
    // The findings by category, in the categories' order, without empty groups.
    std::vector<Group> grouped() const;
    // The same as positions in items().
    std::vector<Rows> groupedRows() const;

    // How strong the completion shockwave is for the bytes a clean freed: 0.12 up
    // to about 84 MB, 1.0 from about 20 GB, logarithmic between.
    static double whoompStrength(int64_t freed);

signals:
    void itemsChanged();
    void selectionChanged();
    void phaseChanged();
    void reviewingChanged(bool value);
    void feedChanged();
    void extraRootsChanged();

private:
    void setItems(std::vector<CleanItem> value);
    void setPhase(Phase value);
    void setFeed(SwallowFeed* value);

    // Shared with a running clean's worker, never changed in place.
    std::shared_ptr<const std::vector<CleanItem>> items_;
    Selection selection_;
    Phase phase_;
    bool reviewing_ = false;
    QPointer<SwallowFeed> feed_;
    const std::string action_;
    std::vector<std::filesystem::path> extraRoots_;
    const Finder finder_;
};
