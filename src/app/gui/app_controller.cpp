#include "app/gui/app_controller.h"

#include <QCoreApplication>

#include "app/core/menus.h"
#include "app/gui/main_window.h"
#include "app/gui/result_list.h"
#include "platform/addresses.h"

namespace lanqi {

AppController::AppController(MainWindow& window)
    : m_window(window),
      m_windowHandle(&window),
      m_flow(window, m_fetcher, m_events),
      m_actions(m_desktop, m_flow.state().records, window.resultList()),
      m_commands(m_desktop, m_actions) {
    m_commands.showAbout = [this] { showAboutWindow(nullptr); };
    connectWindow();
}

AppController::~AppController() = default;

void AppController::setPlayOnline(std::function<void(int channel)> play) {
    m_commands.playOnline = play ? std::move(play) : [](int) {};
}

void AppController::showAboutWindow(const Window* owner) { m_desktop.loadWindow(m_aboutWindow, owner, true); }

void AppController::connectWindow() {
    // Search commands that arrive while a run is in progress are ignored by the flow itself.
    connect(&m_window, &MainWindow::searchRequested, this, [this] { m_flow.startSearch(); });
    connect(&m_window, &MainWindow::nextPageRequested, this, [this] { m_flow.goToNextPage(); });
    connect(&m_window, &MainWindow::previousPageRequested, this, [this] { m_flow.goToPreviousPage(); });
    connect(&m_window, &MainWindow::pageChosen, this, [this](int index) { m_flow.goToSelectedPage(index); });

    // Double-click and Enter on a row are its first entry, "在线播放通道1".
    connect(&m_window, &MainWindow::rowActivated, this,
            [this](int) { m_commands.run(static_cast<int>(MenuCommand::PlayChannel1)); });
    connect(&m_window, &MainWindow::rowMenuRequested, this,
            [this](int, QPoint) { m_commands.popUpActionMenu(&m_windowHandle); });
    connect(&m_window, &MainWindow::mainMenuRequested, this,
            [this](QPoint) { m_commands.popUpMainMenu(&m_windowHandle); });
    connect(&m_window, &MainWindow::vendorAddressRequested, this,
            [this] { m_desktop.openAddress(vendorBaseAddress()); });

    connect(&m_window, &MainWindow::programEndRequested, this, [this] {
        m_programEnding = true;
        QCoreApplication::exit(0);
    });
}

}  // namespace lanqi
