#pragma once
#include <QCoroTask>
#include <QFuture>
#include <QObject>
#include <QString>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "Core/Apps/LoginItems.h"
#include "Core/Apps/StartupItems.h"

// What the Startup screen shows: the launch services, the apps that open at login
// and, when the user asks, the background items, with the error texts of each.
// Main thread only; a whole value notifies only when it changes.
class StartupModel : public QObject {
    Q_OBJECT

public:
    // The engine calls, each started off the main thread; tests complete them by hand.
    struct Services {
        std::function<QFuture<std::vector<StartupItems::Item>>()> loadItems;
        std::function<QFuture<LoginItems::Listing<LoginItems::OpenAtLogin>>()> openAtLogin;
        std::function<QFuture<LoginItems::Listing<LoginItems::Background>>()> backgroundActivity;
        std::function<QFuture<StartupItems::Outcome>(StartupItems::Item, bool)> setEnabled;
        std::function<QFuture<bool>(StartupItems::Item)> remove;
        std::function<QFuture<bool>(std::string)> removeFromLogin;
        static Services standard();
    };
    using Errors = std::map<std::filesystem::path, QString>;

    explicit StartupModel(QObject* parent = nullptr);
    StartupModel(Services services, QObject* parent = nullptr);

    const std::vector<StartupItems::Item>& items() const { return items_; }
    bool loading() const { return loading_; }
    bool loaded() const { return loaded_; }
    // The last failed switch's message, by the job's property-list path.
    const Errors& errors() const { return errors_; }
    const std::vector<LoginItems::OpenAtLogin>& openAtLogin() const { return openAtLogin_; }
    const std::optional<QString>& openAtLoginError() const { return openAtLoginError_; }
    const std::vector<LoginItems::Background>& background() const { return background_; }
    const std::optional<QString>& backgroundError() const { return backgroundError_; }
    bool loadingBackground() const { return loadingBackground_; }
    bool backgroundLoaded() const { return backgroundLoaded_; }
    // Whether a switch of the job at that path is on its way.
    bool isSwitching(const std::filesystem::path& plist) const { return switching_.count(plist) > 0; }

    // Reads the launch services and the open-at-login apps together. Ignored while a load runs.
    QCoro::Task<> load();
    // Reads the background items (the password prompt). Ignored while one read runs.
    QCoro::Task<> loadBackground();
    // Switches the job to the opposite of what `item` shows. Ignored while that job switches.
    QCoro::Task<> toggle(StartupItems::Item item);
    QCoro::Task<> remove(StartupItems::Item item);
    QCoro::Task<> removeFromLogin(LoginItems::OpenAtLogin item);

signals:
    void itemsChanged();
    void loadingChanged();
    void loadedChanged();
    void errorsChanged();
    void switchingChanged();
    void openAtLoginChanged();
    void openAtLoginErrorChanged();
    void backgroundChanged();
    void backgroundErrorChanged();
    void loadingBackgroundChanged();
    void backgroundLoadedChanged();

private:
    void setItems(std::vector<StartupItems::Item> value);
    void setLoading(bool value);
    void setLoaded(bool value);
    void setOpenAtLogin(std::vector<LoginItems::OpenAtLogin> value);
    void setOpenAtLoginError(std::optional<QString> value);
    void setBackground(std::vector<LoginItems::Background> value);
    void setBackgroundError(std::optional<QString> value);
    void setLoadingBackground(bool value);
    void setBackgroundLoaded(bool value);

    Services services_;
    std::vector<StartupItems::Item> items_;
    bool loading_ = false;
    bool loaded_ = false;
    Errors errors_;
    std::set<std::filesystem::path> switching_;
    std::vector<LoginItems::OpenAtLogin> openAtLogin_;
    std::optional<QString> openAtLoginError_;
    std::vector<LoginItems::Background> background_;
    std::optional<QString> backgroundError_;
    bool loadingBackground_ = false;
    bool backgroundLoaded_ = false;
};
