// Shows one window titled with its first argument until it is ended.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(argc > 1 ? QString::fromUtf8(argv[1]) : QString());
    window.resize(200, 100);
    window.show();
    return app.exec();
}
