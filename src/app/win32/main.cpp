// lanqi-search.exe: the desktop client as native Win32 windows over the same logic as the Qt client.

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "app/win32/client.h"
#include "app/win32/dialogs.h"
#include "platform/settings.h"
#include "platform/window_place.h"
#include "platform/win32_desktop_services.h"
#include "scrape/site_definition.h"
#include "search/page_fetcher.h"
#include "swarm/torrent_swarm.h"

namespace lanqi::win32 {
namespace {

int runClient() {
    // The settings file (and the environment over it) decide every address from the usage notice on.
    // They are read once, here, and handed to the main window's controller.
    LoadedSettings settings = loadSettings();
    const SiteSlots definitions = loadSiteDefinitions(settings.settings, settings.problems);

    Win32DesktopServices desktop;
    if (runNoticeWindow(desktop, settings.settings.vendorBase) != NoticeOutcome::Agreed) return 0;

    HttpPageFetcher fetcher;  // outlives the client, whose flow waits for its fetches when it goes
    Client client(desktop, fetcher, settings.settings, definitions);
    desktop.setClipboardOwner(client.window().handle());  // 复制下载地址 and Ctrl+C place the link as the main window
    client.client().rememberViewIn(settings.file);        // 列表视图 and 合并相同资源, for the next start
    // 检查健康度 through libtorrent where this build has it; without it, the command says it is not available.
    if (swarmCheckAvailable()) client.client().useSwarm(makeTorrentSwarmChecker);
    // Where the window was when it last closed, fitted to the screen it comes back to.
    const std::string placeFile = windowPlaceFile(settings.file);
    client.window().openAt(readWindowPlace(placeFile));
    client.window().fadeIn();
    client.client().startUp(settings, client.events());
    // The fade-in and the version fetch process events: the exit fade may already have run out.
    MSG message;
    while (!client.client().programEnding() && ::GetMessageW(&message, nullptr, 0, 0) > 0) routeMessage(message);
    writeWindowPlace(placeFile, client.window().place());  // not remembered is no reason to bother the user
    return 0;
}

}  // namespace
}  // namespace lanqi::win32

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The browser control and the imaging component are COM objects of this thread, and a result dragged out of
    // the main window goes through OLE drag and drop.
    const HRESULT ole = ::OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    const int code = lanqi::win32::runClient();
    if (SUCCEEDED(ole)) ::OleUninitialize();
    return code;
}
