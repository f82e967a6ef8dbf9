#include "Models/Status/FanControl.h"

#include <unistd.h>

#include <QPointer>
#include <QCoroFuture>
#include <QtConcurrent>

#include "Core/AdminScript.h"
#include "Core/Status/FanCommand.h"
#include "Models/Kit/AssignIfChanged.h"
#include "Models/Kit/QtBridge.h"
#include "Platform/Programs.h"

FanControl::FanControl(QObject* parent) : QObject(parent) {}

void FanControl::choose(FanPreset preset) {
    if (busy_ || preset == preset_) return;
    const std::string tool = Platform::Programs::path(Platform::Program::fanHelper);
    if (tool.empty() || ::access(tool.c_str(), X_OK) != 0) {
        setError(tr("Fan control helper is missing from this app build."));
        return;
    }
    setBusy(true);
    setError({});
    run(preset, FanCommand::script(tool, fromQString(rawValue(preset)), ::getpid()));
}

QCoro::Task<> FanControl::run(FanPreset preset, std::string script) {
    QPointer<FanControl> self(this);
    // A named future: a temporary inside co_await is destroyed twice by g++ 12.
    auto running = QtConcurrent::run([script] { return AdminScript::run(script, timeLimit); });
    const auto result = co_await running;
    if (!self) co_return;
    setBusy(false);
    if (result.ok()) {
        setPreset(preset);
        co_return;
    }
    const QString text = toQString(result.output).trimmed();
    setError(text.isEmpty() ? tr("macOS could not change the fan mode.") : text);
    // Past its checks the tool hands the fans back before it fails, and its new
    // token has retired any earlier watcher: the fans are automatic now, and the
    // old mode must stay choosable.
    if (FanCommand::handedBack(result.output)) setPreset(FanPreset::auto_);
}

void FanControl::setPreset(FanPreset value) {
    if (assignIfChanged(preset_, value)) emit presetChanged();
}

void FanControl::setBusy(bool value) {
    if (assignIfChanged(busy_, value)) emit busyChanged();
}

void FanControl::setError(const QString& value) {
    if (assignIfChanged(error_, value)) emit errorChanged();
}
