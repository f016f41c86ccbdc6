#include "app/gui/startup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/core/background.h"
#include "app/core/update_check.h"
#include "app/core/vendor.h"
#include "app/gui/app_controller.h"
#include "app/gui/main_window.h"
#include "app/gui/window_fades.h"
#include "platform/net.h"
#include "platform/product.h"
#include "platform/qt/qt_desktop_services.h"

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

void runVendorVisitAndUpdateCheck(AppController& controller) {
    runDetached([page = vendorPageAddress()] { fetchUrl(page); });

    const auto fetched = runProcessingEvents([file = versionFileAddress()] { return fetchUrl(file); },
                                             controller.events(), [&controller] { return controller.programEnding(); });
    if (!fetched) return;
    controller.commands().setVersionFile(*fetched);
    if (!controller.programEnding()) controller.commands().checkForUpdateAtStartUp();
}

void reportSettingsProblems(AppController& controller, const LoadedSettings& settings) {
    if (settings.problems.empty()) return;
    Text text = gbk(u8"设置文件有错误，以下各项改用内置值：\r\n");
    for (const SettingsProblem& problem : settings.problems) {
        std::string line = problem.where(settings.file) + "：";
        line += problem.chinese();
        Text shown = gbk(line);
        if (shown.empty()) shown = gbk("第" + std::to_string(problem.line) + "行：" + problem.english());
        text += "\r\n" + shown;
    }
    controller.desktop().showMessageBox(text, kMessageOk | kMessageIconWarning, gbk(u8"设置错误"),
                                        &controller.mainWindowHandle());
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

void openVendorAddress() { QtDesktopServices().openAddress(vendorBaseAddress()); }

}  // namespace lanqi
