#pragma once
// A fixture /proc, /sys and /etc laid out in a temporary folder.
#include <sys/stat.h>

#include <string>

#include "Sensors/Roots.h"
#include "Support/TestTree.h"

class SensorTree {
public:
    SensorTree() {
        roots_.proc = tmp_ / "proc";
        roots_.sys = tmp_ / "sys";
        roots_.etc = tmp_ / "etc";
    }
    const Sensors::Roots& roots() const { return roots_; }
    const std::filesystem::path& path() const { return tmp_.path(); }
    // Writes a file under the tree, e.g. put("proc/stat", "…").
    SensorTree& put(const std::string& relative, const std::string& content) {
        testtree::writeFile(tmp_ / relative, content);
        return *this;
    }
    SensorTree& folder(const std::string& relative) {
        std::filesystem::create_directories(tmp_ / relative);
        return *this;
    }
    // Writes every attribute of one sysfs folder: {{"type", "Battery"}, …}.
    SensorTree& attributes(const std::string& folder, std::initializer_list<std::pair<std::string, std::string>> values) {
        for (const auto& [name, value] : values) put(folder + "/" + name, value + "\n");
        return *this;
    }

private:
    testtree::TempDir tmp_;
    Sensors::Roots roots_;
};
