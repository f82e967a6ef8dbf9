#include <gtest/gtest.h>

#include <QApplication>

#include "Support/QtTestSupport.h"

int main(int argc, char** argv) {
    // Never the real home: the relaunch mark lands in a temporary tree.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qttest::TempHome home;
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
