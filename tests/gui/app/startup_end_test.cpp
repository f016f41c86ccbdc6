// The program ending while start-up still waits for the vendor's version file. A test of its own: the end of the
// exit fade ends Qt's event loops for the rest of the process.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include "app/gui/startup.h"
#include "app_test_support.h"

namespace lanqi {
namespace {

class StartupEndTest : public test::AppWindowTest {};

TEST_F(StartupEndTest, TheWindowStaysLiveDuringTheFetchAndClosingItEndsTheWait) {
    useVendor(base + "/vendor-stall");  // answers nothing for two minutes
    QString titleDuringTheWait;
    QTimer::singleShot(100, [this, &titleDuringTheWait] {
        search(QStringLiteral("超能陆战队"));  // a whole run while start-up waits
        titleDuringTheWait = window.windowTitle();
        window.close();  // starts the exit fade: 64 ticks of 15 ms
    });
    QElapsedTimer clock;
    clock.start();
    controller.runVendorVisitAndUpdateCheck();
    EXPECT_LT(clock.elapsed(), 8000);
    EXPECT_TRUE(titleDuringTheWait.contains(QStringLiteral("搜索完成"))) << titleDuringTheWait.toStdString();
    EXPECT_TRUE(controller.programEnding());
    EXPECT_EQ(controller.commands().versionInfoText(), "");
}

}  // namespace
}  // namespace lanqi
