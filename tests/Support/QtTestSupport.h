#pragma once
// Shared by the Qt test binaries: a temporary home folder with a user-defaults
// store inside it, and a scripted login item.
#include "Models/Kit/QtBridge.h"
#include "Platform/LoginItemService.h"
#include "Platform/UserDefaults.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QTemporaryDir>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace qttest {
namespace fs = std::filesystem;

// Runs the event loop until `done` holds (or 20 s of real time pass).
template <class Done>
bool until(Done done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 20000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

// Points HOME and the XDG folders at a fresh folder (links resolved) and restores them.
class TempHome {
public:
    TempHome() {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            const char* v = std::getenv(name);
            saved_.push_back({name, v ? std::optional<std::string>(v) : std::nullopt});
        }
        path_ = fs::canonical(pathFromQString(dir_.path()));
        ::setenv("HOME", path_.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (path_ / ".config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (path_ / ".local/share").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (path_ / ".cache").c_str(), 1);
    }
    ~TempHome() {
        for (const auto& [name, value] : saved_) {
            if (value) ::setenv(name, value->c_str(), 1);
            else ::unsetenv(name);
        }
    }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const fs::path& rel) const { return path_ / rel; }
    fs::path defaultsFile() const { return path_ / ".config/Quelto/Test.plist"; }
    // A store over the test's defaults file, read afresh from disk.
    std::unique_ptr<Platform::UserDefaults> freshDefaults() const {
        return std::make_unique<Platform::UserDefaults>(defaultsFile());
    }

private:
    QTemporaryDir dir_;
    fs::path path_;
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

// A login-item service that answers as scripted and counts what it was asked.
class FakeLoginItem : public Platform::LoginItemService {
public:
    using Status = Platform::LoginItemService::Status;
    FakeLoginItem() : Platform::LoginItemService("/nonexistent/quelto.desktop", "/nonexistent/Quelto") {}

    Status current = Status::notRegistered;
    Status afterRegister = Status::enabled;  // what registering leads to
    bool failRegister = false;
    int registers = 0, unregisters = 0, settingsOpened = 0;
    std::function<void()> onRegister;

    Status status() const override { return current; }
    Result registerItem() override {
        ++registers;
        if (onRegister) onRegister();
        if (failRegister) return Result::failure("refused");
        current = afterRegister;
        return Result::success();
    }
    Result unregisterItem() override {
        ++unregisters;
        current = Status::notRegistered;
        return Result::success();
    }
    void openSystemSettingsLoginItems() override { ++settingsOpened; }
};
}  // namespace qttest
