#pragma once
#include <QCoroTask>
#include <QObject>
#include <QString>

#include "Models/Status/FanPreset.h"

// Switches the fan mode by running the fan tool as root through the administrator
// prompt. The preset is the mode the last successful run confirmed; nothing is
// kept across launches. Main thread only; each property notifies only on change.
class FanControl final : public QObject {
    Q_OBJECT
    Q_PROPERTY(FanPreset preset READ preset NOTIFY presetChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)

public:
    // The tool is allowed this long, password prompt included.
    static constexpr double timeLimit = 30;

    explicit FanControl(QObject* parent = nullptr);

    FanPreset preset() const { return preset_; }
    bool busy() const { return busy_; }
    // The last failure's text; empty when there is none.
    const QString& error() const { return error_; }

    // Asks for that mode and returns at once; the outcome comes through the
    // properties. Ignored while a run is in flight or when it is the current mode.
    void choose(FanPreset preset);

signals:
    void presetChanged();
    void busyChanged();
    void errorChanged();

private:
    QCoro::Task<> run(FanPreset preset, std::string script);
    void setPreset(FanPreset value);
    void setBusy(bool value);
    void setError(const QString& value);

    FanPreset preset_ = FanPreset::auto_;
    bool busy_ = false;
    QString error_;
};
