#include "app/gui/startup.h"

#include <QDesktopServices>
#include <QUrl>

#include "app/core/vendor.h"
#include "app/gui/main_window.h"
#include "app/gui/window_fades.h"
#include "platform/product.h"

namespace lanqi {

NoticeOutcome runNoticeDialog() {
    NoticeDialog notice;
    QObject::connect(&notice, &NoticeDialog::vendorAddressRequested, &openVendorAddress);
    notice.exec();
    return notice.outcome();
}

void presentMainWindow(MainWindow& window, int stepDelay) {
    window.setWindowTitle(titlePrefix());
    fadeInWidget(window, stepDelay);
    window.resetPlayerGeometry();
}

void runVendorVisitAndUpdateCheck(MainWindow& window) {
    // The vendor page visit (vendorBaseAddress + kUpdatePath + kProductCode + "1.9.html"), the fetch of
    // the version file into versionInfoText and checkForUpdate(false) join here.
    (void)window;
}

void openVendorAddress() { QDesktopServices::openUrl(QUrl(QString::fromStdString(vendorBaseAddress()))); }

}  // namespace lanqi
