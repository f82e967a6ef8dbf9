#include "Views/Analyze/PathText.h"

#include <QCoreApplication>

#include "Models/Kit/QtBridge.h"

QString PathText::folderName(const std::filesystem::path& folder) {
    if (folder == "/") return QCoreApplication::translate("AnalyzeView", "Whole disk");
    return pathToQString(folder.filename());
}

QString PathText::tilde(const std::filesystem::path& path, const std::filesystem::path& home) {
    const std::string& p = path.native();
    std::string h = home.native();
    while (h.size() > 1 && h.back() == '/') h.pop_back();
    if (h.size() > 1 && p.compare(0, h.size(), h) == 0 && (p.size() == h.size() || p[h.size()] == '/'))
        return QStringLiteral("~") + pathToQString(p.substr(h.size()));
    return pathToQString(path);
}
