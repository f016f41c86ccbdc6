// 站点设置 as a user meets it: edit an address, test a slot against the sample sites and against a closed port,
// have a bad address refused, save, open it again.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <fstream>

#include "app/gui/settings_window.h"
#include "app_test_support.h"
#include "search/site_check.h"
#include "support/scratch_folder.h"

namespace lanqi {
namespace {

using test::q;

class SettingsWindowTest : public test::AppWindowTest {
  protected:
    void SetUp() override {
        test::AppWindowTest::SetUp();
        char pattern[] = "/tmp/lanqi-settings-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder = pattern;
        file = folder + "/lanqi-search/config.toml";
        std::filesystem::create_directories(folder + "/lanqi-search");
        std::ofstream(file) << "[site6]\nenabled = false\n";
    }
    void TearDown() override {
        std::filesystem::remove_all(folder);
        test::AppWindowTest::TearDown();
    }

    std::unique_ptr<SettingsWindow> open() {
        SettingsWindow::Context context;
        context.file = file;
        context.testKeyword = gbk(u8"超能陆战队");
        for (int n = 1; n <= 6; ++n) context.lastRun.push_back(describeLastRun(controller.searchFlow(), n));
        context.applied = [this](const Settings&) { ++applied; };
        auto settings = std::make_unique<SettingsWindow>(std::move(context));
        settings->show();
        return settings;
    }
    template <typename Widget>
    static Widget* part(SettingsWindow& settings, const QString& name) {
        auto* found = settings.findChild<Widget*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    // Clicks 测试 of `slot` and waits for its answer: the whole text, as a screen reader hears it.
    static QString testSlot(SettingsWindow& settings, int slot) {
        QLabel* result = part<QLabel>(settings, QStringLiteral("站点%1测试结果").arg(slot));
        QTest::mouseClick(part<QPushButton>(settings, QStringLiteral("站点%1测试").arg(slot)), Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return result->accessibleDescription().contains(q("毫秒")); }, 20000));
        EXPECT_EQ(result->toolTip(), result->accessibleDescription());
        return result->accessibleDescription();
    }
    static std::string content(const std::string& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::string folder;
    std::string file;
    int applied = 0;
};

TEST_F(SettingsWindowTest, TestEditRefuseSaveAndReopen) {
    search(q("超能陆战队"));
    auto settings = open();
    EXPECT_TRUE(part<QLabel>(*settings, q("站点1上次搜索"))->text().contains(q("条结果")));
    EXPECT_FALSE(part<QCheckBox>(*settings, q("站点6"))->isChecked());  // as the file says

    settings->show();
    const int width = settings->width();
    settings->baseEdit(1)->setText(q(base + "/site1-items2/"));
    const QString found = testSlot(*settings, 1);
    EXPECT_TRUE(found.startsWith(q("2 条结果"))) << found.toStdString();
    settings->baseEdit(2)->setText(q("http://127.0.0.1:1/site2"));  // nothing listens there
    const QString refused = testSlot(*settings, 2);
    EXPECT_TRUE(refused.startsWith(q("连接失败：连接被拒绝"))) << refused.toStdString();
    const QString site4 = settings->baseEdit(4)->text();
    settings->baseEdit(4)->setText(q(base + "/site4-error"));
    const QString other = testSlot(*settings, 4);
    EXPECT_TRUE(other.startsWith(q("不是该站点的结果页"))) << other.toStdString();
    settings->baseEdit(4)->setText(site4);
    QApplication::processEvents();
    EXPECT_EQ(settings->width(), width) << "the window keeps its width whatever the results say";
    // Editing the address forgets its result: it was about the address before.
    QTest::keyClicks(settings->baseEdit(2), q("x"));
    EXPECT_TRUE(part<QLabel>(*settings, q("站点2测试结果"))->accessibleDescription().isEmpty());
    QTest::keyClick(settings->baseEdit(2), Qt::Key_Backspace);

    // A bad address is refused in place: nothing is written, the window stays.
    const std::string before = content(file);
    settings->baseEdit(3)->setText(q("ftp://elsewhere"));
    QTest::mouseClick(part<QPushButton>(*settings, q("保存")), Qt::LeftButton);
    EXPECT_TRUE(settings->isVisible());
    EXPECT_TRUE(part<QLabel>(*settings, q("设置提示"))->text().contains(q("http://")));
    EXPECT_EQ(content(file), before);

    settings->baseEdit(3)->setText(q(base + "/site3"));
    QTest::mouseClick(part<QPushButton>(*settings, q("保存")), Qt::LeftButton);
    EXPECT_EQ(settings->result(), QDialog::Accepted);
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(content(file + ".bak"), before);
    const LoadedSettings saved = loadSettings(file, false);
    EXPECT_TRUE(saved.problems.empty()) << saved.report(false);
    EXPECT_EQ(saved.settings.sites[0].base, base + "/site1-items2");
    EXPECT_EQ(saved.settings.sites[1].base, "http://127.0.0.1:1/site2");
    EXPECT_FALSE(saved.settings.sites[5].enabled);

    auto again = open();
    EXPECT_EQ(again->baseEdit(1)->text(), q(base + "/site1-items2"));
    // 取消 changes nothing.
    again->baseEdit(1)->setText(q("http://changed.example"));
    QTest::mouseClick(part<QPushButton>(*again, q("取消")), Qt::LeftButton);
    EXPECT_EQ(again->result(), QDialog::Rejected);
    EXPECT_EQ(loadSettings(file, false).settings.sites[0].base, base + "/site1-items2");
}

}  // namespace
}  // namespace lanqi
