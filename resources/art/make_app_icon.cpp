// Writes the application icon the running program draws for its windows as
// "quelto.png", for the desktop's launcher entry, so the launcher and the program
// show the same picture.
//
//   make_app_icon <output folder>
#include <QDir>
#include <QGuiApplication>

#include <cstdio>

#include "Views/Kit/QueltoMark.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_app_icon <output folder>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString file = QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("quelto.png"));
    return QueltoMark::applicationIconImage(256).save(file) ? 0 : 1;
}
