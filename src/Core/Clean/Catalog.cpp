#include "Core/Clean/Catalog.h"

#include "Core/Localized.h"

namespace {
using C = CleanCategory;
using Mode = CleanRule::Mode;
constexpr Risk safe = Risk::safe;
constexpr Risk review = Risk::review;

CleanRule rule(C category, const char* path, Mode mode, Risk risk, const char* note, int minAgeDays = 0,
               bool permanent = false) {
    return CleanRule{category, path, std::move(mode), risk, localized(note), minAgeDays, permanent};
}
CleanRule whole(C category, const char* path, Risk risk, const char* note) {
    return rule(category, path, Mode::whole(), risk, note);
}
CleanRule children(C category, const char* path, Risk risk, const char* note) {
    return rule(category, path, Mode::children(), risk, note);
}
}  // namespace

namespace Catalog {
const std::vector<CleanRule>& xcode() {
    static const std::vector<CleanRule> t = {
        children(C::xcode, "~/Library/Developer/Xcode/DerivedData", safe, "Build products and indexes; Xcode rebuilds them"),
        children(C::xcode, "~/Library/Developer/Xcode/iOS DeviceSupport", review, "Debug symbols per iOS version; re-copied when the device connects"),
        children(C::xcode, "~/Library/Developer/Xcode/watchOS DeviceSupport", review, "Debug symbols per watchOS version"),
        children(C::xcode, "~/Library/Developer/Xcode/Archives", review, "Archived builds; keep the ones you may need to symbolicate"),
        whole(C::xcode, "~/Library/Developer/CoreSimulator/Caches", safe, "Simulator dyld and runtime caches"),
        whole(C::xcode, "~/Library/Developer/Xcode/UserData/Previews", safe, "SwiftUI preview simulators"),
        whole(C::xcode, "~/Library/Caches/com.apple.dt.Xcode", safe, "Xcode's own cache"),
        whole(C::xcode, "~/Library/Developer/Xcode/DocumentationCache", safe, "Downloaded documentation; Xcode fetches it again"),
        whole(C::xcode, "~/Library/Developer/Xcode/iOS Device Logs", safe, "Logs pulled from connected devices"),
        whole(C::xcode, "~/Library/Developer/CoreSimulator/Devices/.cache", safe, "Simulator device cache"),
    };
    return t;
}

const std::vector<CleanRule>& packageManagers() {
    constexpr C pm = C::packageManagers;
    static const std::vector<CleanRule> t = {
        whole(pm, "~/Library/Caches/Homebrew", safe, "Homebrew downloads"),
        whole(pm, "~/.npm/_cacache", safe, "npm download cache"),
        whole(pm, "~/Library/Caches/Yarn", safe, "Yarn download cache"),
        whole(pm, "~/.yarn/berry/cache", safe, "Yarn Berry cache"),
        whole(pm, "~/Library/pnpm/store", review, "pnpm store; projects re-link on next install"),
        whole(pm, "~/.bun/install/cache", safe, "Bun download cache"),
        whole(pm, "~/Library/Caches/pip", safe, "pip download cache"),
        whole(pm, "~/.cache/uv", safe, "uv download cache"),
        whole(pm, "~/Library/Caches/pypoetry", safe, "Poetry cache"),
        whole(pm, "~/Library/Caches/CocoaPods", safe, "CocoaPods spec and pod cache"),
        whole(pm, "~/Library/Caches/org.swift.swiftpm", safe, "Swift Package Manager cache"),
        whole(pm, "~/Library/Caches/go-build", safe, "Go build cache"),
        whole(pm, "~/.cargo/registry/cache", safe, "Cargo crate downloads"),
        whole(pm, "~/.gradle/caches", review, "Gradle caches; next build re-downloads dependencies"),
        whole(pm, "~/.m2/repository", review, "Maven repository; next build re-downloads dependencies"),
        whole(pm, "~/.composer/cache", safe, "Composer cache"),
        whole(pm, "~/.pub-cache/hosted", review, "Dart/Flutter packages"),
    };
    return t;
}

const std::vector<CleanRule>& devCaches() {
    constexpr C dc = C::devCaches;
    static const std::vector<CleanRule> t = {
        whole(dc, "~/.cache/pre-commit", safe, "pre-commit hook environments"),
        whole(dc, "~/.cache/ruff", safe, "Ruff cache"),
        whole(dc, "~/.cache/node-gyp", safe, "node-gyp headers"),
        whole(dc, "~/Library/Caches/node-gyp", safe, "node-gyp headers"),
        whole(dc, "~/.node-gyp", safe, "node-gyp headers (legacy)"),
        whole(dc, "~/.npm/_logs", safe, "npm debug logs"),
        whole(dc, "~/.cache/typescript", safe, "TypeScript type cache"),
        whole(dc, "~/Library/Caches/typescript", safe, "TypeScript type cache"),
        whole(dc, "~/.cache/prisma", safe, "Prisma engines"),
        whole(dc, "~/.cache/electron", safe, "Electron binaries"),
        whole(dc, "~/Library/Caches/electron", safe, "Electron binaries"),
        whole(dc, "~/.cache/puppeteer", review, "Browsers for Puppeteer; re-downloaded on next run"),
        children(dc, "~/Library/Caches/ms-playwright", review, "Browsers for Playwright; re-downloaded on next install"),
        children(dc, "~/Library/Caches/Cypress", review, "Cypress app binaries"),
        whole(dc, "~/.cache/bazel", review, "Bazel build cache"),
        whole(dc, "~/Library/Caches/deno", safe, "Deno cache"),
        whole(dc, "~/.gradle/daemon", safe, "Gradle daemon logs"),
        children(dc, "~/.gradle/wrapper/dists", review, "Gradle distributions; re-downloaded per project"),
        whole(dc, "~/.android/cache", safe, "Android SDK cache"),
        whole(dc, "~/.android/build-cache", safe, "Android build cache"),
        whole(dc, "~/.conda/pkgs", safe, "Conda package cache"),
        whole(dc, "~/miniconda3/pkgs", safe, "Conda package cache"),
        whole(dc, "~/anaconda3/pkgs", safe, "Conda package cache"),
        whole(dc, "~/.nuget/packages", review, "NuGet packages; next build restores them"),
        whole(dc, "~/go/pkg/mod/cache/download", review, "Go module downloads"),
        whole(dc, "~/.rustup/downloads", safe, "rustup downloads"),
        whole(dc, "~/.rustup/tmp", safe, "rustup temp files"),
        whole(dc, "~/.cargo/git/checkouts", review, "Cargo git dependencies"),
        whole(dc, "~/.expo/native-modules-cache", safe, "Expo cache"),
        whole(dc, "~/.expo/versions-cache", safe, "Expo cache"),
        whole(dc, "~/.expo/ios-simulator-app-cache", safe, "Expo Go builds"),
        whole(dc, "~/.expo/android-apk-cache", safe, "Expo Go builds"),
        whole(dc, "~/.docker/buildx/cache", safe, "Docker buildx cache"),
        whole(dc, "~/.kube/cache", safe, "kubectl discovery cache"),
        whole(dc, "~/.terraform.d/plugin-cache", review, "Terraform providers"),
        whole(dc, "~/.aws/cli/cache", safe, "AWS CLI cache"),
        whole(dc, "~/.config/gcloud/logs", safe, "gcloud logs"),
        whole(dc, "~/.azure/logs", safe, "Azure CLI logs"),
        whole(dc, "~/.oh-my-zsh/cache", safe, "Oh My Zsh cache"),
        whole(dc, "~/Library/Developer/Xcode/Products", safe, "Xcode build products"),
    };
    return t;
}

const std::vector<CleanRule>& ideCaches() {
    static const std::vector<CleanRule> t = {
        children(C::devCaches, "~/Library/Caches/JetBrains", safe, "JetBrains IDE caches and indexes; rebuilt on next open"),
        whole(C::devCaches, "~/Library/Unity/cache", safe, "Unity package cache"),
        whole(C::devCaches, "~/Library/Caches/com.unity3d.UnityEditor", safe, "Unity editor cache"),
    };
    return t;
}

const std::vector<std::string>& editorFolderNames() {
    static const std::vector<std::string> names = {"Code", "Code - Insiders", "Cursor", "Windsurf", "VSCodium", "Zed"};
    return names;
}

const std::vector<CleanRule>& editors() {
    static const std::vector<CleanRule> t = [] {
        struct Sub {
            const char* path;
            Risk risk;
            const char* suffix;
        };
        static const Sub subs[] = {
            {"/Cache", safe, "cache"},
            {"/CachedData", safe, "compiled code cache"},
            {"/CachedExtensionVSIXs", safe, "downloaded extension installers"},
            {"/Code Cache", safe, "code cache"},
            {"/GPUCache", safe, "GPU cache"},
            {"/logs", safe, "logs"},
            {"/User/workspaceStorage", review, "per-workspace state (open tabs, local history)"},
        };
        std::vector<CleanRule> out;
        for (const std::string& name : editorFolderNames())
            for (const Sub& s : subs)
                out.push_back(CleanRule{C::editors, "~/Library/Application Support/" + name + s.path,
                                        Mode::whole(), s.risk, name + " \u00B7 " + localized(s.suffix), 0,
                                        false});
        return out;
    }();
    return t;
}

const std::vector<CleanRule>& browsers() {
    constexpr C b = C::browsers;
    static const std::vector<CleanRule> t = {
        whole(b, "~/Library/Caches/Google/Chrome", safe, "Chrome page cache; logins are kept"),
        whole(b, "~/Library/Caches/com.apple.Safari", safe, "Safari page cache; logins are kept"),
        whole(b, "~/Library/Caches/Firefox", safe, "Firefox page cache"),
        whole(b, "~/Library/Caches/BraveSoftware", safe, "Brave page cache"),
        whole(b, "~/Library/Caches/Microsoft Edge", safe, "Edge page cache"),
        whole(b, "~/Library/Caches/Arc", safe, "Arc page cache"),
    };
    return t;
}

const std::vector<CleanRule>& appCaches() {
    constexpr C uc = C::userCaches;
    static const std::vector<CleanRule> t = {
        whole(uc, "~/Library/Application Support/Spotify/PersistentCache", safe, "Spotify streaming cache; songs re-download as you play them"),
        whole(uc, "~/Library/Application Support/Adobe/Common/Media Cache Files", safe, "Adobe media cache; rebuilt when a project opens"),
        whole(uc, "~/Library/Application Support/Adobe/Common/Media Cache", safe, "Adobe media cache database"),
        whole(uc, "~/Library/Application Support/Steam/appcache", safe, "Steam app cache"),
        whole(uc, "~/Library/Application Support/Steam/logs", safe, "Steam logs"),
        children(uc, "~/Library/iTunes/iPhone Software Updates", safe, "Downloaded iPhone software update; re-downloaded if ever needed"),
        children(uc, "~/Library/iTunes/iPad Software Updates", safe, "Downloaded iPad software update"),
        rule(C::logs, "~/Library/Application Support/CrashReporter", Mode::children(), safe, "Old crash reporter data", 7),
    };
    return t;
}

const std::vector<CleanRule>& generic() {
    static const std::vector<CleanRule> t = {
        // The user cache folder here also holds what cross-platform tools keep for good
        // (model hubs, browser profiles' caches): its entries are offered, not preselected.
        children(C::userCaches, "~/Library/Caches", review, "Regenerated by the app on demand"),
        rule(C::logs, "~/Library/Logs", Mode::children(), safe, "Diagnostic logs", 1),
        children(C::mail, "~/Library/Containers/com.apple.mail/Data/Library/Mail Downloads", safe, "Copies of opened attachments; the originals stay in Mail"),
        rule(C::downloads, "~/Downloads", Mode::files({"crdownload", "part", "download", "partial"}), safe, "Download that never finished", 2),
        children(C::iosBackups, "~/Library/Application Support/MobileSync/Backup", review, "Local device backup; make sure it's not your only one"),
        rule(C::trash, "~/.Trash", Mode::children(), safe, "Already in the Trash", 0, true),
    };
    return t;
}

const std::vector<CleanRule>& rules() {
    static const std::vector<CleanRule> all = [] {
        std::vector<CleanRule> out;
        for (const auto* table : {&xcode(), &packageManagers(), &devCaches(), &ideCaches(), &editors(),
                                  &browsers(), &appCaches(), &generic()})
            out.insert(out.end(), table->begin(), table->end());
        return out;
    }();
    return all;
}
}  // namespace Catalog
