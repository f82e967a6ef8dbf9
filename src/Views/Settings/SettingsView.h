#pragma once
#include <QFileDialog>
#include <QWidget>

#include <functional>
#include <optional>

#include "Models/Settings/SettingsLogic.h"

class Preferences;
class QLabel;
class QScrollArea;
class QVBoxLayout;
class SubTabs;
class Switch;
class Stepper;
class BorderedButton;
class PillButton;
namespace Platform { class LoginItemService; }

// The settings screen: four sections chosen with sub-tabs. Every control writes
// Preferences at once; there is nothing to apply or cancel.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    explicit SettingsView(Preferences& prefs, QWidget* parent = nullptr);
    // For tests: the login item the General section reads and switches.
    SettingsView(Preferences& prefs, Platform::LoginItemService& loginItem, QWidget* parent = nullptr);

    SettingsLogic::SettingsSection section() const { return section_; }
    // Shows a fresh view of the section (its own state starts anew).
    void setSection(SettingsLogic::SettingsSection section);
    QWidget* sectionView() const { return sectionView_; }
    SubTabs* sectionTabs() const { return tabs_; }

    // Asks the user for paths to add; returns none when cancelled. Tests install a
    // stand-in for the folder panel.
    using PathPicker = std::function<QStringList(bool canChooseFiles, QWidget* parent)>;
    static void setPathPickerForTesting(PathPicker picker);

private:
    Preferences& prefs_;
    Platform::LoginItemService& loginItem_;
    SettingsLogic::SettingsSection section_ = SettingsLogic::SettingsSection::general;
    SubTabs* tabs_;
    QWidget* panel_;
    QVBoxLayout* panelLayout_;
    QWidget* sectionView_ = nullptr;
};

// The panel of "Add folder…": folders, and files too where the list takes them,
// several at a time.
class PathPanel : public QFileDialog {
public:
    PathPanel(bool canChooseFiles, QWidget* parent = nullptr);
    // Takes the selection; stays open while nothing usable is selected.
    void accept() override;
    // What the user confirmed, as absolute paths.
    QStringList chosen;

private:
    bool canChooseFiles_;
};

// General: login item, preview mode, Trash rule, sound, age of old projects, Full Disk Access.
class GeneralSettings : public QWidget {
    Q_OBJECT
public:
    GeneralSettings(Preferences& prefs, Platform::LoginItemService& loginItem, QWidget* parent = nullptr);

    Switch* loginSwitch() const { return login_; }
    Switch* dryRunSwitch() const { return dryRun_; }
    Switch* alwaysTrashSwitch() const { return alwaysTrash_; }
    Switch* soundsSwitch() const { return sounds_; }
    Stepper* daysStepper() const { return stepper_; }
    QLabel* loginDetail() const { return loginDetail_; }
    QLabel* alwaysTrashDetail() const { return alwaysTrashDetail_; }
    QLabel* daysText() const { return days_; }
    QLabel* fullDiskAccessDetail() const { return fdaDetail_; }
    PillButton* fullDiskAccessButton() const { return fdaButton_; }

protected:
    void showEvent(QShowEvent*) override;

private:
    void showLogin(const SettingsLogic::LoginSwitch& state);
    void showDays(int days);
    void step(int delta);

    Preferences& prefs_;
    Platform::LoginItemService& loginItem_;
    Switch* login_;
    Switch* dryRun_;
    Switch* alwaysTrash_;
    Switch* sounds_;
    Stepper* stepper_;
    QLabel* loginDetail_;
    QLabel* alwaysTrashDetail_;
    QLabel* days_;
    QLabel* fdaDetail_;
    PillButton* fdaButton_;
};

// Menu Bar: one switch per metric the status item can show.
class MenuBarSettings : public QWidget {
    Q_OBJECT
public:
    explicit MenuBarSettings(Preferences& prefs, QWidget* parent = nullptr);
    Switch* metricSwitch(MenuBarMetric metric) const;

private:
    void showMetrics();
    Preferences& prefs_;
    QList<Switch*> switches_;
};

// Protected and Projects: an editable list of paths bound to one setting.
class PathListSettings : public QWidget {
    Q_OBJECT
public:
    PathListSettings(Preferences& prefs, SettingsLogic::PathList list, QWidget* parent = nullptr);

    std::optional<QString> selection() const { return selection_; }
    void select(const QString& entry);
    // Asks for paths and appends the new ones.
    void add();
    // Removes every entry equal to the selection.
    void removeSelection();
    BorderedButton* addButton() const { return addButton_; }
    BorderedButton* removeButton() const { return removeButton_; }
    // The rows on show, in order (the stored strings).
    QStringList shownRows() const;

private:
    void rebuild();

    Preferences& prefs_;
    SettingsLogic::PathList list_;
    std::optional<QString> selection_;
    QWidget* listArea_;
    QScrollArea* scroll_;
    QWidget* rows_;
    QVBoxLayout* rowsLayout_;
    QLabel* empty_;
    BorderedButton* addButton_;
    BorderedButton* removeButton_;
};
