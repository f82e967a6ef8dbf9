#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Nothing in this binary may reach the real home folder or its settings.
    QTemporaryDir home;
    if (!home.isValid()) return 2;
    const QByteArray h = home.path().toLocal8Bit();
    ::setenv("HOME", h.constData(), 1);
    ::setenv("XDG_CONFIG_HOME", (h + "/.config").constData(), 1);
    ::setenv("XDG_DATA_HOME", (h + "/.local/share").constData(), 1);

    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
