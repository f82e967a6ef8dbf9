#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include "Views/TestSupport.h"
#include "Views/Window/AppCommands.h"
#include "Views/Window/ContentView.h"
#include "Views/Window/MainWindow.h"

// The status item's menu holds the application's commands, and each works with the
// window closed, as it does from the tray.
TEST(AppCommands, TheMenuHoldsTheApplicationCommandsAndEachWorksWithTheWindowClosed) {
    Fixture f;
    MainWindow window(*f.state, *f.prefs);
    f.state->openMainWindow = [&window] { bringToFront(&window); };
    int checks = 0;
    AppCommands commands(*f.state, [&checks] { ++checks; });

    QStringList texts;
    for (QAction* a : commands.menu()->actions()) texts << a->text();
    EXPECT_EQ(texts, (QStringList{"Open Quelto", "Settings…", "Check for Updates…", "", "Quit Quelto"}));

    commands.settings()->trigger();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(f.state->showSettings());
    EXPECT_EQ(window.content()->screenIdentity(), "settings");

    window.close();
    f.state->setShowSettings(false);
    commands.openQuelto()->trigger();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(f.state->showSettings());

    commands.checkForUpdates()->trigger();
    commands.checkForUpdates()->trigger();
    EXPECT_EQ(checks, 2);
}
