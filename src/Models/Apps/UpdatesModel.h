#pragma once
#include <QCoroTask>
#include <QFuture>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Core/Apps/AppUpdates.h"

// The state behind the Updates screen: the updates the last check found, whether
// a check runs or has run, the apps whose update runs and what each apply left
// to say. Rows are told apart by AppUpdates::Update::key(). Main thread only.
class UpdatesModel : public QObject {
    Q_OBJECT

public:
    using Update = AppUpdates::Update;

    // The checker and the applier, run off the main thread; tests answer them by hand.
    struct Services {
        std::function<QFuture<AppUpdates::Check>()> check = defaultCheck;
        std::function<QFuture<AppUpdates::Outcome>(const Update&)> apply = defaultApply;
    };
    static QFuture<AppUpdates::Check> defaultCheck();
    static QFuture<AppUpdates::Outcome> defaultApply(const Update& update);

    explicit UpdatesModel(QObject* parent = nullptr);
    UpdatesModel(Services services, QObject* parent = nullptr);
    // Tests: the application state's model over services they answer.
    void setServicesForTesting(Services services) { services_ = std::move(services); }

    // In the order the check gave them: by name.
    const std::vector<Update>& updates() const { return updates_; }
    bool checking() const { return checking_; }
    // A check has finished during this run.
    bool checked() const { return checked_; }
    // Whether some source gave the last check a readable answer.
    bool answered() const { return answered_; }
    // What the last check could not check and why, a line each; empty when it
    // checked everything it found.
    const QStringList& unchecked() const { return unchecked_; }
    // Keys of the updates being applied.
    const std::set<std::string>& working() const { return working_; }
    // What the last apply of each key had to say, at most its last 300 characters.
    const std::map<std::string, QString>& messages() const { return messages_; }
    bool isWorking(const Update& update) const { return working_.count(update.key()) > 0; }
    // A check or an apply runs.
    bool isBusy() const { return checking_ || !working_.empty(); }

    // Runs a check and keeps what it found. Ignored while a check runs.
    QCoro::Task<> check();
    // Applies one update: a Homebrew success drops its rows, anything else keeps
    // the row and its message. Ignored while that app's update runs.
    QCoro::Task<> apply(Update update);
    // Applies the Homebrew updates listed now, one after another, passing over
    // any already running. Ignored while such a walk runs.
    QCoro::Task<> updateAllHomebrew();

    // The last `count` characters (whole ones: never half a surrogate pair or an
    // accent without its letter).
    static QString lastCharacters(const QString& text, int count = 300);

signals:
    void updatesChanged();
    void checkingChanged(bool value);
    void checkedChanged(bool value);
    // answered() or unchecked() changed.
    void uncheckedChanged();
    void workingChanged();
    void messagesChanged();
    // A check or an apply started or ended: ask isBusy again.
    void busyChanged();

private:
    Services services_;
    std::vector<Update> updates_;
    bool checking_ = false;
    bool checked_ = false;
    bool answered_ = false;
    QStringList unchecked_;
    std::set<std::string> working_;
    std::map<std::string, QString> messages_;
    bool walking_ = false;
};
