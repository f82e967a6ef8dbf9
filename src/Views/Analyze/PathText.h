#pragma once
#include <QString>

#include <filesystem>

// How the analyzer writes a path for the eye; paths themselves stay bytes.
namespace PathText {
// "Whole disk" for the root, else the last component.
QString folderName(const std::filesystem::path& folder);
// The path with the home folder written "~" (only at a component boundary).
QString tilde(const std::filesystem::path& path, const std::filesystem::path& home);
}  // namespace PathText
