// lanqi-search: the desktop client.

#include <QApplication>

#include "app/gui/app_controller.h"
#include "app/gui/main_window.h"
#include "app/gui/player_view.h"
#include "app/gui/startup.h"
#include "scrape/site_definition.h"
#include "platform/settings.h"
#include "platform/window_place.h"
#include "swarm/torrent_swarm.h"

int main(int argc, char** argv) {
    // The client reads no arguments of its own; Qt takes its usual ones (-platform, -style, ...).
    QApplication app(argc, argv);
    lanqi::loadQtTranslations(app);  // Qt's own texts (a text box's edit menu) in Chinese
    // The program ends only through the usage notice or the main window's exit fade.
    QApplication::setQuitOnLastWindowClosed(false);
    // The settings file (and the environment over it) decide every address from the usage notice on.
    // They are read once, here, and handed to the main window's controller.
    lanqi::LoadedSettings settings = lanqi::loadSettings();
    const lanqi::SiteSlots definitions = lanqi::loadSiteDefinitions(settings.settings, settings.problems);

    // Global state lives in the main window and the search flow, for as long as the main window; the
    // product constants are compiled in; Qt's native style stands for the themed drawing of controls.
    if (lanqi::runNoticeDialog(settings.settings.vendorBase) != lanqi::NoticeOutcome::Agreed) return 0;

    lanqi::MainWindow window;
    lanqi::AppController controller(window, settings.settings,
                                    definitions);  // routes the window's events from its first shown frame on
    controller.client().rememberViewIn(settings.file);
    // 检查健康度 through libtorrent where this build has it; without it, the command says it is not available.
    if (lanqi::swarmCheckAvailable()) controller.client().useSwarm(lanqi::makeTorrentSwarmChecker);
    // "关于播放器" shows the about window owned by the main window (the player handles always-on-top).
    controller.setPlayOnline(lanqi::installPlayer(
        window, controller.desktop(), [&controller] { controller.showAboutWindow(&controller.mainWindowHandle()); }));
    // Where the window was when it last closed, fitted to the screen it comes back to.
    const std::string placeFile = lanqi::windowPlaceFile(settings.file);
    window.openAt(lanqi::readWindowPlace(placeFile));
    lanqi::presentMainWindow(window);
    controller.startUp(settings);
    // The fade-in and the version fetch process events: the exit fade may already have run out.
    const int exitCode = controller.programEnding() ? 0 : QApplication::exec();
    lanqi::writeWindowPlace(placeFile, window.place());  // not remembered is no reason to bother the user
    return exitCode;
}
