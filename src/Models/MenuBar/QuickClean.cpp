#include "Models/MenuBar/QuickClean.h"

#include <QPointer>

#include "Models/Clean/CleanListModel.h"

using Kind = QuickClean::Phase::Kind;

namespace {
struct Qualifying {
    CleanListModel::Selection paths;
    int64_t bytes = 0;
};

// Selects the qualifying findings now on the list, and only those.
Qualifying selectQualifying(CleanListModel& list) {
    Qualifying q;
    for (const CleanItem& item : list.items()) {
        if (!QuickClean::qualifies(item)) continue;
        q.paths.insert(item.id());
        q.bytes += item.size;
    }
    list.setSelection(q.paths);
    return q;
}
}  // namespace

bool QuickClean::qualifies(const CleanItem& item) {
    return item.risk == Risk::safe && !item.permanent && !item.requiresAdmin && !item.adminCommand;
}

void QuickClean::setPhase(Phase value) {
    if (value == phase_) return;
    phase_ = value;
    emit phaseChanged();
}

QCoro::Task<> QuickClean::scan(CleanListModel& list) {
    if (list.isBusy()) co_return;
    setPhase(Phase::scanning());
    QPointer<QuickClean> self(this);
    QPointer<CleanListModel> listRef(&list);
    co_await list.scan();
    if (!self) co_return;
    if (!listRef) {
        self->setPhase(Phase::idle());
        co_return;
    }
    const Qualifying q = selectQualifying(list);
    self->setPhase(q.paths.empty() ? Phase::nothing() : Phase::ready(int(q.paths.size()), q.bytes));
}

QCoro::Task<> QuickClean::clean(CleanListModel& list) {
    if (phase_.kind != Kind::ready || list.isBusy()) co_return;
    // The list may have changed since the scan (a clean or a scan from the Clean tab).
    if (selectQualifying(list).paths.empty()) {
        // Cleaning nothing would leave the list's last report standing, which is not ours.
        setPhase(Phase::nothing());
        co_return;
    }
    setPhase(Phase::cleaning());
    QPointer<QuickClean> self(this);
    QPointer<CleanListModel> listRef(&list);
    // The run starts at once, before the first suspension: the list turns to
    // cleaning here only if this call started it.
    QCoro::Task<> run = list.clean();
    const bool started = list.phase().kind == CleanListModel::Phase::Kind::cleaning;
    co_await run;
    if (!self) co_return;
    if (started && listRef && listRef->phase().kind == CleanListModel::Phase::Kind::done) {
        const CleanReport& report = listRef->phase().report;
        self->setPhase(Phase::done(report.freed, report.dryRun));
    } else {
        self->setPhase(Phase::idle());
    }
}
