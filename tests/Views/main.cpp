#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>

#include "Models/Kit/Localization.h"
#include "Support/QtTestSupport.h"
#include "Views/Kit/Symbols.h"
#include "Views/Kit/Theme.h"

int main(int argc, char** argv) {
    // Never the real home: every setting and the login item live in a temporary tree.
    // A run started by a test on a private X server draws there instead.
    const QByteArray display = qgetenv("QUELTO_TEST_X_DISPLAY");
    if (display.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else {
        qputenv("QT_QPA_PLATFORM", "xcb");
        qputenv("DISPLAY", display);
    }
    qttest::TempHome home;
    std::filesystem::create_directories(home / ".config");
    std::filesystem::create_directories(home / ".local/share");

    QApplication app(argc, argv);
    Localization::install();
    Theme::applyApplicationLook(app);
    Symbols::installAsIconFallback();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
