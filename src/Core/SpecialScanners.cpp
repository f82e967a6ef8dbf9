#include "Core/SpecialScanners.h"

const std::vector<std::filesystem::path>& SpecialScanners::systemRoots() {
    static const std::vector<std::filesystem::path> roots = {
        "/Library/Caches", "/Library/Logs/DiagnosticReports", "/private/var/log"};
    return roots;
}
