#include "app/gui/startup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/core/client_start.h"
#include "app/core/vendor.h"
#include "app/gui/app_controller.h"
#include "app/gui/main_window.h"
#include "app/gui/window_fades.h"
#include "platform/product.h"
#include "platform/qt/qt_desktop_services.h"

namespace lanqi {

NoticeOutcome runNoticeDialog(const Text& vendorBase) {
    NoticeDialog notice(vendorBase);
    QObject::connect(&notice, &NoticeDialog::vendorAddressRequested, [vendorBase] { openVendorAddress(vendorBase); });
    notice.exec();
    return notice.outcome();
}

void presentMainWindow(MainWindow& window, int stepDelay) {
    window.setWindowTitle(titlePrefix());
    fadeInWidget(window, stepDelay);
    window.resetPlayerGeometry();
}

bool loadQtTranslations(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

void openVendorAddress(const Text& vendorBase) { QtDesktopServices().openAddress(vendorBase); }

}  // namespace lanqi
