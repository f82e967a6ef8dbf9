#include "Core/Localized.h"
#include "Core/Clean/ScanSupport.h"
#include "Core/Clean/SpecialScanners.h"
#include "Platform/Clock.h"
#include "Platform/FileOps.h"

namespace fs = std::filesystem;
using ScanSupport::Clock;
using ScanSupport::Folder;

namespace {
constexpr int64_t minimumSize = 16384;
constexpr int64_t worktreeAgeSeconds = 2592000;

const char* const worktreeRoots[] = {".claude/worktrees", ".codex/worktrees"};

struct Location {
    const char* path;
    const char* note;
};
const Location cacheLocations[] = {
    {".claude/debug", "Claude Code debug logs"},
    {".claude/shell-snapshots", "Claude Code shell snapshots"},
    {".codex/log", "Codex logs"},
    {".codex/.tmp", "Codex temp files"},
    {".cache/codex-runtimes", "Codex runtimes; re-downloaded when needed"},
    {".gemini/tmp", "Gemini CLI temp files"},
};
const Location versionFolders[] = {
    {".local/share/claude/versions", "Claude Code"},
    {".local/share/cursor-agent/versions", "Cursor Agent"},
};
const Location modelRoots[] = {
    {".lmstudio/models", "LM Studio"},
    {".cache/lm-studio/models", "LM Studio"},
};
const char* const claudeProjects = ".claude/projects";
const char* const codexSessions = ".codex/sessions";
const char* const huggingFaceHub = ".cache/huggingface/hub";
const char* const ollamaModels = ".ollama/models";

struct Label {
    CleanCategory category;
    Risk risk;
    std::string note;
};
using Measuring = ScanSupport::Measuring<Label>;

// Existence, the gate, then the size: the walks of whole trees come last, all together.
void admit(Measuring& out, const fs::path& url, CleanCategory category, Risk risk, std::string note) {
    if (Platform::FileOps::exists(url)) out.add(url, minimumSize, {category, risk, std::move(note)});
}

// The last dash-separated piece of an encoded project path ("-Users-me-code-api" → "api").
std::string projectName(const std::string& folder) {
    const auto end = folder.find_last_not_of('-');
    if (end == std::string::npos) return folder;
    const auto dash = folder.rfind('-', end);
    const size_t start = dash == std::string::npos ? 0 : dash + 1;
    return folder.substr(start, end + 1 - start);
}

void newestBelow(Folder& folder, int level, int depth, Clock::time_point& newest) {
    while (const dirent* e = folder.next()) {
        if (ScanSupport::isHidden(e->d_name)) continue;
        const auto st = folder.status(e->d_name);
        if (!st) continue;
        newest = std::max(newest, Platform::FileOps::modificationTime(*st));
        if (level < depth && S_ISDIR(st->st_mode)) {
            Folder child(folder, e->d_name);
            newestBelow(child, level + 1, depth, newest);
        }
    }
}

// `visit(outer, folder, entry)` for every entry of every entry of `root`.
template <class Visit>
void eachSecondLevel(const fs::path& root, Visit visit) {
    Folder top(root);
    while (const dirent* o = top.next()) {
        const std::string outer = o->d_name;
        Folder folder(top, o->d_name);
        while (const dirent* e = folder.next()) visit(outer, folder, e);
    }
}

// Latest date of the folder and of its non-hidden entries down to `depth` levels.
Clock::time_point newestModification(const fs::path& folder, int depth) {
    Clock::time_point newest = Platform::FileOps::modificationDate(folder).value_or(ScanSupport::distantPast());
    Folder f(folder);
    if (depth >= 1) newestBelow(f, 1, depth, newest);
    return newest;
}

// Every version in `folder` but the newest, as caches of the tool named `label`.
void olderVersions(Measuring& out, const fs::path& folder, const std::string& label) {
    struct Version {
        std::string name;
        Clock::time_point date;
    };
    std::vector<Version> versions;
    Folder f(folder);
    while (const dirent* e = f.next()) {
        if (ScanSupport::isHidden(e->d_name)) continue;
        const auto st = f.status(e->d_name);
        versions.push_back({e->d_name, st ? Platform::FileOps::modificationTime(*st) : ScanSupport::distantPast()});
    }
    if (versions.size() < 2) return;
    // Equal dates (a restore, a copy) go to the higher version rather than to
    // whichever name the folder happens to list first.
    size_t newest = 0;
    for (size_t k = 1; k < versions.size(); ++k) {
        const auto& v = versions[k];
        const auto& n = versions[newest];
        if (v.date > n.date || (v.date == n.date && ScanSupport::compareVersions(v.name, n.name) > 0)) newest = k;
    }
    const std::string note = label + " · " + localized("older version; the newest stays");
    for (size_t k = 0; k < versions.size(); ++k) {
        if (k == newest) continue;
        out.add(folder / versions[k].name, 0, {CleanCategory::aiCaches, Risk::safe, note});
    }
}
}  // namespace

std::vector<CleanItem> SpecialScanners::ai(const fs::path& home, const SafetyGuard& safety, int sessionAgeDays) {
    Measuring out(safety);
    const Clock::time_point now = Platform::clock().now();
    const Clock::time_point cutoff = ScanSupport::daysBefore(now, sessionAgeDays);

    // A place in the user cache folder is nowhere when there is none.
    if (const auto projects = ScanSupport::inHome(claudeProjects, home))
        eachSecondLevel(*projects, [&](const std::string& project, const Folder& folder, const dirent* e) {
            const std::string name = e->d_name;
            if (name.size() <= 6 || !ScanSupport::endsWith(name, ".jsonl")) return;
            const auto st = folder.status(e->d_name);
            if (!st || Platform::FileOps::modificationTime(*st) >= cutoff) return;
            admit(out, *projects / project / name, CleanCategory::aiSessions, Risk::safe,
                  "Claude Code · " + projectName(project));
        });

    if (const auto sessions = ScanSupport::inHome(codexSessions, home))
        eachSecondLevel(*sessions, [&](const std::string& outer, const Folder&, const dirent* e) {
            const fs::path url = *sessions / outer / e->d_name;
            if (newestModification(url, 3) >= cutoff) return;
            admit(out, url, CleanCategory::aiSessions, Risk::safe,
                  "Codex · " + localizedFormat("sessions from %@-%@", {outer, e->d_name}));
        });

    const Clock::time_point worktreeCutoff = ScanSupport::before(now, worktreeAgeSeconds);
    for (const char* rel : worktreeRoots) {
        const auto root = ScanSupport::inHome(rel, home);
        if (!root) continue;
        Folder folder(*root);
        while (const dirent* e = folder.next()) {
            const fs::path url = *root / e->d_name;
            if (newestModification(url, 2) >= worktreeCutoff) continue;
            admit(out, url, CleanCategory::aiSessions, Risk::review,
                  localized("Agent worktree untouched for 30+ days; uncommitted work in it goes too"));
        }
    }

    for (const auto& c : cacheLocations)
        if (const auto url = ScanSupport::inHome(c.path, home))
            admit(out, *url, CleanCategory::aiCaches, Risk::safe, c.note);

    for (const auto& v : versionFolders)
        if (const auto folder = ScanSupport::inHome(v.path, home)) olderVersions(out, *folder, v.note);

    for (const auto& m : modelRoots) {
        const auto root = ScanSupport::inHome(m.path, home);
        if (!root) continue;
        eachSecondLevel(*root, [&](const std::string& publisher, const Folder&, const dirent* e) {
            admit(out, *root / publisher / e->d_name, CleanCategory::aiModels, Risk::review,
                  std::string(m.note) + " · " + publisher);
        });
    }

    if (const auto hub = ScanSupport::inHome(huggingFaceHub, home)) {
        Folder folder(*hub);
        while (const dirent* e = folder.next()) {
            if (ScanSupport::startsWith(e->d_name, "models--") || ScanSupport::startsWith(e->d_name, "datasets--"))
                admit(out, *hub / e->d_name, CleanCategory::aiModels, Risk::review, "Hugging Face");
        }
    }

    if (const auto models = ScanSupport::inHome(ollamaModels, home))
        admit(out, *models, CleanCategory::aiModels, Risk::review,
              localized("Ollama · all models (remove single ones with `ollama rm`)"));

    std::vector<CleanItem> found;
    out.measure([&](const fs::path& url, int64_t size, Label& l) {
        found.push_back(ScanSupport::finding(url, size, l.category, l.risk, std::move(l.note)));
    });
    sortLargestFirst(found);
    return found;
}

std::vector<fs::path> SpecialScanners::aiLocations(const fs::path& home) {
    std::vector<fs::path> out;
    const auto place = [&](const char* rel) {
        if (auto p = ScanSupport::inHome(rel, home)) out.push_back(std::move(*p));
    };
    for (const char* rel : {claudeProjects, codexSessions, huggingFaceHub, ollamaModels}) place(rel);
    for (const char* rel : worktreeRoots) place(rel);
    const auto add = [&](const auto& table) {
        for (const auto& l : table) place(l.path);
    };
    add(cacheLocations);
    add(versionFolders);
    add(modelRoots);
    return out;
}
