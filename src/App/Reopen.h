#pragma once
#include <QObject>

#include <functional>

// A second launch while Quelto runs is a reopen: it asks the running process to
// show its main window over the session bus, then ends.
class ReopenService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.quelto.Quelto")

public:
    enum class Role {
        first,      // this process owns the name and answers reopens
        forwarded,  // another Quelto runs and was asked to show its window
        alone,      // no session bus, or a stuck owner of the name: no relaunch reaches this process
    };

    explicit ReopenService(std::function<void()> reopen, QObject* parent = nullptr);
    Role claim();

public slots:
    Q_SCRIPTABLE void reopen();

private:
    std::function<void()> reopen_;
};
