// The four scans of the Clean tab (junk, AI tools, projects, installers) over a
// synthetic home against du over the same home, warm cache, alternating runs, median
// of several.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "Core/Clean/InstallerFinder.h"
#include "Core/Clean/JunkScanner.h"
#include "Core/Clean/ProjectPurger.h"
#include "Core/Clean/SpecialScanners.h"

namespace fs = std::filesystem;
using Clock = std::chrono::system_clock;

namespace {
int written = 0;
bool ok = true;

void files(const fs::path& folder, int count, size_t bytes = 16) {
    if (!ok) return;
    ok = bench::writeFiles(folder, count, bytes);
    written += count;
}

void one(const fs::path& p, size_t bytes) {
    if (!ok) return;
    try {
        testtree::writeFile(p, std::string(bytes, 'q'));
    } catch (const std::exception&) {
        ok = false;
    }
    ++written;
}

std::string hex2(int i) {
    char b[3];
    std::snprintf(b, sizeof b, "%02x", i & 0xff);
    return b;
}

// Dates a folder and its entries down to `depth` levels, deepest first.
void age(const fs::path& folder, int depth, Clock::time_point when) {
    std::vector<fs::path> items;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (it.depth() >= depth) it.disable_recursion_pending();
        items.push_back(it->path());
    }
    for (auto i = items.rbegin(); i != items.rend(); ++i) testtree::setDate(*i, when);
    testtree::setDate(folder, when);
}

// Package-manager and tool caches at the catalog's cross-platform locations.
void caches(const fs::path& h) {
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 16; ++b) {
            files(h / ".npm/_cacache/content-v2/sha512" / hex2(a) / hex2(b), 12);
            files(h / ".npm/_cacache/index-v5" / hex2(a) / hex2(b), 2);
        }
    files(h / ".npm/_logs", 40, 2000);
    for (int i = 0; i < 600; ++i) files(h / ".cache/uv/archive-v0" / ("a" + std::to_string(i)) / "pkg", 50);
    for (int i = 0; i < 8; ++i) files(h / ".cargo/registry/cache" / ("index-" + std::to_string(i)), 1000, 600);
    for (int g = 0; g < 300; ++g)
        for (int a = 0; a < 10; ++a)
            files(h / ".gradle/caches/modules-2/files-2.1" / ("g" + std::to_string(g)) / ("a" + std::to_string(a)), 10);
    for (int g = 0; g < 200; ++g)
        for (int a = 0; a < 10; ++a)
            files(h / ".m2/repository/org" / ("g" + std::to_string(g)) / ("a" + std::to_string(a)), 6);
    for (int i = 0; i < 100; ++i) files(h / ".cache/pre-commit" / ("repo" + std::to_string(i)), 100);
    for (int i = 0; i < 50; ++i) files(h / ".cache/typescript/5.4/node_modules" / ("@types" + std::to_string(i)), 100);
    for (int i = 0; i < 100; ++i) files(h / ".cache/bazel/_bazel_u" / ("x" + std::to_string(i)), 50);
    for (int i = 0; i < 100; ++i) files(h / ".pub-cache/hosted/pub.dev" / ("p" + std::to_string(i)), 50);
    files(h / ".cache/puppeteer/chrome/linux", 2000);
    files(h / ".cache/electron", 20, 100000);
    files(h / ".cache/node-gyp/20.0/include", 800);
}

// The AI tools' sessions, worktrees, caches, versions and models.
void aiTools(const fs::path& h, Clock::time_point old) {
    for (int p = 0; p < 40; ++p) {
        const fs::path project = h / ".claude/projects" / ("-home-me-code-p" + std::to_string(p));
        for (int s = 0; s < 50; ++s) {
            const fs::path f = project / ("s" + std::to_string(s) + ".jsonl");
            one(f, 20000);
            if (s % 2 == 0) testtree::setDate(f, old);  // half are past the session age
        }
    }
    for (int m = 1; m <= 12; ++m)
        for (int d = 1; d <= 28; ++d) files(h / ".codex/sessions/2024" / hex2(m) / hex2(d), 10, 3000);
    age(h / ".codex/sessions/2024", 4, old);
    for (int w = 0; w < 10; ++w) {
        const fs::path wt = h / ".claude/worktrees" / ("wt" + std::to_string(w));
        for (int d = 0; d < 20; ++d) files(wt / "src" / ("m" + std::to_string(d)), 50);
        if (w % 2 == 0) age(wt, 2, old);
    }
    files(h / ".claude/debug", 500, 1000);
    files(h / ".claude/shell-snapshots", 200, 1000);
    files(h / ".codex/log", 200, 1000);
    files(h / ".gemini/tmp", 100, 1000);
    files(h / ".cache/codex-runtimes/node/bin", 300);
    for (int v = 0; v < 5; ++v) files(h / ".local/share/claude/versions" / ("1." + std::to_string(v * 5) + ".0"), 10);
    for (int m = 0; m < 20; ++m) {
        const fs::path model = h / ".cache/huggingface/hub" / ("models--org--m" + std::to_string(m));
        files(model / "blobs", 20, 50000);
        files(model / "snapshots/main", 20);
    }
    files(h / ".ollama/models/blobs", 200, 50000);
    files(h / ".ollama/models/manifests", 20);
    for (int p = 0; p < 5; ++p)
        for (int m = 0; m < 4; ++m)
            files(h / ".lmstudio/models" / ("pub" + std::to_string(p)) / ("model" + std::to_string(m)), 10, 50000);
}

// Code projects with dependency folders and build outputs; a third of them stale.
void projects(const fs::path& h, Clock::time_point old) {
    for (int p = 0; p < 60; ++p) {
        const fs::path root = h / "code" / ("p" + std::to_string(p));
        files(root, 1);  // a stray file
        one(root / "package.json", 200);
        for (int o = 0; o < 16; ++o) files(root / ".git/objects" / hex2(o), 10);
        for (int d = 0; d < 10; ++d) files(root / "src" / ("m" + std::to_string(d)), 10);
        for (int k = 0; k < 150; ++k) {
            const fs::path pkg = root / "node_modules" / ("pkg" + std::to_string(k));
            files(pkg / "lib", 10);
            files(pkg, 2);
            if (k % 10 == 0) {
                one(pkg / "package.json", 100);
                files(pkg / "node_modules/dep/lib", 8);
            }
        }
        if (p % 2 == 0) {
            one(root / "Cargo.toml", 100);
            for (int d = 0; d < 4; ++d) files(root / "target/debug/deps" / ("d" + std::to_string(d)), 100);
        }
        if (p % 4 == 1) {
            one(root / "build.gradle", 100);
            files(root / "build/intermediates", 200);
        }
        files(root / "src/__pycache__", 20, 4000);
        if (p % 3 == 0) {
            for (const auto& e : fs::directory_iterator(root))
                if (e.path().filename() != "node_modules" && e.path().filename() != "target" &&
                    e.path().filename() != "build")
                    testtree::setDate(e.path(), old);
        }
    }
}
}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    testtree::TempDir scratch;
    const fs::path home = scratch.path() / "home";
    // The scans read the user's folders from the environment; point it at the fake home.
    bench::useHome(home);

    const auto old = Clock::now() - std::chrono::hours(24 * 400);
    std::printf("building a synthetic home under %s\n", home.c_str());
    std::fflush(stdout);
    caches(home);
    aiTools(home, old);
    projects(home, old);
    files(home / ".local/share/Trash/files/old-stuff", 300);
    // What the installer scan looks at: downloads, a few of them installers.
    files(home / "Downloads/papers", 200, 2000);
    for (const char* name : {"tool-1.2.dmg", "driver.pkg", "distro.iso"}) one(home / "Downloads" / name, 300000);
    if (!ok) {
        std::fprintf(stderr, "cannot build the tree\n");
        return 1;
    }
    std::printf("%d files\n", written);
    bench::settle(home);

    const SafetyGuard safety(home, {}, {});
    std::set<CleanCategory> junkCategories;
    for (size_t i = 0; i < 13; ++i) junkCategories.insert(CleanCategories::allCases[i]);
    size_t junkCount = 0, aiCount = 0, projectCount = 0, installerCount = 0;
    int64_t foundBytes = 0;
    auto runScans = [&] {
        JunkScanner scanner;
        const auto junk = scanner.scan(junkCategories, JunkScanner::Context{home, safety, {}, {}, std::nullopt}, {});
        const auto ai = SpecialScanners::ai(home, safety, 90);
        std::vector<fs::path> roots = {home / "code"};
        for (auto& r : ProjectPurger::discoveredRoots(home)) roots.push_back(r);
        const auto proj = ProjectPurger::scan(ProjectPurger::mergedRoots(roots), 30, safety);
        const auto installers =
            InstallerFinder::scan({home / "Downloads", home / "Desktop", home / "Documents"}, safety, 7);
        junkCount = junk.size();
        aiCount = ai.size();
        projectCount = proj.size();
        installerCount = installers.size();
        foundBytes = 0;
        for (const auto* list : {&junk, &ai, &proj, &installers})
            for (const auto& item : *list) foundBytes += item.size;
    };
    Shell::Result du;
    auto runDu = [&] { du = bench::du(home); };
    // Warm the caches once for both.
    runScans();
    runDu();
    if (du.status != 0) {
        std::fprintf(stderr, "du failed: %s\n", du.output.c_str());
        return 1;
    }

    const auto [a, b] = bench::alternately(rounds, runScans, runDu);
    std::printf("scans: %.1f ms (%zu junk, %zu AI, %zu project, %zu installer findings; %lld bytes)\n", a * 1000,
                junkCount, aiCount, projectCount, installerCount, static_cast<long long>(foundBytes));
    std::printf("du -s -B1: %.1f ms (%lld bytes, folders included)\n", b * 1000, std::stoll(du.output));
    std::printf("scans/du = %.2f (load average %s)\n", b > 0 ? a / b : 0.0, bench::loadAverage().c_str());
    return 0;
}
