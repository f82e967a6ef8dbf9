#pragma once
#include <filesystem>
#include <string>

// What an icon stands for. Models pass these around; only the Gui icon provider
// turns one into pixels, so nothing below the views needs an image type.
namespace Platform {
struct IconRef {
    enum class Kind {
        application,  // an installed application: its desktop file, or an app bundle folder
        file,         // an item on disk, by its own type
        type,         // a type name: "folder" or a lower-case file name extension
        symbol,       // one of our own symbol drawings, by name
    };
    Kind kind = Kind::type;
    std::filesystem::path path;  // application, file
    std::string name;            // type, symbol

    static IconRef application(std::filesystem::path p) { return {Kind::application, std::move(p), {}}; }
    // The running application itself (an application without a path).
    static IconRef thisApplication() { return {Kind::application, {}, {}}; }
    static IconRef file(std::filesystem::path p) { return {Kind::file, std::move(p), {}}; }
    static IconRef ofType(std::string t) { return {Kind::type, {}, std::move(t)}; }
    static IconRef symbol(std::string s) { return {Kind::symbol, {}, std::move(s)}; }

    // Equal references draw the same image; the provider caches on this.
    std::string key() const {
        switch (kind) {
            case Kind::application: return "app:" + path.string();
            case Kind::file: return "file:" + path.string();
            case Kind::type: return "type:" + name;
            case Kind::symbol: return "symbol:" + name;
        }
        return {};
    }
    bool operator==(const IconRef&) const = default;
};
}  // namespace Platform
