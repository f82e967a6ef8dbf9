#pragma once
#include <QCoroTask>

#include <vector>

#include "Core/Clean/CleanTypes.h"

class CleanListModel;

// The scan closures of the Clean tab's four lists. Each reads the home folder and
// the settings on the main thread when the scan starts, so a changed setting
// applies to the next scan, and runs the scanner on a worker thread.
namespace CleanFinders {
// The catalog and the special scanners over the thirteen junk categories.
QCoro::Task<std::vector<CleanItem>> junk(CleanListModel& list);
// Old sessions, caches, superseded versions and models of AI tools.
QCoro::Task<std::vector<CleanItem>> ai(CleanListModel& list);
// Rebuildable folders in the configured and discovered project roots.
QCoro::Task<std::vector<CleanItem>> projects(CleanListModel& list);
// Installers left in Downloads, Desktop and Documents.
QCoro::Task<std::vector<CleanItem>> installers(CleanListModel& list);
}  // namespace CleanFinders
