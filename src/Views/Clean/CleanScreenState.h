#pragma once
#include <QString>

#include <optional>

#include "Models/Clean/CleanListModel.h"

// What the Clean screen shows for its list's phase: the hero's title, subtitle,
// iris and mood, and which buttons stand under it.
struct CleanScreenState {
    struct Texts {
        QString idleTitle, idleSubtitle;
    };

    QString title, subtitle;
    double open = 0;        // the iris
    bool spinning = false;  // scanning
    bool suction = false;   // cleaning
    bool scan = false, review = false, scanAgain = false, emptyTrash = false;

    // `resealed`: the iris has closed again after a clean. `trashOnly`: every finding
    // of the running clean goes to the Trash (the cleaning subtitle says so only then).
    // `emptied`: what emptying the Trash freed since the clean: freed too, and only what
    // of the clean it left there still waits.
    static CleanScreenState of(const CleanListModel& list, const Texts& texts, bool resealed, bool trashOnly,
                               const std::optional<Cleaner::TrashEmptied>& emptied = std::nullopt);

    // Whether a clean of these findings moves every one of them to the Trash.
    static bool allGoToTrash(const std::vector<CleanItem>& run, bool alwaysTrash, bool dryRun);
    // The same for the list's selected findings, without copying them.
    static bool allGoToTrash(const CleanListModel& list, bool alwaysTrash, bool dryRun);
};
