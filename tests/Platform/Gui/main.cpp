#include <QGuiApplication>

#include <gtest/gtest.h>

#include <cstdlib>

#include "Support/QtTestSupport.h"

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qttest::TempHome home;
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
