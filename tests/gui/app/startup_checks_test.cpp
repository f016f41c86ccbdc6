// Start-up's last steps against the sample server's vendor site: the visit of this version's page, the version
// file in versionInfoText, and the silent update check; then the manual check from the menus.

#include <gtest/gtest.h>

#include <unistd.h>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <memory>

#include "platform/qt/qt_text.h"
#include "app/gui/startup.h"
#include "app_test_support.h"
#include "support/qt_modal.h"

namespace lanqi {
namespace {

using test::q;

class StartupChecksTest : public test::AppWindowTest {
  protected:
    // A vendor base of its own on the sample server, so that its visits can be told apart.
    std::string useTaggedVendor(const std::string& tag) {
        const std::string vendor = base + "/" + tag + "-" + std::to_string(getpid());
        useVendor(vendor);
        return vendor;
    }

    // The paths requested under `vendor` so far, waiting up to 5 s for at least `count` of them.
    QStringList visits(const std::string& vendor, int count) {
        const std::string prefix = vendor.substr(base.size()) + "/";
        QStringList paths;
        QElapsedTimer clock;
        clock.start();
        do {
            paths = q(fetchUrl(base + "/_vendor/visits?prefix=" + prefix)).split(u'\n', Qt::SkipEmptyParts);
        } while (paths.size() < count && clock.elapsed() < 5000 && (QTest::qWait(20), true));
        return paths;
    }

    void runMainMenuEntry(const QString& entry) {
        test::chooseInNextMenu(entry);
        QTest::mousePress(control("标签2"), Qt::RightButton, {}, QPoint(20, 20));
    }

    test::OpenedAddresses opened;
};

const QString kLatest = QStringLiteral("\"岚栖种子搜索神器v1.9\" 已是最新版本，不需要升级。");

TEST_F(StartupChecksTest, SilentCheckOffersTheAnnouncedVersionAndYesOpensItsAddressThenTheVendor) {
    const std::string vendor = useTaggedVendor("vendor-new");
    const Bytes file = fetchUrl(vendor + "/soft/qabrelto/bbxx.txt");
    const QString fileText = toQString(file).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    ASSERT_TRUE(fileText.startsWith(QStringLiteral("岚栖种子搜索神器v2.0\n"))) << fileText.toStdString();

    test::SeenMessageBox offer;
    test::answerNextMessageBox(QMessageBox::Yes, &offer);
    controller.runVendorVisitAndUpdateCheck();

    ASSERT_TRUE(offer.appeared);
    EXPECT_EQ(offer.title, QStringLiteral("检测到新版本："));
    EXPECT_EQ(offer.text, fileText + QStringLiteral("\n\n是否更新？"));
    EXPECT_EQ(offer.icon, QMessageBox::Information);
    EXPECT_EQ(offer.buttons, (std::vector<QMessageBox::StandardButton>{QMessageBox::Yes, QMessageBox::No}));
    EXPECT_EQ(offer.buttonTexts, (std::vector<QString>{QStringLiteral("是"), QStringLiteral("否")}));
    EXPECT_EQ(offer.parent, nullptr);
    EXPECT_EQ(opened.addresses, (QStringList{q(vendor + "/soft/qabrelto/qabrelto2.0.zip"), q(vendor)}));
    EXPECT_EQ(controller.commands().versionInfoText(), file);
    EXPECT_FALSE(controller.commands().manualUpdateCheck());

    // This test's own fetch of the version file, then the client's visit and fetch (in either order).
    const QStringList paths = visits(vendor, 3);
    EXPECT_EQ(paths.size(), 3);
    EXPECT_EQ(paths.count(q(vendor.substr(base.size()) + "/soft/qabrelto/qabrelto1.9.html")), 1);
    EXPECT_EQ(paths.count(q(vendor.substr(base.size()) + "/soft/qabrelto/bbxx.txt")), 2);
}

TEST_F(StartupChecksTest, SilentCheckOnTheRunningVersionShowsNothingAndTheMenuEntriesReportIt) {
    const std::string vendor = useTaggedVendor("vendor-same");
    {
        test::MessageBoxAnswerer unexpected([](QMessageBox& box) { box.buttons().value(0)->click(); });
        controller.runVendorVisitAndUpdateCheck();
        QTest::qWait(50);
        EXPECT_FALSE(unexpected.answered());
    }
    EXPECT_TRUE(toQString(controller.commands().versionInfoText()).startsWith(QStringLiteral("岚栖种子搜索神器v1.9")));
    EXPECT_TRUE(opened.addresses.isEmpty());

    for (const char* entry : {"检查更新", "软件升级"}) {
        SCOPED_TRACE(entry);
        test::SeenMessageBox report;
        test::answerNextMessageBox(QMessageBox::Ok, &report);
        if (std::string(entry) == "检查更新") {
            runMainMenuEntry(QString::fromUtf8(entry));
        } else {
            pointSitesAt({"-items1", "-items1", "-items1", "-items1", "-items1", "-items1"});
            search(QStringLiteral("超能陆战队"));
            test::chooseInNextMenu(QString::fromUtf8(entry));
            QTest::mousePress(list().viewport(), Qt::RightButton, {}, rowCentre(0));
        }
        ASSERT_TRUE(report.appeared);
        EXPECT_EQ(report.title, QStringLiteral("软件更新："));
        EXPECT_EQ(report.text, kLatest);
        EXPECT_EQ(report.icon, QMessageBox::Information);
        EXPECT_EQ(report.buttons, std::vector<QMessageBox::StandardButton>{QMessageBox::Ok});
        EXPECT_TRUE(controller.commands().manualUpdateCheck());
    }
    EXPECT_EQ(visits(vendor, 2).size(), 2) << "the version file was fetched once, at start-up";
}

TEST_F(StartupChecksTest, WithoutTheVendorStartUpShowsNothingAndAManualCheckSaysTheServerWasNotReached) {
    useVendor("http://127.0.0.1:1");  // nothing listens on port 1
    {
        test::MessageBoxAnswerer unexpected([](QMessageBox& box) { box.buttons().value(0)->click(); });
        QElapsedTimer clock;
        clock.start();
        controller.runVendorVisitAndUpdateCheck();
        EXPECT_LT(clock.elapsed(), 5000);
        QTest::qWait(50);
        EXPECT_FALSE(unexpected.answered());
    }
    EXPECT_EQ(controller.commands().versionInfoText(), "");

    test::SeenMessageBox report;
    test::answerNextMessageBox(QMessageBox::Ok, &report);
    runMainMenuEntry(QStringLiteral("检查更新"));
    ASSERT_TRUE(report.appeared);
    EXPECT_EQ(report.title, QStringLiteral("软件更新："));
    EXPECT_EQ(report.text, QStringLiteral("无法连接升级服务器，暂时不能检查更新：请检查网络连接后重新启动软件再试。"));
    EXPECT_EQ(report.icon, QMessageBox::Critical);
    EXPECT_EQ(report.buttons, std::vector<QMessageBox::StandardButton>{QMessageBox::Ok});
    EXPECT_TRUE(opened.addresses.isEmpty());
}

TEST_F(StartupChecksTest, BadSettingsAreShownInOneBoxNamingTheFileAndTheLine) {
    LoadedSettings settings;
    settings.file = "/home/u/.config/lanqi-search/config.toml";
    settings.problems = {{SettingsProblem::BadAddress, 2, "site1.base"}, {SettingsProblem::UnknownTable, 4, "site7"}};
    test::SeenMessageBox seen;
    test::answerNextMessageBox(QMessageBox::Ok, &seen);
    controller.reportSettingsProblems(settings);
    ASSERT_TRUE(seen.appeared);
    EXPECT_EQ(seen.title, test::q("设置错误"));
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_TRUE(seen.text.contains(test::q("/home/u/.config/lanqi-search/config.toml:2：site1.base 不是带主机名的")));
    EXPECT_TRUE(seen.text.contains(test::q("config.toml:4：未知的表 [site7]")));
}

// Qt's own texts read in Chinese: the search box's edit menu has no English entry left.
TEST(QtTranslations, TheSearchBoxEditMenuReadsInChinese) {
    ASSERT_TRUE(loadQtTranslations(*QCoreApplication::instance()));
    QLineEdit box;
    std::unique_ptr<QMenu> menu(box.createStandardContextMenu());
    QStringList texts;
    for (const QAction* action : menu->actions())
        if (!action->isSeparator()) texts << action->text().section(u'\t', 0, 0);  // without "Ctrl+A"
    ASSERT_FALSE(texts.isEmpty());
    for (const QString& text : texts)
        EXPECT_FALSE(text.contains(QRegularExpression("[A-Za-z]{3}"))) << text.toStdString();
    EXPECT_TRUE(texts.join(QString()).contains(QStringLiteral("全选"))) << texts.join(u',').toStdString();
}

}  // namespace
}  // namespace lanqi
