#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>

#include "Views/Theme.h"

int main(int argc, char** argv) {
    // Never the real home: every setting and the login item live in a temporary tree.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    if (!home.isValid()) return 2;
    const QByteArray root = home.path().toLocal8Bit();
    QDir(home.path()).mkpath(QStringLiteral(".config"));
    QDir(home.path()).mkpath(QStringLiteral(".local/share"));
    setenv("HOME", root.constData(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/.config").constData(), 1);
    setenv("XDG_DATA_HOME", (root + "/.local/share").constData(), 1);
    setenv("XDG_CACHE_HOME", (root + "/.cache").constData(), 1);

    QApplication app(argc, argv);
    Theme::applyApplicationLook(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
