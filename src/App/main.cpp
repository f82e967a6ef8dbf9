#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName("Quelto");
    QMainWindow w;
    w.setWindowTitle("Quelto");
    w.resize(1000, 680);
    w.setMinimumSize(860, 600);
    w.setStyleSheet("background:#0b0d1a;");
    w.show();
    return app.exec();
}
