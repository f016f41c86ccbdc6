#pragma once

#include <windows.h>

#include <string>

#include "platform/desktop.h"

namespace lanqi {

// A window or control of the Win32 client as the logic holds it: its handle, and for the windows that the
// logic creates or drives itself, what loadWindow and navigateBrowser do with them. Any other Window is no
// window at all to Win32DesktopServices.
class Win32Window : public Window {
  public:
    explicit Win32Window(HWND handle = nullptr) : m_handle(handle) {}

    HWND handle() const { return m_handle; }
    void setHandle(HWND handle) { m_handle = handle; }

    // loadWindow: creates the window when it has no handle yet, then shows it, owned by `owner` (may be null);
    // a modal one returns once it is closed. False when it cannot be created; plain windows cannot.
    virtual bool load(HWND owner, bool modal) {
        (void)owner;
        (void)modal;
        return false;
    }
    // navigateBrowser: starts loading `address` when this is a browser control; others ignore it.
    virtual void navigate(const std::wstring& address) { (void)address; }

  private:
    HWND m_handle;
};

// The handle of a Win32Window, null for any other window or none.
HWND windowHandle(const Window* window);

// The desktop services on Windows, from the Win32 API itself (built for Windows only):
//
//   openAddress, handOverAddress   ShellExecuteW "open" on the address (the registered program gets it)
//   magnet handler     the command registered for magnet links (HKEY_CLASSES_ROOT\magnet\shell\open\command)
//   runProgram         ShellExecuteW with the parameter quoted as one argument; no command interpreter
//   runWindowsProgram  the same: the path is a Windows path here
//   clipboard          the Win32 clipboard, CF_UNICODETEXT, opened by the owner window (setClipboardOwner)
//   registry           the Win32 registry API (REG_SZ, REG_EXPAND_SZ expanded)
//   special folder     privateFolder(): "lanqi-search\" in the user's GetTempPathW folder
//   message box        MessageBoxW with the style word as given
//   processes          a Toolhelp32 snapshot; TerminateProcess; by name, a top-level window's title first
//   screen             the active window's monitor's size in 96-dpi units (MonitorFromWindow, its DPI)
//   popup menus        TrackPopupMenu at the pointer, owned by the given window (or the active one)
//   windows, browser   the Win32Window's own load and navigate
//   opacity            a layered window's alpha (WS_EX_LAYERED, SetLayeredWindowAttributes); opaque: not layered
//   pointer            ShowCursor, counted until the pointer is shown or hidden
//
// Windows that are not Win32Window are no windows here: a message box or menu for them has no owner,
// loadWindow fails and the rest does nothing.
class Win32DesktopServices final : public DesktopServices {
  public:
    Win32DesktopServices() = default;
    ~Win32DesktopServices() override;
    Win32DesktopServices(const Win32DesktopServices&) = delete;
    Win32DesktopServices& operator=(const Win32DesktopServices&) = delete;

    // The window that owns what the clipboard is given (the main window), so that SetClipboardData can
    // place it. Until one is set, or once it is gone, a message-only window of these services owns it.
    void setClipboardOwner(HWND window) { m_clipboardOwner = window; }

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
    int popupMenuAt(const Window* owner, const PopupMenu& menu, ScreenPoint at) override;
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

  private:
    HWND clipboardOwner();

    HWND m_clipboardOwner = nullptr;
    HWND m_ownWindow = nullptr;  // the message-only stand-in, made when first needed
};

// One command-line argument as CommandLineToArgvW and the C runtime read it back: quoted when it holds a
// blank, a tab or a quote (or is empty), with backslashes doubled where they come before a quote. UTF-16.
std::wstring quoteArgument(const std::wstring& argument);

}  // namespace lanqi
