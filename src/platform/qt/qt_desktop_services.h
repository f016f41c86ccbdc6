#pragma once

#include "platform/desktop.h"

namespace lanqi {

// The desktop services on Linux with Qt 6 Widgets. Needs a QApplication for everything but the registry,
// the files and the processes.
//
//   openAddress        QDesktopServices::openUrl (xdg-open finds the registered program)
//   handOverAddress    xdg-open, and its exit status when it ends soon
//   magnet handler     xdg-mime query default x-scheme-handler/magnet
//   runProgram         QProcess::startDetached(file, {parameter}); no shell
//   Windows programs   wine PATH PARAMETER
//   clipboard          QClipboard, plain text
//   registry           the user's Wine registry files (WineRegistry)
//   special folder     privateFolder(): $XDG_RUNTIME_DIR/lanqi-search/, else a 0700 folder of ours in $TMPDIR
//   message box        QMessageBox, application-modal, plain text
//   popup menu         QMenu::exec at the pointer + (3, 3)
//   windows, opacity   QtWindow handles; QWidget::setWindowOpacity on the handle's top-level window
//   browser            the control's writable "url" property (QWebEngineView has one)
//   processes          /proc and SIGKILL; by name, X11 window titles first
//   pointer            a blank override cursor, pushed at most once
//   screen             the primary screen's size in device-independent pixels
class QtDesktopServices final : public DesktopServices {
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
};

}  // namespace lanqi
