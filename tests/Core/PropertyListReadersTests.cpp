// Every reader of a property list reads the list its markup shows. A list hidden
// in markup that an XML reader of its own kind could skip differently (a comment or
// a processing instruction in the document type's internal subset, which a loose
// reader ends at its first "]>") is never built, however deep, wide or full of
// references, and costs each reader no more than its bytes.
#include <gtest/gtest.h>

#include <functional>

#include "Core/Apps/AppUninstaller.h"
#include "Core/Apps/StartupItems.h"
#include "Platform/Programs.h"
#include "Platform/PropertyList.h"
#include "Support/PeakMemory.h"
#include "Support/TestTree.h"

namespace fs = std::filesystem;

TEST(PropertyListReaders, EachReadsTheVisibleListWhateverItsMarkupHidesWithinTheBound) {
    const auto repeat = [](const std::string& piece, size_t times) {
        std::string out;
        out.reserve(piece.size() * times);
        for (size_t i = 0; i < times; ++i) out += piece;
        return out;
    };
    const auto dictOf = [](const std::string& id, const std::string& more) {
        return "<plist><dict><key>Label</key><string>" + id + "</string><key>CFBundleIdentifier</key><string>" + id +
               "</string>" + more + "</dict></plist>";
    };
    const struct {
        const char* name;
        std::string more;
    } hidden[] = {
        {"200,000 levels", "<key>X</key>" + repeat("<array>", 200000) + repeat("</array>", 200000)},
        {"500,000 values", "<key>X</key><array>" + repeat("<true/>", 500000) + "</array>"},
        {"700,000 references", "<key>X</key><string>" + repeat("&amp;", 700000) + "</string>"},
    };
    const struct {
        const char *name, *open, *close;
    } places[] = {
        {"a comment", "<!DOCTYPE plist [ <!-- ]>", " --> ]>"},
        {"a processing instruction", "<!DOCTYPE plist [ <?hide ]>", " ?> ]>"},
    };

    testtree::TempDir tmp;
    const fs::path info = tmp / "Applications/Hidden.app/Contents/Info.plist";
    const StartupItems::Folders jobs{tmp / "LaunchAgents", tmp / "none", tmp / "none"};
    Platform::Programs::setPathForTesting(Platform::Program::launchctl, "/bin/true");
    const auto inProcess = [](std::function<std::string()> read) {
        return [read] { return peakmemory::measure(read, 10); };
    };
    const std::pair<const char*, std::function<std::optional<peakmemory::Peak>()>> readers[] = {
        {"readDictionary", inProcess([&] {
             const auto dict = Platform::PropertyList::readDictionary(info);
             const std::string* label = dict ? Platform::PropertyList::string(*dict, "Label") : nullptr;
             return label ? *label : "nothing";
         })},
        {"the settings", inProcess([&] { return Platform::UserDefaults(info).string("Label").value_or("nothing"); })},
        {"the installed apps", inProcess([&] {
             std::string ids;
             for (const auto& app : AppUninstaller::installedApps({tmp / "Applications"})) ids += app.bundleID;
             return ids;
         })},
        {"the launch jobs", inProcess([&] {
             std::string labels;
             for (const auto& item : StartupItems::load(jobs)) labels += item.label;
             return labels;
         })},
        {"plutil", [&] { return peakmemory::measureProgram({QUELTO_BIN_DIR "/plutil", "-lint", "-s", info}, 10); }},
    };
    for (const auto& list : hidden) {
        for (const auto& place : places) {
            const std::string bytes = place.open + dictOf("com.hidden", list.more) + place.close + dictOf("com.visible", "");
            testtree::writeFile(info, bytes);
            testtree::writeFile(jobs.user / "hidden.plist", bytes);
            for (const auto& [reader, read] : readers) {
                const std::string name = std::string(list.name) + " in " + place.name + ", " + reader;
                const auto peak = read();
                EXPECT_TRUE(peak) << name << ": died or over 10 s";
                if (!peak) continue;
                EXPECT_EQ(peak->said, std::string(reader) == "plutil" ? "exit 0" : "com.visible") << name;
                EXPECT_LT(peak->seconds, peakmemory::kBoundSeconds) << name;
                EXPECT_LT(peak->growthKiB, peakmemory::kBoundKiB) << name;
            }
        }
    }
    Platform::Programs::resetForTesting();
}
