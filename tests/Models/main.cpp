#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>

#include "Models/Kit/Localization.h"
#include "Platform/PlatformTestSupport.h"
#include "Support/QtTestSupport.h"

int main(int argc, char** argv) {
    // A thread keeps the mount namespace it was started in: enter the private one before
    // any thread exists, so worker threads see what the tests mount.
    platformtest::privateMountNamespace();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Nothing in this binary may reach the real home folder or its settings.
    qttest::TempHome home;

    QCoreApplication app(argc, argv);
    Localization::install();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
