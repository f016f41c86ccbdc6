#pragma once

#include "platform/desktop.h"

namespace lanqi {

// The desktop services on Windows, from the Win32 API itself (built for Windows only):
//
//   openAddress, handOverAddress   ShellExecuteW "open" on the address (the registered program gets it)
//   magnet handler     the command registered for magnet links (HKEY_CLASSES_ROOT\magnet\shell\open\command)
//   runProgram         ShellExecuteW with the parameter quoted as one argument; no command interpreter
//   runWindowsProgram  the same: the path is a Windows path here
//   clipboard          the Win32 clipboard, CF_UNICODETEXT
//   registry           the Win32 registry API (REG_SZ, REG_EXPAND_SZ expanded)
//   special folder     privateFolder(): "lanqi-search\" in the user's GetTempPathW folder
//   message box        MessageBoxW with the style word as given
//   processes          a Toolhelp32 snapshot; TerminateProcess; by name, a top-level window's title first
//   screen             the primary screen's size (GetSystemMetrics)
//
// The windows of the client (loadWindow, the browser, opacity, the pointer, popup menus) come with the Win32
// client; here they do nothing and say so (false, no choice).
class Win32DesktopServices final : public DesktopServices {
  public:
    void openAddress(const Text& address) override;
    bool handOverAddress(const Text& address) override;
    Text magnetLinkHandler() override;
    bool runProgram(const Text& file, const Text& parameter) override;
    bool runWindowsProgram(const Text& windowsPath, const Text& parameter) override;
    bool setClipboardText(const Text& text) override;
    bool registryValueExists(int root, const Text& path) override;
    Text specialFolder(SpecialFolder kind) override;
    bool writeFile(const Text& path, const std::vector<Bytes>& blocks) override;
    int popupMenuAtPointer(const Window* owner, const PopupMenu& menu) override;
    bool loadWindow(Window& window, const Window* owner, bool modal) override;
    void navigateBrowser(Window& browser, const Text& address) override;
    std::vector<ProcessRecord> listProcesses() override;
    bool terminateProcess(std::uint32_t processId) override;
    bool terminateProcess(const Text& name) override;
    void setPointerVisible(bool show) override;
    ScreenSize screenSize() override;

  protected:
    std::optional<Text> registryString(int root, const Text& path) override;
    MessageAnswer messageBox(const Text& text, int style, const Text& caption, const Window* owner) override;
    void applyWindowOpacity(Window& window, int alpha) override;
};

// One command-line argument as CommandLineToArgvW and the C runtime read it back: quoted when it holds a
// blank, a tab or a quote (or is empty), with backslashes doubled where they come before a quote. UTF-16.
std::wstring quoteArgument(const std::wstring& argument);

}  // namespace lanqi
