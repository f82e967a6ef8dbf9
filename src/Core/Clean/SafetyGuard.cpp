#include "Core/Clean/SafetyGuard.h"

#include <sys/stat.h>

#include "Platform/Locations.h"

namespace fs = std::filesystem;

namespace {
std::string expandTilde(const std::string& p, const std::string& home) {
    if (p == "~") return home;
    if (p.rfind("~/", 0) == 0) return home + p.substr(1);
    return p;
}
}  // namespace

SafetyGuard::SafetyGuard(fs::path home, std::vector<std::string> protectedPaths,
                         std::vector<fs::path> extraRoots)
    : home_(std::move(home)), protectedPaths_(std::move(protectedPaths)), extraRoots_(std::move(extraRoots)),
      homePath_(standardized(home_.string())) {
    // A path written through the unresolved home ($HOME) names the same place below the gate's home.
    const std::string envHome = standardized(Platform::Locations::home().string());
    auto rebased = [&](const std::string& p) {
        if (envHome != homePath_ && envHome != "/" && isInside(p, envHome))
            return homePath_ + p.substr(envHome.size());
        return p;
    };
    std::vector<fs::path> folders = {Platform::Locations::trash(), Platform::Locations::trashFiles(),
                                     Platform::Locations::trashInfo()};
    // Where there is no cache folder, no folder stands for it.
    if (auto caches = Platform::Locations::userCaches()) folders.push_back(std::move(*caches));
    for (const auto& f : folders) {
        const std::string t = standardized(f.string());
        platformFolders_.push_back(t);
        if (std::string r = rebased(t); r != t) platformFolders_.push_back(std::move(r));
    }
    for (const auto& r : extraRoots_) roots_.push_back(standardized(r.string()));
    // "~" means the gate's own (resolved) home, so that a home reached through a
    // link still protects what the user protected.
    for (const auto& entry : protectedPaths_)
        if (!entry.empty()) protected_.push_back(rebased(standardized(expandTilde(entry, homePath_))));
}

const std::vector<std::string>& SafetyGuard::neverRemove() { return Platform::Locations::keptWhole(); }
const std::vector<std::string>& SafetyGuard::neverInside() { return Platform::Locations::personalData(); }

bool SafetyGuard::isInside(const std::string& p, const std::string& f) {
    if (p == f) return true;
    if (f.empty()) return false;
    if (f.back() == '/') return p.rfind(f, 0) == 0;
    return p.size() > f.size() && p.compare(0, f.size(), f) == 0 && p[f.size()] == '/';
}

std::string SafetyGuard::standardized(const std::string& path) {
    if (path.empty()) return path;
    const bool absolute = path.front() == '/';
    std::vector<std::string> parts;
    size_t i = 0;
    while (i <= path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        std::string c = path.substr(i, j - i);
        if (c.empty() || c == ".") {
        } else if (c == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (!absolute)
                parts.push_back(c);
        } else {
            parts.push_back(std::move(c));
        }
        i = j + 1;
    }
    std::string out = absolute ? "/" : "";
    for (size_t k = 0; k < parts.size(); ++k) {
        if (k) out += '/';
        out += parts[k];
    }
    if (out.empty()) out = ".";
    return out;
}

bool SafetyGuard::hasSymlinkedAncestor(const std::string& item, const std::string& root) {
    std::string d = item;
    auto dropLast = [](std::string& s) {
        const auto slash = s.find_last_of('/');
        if (slash == std::string::npos) s.clear();
        else s.erase(slash == 0 ? 1 : slash);
    };
    dropLast(d);
    while (d.size() > root.size()) {
        struct stat st;
        if (::lstat(d.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return true;
        dropLast(d);
    }
    return false;
}

std::optional<std::string> SafetyGuard::rootOf(const std::string& p) const {
    // A home of "/" (a broken environment) would admit the whole disk: it is no root then.
    if (homePath_.size() > 1 && homePath_.front() == '/' && isInside(p, homePath_)) return homePath_;
    for (const auto& rp : roots_)
        if (isInside(p, rp)) return rp;
    return std::nullopt;
}

SafetyGuard::Verdict SafetyGuard::check(const fs::path& url) const {
    const std::string raw = url.string();
    // A lexical ".." would be gone after standardising, so judge the text as given.
    if (raw.empty() || raw.front() != '/' || raw.find("/../") != std::string::npos ||
        (raw.size() >= 3 && raw.compare(raw.size() - 3, 3, "/..") == 0))
        return Verdict::refuse("not an absolute file path");
    const std::string p = standardized(raw);

    const auto matched = rootOf(p);
    if (!matched) return Verdict::refuse("outside the folders Quelto cleans");
    const std::string& root = *matched;
    const bool rootIsHome = homePath_.size() > 1 && root == homePath_;

    if (hasSymlinkedAncestor(p, root)) return Verdict::refuse("reached through a symbolic link");

    if (!rootIsHome) {
        if (p == root) return Verdict::refuse("system folder");
    } else {
        std::string rel;
        if (p != homePath_) rel = p.substr(homePath_.size() + (homePath_.back() == '/' ? 0 : 1));
        for (const auto& e : neverRemove())
            if (rel == e) return Verdict::refuse("system folder");
        for (const auto& t : platformFolders_)
            if (p == t) return Verdict::refuse("system folder");
        for (const auto& e : neverInside())
            if (isInside(rel, e)) return Verdict::refuse("personal data");
    }

    for (const auto& e : protected_)
        if (isInside(p, e) || isInside(e, p)) return Verdict::refuse("protected in Settings");
    return Verdict::allow();
}
