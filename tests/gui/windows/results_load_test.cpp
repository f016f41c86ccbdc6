#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <fstream>

#include "app/core/client_controller.h"
#include "app/gui/main_window.h"
#include "app/gui/result_list.h"
#include "app/gui/result_table.h"
#include "platform/qt/qt_text.h"
#include "scrape/site_definition.h"
#include "support/fake_desktop_services.h"
#include "support/fake_fetcher.h"
#include "support/numbered_sites.h"
#include "support/site_pages.h"

namespace lanqi {
namespace {

using namespace std::chrono_literals;

// The Qt main window drawn by the real controller, as the application wires them, over pages the test serves.
class WindowView final : public MainView {
  public:
    explicit WindowView(MainWindow& window) : m_window(window) {}
    void render(const SearchScreen& screen, unsigned changes) override { m_window.render(screen, changes); }
    void showResults(const ResultsShown& shown) override { m_window.showResults(shown); }
    void showResultsBar(const ResultsBar& bar) override { m_window.showResultsBar(bar); }
    void showSiteStrip(const std::vector<SiteStripEntry>& entries) override { m_window.showSiteStrip(entries); }
    void showNotice(const std::string& text) override { m_window.showNotice(QString::fromStdString(text)); }
    std::optional<ScreenPoint> selectedLinePoint() const override { return m_window.selectedLinePoint(); }
    std::optional<Text> searchableKeyword() const override { return Text("abc"); }
    const Window& windowHandle() const override { return m_handle; }
    void quit() override {}
    void showVendorAddress(const Text& vendorBase) override { m_window.showVendorAddress(vendorBase); }

  private:
    MainWindow& m_window;
    test::FakeWindow m_handle{"mainWindow"};
};

// The resident memory of this process, in MiB.
double residentMiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * 4096.0 / (1024.0 * 1024.0);
}

// Ten slots of 1,000 rows each: 10,000 rows in one run, through the real flow, controller and window.
class ResultsLoadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Settings settings = test::numberedSettings();
        SiteSlots definitions = builtInSiteSlots();
        for (int slot = 7; slot <= 10; ++slot) {
            SiteSlotSettings extra;
            extra.base = "http://s" + std::to_string(slot);
            extra.definition = "site1";
            settings.sites.push_back(extra);
            definitions.push_back(builtInSiteDefinition(1));
        }
        client = std::make_unique<ClientController>(view, desktop, fetcher, queue, settings, definitions);
        QObject::connect(&window, &MainWindow::filterEdited, &window,
                         [this](const QString& text) { client->filterEdited(text.toStdString()); });
        const auto urls = buildSearchUrls(client->searchFlow().sites(), encodeKeyword("abc"), "1");
        for (size_t i = 0; i < urls.size(); ++i) {
            const std::vector<test::PageItem> rows = test::items(1000, "s" + std::to_string(i + 1) + "_");
            switch (i) {
                case 1:
                    fetcher.pages[urls[i]] = test::site2Page(rows);
                    break;
                case 2:
                    fetcher.pages[urls[i]] = test::site3Page(rows, 1000);
                    break;
                case 3:
                    fetcher.pages[urls[i]] = test::site4Page(rows);
                    break;
                case 4:
                    fetcher.pages[urls[i]] = test::site5Page(rows, 1000);
                    break;
                case 5:
                    fetcher.pages[urls[i]] = test::site6Page(rows, 1000);
                    break;
                default:
                    fetcher.pages[urls[i]] = test::site1Page(rows, 1000);
            }
        }
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        client->drawResultsArea();
        client->searchRequested();
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (client->searchFlow().running() && std::chrono::steady_clock::now() < deadline) queue.runPending(20ms);
        ASSERT_FALSE(client->searchFlow().running());
        ASSERT_EQ(client->searchFlow().screen().results.size(), 10000u);
        QApplication::processEvents();
    }

    // Types `keys` into 筛选框 one at a time; the longest time from a key to the table drawn anew, in ms.
    double slowestKeystroke(const QString& keys) {
        auto* filter = window.findChild<QLineEdit*>(QStringLiteral("筛选框"));
        filter->setFocus();
        double slowest = 0;
        for (const QChar key : keys) {
            QElapsedTimer clock;
            clock.start();
            QTest::keyClicks(filter, QString(key));
            window.resultTable().viewport()->repaint();
            window.resultList().viewport()->repaint();
            slowest = std::max(slowest, clock.nsecsElapsed() / 1e6);
        }
        return slowest;
    }

    MainWindow window;
    WindowView view{window};
    test::FakeDesktopServices desktop;
    test::FakeFetcher fetcher;
    TaskQueue queue;
    std::unique_ptr<ClientController> client;
};

TEST_F(ResultsLoadTest, TypingInTheFilterRedrawsTenThousandRowsWithoutHoldingTheWindowUp) {
    client->modeChosen(ResultsMode::Table);
    QApplication::processEvents();
    ASSERT_EQ(window.resultTable().model().rowCount(), 10000);
    const double table = slowestKeystroke(QStringLiteral("s1_9"));  // 10,000 rows down to 111
    EXPECT_EQ(window.resultTable().model().rowCount(), 111);
    const double back = slowestKeystroke(QStringLiteral("\b\b\b\b"));  // and back up to all of them
    EXPECT_EQ(window.resultTable().model().rowCount(), 10000);
    std::printf("keystroke to redrawn table with 10,000 rows: slowest %.1f ms narrowing, %.1f ms widening\n", table,
                back);
    EXPECT_LT(std::max(table, back), 250.0);
}

TEST_F(ResultsLoadTest, TheTableViewCostsLittleMemoryBeyondThePictureView) {
    window.resultList().viewport()->repaint();
    const double pictures = residentMiB();
    client->modeChosen(ResultsMode::Table);
    window.resultTable().viewport()->repaint();
    QApplication::processEvents();
    const double table = residentMiB();
    std::printf("10,000 rows: %.1f MiB with the picture view, %.1f MiB with the table view (+%.1f MiB)\n", pictures,
                table, table - pictures);
    EXPECT_LT(table - pictures, 20.0);
}

}  // namespace
}  // namespace lanqi
