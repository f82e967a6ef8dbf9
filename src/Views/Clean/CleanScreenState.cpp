#include "Views/Clean/CleanScreenState.h"

#include <QCoreApplication>

#include <algorithm>
#include <bitset>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "Core/Clean/Cleaner.h"
#include "Models/Kit/QtBridge.h"
#include "Models/Kit/Localization.h"

namespace fs = std::filesystem;

namespace {
QString tr(const char* text) { return QCoreApplication::translate("CleanScreen", text); }
QString bytes(int64_t n) { return toQString(formattedBytes(n)); }

// The bytes of this clean's findings still in the Trash once it was emptied (all of them
// until then); none when no finding waits there.
std::optional<int64_t> stillInTrash(const CleanReport& r, const std::optional<Cleaner::TrashEmptied>& emptied) {
    if (r.trashed < 1 || r.inTrash.empty()) return std::nullopt;
    if (!emptied) return r.trashed;
    // A run can have moved tens of thousands: looked up, never searched.
    std::unordered_map<std::string_view, int64_t> sizes;
    for (const CleanItem& i : r.removed) sizes.emplace(i.url.native(), i.size);
    std::unordered_set<std::string_view> kept;
    for (const auto& entry : emptied->kept) kept.insert(entry.native());
    const std::string& folder = emptied->folder.native();
    const auto inFolder = [&](const PathBytes& to) {
        const std::string& p = to.native();
        const bool plainly = p.size() > folder.size() + 1 && p.compare(0, folder.size(), folder) == 0 &&
                             p[folder.size()] == '/' && p.find('/', folder.size() + 1) == std::string::npos;
        return plainly || to.parent_path() == emptied->folder;
    };
    std::optional<int64_t> waiting;
    for (const auto& moved : r.inTrash)
        // Another volume's Trash is not emptied here.
        if (!inFolder(moved.to) || kept.count(moved.to.native())) {
            const auto size = sizes.find(moved.from.native());
            waiting = waiting.value_or(0) + (size == sizes.end() ? 0 : size->second);
        }
    return waiting;
}

// Whether every finding `each` visits goes to the Trash, and it visits one at least.
template <class Each>
bool everyOneToTrash(Each each, bool alwaysTrash, bool dryRun) {
    // A preview touches nothing, so nothing goes to the Trash either.
    if (dryRun) return false;
    bool any = false, all = true;
    each([&](const CleanItem& i) {
        any = true;
        all = all && Cleaner::goesToTrash(i, alwaysTrash);
    });
    return any && all;
}
}  // namespace

bool CleanScreenState::allGoToTrash(const std::vector<CleanItem>& run, bool alwaysTrash, bool dryRun) {
    return everyOneToTrash([&](auto visit) { std::for_each(run.begin(), run.end(), visit); }, alwaysTrash, dryRun);
}

bool CleanScreenState::allGoToTrash(const CleanListModel& list, bool alwaysTrash, bool dryRun) {
    return everyOneToTrash([&](auto visit) { list.forEachSelected(visit); }, alwaysTrash, dryRun);
}

CleanScreenState CleanScreenState::of(const CleanListModel& list, const Texts& texts, bool resealed, bool trashOnly,
                                      const std::optional<Cleaner::TrashEmptied>& emptied) {
    using Kind = CleanListModel::Phase::Kind;
    const auto& phase = list.phase();
    const bool found = !list.items().empty();
    CleanScreenState s;
    switch (phase.kind) {
    case Kind::scanning:
        s.spinning = true;
        s.title = tr("Scanning");
        s.subtitle = tr("Measuring caches, logs and leftovers");
        break;
    case Kind::cleaning:
        s.suction = true;
        s.open = 1;
        if (const SwallowFeed* feed = list.feed())
            s.title = tr("%1 to go").arg(bytes(std::max<int64_t>(feed->remaining(), 0)));
        else
            s.title = tr("Pulling it in…");
        s.subtitle = trashOnly ? tr("Crossing the event horizon — items go to the Trash") : tr("Crossing the event horizon");
        break;
    case Kind::done: {
        const CleanReport& r = phase.report;
        const auto removed = qlonglong(r.removed.size());
        if (r.dryRun) {
            s.title = tr("%1 would go").arg(bytes(r.freed));
            s.subtitle = tr("Preview mode is on — nothing was touched");
        } else {
            s.open = resealed ? 0 : 1;
            // What went from the Trash counts as freed; only what is still there waits.
            s.title = tr("%1 freed").arg(bytes(r.freed - r.trashed + (emptied ? emptied->freed : 0)));
            const auto waiting = stillInTrash(r, emptied);
            s.subtitle = waiting ? counted("%n items removed · %1 waiting in the Trash", removed).arg(bytes(*waiting))
                                 : counted("%n items removed for good", removed);
            s.emptyTrash = r.trashed >= 1;
        }
        s.review = found;
        s.scanAgain = true;
        break;
    }
    case Kind::idle:
        s.title = texts.idleTitle;
        s.subtitle = texts.idleSubtitle;
        s.scan = true;
        break;
    case Kind::ready:
        if (found) {
            int64_t total = 0;
            std::bitset<CleanCategories::allCases.size()> categories;
            for (const CleanItem& i : list.items()) {
                total += i.size;
                categories.set(static_cast<size_t>(i.category));
            }
            s.open = 0.5;
            s.title = tr("%1 found").arg(bytes(total));
            s.subtitle = tr("%1 in %2 · %3 preselected")
                             .arg(counted("%n items", qlonglong(list.items().size())),
                                  counted("%n categories", qlonglong(categories.count())),
                                  bytes(list.selectedTotals().size));
        } else {
            s.title = tr("All clear");
            s.subtitle = tr("Nothing worth removing right now");
        }
        s.review = found;
        s.scanAgain = true;
        break;
    }
    return s;
}
