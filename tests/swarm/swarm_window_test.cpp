// 检查健康度 in the Qt client as its user meets it: the sample sites (started for this test, inside its network
// namespace) give a first row whose hash the local swarm seeds; the check fills that row's 健康 cell and the
// torrent's own name and files follow its details.

#include <QHeaderView>
#include <QMessageBox>

#include "../gui/app/app_test_support.h"
#include "app/core/swarm_health.h"
#include "app/gui/result_table.h"
#include "platform/qt/qt_text.h"
#include "support/local_swarm.h"
#include "support/qt_modal.h"
#include "swarm/torrent_swarm.h"

namespace lanqi {
namespace {

class SwarmWindowTest : public test::AppWindowTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::onlyLoopback()) << "runs only where nothing but loopback can be reached";
        ASSERT_TRUE(swarmCheckAvailable());
        swarm.start(LANQI_SWARM_FIXTURE, 7);
        ASSERT_TRUE(swarm.problem.empty()) << swarm.problem;
        test::AppWindowTest::SetUp();
    }

    // The sites point at the sample server with site 1's first row on the swarm's hash and the others down;
    // the swarm check on, over the local tracker and DHT node alone.
    void useLocalSwarm() {
        pointSitesAt({"-items3-hash" + swarm.hash, "-down", "-down", "-down", "-down", "-down"});
        Settings settings = controller.client().settings();
        settings.swarm.enabled = settings.swarm.asked = true;
        settings.swarm.trackers = {swarm.tracker};
        settings.swarm.dhtBootstrap = {swarm.dhtNode};
        settings.swarm.listen = "127.0.0.1";
        settings.swarm.timeoutSeconds = 15;
        controller.client().useSettings(settings, builtInSiteSlots());
        controller.client().useSwarm(makeTorrentSwarmChecker);
    }

    QString healthCell(int line) {
        ResultTableModel& model = window.resultTable().model();
        return model.data(model.index(line, static_cast<int>(ResultColumn::Health)), Qt::DisplayRole).toString();
    }

    test::LocalSwarm swarm;
};

TEST_F(SwarmWindowTest, CheckingARowFillsItsHealthCellAndItsDetails) {
    useLocalSwarm();
    search(QStringLiteral("超能陆战队"));
    QTest::keyClick(&window, Qt::Key_2, Qt::ControlModifier);
    ResultTable& table = window.resultTable();
    ASSERT_EQ(table.model().rowCount(), 3);
    ASSERT_EQ(table.model().magnetLinkOf(0).toLower().toStdString(), "magnet:?xt=urn:btih:" + swarm.hash);
    EXPECT_EQ(healthCell(0), QString());

    // 检查健康度 from the row's menu; the window goes on taking events while the check runs.
    test::SeenMenu menu;
    test::chooseInNextMenu(QStringLiteral("检查健康度"), &menu);
    const QRect row = table.visualRect(table.model().index(0, 0));
    QTest::mousePress(table.viewport(), Qt::RightButton, {}, row.center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu.appeared; }, 5000));
    // The menu's handler has returned; what the check finds comes later, through the event loop.
    EXPECT_TRUE(healthCell(0).isEmpty() || healthCell(0).startsWith(QStringLiteral("检查中")))
        << healthCell(0).toStdString();

    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QString cell = healthCell(0);
            return !cell.isEmpty() && !cell.startsWith(QStringLiteral("检查中"));
        },
        20000))
        << healthCell(0).toStdString();
    // One seeder, and nobody else: the check itself is neither a downloader nor a peer of the swarm.
    EXPECT_EQ(healthCell(0), QStringLiteral("1 做种 · 0 下载 · 1 节点"));
    EXPECT_EQ(healthCell(1), QString()) << "only the checked row";
    const QString tip = table.model().data(table.model().index(0, 0), Qt::ToolTipRole).toString();
    EXPECT_TRUE(tip.contains(QStringLiteral("\n健康度：") + healthCell(0) + QStringLiteral("，检查于 ")))
        << tip.toStdString();

    // The picture the user guide shows, when asked for:
    //   LANQI_HEALTH_SCREENSHOT=$PWD/docs/screenshots/health.png ctest --preset default -R gui.swarm_window_test
    if (const char* shot = std::getenv("LANQI_HEALTH_SCREENSHOT"))
        EXPECT_TRUE(window.grab().save(QString::fromUtf8(shot)));

    // 查看文件详情: the site's lines, then the torrent's own name and every file of it.
    test::SeenMessageBox details;
    test::answerNextMessageBox(QMessageBox::Ok, &details);
    test::chooseInNextMenu(QStringLiteral("查看文件详情"));
    QTest::mousePress(table.viewport(), Qt::RightButton, {}, row.center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return details.appeared; }, 5000));
    const std::string text = details.text.toStdString();
    EXPECT_NE(text.find("种子名称：" + swarm.name), std::string::npos) << text;
    EXPECT_NE(
        text.find("种子大小：" + byteSizeText(swarm.totalSize) + "，" + std::to_string(swarm.files.size()) + " 个文件"),
        std::string::npos)
        << text;
    for (const auto& [path, size] : swarm.files)
        EXPECT_NE(text.find("  " + path + "  (" + byteSizeText(size) + ")"), std::string::npos) << path;
}

}  // namespace
}  // namespace lanqi
