#pragma once
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "Core/Clean/CleanTypes.h"
#include "Core/Clean/SafetyGuard.h"

// The remover: made new for each run and used by one worker.
class Cleaner {
public:
    // Called from the worker, in item order; the caller hands it to the main thread.
    using Progress = std::function<void(double)>;

    CleanReport clean(const std::vector<CleanItem>& items, const std::string& action,
                      const SafetyGuard& safety, bool dryRun, bool alwaysTrash,
                      const Progress& progress);
    // The same over findings held elsewhere, which must outlive the call.
    CleanReport clean(const std::vector<const CleanItem*>& items, const std::string& action,
                      const SafetyGuard& safety, bool dryRun, bool alwaysTrash,
                      const Progress& progress);

    struct TrashEmptied {
        int64_t freed = 0;  // bytes of the entries deleted
        int64_t left = 0;   // entries that could not be deleted and stay in the Trash
        std::filesystem::path folder;             // the Trash's folder of entries emptied
        std::vector<std::filesystem::path> kept;  // those of its entries left there
        bool operator==(const TrashEmptied&) const = default;
    };
    // Deletes everything in the user's Trash.
    static TrashEmptied emptyTrash();

    // Whether a real run moves this finding to the Trash rather than deleting it
    // (administrator findings are always deleted). Screens that talk about the
    // Trash ask this too.
    static bool goesToTrash(const CleanItem& item, bool alwaysTrash);

    // Categories deleted outright rather than trashed.
    static const std::set<CleanCategory>& direct();

private:
    void cleanWithAdmin(const std::vector<const CleanItem*>& items, const SafetyGuard& safety, bool dryRun,
                        CleanReport& report);
};
