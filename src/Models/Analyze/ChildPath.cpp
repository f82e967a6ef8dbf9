#include "Models/Analyze/ChildPath.h"

ChildPath::ChildPath(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string_view::npos) {
        name_ = path;
        return;
    }
    within_ = std::make_shared<const std::string>(path.substr(0, slash + 1));
    name_ = path.substr(slash + 1);
}

std::shared_ptr<const std::string> ChildPath::within(const std::filesystem::path& folder) {
    const std::string& s = folder.native();
    return std::make_shared<const std::string>(!s.empty() && s.back() == '/' ? s : s + '/');
}

std::string ChildPath::string() const {
    std::string out;
    out.reserve(folderText().size() + name_.size());
    out.append(folderText()).append(name_);
    return out;
}

bool ChildPath::is(std::string_view path) const {
    const std::string_view folder = folderText();
    return path.size() == folder.size() + name_.size() && path.substr(0, folder.size()) == folder &&
           path.substr(folder.size()) == name_;
}

bool ChildPath::isIn(const std::filesystem::path& folder) const {
    const std::string_view mine = folderText(), theirs = folder.native();
    if (mine.empty()) return false;
    // "/a/" lies in "/a" (and in "/a/"); "/" is the root's own.
    if (mine.size() == 1) return theirs == "/";
    return theirs == mine || theirs == mine.substr(0, mine.size() - 1);
}
