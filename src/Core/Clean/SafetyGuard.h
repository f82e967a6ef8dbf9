#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The one gate every scanner, the remover and the analyzer ask before listing or
// removing a path. An immutable value; check() is safe from any thread.
class SafetyGuard {
public:
    struct Verdict {
        bool allowed = true;
        std::string reason;  // one of the six reason texts when refused

        static Verdict allow() { return {}; }
        static Verdict refuse(std::string why) { return {false, std::move(why)}; }
        bool isAllowed() const { return allowed; }
        bool operator==(const Verdict&) const = default;
    };

    SafetyGuard(std::filesystem::path home, std::vector<std::string> protectedPaths,
                std::vector<std::filesystem::path> extraRoots);

    Verdict check(const std::filesystem::path& url) const;
    // The root a path lies in (the home first, then the extra roots), standardized;
    // nothing when the path is in none. What acts on an allowed path reaches it from here.
    std::optional<std::string> rootOf(const std::string& standardizedPath) const;

    const std::filesystem::path& home() const { return home_; }
    const std::vector<std::string>& protectedPaths() const { return protectedPaths_; }
    const std::vector<std::filesystem::path>& extraRoots() const { return extraRoots_; }

    static const std::vector<std::string>& neverRemove();
    static const std::vector<std::string>& neverInside();

    // "Inside" as the gate means it: equal, or below at a "/" boundary.
    static bool isInside(const std::string& path, const std::string& folder);
    // Removes "." and ".." components lexically; never resolves links.
    static std::string standardized(const std::string& path);

private:
    static bool hasSymlinkedAncestor(const std::string& item, const std::string& root);

    std::filesystem::path home_;
    std::vector<std::string> protectedPaths_;
    std::vector<std::filesystem::path> extraRoots_;
    // Standardized once: the home, the extra roots and the protected entries.
    std::string homePath_;
    std::vector<std::string> roots_;
    std::vector<std::string> protected_;
    // The user's Trash, its two folders and the user cache folder: what ".Trash" and
    // "Library/Caches" stand for on this platform.
    std::vector<std::string> platformFolders_;
};
