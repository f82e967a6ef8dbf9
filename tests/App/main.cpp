#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>

#include "Support/QtTestSupport.h"

int main(int argc, char** argv) {
    // The programs these tests start get homes of their own; this one never uses the real one.
    qttest::TempHome home;
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
