#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace lanqi {

// One entry of listProcesses.
struct ProcessRecord {
    std::uint32_t processId = 0;
    Text exeFile;                // file name of the process image, without its folder
    std::uint32_t moduleId = 0;  // kept, not used: always 0 here
    std::uint32_t parentProcessId = 0;
    std::int32_t basePriority = 0;
    std::uint32_t threadCount = 0;

    bool operator==(const ProcessRecord&) const = default;
};

// Registry roots as callers number them. Any other number means the current user.
inline constexpr int kRegistryClassesRoot = 1;
inline constexpr int kRegistryCurrentConfig = 2;
inline constexpr int kRegistryCurrentUser = 3;
inline constexpr int kRegistryLocalMachine = 4;
inline constexpr int kRegistryUsers = 5;

// Message-box style word: one button set, one icon, one default button, modality, combined with |.
inline constexpr int kMessageOk = 0x0;
inline constexpr int kMessageOkCancel = 0x1;
inline constexpr int kMessageAbortRetryIgnore = 0x2;
inline constexpr int kMessageYesNoCancel = 0x3;
inline constexpr int kMessageYesNo = 0x4;
inline constexpr int kMessageRetryCancel = 0x5;
inline constexpr int kMessageIconError = 0x10;
inline constexpr int kMessageIconQuestion = 0x20;
inline constexpr int kMessageIconWarning = 0x30;
inline constexpr int kMessageIconInformation = 0x40;
inline constexpr int kMessageDefaultButton2 = 0x100;
inline constexpr int kMessageDefaultButton3 = 0x200;
inline constexpr int kMessageDefaultButton4 = 0x300;
inline constexpr int kMessageSystemModal = 0x1000;
inline constexpr int kMessageTaskModal = 0x2000;
inline constexpr int kMessageTopmost = 0x40000;

// What showMessageBox returns; the numbers are the ones the logic compares with.
enum class MessageAnswer : int { Ok = 0, Cancel = 1, Abort = 2, Retry = 3, Ignore = 4, Yes = 5, No = 6 };

enum class MessageIcon { None, Error, Question, Warning, Information };

// A style word taken apart. `buttons` holds the buttons left to right (each named by the answer it gives);
// `defaultButton` indexes it. Unknown button sets show OK alone; unknown icon bits show no icon; a default
// button past the last one falls back to the first.
struct MessageBoxLayout {
    std::vector<MessageAnswer> buttons;
    MessageIcon icon = MessageIcon::None;
    std::size_t defaultButton = 0;
    bool topmost = false;  // system-modal or topmost asked for

    bool operator==(const MessageBoxLayout&) const = default;
};
MessageBoxLayout decodeMessageBoxStyle(int style);

// "信息：", the caption of a message box when the caller gives none.
const Text& defaultMessageCaption();

// A popup menu described as data. Entries are built top to bottom; hidden ones (separators too) are left out.
struct MenuEntry {
    int id = 0;  // what popupMenuAtPointer returns when this entry is chosen; 0 or more
    Text caption;
    bool separator = false;
    bool visible = true;
    bool checked = false;  // an entry that switches something on and off, shown with a check mark when on

    static MenuEntry item(int id, Text caption, bool visible = true) {
        return {id, std::move(caption), false, visible};
    }
    static MenuEntry toggle(int id, Text caption, bool on) { return {id, std::move(caption), false, true, on}; }
    static MenuEntry line(bool visible = true) { return {0, {}, true, visible}; }
    bool operator==(const MenuEntry&) const = default;
};

struct PopupMenu {
    std::vector<MenuEntry> entries;
    bool operator==(const PopupMenu&) const = default;
};

// A point on the screen, in pixels.
struct ScreenPoint {
    int x = 0;
    int y = 0;
    bool operator==(const ScreenPoint&) const = default;
};

// popupMenuAtPointer's answer when the menu was dismissed without a choice.
inline constexpr int kNoMenuChoice = -1;

enum class SpecialFolder { TemporaryFiles };

struct ScreenSize {
    int width = 0;
    int height = 0;
    bool operator==(const ScreenSize&) const = default;
};

// A window or control as the logic holds it. The logic never looks inside; it only hands it back to the
// desktop services. Each implementation of DesktopServices works with the windows of its own toolkit (the Qt
// one: QtWindow in platform/qt/qt_window.h) and treats any other window as no window at all.
class Window {
  public:
    virtual ~Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

  protected:
    Window() = default;
};

// What the logic needs of the desktop beyond the network and text services, in the roles it uses them in.
// Every call runs on the user-interface thread and blocks until it is done; none throws. Texts in and out are
// GBK. Defaults and limits that are the same for every implementation (the message-box caption, the registry
// default text, the opacity range) are applied here, so implementations and fakes see checked arguments.

// Messages and questions.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;

    // Shows a modal message box and waits for the answer. `style` is a combination of the kMessage* words;
    // without a caption the box is titled defaultMessageCaption(). `owner` may be null.
    MessageAnswer showMessageBox(const Text& text, int style, const std::optional<Text>& caption = std::nullopt,
                                 const Window* owner = nullptr) {
        return messageBox(text, style, caption ? *caption : defaultMessageCaption(), owner);
    }

  protected:
    // showMessageBox with the caption resolved.
    virtual MessageAnswer messageBox(const Text& text, int style, const Text& caption, const Window* owner) = 0;
};

// Hand-offs to other programs and program starts.
class HandOffs {
  public:
    virtual ~HandOffs() = default;

    // Opens an address (http, magnet, a local file...) with the program the desktop registered for it.
    // The address reaches that program as one argument; the outcome is not reported.
    virtual void openAddress(const Text& address) = 0;

    // The same for a link handed to another program (a magnet link to the downloader), with the outcome:
    // false when the desktop says that nothing took it (no program is registered, the opener failed or is
    // missing); true once it is handed over.
    virtual bool handOverAddress(const Text& address) = 0;

    // The program the desktop registered for magnet links (its desktop entry's name), "" when there is none.
    virtual Text magnetLinkHandler() = 0;

    // Starts `file` (found through PATH when it has no folder) with `parameter` as its single argument, or with
    // no argument when `parameter` is empty. No shell sees either text. False when it could not be started.
    virtual bool runProgram(const Text& file, const Text& parameter) = 0;

    // Starts a Windows program, `windowsPath` as the Windows registry names it ("C:\...\XMP.exe"), with
    // `parameter` as its single argument: through Wine where the system is not Windows. False when it could
    // not be started.
    virtual bool runWindowsProgram(const Text& windowsPath, const Text& parameter) = 0;
};

class Clipboard {
  public:
    virtual ~Clipboard() = default;

    // Places `text` (up to its first zero byte) on the clipboard as plain text; true when placed.
    virtual bool setClipboardText(const Text& text) = 0;
};

// The process list and the ending of processes.
class ProcessControl {
  public:
    virtual ~ProcessControl() = default;

    // Every process, in the order the system lists them (ascending ids here). Empty when the list cannot be read.
    virtual std::vector<ProcessRecord> listProcesses() = 0;

    // Ends the process with this id. True when it was ended.
    virtual bool terminateProcess(std::uint32_t processId) = 0;
    // Ends the process owning a top-level window titled `name`; with no such window, the first listed process
    // whose executable name equals `name` ignoring letter case. False for an empty name or no match.
    virtual bool terminateProcess(const Text& name) = 0;
};

// The registry, read only. `root` is one of the kRegistry* numbers.
class RegistryReader {
  public:
    virtual ~RegistryReader() = default;

    // `path` is the key, a "\", then the value name; an empty value name (a path ending in "\") means the key's
    // default value. Gives the value when it is a string, or an expandable string with its environment
    // references expanded; `defaultText` when the key or value is missing or the value has another type.
    Text readRegistryText(int root, const Text& path, const Text& defaultText = {}) {
        return registryString(root, path).value_or(defaultText);
    }
    // True when the value exists, whatever its type.
    virtual bool registryValueExists(int root, const Text& path) = 0;

  protected:
    // The value as readRegistryText describes it, or nullopt where it would give the default text.
    virtual std::optional<Text> registryString(int root, const Text& path) = 0;
};

// Special folders and the files written into them.
class FileStore {
  public:
    virtual ~FileStore() = default;

    // The folder's path, ending in the path separator; "" when there is no such folder. The temporary folder is
    // private to this user (privateFolder on Linux).
    virtual Text specialFolder(SpecialFolder kind) = 0;

    // Writes each block in order into a new file and puts it at `path` in one step, never through a link there.
    // False for an empty path, when the file cannot be made, and when a block cannot be written whole.
    virtual bool writeFile(const Text& path, const std::vector<Bytes>& blocks) = 0;
};

// What the logic does to windows and to the screen around them.
class WindowEffects {
  public:
    virtual ~WindowEffects() = default;

    // Pops `menu` up 3 pixels right of and below the mouse pointer and waits until it closes. Returns the chosen
    // entry's id, or kNoMenuChoice. `owner` may be null.
    virtual int popupMenuAtPointer(const Window* owner, const PopupMenu& menu) = 0;
    // The same with the menu's top left corner at `at` (the keyboard's menu: at the selected row).
    virtual int popupMenuAt(const Window* owner, const PopupMenu& menu, ScreenPoint at) = 0;

    // Creates `window` when it does not exist yet (running its creation handler) and shows it; a modal window
    // blocks until it is closed. False when the window could not be created.
    virtual bool loadWindow(Window& window, const Window* owner, bool modal) = 0;

    // Starts loading `address` (an address, or an absolute file path) in a browser control. Progress is reported
    // by the control's own events to the code that owns it.
    virtual void navigateBrowser(Window& browser, const Text& address) = 0;

    // Sets a window's opacity; `alpha` is clamped to 0 (invisible) .. 255 (opaque).
    void setWindowOpacity(Window& window, int alpha) {
        applyWindowOpacity(window, alpha < 0 ? 0 : alpha > 255 ? 255 : alpha);
    }

    // Shows or hides the mouse pointer over this program's windows. One call always has its effect, however
    // many calls of the other kind came before.
    virtual void setPointerVisible(bool show) = 0;

    // The primary screen's size in pixels.
    virtual ScreenSize screenSize() = 0;

  protected:
    // setWindowOpacity with alpha already in 0..255.
    virtual void applyWindowOpacity(Window& window, int alpha) = 0;
};

// The one object a platform implements: every role. A front end makes one and hands it on; each logic class
// takes from it only the roles it uses.
class DesktopServices : public MessageBoxes,
                        public HandOffs,
                        public Clipboard,
                        public ProcessControl,
                        public RegistryReader,
                        public FileStore,
                        public WindowEffects {};

// The roles a logic class uses, held together: made from one object that plays them all (a front end's
// DesktopServices) or from one object per role, in the order they are listed (what a test hands in).
//
//   ResultActions actions(desktop);                                    // a DesktopServices
//   ResultActions actions({messages, handOffs, clipboard, registry});  // one object per role
template <class Desktop, class... Roles>
concept PlaysEveryRole = (std::derived_from<Desktop, Roles> && ...);

template <class... Roles>
class DesktopRoles {
  public:
    template <PlaysEveryRole<Roles...> Desktop>
    DesktopRoles(Desktop& desktop) : m_roles(static_cast<Roles&>(desktop)...) {}
    DesktopRoles(Roles&... roles) : m_roles(roles...) {}

    template <class Role>
    Role& get() const {
        return std::get<Role&>(m_roles);
    }

  private:
    std::tuple<Roles&...> m_roles;
};

}  // namespace lanqi
