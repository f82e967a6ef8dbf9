#pragma once
#include <filesystem>
#include <optional>
#include <string>

// The root-only folder where the fan tool keeps its tokens and its lock. Every
// access is relative to the folder's descriptor and never follows a link.
class TokenFolder {
public:
    // Creates the folder (0700) when missing, then opens it; nothing, with the
    // reason, unless it is a real folder owned by root that no one else may use.
    static std::optional<TokenFolder> open(const std::filesystem::path& path, std::string& error);
    ~TokenFolder();
    TokenFolder(TokenFolder&& other) noexcept;
    TokenFolder(const TokenFolder&) = delete;
    TokenFolder& operator=(const TokenFolder&) = delete;
    TokenFolder& operator=(TokenFolder&& other) noexcept;

    // Waits for the one lock that every check-then-apply holds; released by
    // unlock() or when the process ends.
    bool lock();
    void unlock();

    // Replaces the file with one holding exactly `token`: written under a temporary
    // name, then renamed over it, so a reader sees the old token or the new one.
    // Call with the lock held.
    bool write(const std::string& name, const std::string& token, std::string& error);
    // The file's text; nothing when it is missing, not a plain file or unreadable.
    std::optional<std::string> read(const std::string& name) const;
    // Deletes the file when it still holds `token`. Call with the lock held.
    void removeIfOwn(const std::string& name, const std::string& token);

private:
    explicit TokenFolder(int fd) : fd_(fd) {}
    int fd_ = -1;
    int lockFd_ = -1;
};
