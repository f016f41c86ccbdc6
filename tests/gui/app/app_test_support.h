#pragma once

// The client as its user meets it: the main window with its controller, on Qt's offscreen platform, against the
// sample sites of ctest's "sample_sites" fixture over real HTTP.

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "app/gui/app_controller.h"
#include "app/gui/main_window.h"
#include "app/gui/result_list.h"
#include "platform/net.h"
#include "support/sample_server.h"
#include "../windows/window_test_support.h"

namespace lanqi::test {

inline QString q(const std::string& utf8Text) { return QString::fromStdString(utf8Text); }

// What the sample site answering `requestAddress` holds on that page: its /_expect/ twin.
struct ExpectedPage {
    int items = 0;
    long long total = 0;
    std::vector<std::string> hashes;  // as the page prints them
    std::vector<std::string> titles;  // UTF-8, as the list shows them
};

inline ExpectedPage expectedPage(const std::string& base, const Text& requestAddress) {
    ExpectedPage page;
    EXPECT_EQ(requestAddress.rfind(base, 0), 0u) << requestAddress;
    std::istringstream in(fetchUrl(base + "/_expect" + requestAddress.substr(base.size())));
    std::map<std::string, std::string> fields;
    for (std::string line; std::getline(in, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
    }
    page.items = std::atoi(fields["items"].c_str());
    page.total = std::atoll(fields["total"].c_str());
    for (int i = 1; i <= page.items; ++i) {
        page.hashes.push_back(fields["hash" + std::to_string(i)]);
        page.titles.push_back(fields["title" + std::to_string(i)]);
    }
    return page;
}

// The picture a title gets from the extensions the sample sites use: 0 archive, 3 video, 1 anything else.
inline int expectedPicture(const std::string& title) {
    static const std::set<std::string> archives = {"rar", "zip", "7z", "iso", "tar", "RAR", "ZIP", "7Z", "ISO"};
    static const std::set<std::string> videos = {"mkv", "mp4", "avi", "rmvb", "wmv",
                                                 "flv", "MKV", "MP4", "AVI",  "RMVB"};
    const auto dot = title.rfind('.');
    const std::string extension = dot == std::string::npos ? title : title.substr(dot + 1);
    return archives.count(extension) ? 0 : videos.count(extension) ? 3 : 1;
}

// Stands in for the desktop's browser and magnet handler while it lives: records every address the client opens.
class OpenedAddresses : public QObject {
    Q_OBJECT
  public:
    OpenedAddresses() {
        for (const char* scheme : kSchemes) QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~OpenedAddresses() override {
        for (const char* scheme : kSchemes) QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }

    QStringList addresses;

  public slots:
    void open(const QUrl& url) { addresses << url.toString(); }

  private:
    static constexpr const char* kSchemes[] = {"http", "https", "magnet"};
};

// One expected row of the results list, in list order.
struct ExpectedRow {
    std::string title;
    int picture;
    std::string magnetLink;
};

class AppWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        base = sampleServerBase();
        ASSERT_FALSE(base.empty()) << "run under ctest: the sample_sites fixture gives the server";
        setenv("LANQI_VENDOR_BASE", base.c_str(), 1);
        pointSitesAt({"", "", "", "", "", ""});
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    void TearDown() override {
        for (int n = 1; n <= 6; ++n) unsetenv(("LANQI_SITE" + std::to_string(n) + "_BASE").c_str());
        unsetenv("LANQI_VENDOR_BASE");
    }

    // Site n answers as /siteN followed by modes[n-1] ("-down", "-empty", "-items2", ...). The variables are
    // read as start-up reads them, and the settings handed to the controller.
    void pointSitesAt(const std::array<std::string, 6>& modes) {
        for (int n = 1; n <= 6; ++n) {
            const std::string address = base + "/site" + std::to_string(n) + modes[static_cast<size_t>(n - 1)];
            setenv(("LANQI_SITE" + std::to_string(n) + "_BASE").c_str(), address.c_str(), 1);
        }
        useEnvironment();
    }

    // The vendor's site at `vendor`, as start-up reads it from the environment.
    void useVendor(const std::string& vendor) {
        setenv("LANQI_VENDOR_BASE", vendor.c_str(), 1);
        useEnvironment();
    }

    // The settings as start-up reads them from the environment (no file), handed to the controller.
    void useEnvironment() {
        LoadedSettings loaded = loadSettings("");
        controller.client().useSettings(loaded.settings, loadSiteDefinitions(loaded.settings, loaded.problems));
    }

    template <typename Widget = QWidget>
    Widget* control(const char* name) {
        auto* found = window.findChild<Widget*>(QString::fromUtf8(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QLineEdit* searchBox() { return control<QLineEdit>("搜索框"); }
    QComboBox* pageSelector() { return control<QComboBox>("组合框1"); }
    ResultList& list() { return window.resultList(); }

    // Types the keyword into 搜索框 as an input method commits it and presses Enter; returns when the run is over.
    void search(const QString& keyword) {
        startSearch(keyword);
        waitForTheRun();
    }

    // The same, returning as soon as the run has begun.
    void startSearch(const QString& keyword) {
        searchBox()->clear();
        searchBox()->insert(keyword);
        QTest::keyClick(searchBox(), Qt::Key_Return);
    }

    // Clicks the paging button `name` (按钮2, 按钮3) and returns when its run is over.
    void clickAndWait(const char* name) {
        QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton);
        waitForTheRun();
    }

    // Runs the event loop until the run in progress is over: its pages have arrived (they come back as queued
    // invocations) and a failure message, if any, has been closed.
    void waitForTheRun(int timeoutMs = 30000) {
        EXPECT_TRUE(QTest::qWaitFor([this] { return !controller.searchFlow().running(); }, timeoutMs))
            << window.windowTitle().toStdString();
    }

    // The pages the last run's request addresses hold, site 1 to 6.
    std::array<ExpectedPage, 6> expectedPages() {
        std::array<ExpectedPage, 6> pages;
        for (size_t i = 0; i < 6; ++i) pages[i] = expectedPage(base, controller.searchFlow().state().searchUrls[i]);
        return pages;
    }

    static std::vector<ExpectedRow> rowsOf(const std::array<ExpectedPage, 6>& pages) {
        std::vector<ExpectedRow> rows;
        for (const ExpectedPage& page : pages) {
            for (int i = 0; i < page.items; ++i) {
                const auto k = static_cast<size_t>(i);
                rows.push_back(
                    {page.titles[k], expectedPicture(page.titles[k]), "magnet:?xt=urn:btih:" + page.hashes[k]});
            }
        }
        return rows;
    }

    // The title of a completed run from the sites' printed totals (Site2 and Site4 print none).
    static QString completedTitle(const std::array<ExpectedPage, 6>& pages, int page) {
        const long long total = pages[0].total + pages[2].total + pages[4].total + pages[5].total;
        const long long pageCount = (total + 59) / 60;
        return QStringLiteral("岚栖种子搜索神器v1.9 --- 搜索完成，共%1页，%2个结果 - 第%3页 ")
            .arg(pageCount)
            .arg(total + 20 * pageCount)
            .arg(page);
    }

    // The centre of row `row` in the list's viewport.
    QPoint rowCentre(int row) { return list().visualItemRect(list().item(row)).center(); }

    std::string base;
    MainWindow window;
    AppController controller{window, builtInSettings(), builtInSiteSlots()};
};

}  // namespace lanqi::test
