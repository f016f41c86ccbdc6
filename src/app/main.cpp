// lanqi-search: the desktop client.

#include <QApplication>

#include "app/gui/main_window.h"
#include "app/gui/startup.h"

int main(int argc, char** argv) {
    // The client reads no arguments of its own; Qt takes its usual ones (-platform, -style, ...).
    QApplication app(argc, argv);
    // The program ends only through the usage notice or the main window's exit fade.
    QApplication::setQuitOnLastWindowClosed(false);

    // Global state lives in the main window and the search flow, for as long as the main window; the
    // product constants are compiled in; Qt's native style stands for the themed drawing of controls.
    if (lanqi::runNoticeDialog() != lanqi::NoticeOutcome::Agreed) return 0;

    lanqi::MainWindow window;
    QObject::connect(&window, &lanqi::MainWindow::programEndRequested, &app, [] { QCoreApplication::exit(0); });
    QObject::connect(&window, &lanqi::MainWindow::vendorAddressRequested, &lanqi::openVendorAddress);
    lanqi::presentMainWindow(window);
    lanqi::runVendorVisitAndUpdateCheck(window);
    return QApplication::exec();
}
