// 站点设置 as a user meets it: edit an address, test a slot against the sample sites and against a closed port,
// have a bad address refused, save, open it again.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/gui/settings_window.h"
#include "app_test_support.h"
#include "search/site_check.h"
#include "support/qt_modal.h"
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

// Slots of the user's own come and go: added at the end, removed with the later ones moving down a number,
// saved without a gap; the window keeps its width through all of it and through 测试.
TEST_F(SettingsWindowTest, SlotsAreAddedAndRemovedAndTheWindowKeepsItsWidth) {
    auto settings = open();
    QApplication::processEvents();
    const int width = settings->width();
    QPushButton* add = part<QPushButton>(*settings, q("添加站点"));
    const auto click = [&](const QString& button) {
        QTest::mouseClick(part<QPushButton>(*settings, button), Qt::LeftButton);
        QApplication::processEvents();
    };
    const auto definitions = [&](int slot) {
        return part<QComboBox>(*settings, QStringLiteral("站点%1定义").arg(slot));
    };
    struct Step {
        const char* what;
        std::function<void()> act;
        int rows;
        QString focused;  // the control with the focus afterwards, "" when any
    };
    const Step steps[] = {
        {"添加站点", [&] { click(q("添加站点")); }, 7, q("站点7地址")},
        {"添加站点 again", [&] { click(q("添加站点")); }, 8, q("站点8地址")},
        {"both given sample sites",
         [&] {
             settings->baseEdit(7)->setText(q(base + "/site1-items2"));
             definitions(7)->setCurrentText(q("site1"));
             settings->baseEdit(8)->setText(q(base + "/site2"));
             definitions(8)->setCurrentText(q("site2"));
             part<QCheckBox>(*settings, q("站点8"))->setChecked(false);
         },
         8, QString()},
        {"the second tested",
         [&] { EXPECT_TRUE(testSlot(*settings, 8).contains(q("条结果"))) << testSlot(*settings, 8).toStdString(); }, 8,
         QString()},
        {"the first removed", [&] { click(q("站点7删除")); }, 7, q("站点7地址")},
        {"the last one's 删除 leaves the focus on 添加站点",
         [&] {
             click(q("添加站点"));
             click(q("站点8删除"));
         },
         7, q("添加站点")},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(settings->rowCount(), step.rows);
        EXPECT_EQ(settings->findChild<QLineEdit*>(QStringLiteral("站点%1地址").arg(step.rows + 1)), nullptr);
        if (!step.focused.isEmpty()) {
            ASSERT_NE(settings->focusWidget(), nullptr);
            EXPECT_EQ(settings->focusWidget()->objectName(), step.focused);
        }
        EXPECT_EQ(settings->width(), width) << "the window keeps its width";
        EXPECT_TRUE(add->isEnabled());
    }
    // The second added is slot 7 now, with what was typed and chosen there; its test was about slot 8.
    EXPECT_EQ(settings->baseEdit(7)->text(), q(base + "/site2"));
    EXPECT_EQ(definitions(7)->currentText(), q("site2"));
    EXPECT_FALSE(part<QCheckBox>(*settings, q("站点7"))->isChecked());
    EXPECT_TRUE(part<QLabel>(*settings, q("站点7测试结果"))->accessibleDescription().isEmpty());
    EXPECT_EQ(settings->findChild<QPushButton*>(q("站点6删除")), nullptr) << "a built-in slot stays";

    QTest::mouseClick(part<QPushButton>(*settings, q("保存")), Qt::LeftButton);
    EXPECT_EQ(settings->result(), QDialog::Accepted) << part<QLabel>(*settings, q("设置提示"))->text().toStdString();
    const LoadedSettings saved = loadSettings(file, false);
    EXPECT_TRUE(saved.problems.empty()) << saved.report(false);
    ASSERT_EQ(saved.settings.sites.size(), 7u);
    EXPECT_EQ(saved.settings.sites[6].base, base + "/site2");
    EXPECT_EQ(saved.settings.sites[6].definition, "site2");
    EXPECT_FALSE(saved.settings.sites[6].enabled);
    EXPECT_NE(content(file).find("[site7]"), std::string::npos);
    EXPECT_EQ(content(file).find("[site8]"), std::string::npos);
}

// From the built-in placeholders to a working client: every slot set to a sample site in the window, each
// tested, saved, and the next search finds rows at every slot; 测试 never moves the window's edges.
TEST_F(SettingsWindowTest, EverySlotSetTestedAndSavedThenASearchFindsRowsAtEach) {
    for (int n = 1; n <= 6; ++n) unsetenv(("LANQI_SITE" + std::to_string(n) + "_BASE").c_str());
    useEnvironment();  // the placeholders
    std::filesystem::remove(file);
    SettingsWindow::Context context;
    context.file = file;
    context.inUse = controller.client().settings();
    context.applied = [this](const Settings& settings) {
        ++applied;
        applySettings(controller.client(), settings);
    };
    auto settings = std::make_unique<SettingsWindow>(std::move(context));
    settings->show();
    QApplication::processEvents();
    const int width = settings->width();
    for (int n = 1; n <= 6; ++n) {
        SCOPED_TRACE(n);
        settings->baseEdit(n)->setText(q(base + "/site" + std::to_string(n)));
        part<QCheckBox>(*settings, QStringLiteral("站点%1").arg(n))->setChecked(true);
        const QString found = testSlot(*settings, n);
        EXPECT_TRUE(found.contains(q("条结果"))) << found.toStdString();
        QApplication::processEvents();
        EXPECT_EQ(settings->width(), width);
    }
    QTest::mouseClick(part<QPushButton>(*settings, q("保存")), Qt::LeftButton);
    ASSERT_EQ(settings->result(), QDialog::Accepted) << part<QLabel>(*settings, q("设置提示"))->text().toStdString();
    EXPECT_EQ(applied, 1);

    search(q("超能陆战队"));
    const SearchScreen& screen = controller.searchFlow().screen();
    ASSERT_EQ(screen.sites.size(), 6u);
    for (const SiteStatus& site : screen.sites) {
        EXPECT_EQ(site.state, SiteState::Done) << site.slot;
        EXPECT_GT(site.rows, 0) << site.slot;
    }
}

// 导出… writes the rows as edited into a bundle; 导入… of it into another settings file lists the changes, asks,
// and on Yes writes and applies them; a broken bundle is refused whole and nothing is written.
TEST_F(SettingsWindowTest, ExportThenImportCarriesTheSlotsAndABrokenBundleChangesNothing) {
    const std::string bundle = folder + "/站点/lanqi-sites.toml";
    std::filesystem::create_directories(folder + "/站点");
    std::string chosen;
    const auto openWith = [&](const std::string& settingsFile) {
        SettingsWindow::Context context;
        context.file = settingsFile;
        context.applied = [this](const Settings&) { ++applied; };
        context.chooseBundle = [&](bool) { return chosen; };
        auto settings = std::make_unique<SettingsWindow>(std::move(context));
        settings->show();
        QApplication::processEvents();
        return settings;
    };
    const auto click = [](SettingsWindow& settings, const char* button) {
        QTest::mouseClick(part<QPushButton>(settings, q(button)), Qt::LeftButton);
        QApplication::processEvents();
    };

    auto exporting = openWith(file);
    exporting->baseEdit(3)->setText(q(base + "/site3"));
    click(*exporting, "添加站点");
    exporting->baseEdit(7)->setText(q(base + "/site2"));
    part<QComboBox>(*exporting, q("站点7定义"))->setCurrentText(q("site2"));
    chosen = "";  // the file dialog given up: nothing happens
    click(*exporting, "导出");
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::u8path(bundle)));
    chosen = bundle;
    test::SeenMessageBox told;
    test::answerNextMessageBox(QMessageBox::Ok, &told);
    click(*exporting, "导出");
    EXPECT_TRUE(told.appeared);
    EXPECT_TRUE(told.text.contains(q(bundle))) << told.text.toStdString();
    const std::string exported = content(std::filesystem::u8path(bundle).string());
    EXPECT_NE(exported.find("[site7]"), std::string::npos) << exported;
    EXPECT_NE(exported.find(base + "/site3"), std::string::npos) << exported;
    exporting->reject();

    const std::string other = folder + "/other/lanqi-search/config.toml";
    std::filesystem::create_directories(folder + "/other/lanqi-search");
    std::ofstream(other) << "[site1]\nenabled = false\n";
    struct Case {
        const char* what;
        std::string bundleText;  // "" for the exported one
        QMessageBox::StandardButton answer;
        bool imported;
    };
    const Case cases[] = {
        {"broken: refused whole", "[site1]\nbase = 3\n", QMessageBox::Ok, false},
        {"said No to", "", QMessageBox::No, false},
        {"said Yes to", "", QMessageBox::Yes, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string before = content(other);
        const int appliedBefore = applied;
        const std::string broken = folder + "/broken.toml";
        if (!c.bundleText.empty()) std::ofstream(broken) << c.bundleText;
        chosen = c.bundleText.empty() ? bundle : broken;
        auto importing = openWith(other);
        test::SeenMessageBox asked;
        test::answerNextMessageBox(c.answer, &asked);
        click(*importing, "导入");
        ASSERT_TRUE(asked.appeared);
        EXPECT_EQ(applied - appliedBefore, c.imported ? 1 : 0);
        if (!c.bundleText.empty()) {
            EXPECT_TRUE(asked.text.contains(q(broken + ":2"))) << asked.text.toStdString();  // the file and line
        } else {
            EXPECT_TRUE(asked.text.contains(q("site7"))) << asked.text.toStdString();
            EXPECT_TRUE(asked.text.contains(q(other + ".bak"))) << asked.text.toStdString();
        }
        if (!c.imported) {
            EXPECT_EQ(content(other), before) << "nothing written";
            EXPECT_TRUE(importing->isVisible());
            continue;
        }
        EXPECT_FALSE(importing->isVisible()) << "the window closes on what it no longer shows";
        const LoadedSettings now = loadSettings(other, false);
        EXPECT_TRUE(now.problems.empty()) << now.report(false);
        ASSERT_EQ(now.settings.sites.size(), 7u);
        EXPECT_EQ(now.settings.sites[2].base, base + "/site3");
        EXPECT_EQ(now.settings.sites[6].base, base + "/site2");
        EXPECT_EQ(content(other + ".bak"), before);
    }
}

// Up to kMaxSiteSlots rows, which scroll inside a window that fits the screen; an added one without an
// address is refused at 保存, and Tab to a row out of view scrolls it into view.
TEST_F(SettingsWindowTest, ThirtyTwoSlotsScrollAndAnEmptyOneIsRefused) {
    auto settings = open();
    QApplication::processEvents();
    const int width = settings->width();
    QPushButton* add = part<QPushButton>(*settings, q("添加站点"));
    while (add->isEnabled()) {
        QTest::mouseClick(add, Qt::LeftButton);
        QApplication::processEvents();
    }
    EXPECT_EQ(settings->rowCount(), kMaxSiteSlots);
    EXPECT_EQ(settings->width(), width);
    const QRect area = settings->screen()->availableGeometry();
    EXPECT_LE(settings->frameGeometry().height(), area.height());

    QScrollArea* rows = part<QScrollArea>(*settings, q("站点列表"));
    const auto inView = [&](QWidget* control) {
        const QRect shown(control->mapTo(rows->viewport(), QPoint(0, 0)), control->size());
        return rows->viewport()->rect().contains(shown);
    };
    EXPECT_TRUE(inView(settings->baseEdit(kMaxSiteSlots))) << "the added row is shown";
    EXPECT_FALSE(inView(settings->baseEdit(1)));
    // Tab from the first row's 测试, the rows scrolled to their end, shows the second row.
    rows->verticalScrollBar()->setValue(rows->verticalScrollBar()->maximum());
    QWidget* test = part<QPushButton>(*settings, q("站点1测试"));
    test->setFocus();
    QTest::keyClick(test, Qt::Key_Tab);
    ASSERT_NE(settings->focusWidget(), nullptr);
    EXPECT_EQ(settings->focusWidget()->objectName(), q("站点2"));
    EXPECT_TRUE(inView(settings->focusWidget()));

    // The rows added have no address yet: 保存 says so at the first of them and writes nothing.
    const std::string before = content(file);
    QTest::mouseClick(part<QPushButton>(*settings, q("保存")), Qt::LeftButton);
    EXPECT_TRUE(settings->isVisible());
    EXPECT_TRUE(part<QLabel>(*settings, q("设置提示"))->text().startsWith(q("站点7的地址")));
    EXPECT_EQ(settings->focusWidget(), settings->baseEdit(7));
    EXPECT_EQ(content(file), before);

    QTest::mouseClick(part<QPushButton>(*settings, QStringLiteral("站点%1删除").arg(kMaxSiteSlots)), Qt::LeftButton);
    EXPECT_TRUE(add->isEnabled());
    EXPECT_EQ(settings->rowCount(), kMaxSiteSlots - 1);
    EXPECT_EQ(settings->width(), width);
}

// 健康度检查: the page shows the file's [swarm] values; a bad tracker line is refused on that page, naming it, and
// nothing is written; ticking 启用 and saving writes [swarm] with the answer to the first check's question, and the
// client is handed the new values.
TEST_F(SettingsWindowTest, TheSwarmCheckPageIsEditedRefusedAndSaved) {
    std::ofstream(file) << "[site6]\nenabled = false\n\n[swarm]\ntrackers = [\"udp://127.0.0.1:1/announce\"]\n"
                           "max_checks = 2\n";
    SettingsWindow::Context context;
    context.file = file;
    std::optional<Settings> handed;
    context.applied = [&](const Settings& settings) { handed = settings; };
    SettingsWindow settings(std::move(context));
    settings.show();
    QApplication::processEvents();
    const int width = settings.width();
    QTabWidget* pages = part<QTabWidget>(settings, q("设置页"));
    ASSERT_EQ(pages->count(), 2);
    EXPECT_EQ(pages->tabText(1), q("健康度检查"));
    EXPECT_EQ(pages->currentIndex(), 0) << "the sites come first";

    auto* enabled = part<QCheckBox>(settings, q("启用健康度检查"));
    auto* autoCheck = part<QCheckBox>(settings, q("自动检查"));
    auto* trackers = part<QPlainTextEdit>(settings, q("Tracker 地址"));
    auto* bootstrap = part<QPlainTextEdit>(settings, q("DHT 引导节点"));
    auto* listen = part<QLineEdit>(settings, q("监听接口"));
    auto* timeout = part<QLineEdit>(settings, q("每次检查时限"));
    auto* checks = part<QLineEdit>(settings, q("同时检查数"));
    const struct {
        QWidget* control;
        QString label;
    } labels[] = {{enabled, q("启用健康度检查（会加入 BitTorrent 网络）")},
                  {autoCheck, q("自动检查显示的结果")},
                  {trackers, q("Tracker 地址（每行一个）")},
                  {bootstrap, q("DHT 引导节点（每行一个 host:port，留空用默认）")},
                  {listen, q("监听接口（留空为全部）")},
                  {timeout, q("每次检查时限（秒）")},
                  {checks, q("同时检查数")}};
    for (const auto& [control, label] : labels) {
        EXPECT_EQ(control->accessibleName(), label);
        const auto* button = qobject_cast<QCheckBox*>(control);
        if (button != nullptr) {
            EXPECT_EQ(button->text(), label);
        } else {
            const QList<QLabel*> captions = control->parentWidget()->findChildren<QLabel*>();
            EXPECT_TRUE(std::any_of(captions.begin(), captions.end(), [&](QLabel* l) {
                return l->buddy() == control && l->text() == label;
            })) << label.toStdString();
        }
    }
    EXPECT_FALSE(enabled->isChecked());
    EXPECT_FALSE(autoCheck->isChecked());
    EXPECT_EQ(trackers->toPlainText(), q("udp://127.0.0.1:1/announce"));
    EXPECT_EQ(bootstrap->toPlainText(), QString());
    EXPECT_EQ(timeout->text(), q("20"));
    EXPECT_EQ(checks->text(), q("2"));

    // A bad line is refused on the page it is on, even from the other page.
    const std::string before = content(file);
    trackers->setPlainText(q("udp://127.0.0.1:1/announce\nwss://127.0.0.1:2/announce"));
    QTest::mouseClick(part<QPushButton>(settings, q("保存")), Qt::LeftButton);
    EXPECT_TRUE(settings.isVisible());
    EXPECT_EQ(pages->currentWidget()->objectName(), q("健康度检查"));
    EXPECT_EQ(settings.focusWidget(), trackers);
    EXPECT_EQ(part<QLabel>(settings, q("设置提示"))->text(),
              q("Tracker 地址第 2 行（wss://127.0.0.1:2/announce）必须以 http://、https:// 或 udp:// 开头并带主机名，"
                "例如 udp://127.0.0.1:6969/announce"));
    EXPECT_EQ(content(file), before);
    EXPECT_FALSE(handed.has_value());
    EXPECT_EQ(settings.width(), width) << "the page fits the window";

    pages->setCurrentIndex(0);
    trackers->setPlainText(q("udp://127.0.0.1:1/announce\nhttp://127.0.0.1:2/announce\n"));
    bootstrap->setPlainText(q("127.0.0.1:6881"));
    timeout->setText(q("9"));
    pages->setCurrentIndex(1);
    QTest::mouseClick(enabled, Qt::LeftButton, {}, QPoint(4, enabled->height() / 2));
    ASSERT_TRUE(enabled->isChecked());
    QTest::mouseClick(part<QPushButton>(settings, q("保存")), Qt::LeftButton);
    EXPECT_EQ(settings.result(), QDialog::Accepted) << part<QLabel>(settings, q("设置提示"))->text().toStdString();
    ASSERT_TRUE(handed.has_value());
    EXPECT_TRUE(handed->swarm.enabled);
    EXPECT_TRUE(handed->swarm.asked);
    EXPECT_FALSE(handed->swarm.autoCheck);
    EXPECT_EQ(handed->swarm.trackers,
              (std::vector<std::string>{"udp://127.0.0.1:1/announce", "http://127.0.0.1:2/announce"}));
    EXPECT_EQ(handed->swarm.dhtBootstrap, std::vector<std::string>{"127.0.0.1:6881"});
    EXPECT_EQ(handed->swarm.timeoutSeconds, 9);
    EXPECT_EQ(handed->swarm.maxChecks, 2);
    EXPECT_EQ(content(file),
              "[site6]\nenabled = false\n\n[swarm]\ntrackers = [\n    \"udp://127.0.0.1:1/announce\",\n"
              "    \"http://127.0.0.1:2/announce\",\n]\nmax_checks = 2\nenabled = true\nasked = true\n"
              "dht_bootstrap = [\"127.0.0.1:6881\"]\ntimeout = 9\n");
}

}  // namespace
}  // namespace lanqi
