#include <gtest/gtest.h>

#include <QTest>

#include "Views/Apps/AppsView.h"
#include "Views/Apps/StartupView.h"
#include "Views/Kit/ScreenStack.h"
#include "Views/Kit/SubTabs.h"
#include "Views/TestSupport.h"

TEST(AppsView, SubTabsFollowAndWriteTheAppsMode) {
    ShownContent s;
    s.state->setTab(AppTab::apps);
    auto* apps = qobject_cast<AppsView*>(s.view.screens()->screen());
    ASSERT_NE(apps, nullptr);
    SubTabs* tabs = apps->subTabs();
    QStringList titles;
    for (const auto& item : tabs->items()) titles << item.title;
    EXPECT_EQ(titles, QStringList({"Uninstall", "Updates", "Startup"}));
    EXPECT_EQ(tabs->selection(), "uninstall");

    // A click writes the mode; the mode picks the screen; a mode set elsewhere moves the bar.
    for (AppsMode mode : {AppsMode::startup, AppsMode::updates, AppsMode::uninstall}) {
        const int index = static_cast<int>(mode);
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->itemRect(index).center().toPoint());
        EXPECT_EQ(s.state->appsMode(), mode);
        EXPECT_EQ(apps->screen()->objectName(), "apps-" + rawValue(mode));
    }
    s.state->setAppsMode(AppsMode::startup);
    EXPECT_EQ(tabs->selection(), "startup");
    EXPECT_EQ(apps->screen()->objectName(), "apps-startup");
    EXPECT_NE(qobject_cast<StartupView*>(apps->screen()), nullptr);

    // Leaving the tab and coming back keeps the sub-tab.
    s.state->setTab(AppTab::clean);
    s.state->setTab(AppTab::apps);
    apps = qobject_cast<AppsView*>(s.view.screens()->screen());
    ASSERT_NE(apps, nullptr);
    EXPECT_EQ(apps->subTabs()->selection(), "startup");
}
