#include "app/gui/app_controller.h"

#include <QCoreApplication>

#include "app/gui/main_window.h"
#include "app/gui/settings_window.h"
#include "platform/qt/qt_text.h"

namespace lanqi {

AppController::AppController(MainWindow& window, const Settings& settings, const SiteSlots& definitions)
    : m_window(window),
      m_windowHandle(&window),
      m_client(*this, m_desktop, m_fetcher, m_poster, settings, definitions) {
    m_client.commands().showAbout = [this] { showAboutWindow(nullptr); };
    m_client.commands().showSettings = [this] { showSettingsWindow(); };
    m_client.commands().showSettingsAt = [this](int slot) { showSettingsWindow(slot); };
    m_window.showVendorAddress(settings.vendorBase);
    connectWindow();
    m_client.drawResultsArea();
}

AppController::~AppController() = default;

void AppController::setPlayOnline(
    std::function<void(int channel, const ResultItem& item, const Text& playService)> play) {
    m_client.commands().playOnline = play ? std::move(play) : [](int, const ResultItem&, const Text&) {};
}

void AppController::showAboutWindow(const Window* owner) { m_desktop.loadWindow(m_aboutWindow, owner, true); }

void AppController::showSettingsWindow(int slot) {
    SettingsWindow::Context context = settingsContextOf(m_client, slot, m_window.keyword());
    SettingsWindow window(std::move(context), &m_window);
    window.exec();
}

void AppController::render(const SearchScreen& screen, unsigned changes) { m_window.render(screen, changes); }

std::optional<Text> AppController::searchableKeyword() const { return m_window.searchableKeyword(); }

void AppController::quit() { QCoreApplication::exit(0); }

void AppController::showVendorAddress(const Text& vendorBase) { m_window.showVendorAddress(vendorBase); }

void AppController::showResults(const ResultsShown& shown) { m_window.showResults(shown); }

void AppController::showResultsBar(const ResultsBar& bar) { m_window.showResultsBar(bar); }

void AppController::showSiteStrip(const std::vector<SiteStripEntry>& entries) { m_window.showSiteStrip(entries); }

void AppController::showNotice(const std::string& text) { m_window.showNotice(QString::fromStdString(text)); }

std::optional<ScreenPoint> AppController::selectedLinePoint() const { return m_window.selectedLinePoint(); }

void AppController::connectWindow() {
    ClientController& client = m_client;
    connect(&m_window, &MainWindow::searchRequested, this, [&client] { client.searchRequested(); });
    connect(&m_window, &MainWindow::nextPageRequested, this, [&client] { client.nextPageRequested(); });
    connect(&m_window, &MainWindow::previousPageRequested, this, [&client] { client.previousPageRequested(); });
    connect(&m_window, &MainWindow::pageChosen, this, [&client](int index) { client.pageChosen(index); });
    connect(&m_window, &MainWindow::rowSelected, this, [&client](int row) { client.rowSelected(row); });
    connect(&m_window, &MainWindow::rowActivated, this, [&client](int) { client.rowActivated(); });
    connect(&m_window, &MainWindow::rowMenuRequested, this, [&client](int, QPoint) { client.rowMenuRequested(); });
    connect(&m_window, &MainWindow::mainMenuRequested, this, [&client](QPoint) { client.mainMenuRequested(); });
    connect(&m_window, &MainWindow::vendorAddressRequested, this, [&client] { client.vendorAddressRequested(); });
    connect(&m_window, &MainWindow::closeStarted, this, [&client] { client.closeStarted(); });
    connect(&m_window, &MainWindow::programEndRequested, this, [&client] { client.programEndRequested(); });
    connect(&m_window, &MainWindow::rowMenuFromKeyboard, this, [&client] { client.rowMenuFromKeyboard(); });
    connect(&m_window, &MainWindow::copyRequested, this, [&client] { client.copyRequested(); });
    connect(&m_window, &MainWindow::filterEdited, this,
            [&client](const QString& text) { client.filterEdited(text.toStdString()); });
    connect(&m_window, &MainWindow::uniqueSwitched, this, [&client](bool on) { client.uniqueSwitched(on); });
    connect(&m_window, &MainWindow::modeChosen, this, [&client](ResultsMode mode) { client.modeChosen(mode); });
    connect(&m_window, &MainWindow::columnClicked, this,
            [&client](ResultColumn column) { client.columnClicked(column); });
    connect(&m_window, &MainWindow::stopRequested, this, [&client] { client.stopRequested(); });
    connect(&m_window, &MainWindow::siteSettingsRequested, this, [&client] { client.siteSettingsRequested(); });
    connect(&m_window, &MainWindow::siteEntryActivated, this, [&client](int slot) { client.siteEntryActivated(slot); });
}

}  // namespace lanqi
