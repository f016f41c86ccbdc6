#include "app/gui/app_controller.h"

#include <QCoreApplication>
#include <QTimer>

#include "app/core/client_start.h"
#include "app/core/menus.h"
#include "app/gui/main_window.h"
#include "app/gui/result_list.h"
#include "app/gui/settings_window.h"
#include "search/site_check.h"
#include "platform/addresses.h"

namespace lanqi {

AppController::AppController(MainWindow& window)
    : m_window(window),
      m_windowHandle(&window),
      m_flow(m_fetcher, m_poster),
      m_actions(m_desktop),
      m_commands(m_desktop, m_actions, [this] { return m_flow.selectedResult(); }) {
    m_commands.showAbout = [this] { showAboutWindow(nullptr); };
    m_commands.showSettings = [this] { showSettingsWindow(); };
    m_flow.setScreenListener([this](unsigned changes) { screenChanged(changes); });
    connectWindow();
}

AppController::~AppController() = default;

void AppController::setPlayOnline(std::function<void(int channel, const ResultItem& item)> play) {
    m_commands.playOnline = play ? std::move(play) : [](int, const ResultItem&) {};
}

void AppController::showAboutWindow(const Window* owner) { m_desktop.loadWindow(m_aboutWindow, owner, true); }

void AppController::showSettingsWindow() {
    SettingsWindow::Context context;
    context.testKeyword = m_window.keyword();
    for (int n = 1; n <= 6; ++n) context.lastRun[static_cast<size_t>(n - 1)] = describeLastRun(m_flow, n);
    context.applied = [](const Settings& settings) {
        useSettings(settings);
        std::vector<SettingsProblem> problems;  // a broken definition keeps its slot's built-in one; 测试 tells why
        useSiteDefinitions(loadSiteDefinitions(settings, problems));
    };
    SettingsWindow window(std::move(context), &m_window);
    window.exec();
}

void AppController::screenChanged(unsigned changes) {
    const SearchScreen& screen = m_flow.screen();
    m_window.render(screen, changes);
    if ((changes & kMessageChanged) != 0 && screen.message) {
        // Shown once the flow has finished announcing; the run ends when the user closes it.
        QTimer::singleShot(0, this, [this] {
            if (!m_flow.screen().message) return;  // the program is ending
            m_window.showModalMessage(*m_flow.screen().message);
            m_flow.acknowledgeMessage();
        });
    }
}

std::optional<Text> AppController::searchableKeyword() {
    std::optional<Text> keyword = m_window.searchableKeyword();
    if (!keyword && !m_flow.running()) {
        tellKeywordUnsearchable(m_desktop, &m_windowHandle);
    }
    return keyword;
}

void AppController::connectWindow() {
    // Search commands that arrive while a run is in progress are ignored by the flow itself. A keyword with a
    // character the sites' encoding lacks is not searched at all: the user is told so.
    connect(&m_window, &MainWindow::searchRequested, this, [this] {
        if (const auto keyword = searchableKeyword()) m_flow.startSearch(*keyword);
    });
    connect(&m_window, &MainWindow::nextPageRequested, this, [this] {
        if (const auto keyword = searchableKeyword()) m_flow.goToNextPage(*keyword);
    });
    connect(&m_window, &MainWindow::previousPageRequested, this, [this] {
        if (const auto keyword = searchableKeyword()) m_flow.goToPreviousPage(*keyword);
    });
    connect(&m_window, &MainWindow::pageChosen, this, [this](int index) {
        if (const auto keyword = searchableKeyword()) m_flow.goToSelectedPage(index, *keyword);
        m_window.render(m_flow.screen(), kPageSelectionChanged);  // an ignored choice does not stay shown
    });
    connect(&m_window, &MainWindow::rowSelected, this, [this](int row) { m_flow.selectResult(row); });

    // Double-click and Enter on a row are its first entry, "在线播放通道1".
    connect(&m_window, &MainWindow::rowActivated, this,
            [this](int) { m_commands.run(static_cast<int>(MenuCommand::PlayChannel1)); });
    connect(&m_window, &MainWindow::rowMenuRequested, this,
            [this](int, QPoint) { m_commands.popUpActionMenu(&m_windowHandle); });
    connect(&m_window, &MainWindow::mainMenuRequested, this,
            [this](QPoint) { m_commands.popUpMainMenu(&m_windowHandle); });
    connect(&m_window, &MainWindow::vendorAddressRequested, this,
            [this] { m_desktop.openAddress(vendorBaseAddress()); });

    // The fetches of a search in progress give up while the window fades out.
    connect(&m_window, &MainWindow::closeStarted, this, [this] { m_flow.shutDown(); });
    connect(&m_window, &MainWindow::programEndRequested, this, [this] {
        m_programEnding = true;
        m_flow.shutDown();
        QCoreApplication::exit(0);
    });
}

}  // namespace lanqi
