#pragma once
#include <QCoroTask>
#include <QObject>

#include <cstdint>

#include "Core/Clean/CleanTypes.h"

class CleanListModel;

// The one-click clean of the menu-bar panel, over the Clean tab's junk list: it
// narrows the list's selection to what can go without a second thought and cleans
// exactly that through the list, so the remover, the animation, the report, the
// sound and the history entry are the list's own. Main thread only.
class QuickClean : public QObject {
    Q_OBJECT
public:
    struct Phase {
        enum class Kind { idle, scanning, nothing, ready, cleaning, done };
        Kind kind = Kind::idle;
        int count = 0;       // ready: the findings selected
        int64_t bytes = 0;   // ready: their size; done: the bytes freed (or that would go)
        bool dryRun = false;  // done: the run was a preview

        static Phase idle() { return {}; }
        static Phase scanning() { return {Kind::scanning}; }
        static Phase nothing() { return {Kind::nothing}; }
        static Phase ready(int count, int64_t bytes) { return {Kind::ready, count, bytes}; }
        static Phase cleaning() { return {Kind::cleaning}; }
        static Phase done(int64_t freed, bool dryRun) { return {Kind::done, 0, freed, dryRun}; }
        bool operator==(const Phase&) const = default;
    };

    using QObject::QObject;

    // Safe, moved to the Trash rather than deleted, and needing no administrator rights.
    static bool qualifies(const CleanItem& item);

    const Phase& phase() const { return phase_; }
    // Notifies only on a change; idle dismisses a result or cancels a ready clean.
    void setPhase(Phase value);

    // Scans the list and selects exactly the qualifying findings. Ignored while the
    // list scans or cleans.
    QCoro::Task<> scan(CleanListModel& list);
    // Cleans the qualifying findings on the list now. Only from ready, and only while
    // the list is idle.
    QCoro::Task<> clean(CleanListModel& list);

signals:
    void phaseChanged();

private:
    Phase phase_;
};
