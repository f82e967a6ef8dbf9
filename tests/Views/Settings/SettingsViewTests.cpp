#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileSystemModel>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "Models/Settings/SettingsLogic.h"
#include "Platform/Locations.h"
#include "Models/Kit/QtBridge.h"
#include "Views/TestSupport.h"
#include "Views/Kit/Controls.h"
#include "Views/Settings/SettingsView.h"
#include "Views/Kit/SubTabs.h"

using SettingsLogic::SettingsSection;

namespace {
struct Screen : Fixture {
    SettingsView view;
    Screen() : view(*prefs, *login) {
        view.resize(900, 600);
        view.show();
    }
    template <class T> T* section() { return qobject_cast<T*>(view.sectionView()); }
    void click(QWidget* w, QPoint at = {}) {
        QCoreApplication::processEvents();  // a new section's widgets show one turn later
        QTest::mouseClick(w, Qt::LeftButton, {}, at.isNull() ? w->rect().center() : at);
    }
};

struct PickerScope {
    QList<bool> asked;
    QStringList answer;
    PickerScope() {
        SettingsView::setPathPickerForTesting([this](bool files, QWidget*) {
            asked << files;
            return answer;
        });
    }
    ~PickerScope() { SettingsView::setPathPickerForTesting({}); }
};

QString home() { return pathToQString(Platform::Locations::home()); }
}  // namespace

TEST(SettingsView, StartsOnGeneralAndEachSectionIsFresh) {
    Screen s;
    EXPECT_EQ(s.view.section(), SettingsSection::general);
    EXPECT_NE(s.section<GeneralSettings>(), nullptr);
    QStringList titles;
    for (const auto& item : s.view.sectionTabs()->items()) titles << item.title;
    EXPECT_EQ(titles, QStringList({"General", "Menu Bar", "Protected", "Projects"}));

    SubTabs* tabs = s.view.sectionTabs();
    s.click(tabs, tabs->itemRect(2).center().toPoint());
    ASSERT_EQ(s.view.section(), SettingsSection::protected_);
    s.prefs->setProtectedPaths({"~/a"});
    s.section<PathListSettings>()->select("~/a");
    s.view.setSection(SettingsSection::menuBar);
    EXPECT_NE(s.section<MenuBarSettings>(), nullptr);
    s.view.setSection(SettingsSection::protected_);
    EXPECT_FALSE(s.section<PathListSettings>()->selection().has_value());
}

struct SwitchCase {
    const char* name;
    Switch* (GeneralSettings::*control)() const;
    bool (Preferences::*value)() const;
    bool initially;
};

class GeneralSwitches : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(GeneralSwitches, FlipAndPersistAtOnce) {
    const auto& c = GetParam();
    Screen s;
    auto* general = s.section<GeneralSettings>();
    Switch* sw = (general->*c.control)();
    EXPECT_EQ(sw->isChecked(), c.initially);
    s.click(sw);
    EXPECT_EQ(((*s.prefs).*c.value)(), !c.initially);
    EXPECT_EQ(sw->isChecked(), !c.initially);
    EXPECT_EQ(((*s.reread()).*c.value)(), !c.initially) << "stored for the next launch";
}

INSTANTIATE_TEST_SUITE_P(EachSwitch, GeneralSwitches,
                         ::testing::Values(SwitchCase{"dryRun", &GeneralSettings::dryRunSwitch, &Preferences::dryRun, false},
                                           SwitchCase{"alwaysTrash", &GeneralSettings::alwaysTrashSwitch, &Preferences::alwaysTrash, false},
                                           SwitchCase{"sounds", &GeneralSettings::soundsSwitch, &Preferences::sounds, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GeneralSettings, TrashDetailFollowsTheSwitch) {
    Screen s;
    auto* general = s.section<GeneralSettings>();
    EXPECT_EQ(general->alwaysTrashDetail()->text(), SettingsLogic::alwaysTrashDetail(false));
    s.click(general->alwaysTrashSwitch());
    EXPECT_EQ(general->alwaysTrashDetail()->text(),
              "Everything Quelto removes goes to the Trash, so you can put it back.");
}

TEST(GeneralSettings, FullDiskAccessRowSaysItIsOnHere) {
    Screen s;
    EXPECT_EQ(s.section<GeneralSettings>()->fullDiskAccessDetail()->text(),
              QString::fromUtf8("On — Quelto can see Mail, Safari and the Trash."));
}

TEST(GeneralSettings, StepperKeepsDaysWithinAYear) {
    struct { int stored; bool up; int expected; } cases[] = {
        {30, true, 31}, {30, false, 29}, {365, true, 365}, {1, false, 1}, {2, false, 1},
        {400, true, 400}, {400, false, 365}, {0, true, 1}, {-5, false, -5},
    };
    for (auto c : cases) {
        Screen s;
        s.prefs->setStaleProjectDays(c.stored);
        auto* general = s.section<GeneralSettings>();
        Stepper* stepper = general->daysStepper();
        s.click(stepper, QPoint(stepper->width() / 2, c.up ? 3 : stepper->height() - 3));
        EXPECT_EQ(s.prefs->staleProjectDays(), c.expected) << c.stored << (c.up ? " up" : " down");
        EXPECT_EQ(general->daysText()->text(), c.expected == 1 ? QString("1 day") : QString("%1 days").arg(c.expected));
    }
}

TEST(GeneralSettings, LoginSwitchShowsWhatTheSystemReports) {
    {
        Screen s;
        auto* general = s.section<GeneralSettings>();
        s.click(general->loginSwitch());
        EXPECT_EQ(s.login->registers, 1);
        EXPECT_TRUE(general->loginSwitch()->isChecked());
        s.click(general->loginSwitch());
        EXPECT_EQ(s.login->unregisters, 1);
        EXPECT_FALSE(general->loginSwitch()->isChecked());
    }
    {
        Screen s;
        s.login->afterRegister = Platform::LoginItemService::Status::requiresApproval;
        auto* general = s.section<GeneralSettings>();
        s.click(general->loginSwitch());
        EXPECT_FALSE(general->loginSwitch()->isChecked());
        EXPECT_EQ(general->loginDetail()->text(), "Waiting for approval in System Settings › General › Login Items.");
        EXPECT_EQ(s.login->settingsOpened, 1);
    }
    {
        Fixture f;
        f.login->current = Platform::LoginItemService::Status::enabled;
        SettingsView view(*f.prefs, *f.login);
        EXPECT_TRUE(qobject_cast<GeneralSettings*>(view.sectionView())->loginSwitch()->isChecked());
    }
}

TEST(MenuBarSettings, SwitchesStoreMetricsInDeclarationOrder) {
    Screen s;
    s.prefs->setMenuBarMetrics({});
    s.view.setSection(SettingsSection::menuBar);
    auto* bar = s.section<MenuBarSettings>();
    for (MenuBarMetric m : MenuBarMetrics::allCases) EXPECT_FALSE(bar->metricSwitch(m)->isChecked());
    s.click(bar->metricSwitch(MenuBarMetric::battery));
    s.click(bar->metricSwitch(MenuBarMetric::cpu));
    EXPECT_EQ(s.prefs->menuBarMetrics(), QList<MenuBarMetric>({MenuBarMetric::cpu, MenuBarMetric::battery}));
    EXPECT_EQ(s.reread()->menuBarMetrics(), QList<MenuBarMetric>({MenuBarMetric::cpu, MenuBarMetric::battery}));
    s.click(bar->metricSwitch(MenuBarMetric::cpu));
    s.click(bar->metricSwitch(MenuBarMetric::battery));
    EXPECT_TRUE(s.prefs->menuBarMetrics().isEmpty());
}

TEST(PathListSettings, AddsChosenPathsOnceWithTheHomeWrittenAsTilde) {
    PickerScope picker;
    Screen s;
    s.view.setSection(SettingsSection::protected_);
    auto* list = s.section<PathListSettings>();
    EXPECT_TRUE(list->shownRows().isEmpty());
    EXPECT_TRUE(list->findChild<QLabel*>() != nullptr);

    picker.answer = {home() + "/Documents/Taxes", home() + "/notes.txt", "/srv/shared", home()};
    s.click(list->addButton());
    picker.answer = {home() + "/Documents/Taxes"};
    s.click(list->addButton());
    EXPECT_EQ(picker.asked, QList<bool>({true, true}));  // files allowed here
    const QStringList expected = {"~/Documents/Taxes", "~/notes.txt", "/srv/shared", "~"};
    EXPECT_EQ(s.prefs->protectedPaths(), expected);
    EXPECT_EQ(list->shownRows(), expected);
    EXPECT_EQ(s.reread()->protectedPaths(), expected);

    picker.answer = {};  // cancelled
    s.click(list->addButton());
    EXPECT_EQ(s.prefs->protectedPaths(), expected);
}

TEST(PathListSettings, ProjectsChooseFoldersOnly) {
    PickerScope picker;
    Screen s;
    s.view.setSection(SettingsSection::projects);
    auto* list = s.section<PathListSettings>();
    EXPECT_EQ(list->shownRows(), Preferences::defaultProjectRoots());
    s.click(list->addButton());
    EXPECT_EQ(picker.asked, QList<bool>({false}));
}

TEST(PathListSettings, RemoveDropsEveryCopyOfTheSelection) {
    Screen s;
    s.prefs->setProjectRoots({"~/code", "~/dup", "~/dup", "~/src"});
    s.view.setSection(SettingsSection::projects);
    auto* list = s.section<PathListSettings>();
    EXPECT_FALSE(list->removeButton()->isEnabled());
    // Press the second row: it becomes the selection.
    auto rows = list->findChildren<QAbstractButton*>();
    QAbstractButton* dupRow = nullptr;
    for (auto* r : rows)
        if (r->text() == "~/dup") dupRow = r;
    ASSERT_NE(dupRow, nullptr);
    s.click(dupRow);
    EXPECT_EQ(list->selection(), QString("~/dup"));
    EXPECT_TRUE(list->removeButton()->isEnabled());
    s.click(list->removeButton());
    EXPECT_EQ(s.prefs->projectRoots(), QStringList({"~/code", "~/src"}));
    EXPECT_FALSE(list->selection().has_value());
    EXPECT_FALSE(list->removeButton()->isEnabled());
}

// The real panel, driven as a user would: select entries in its list, press its button.
class PanelSelection : public ::testing::TestWithParam<bool> {};

TEST_P(PanelSelection, ConfirmsWhatTheListAccepts) {
    const bool canChooseFiles = GetParam();
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("Photos");
    QDir(dir.path()).mkpath("Taxes");
    QFile note(dir.path() + "/notes.txt");
    ASSERT_TRUE(note.open(QIODevice::WriteOnly));
    note.close();

    PathPanel panel(canChooseFiles);
    panel.setDirectory(dir.path());
    panel.show();
    auto* view = panel.findChild<QListView*>("listView");
    ASSERT_NE(view, nullptr);
    auto* model = qobject_cast<QFileSystemModel*>(view->model());
    ASSERT_NE(model, nullptr);
    QElapsedTimer waited;
    waited.start();
    while (model->rowCount(model->index(dir.path())) < (canChooseFiles ? 3 : 2) && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);

    auto choose = [&](QStringList names) {
        view->selectionModel()->clearSelection();
        for (const QString& n : names)
            view->selectionModel()->select(model->index(dir.path() + "/" + n),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCoreApplication::processEvents();
        auto* buttons = panel.findChild<QDialogButtonBox*>();
        QAbstractButton* confirm = buttons ? buttons->buttons().value(0) : nullptr;
        for (QAbstractButton* b : buttons ? buttons->buttons() : QList<QAbstractButton*>())
            if (buttons->buttonRole(b) == QDialogButtonBox::AcceptRole) confirm = b;
        return confirm && confirm->isEnabled();
    };

    EXPECT_TRUE(choose({"Photos", "Taxes"}));
    panel.accept();
    EXPECT_EQ(panel.chosen, QStringList({dir.path() + "/Photos", dir.path() + "/Taxes"}));

    // A file alone: the Protected list takes it, the Projects list never shows or takes it.
    panel.chosen.clear();
    const bool fileAccepted = choose({"notes.txt"});
    if (canChooseFiles) {
        EXPECT_TRUE(fileAccepted);
        panel.accept();
        EXPECT_EQ(panel.chosen, QStringList({dir.path() + "/notes.txt"}));
    } else {
        panel.accept();
        EXPECT_FALSE(panel.chosen.contains(dir.path() + "/notes.txt"));
    }
}

INSTANTIATE_TEST_SUITE_P(ProtectedAndProjects, PanelSelection, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "FilesAndFolders" : "FoldersOnly"; });
