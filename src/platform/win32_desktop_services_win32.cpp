#include "platform/win32_desktop_services.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "platform/files.h"
#include "platform/processes.h"
#include "platform/win32_text.h"

namespace lanqi {
namespace {

std::wstring wideFromGbk(const Text& text) {
    const Bytes utf8Text = convertText(text, "GBK", "UTF-8");
    return utf8Text.empty() ? std::wstring() : widen(utf8Text);
}

Text gbkFromWide(const std::wstring& wide) { return convertText(narrow(wide), "UTF-8", "GBK"); }

HKEY rootKey(int root) {
    switch (root) {
        case kRegistryClassesRoot:
            return HKEY_CLASSES_ROOT;
        case kRegistryCurrentConfig:
            return HKEY_CURRENT_CONFIG;
        case kRegistryLocalMachine:
            return HKEY_LOCAL_MACHINE;
        case kRegistryUsers:
            return HKEY_USERS;
        default:
            return HKEY_CURRENT_USER;
    }
}

// `path` split at its last "\": the key and the value name ("" for the key's default value).
bool splitPath(const Text& path, std::wstring& key, std::wstring& value) {
    const std::wstring wide = wideFromGbk(path);
    if (wide.empty()) return false;
    const size_t slash = wide.rfind(L'\\');
    if (slash == std::wstring::npos) return false;
    key = wide.substr(0, slash);
    value = wide.substr(slash + 1);
    return true;
}

bool shellOpen(const std::wstring& file, const std::wstring& parameters) {
    const HINSTANCE result = ::ShellExecuteW(nullptr, L"open", file.c_str(),
                                             parameters.empty() ? nullptr : parameters.c_str(), nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace

HWND windowHandle(const Window* window) {
    const auto* own = dynamic_cast<const Win32Window*>(window);
    return own != nullptr ? own->handle() : nullptr;
}

std::wstring quoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped; elsewhere they stand as they are.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, L'\\');  // before the closing quote
    quoted.push_back(L'"');
    return quoted;
}

void Win32DesktopServices::openAddress(const Text& address) { handOverAddress(address); }

bool Win32DesktopServices::handOverAddress(const Text& address) {
    const std::wstring wide = wideFromGbk(address);
    return !wide.empty() && shellOpen(wide, {});
}

Text Win32DesktopServices::magnetLinkHandler() {
    return readRegistryText(kRegistryClassesRoot, "magnet\\shell\\open\\command\\");
}

bool Win32DesktopServices::runProgram(const Text& file, const Text& parameter) {
    const std::wstring program = wideFromGbk(file);
    const std::wstring argument = wideFromGbk(parameter);
    if (program.empty() || (argument.empty() && !parameter.empty())) return false;
    return shellOpen(program, parameter.empty() ? std::wstring() : quoteArgument(argument));
}

bool Win32DesktopServices::runWindowsProgram(const Text& windowsPath, const Text& parameter) {
    return runProgram(windowsPath, parameter);
}

bool Win32DesktopServices::setClipboardText(const Text& text) {
    const Text placed = text.substr(0, text.find('\0'));
    const std::wstring wide = wideFromGbk(placed);
    if (wide.empty() && !placed.empty()) return false;
    // Opened by a window: with no window, SetClipboardData fails. Another program may hold the clipboard
    // for a moment.
    HWND owner = clipboardOwner();
    if (owner == nullptr) return false;
    bool opened = false;
    for (int attempt = 0; attempt < 10 && !(opened = ::OpenClipboard(owner) != FALSE); ++attempt) ::Sleep(20);
    if (!opened) return false;
    bool done = false;
    if (::EmptyClipboard()) {
        const size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
        if (HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes)) {
            std::memcpy(::GlobalLock(memory), wide.c_str(), bytes);
            ::GlobalUnlock(memory);
            done = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
            if (!done) ::GlobalFree(memory);
        }
    }
    ::CloseClipboard();
    return done;
}

Win32DesktopServices::~Win32DesktopServices() {
    if (m_ownWindow != nullptr) ::DestroyWindow(m_ownWindow);
}

HWND Win32DesktopServices::clipboardOwner() {
    if (m_clipboardOwner != nullptr && ::IsWindow(m_clipboardOwner)) return m_clipboardOwner;
    if (m_ownWindow == nullptr)
        m_ownWindow = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    return m_ownWindow;
}

std::optional<Text> Win32DesktopServices::registryString(int root, const Text& path) {
    std::wstring key, value;
    if (!splitPath(path, key, value)) return std::nullopt;
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(rootKey(root), key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0, size = 0;
    std::optional<Text> result;
    if (::RegQueryValueExW(opened, value.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
        DWORD read = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        if (::RegQueryValueExW(opened, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &read) ==
            ERROR_SUCCESS) {
            data.resize(wcsnlen(data.c_str(), data.size()));  // up to the first zero character
            if (type == REG_EXPAND_SZ) {
                const DWORD needed = ::ExpandEnvironmentStringsW(data.c_str(), nullptr, 0);
                std::wstring expanded(needed, L'\0');
                if (needed > 0 && ::ExpandEnvironmentStringsW(data.c_str(), expanded.data(), needed) == needed) {
                    expanded.resize(needed - 1);
                    data = expanded;
                }
            }
            result = data.empty() ? Text() : gbkFromWide(data);
        }
    }
    ::RegCloseKey(opened);
    return result;
}

bool Win32DesktopServices::registryValueExists(int root, const Text& path) {
    std::wstring key, value;
    if (!splitPath(path, key, value)) return false;
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(rootKey(root), key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return false;
    const bool exists = ::RegQueryValueExW(opened, value.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    ::RegCloseKey(opened);
    return exists;
}

Text Win32DesktopServices::specialFolder(SpecialFolder) { return privateFolder(); }

bool Win32DesktopServices::writeFile(const Text& path, const std::vector<Bytes>& blocks) {
    return writeFileBlocks(path, blocks);
}

MessageAnswer Win32DesktopServices::messageBox(const Text& text, int style, const Text& caption, const Window* owner) {
    // Modal over the window it came from, else over the active one; the keys go back where they were.
    HWND over = windowHandle(owner);
    if (over == nullptr) over = ::GetActiveWindow();
    HWND focus = ::GetFocus();
    const int answer =
        ::MessageBoxW(over, wideFromGbk(text).c_str(), wideFromGbk(caption).c_str(), static_cast<UINT>(style));
    if (focus != nullptr && ::IsWindow(focus) && ::IsWindowVisible(focus) && ::IsWindowEnabled(focus))
        ::SetFocus(focus);
    switch (answer) {
        case IDCANCEL:
            return MessageAnswer::Cancel;
        case IDABORT:
            return MessageAnswer::Abort;
        case IDRETRY:
            return MessageAnswer::Retry;
        case IDIGNORE:
            return MessageAnswer::Ignore;
        case IDYES:
            return MessageAnswer::Yes;
        case IDNO:
            return MessageAnswer::No;
        default:
            return MessageAnswer::Ok;
    }
}

int Win32DesktopServices::popupMenuAtPointer(const Window* owner, const PopupMenu& menu) {
    POINT pointer{};
    ::GetCursorPos(&pointer);
    return popupMenuAt(owner, menu, {pointer.x + 3, pointer.y + 3});
}

int Win32DesktopServices::popupMenuAt(const Window* owner, const PopupMenu& menu, ScreenPoint at) {
    // TrackPopupMenu answers 0 for "no choice", so entry i goes in as command i + 1.
    HMENU popup = ::CreatePopupMenu();
    if (popup == nullptr) return kNoMenuChoice;
    const std::vector<MenuEntry>& entries = menu.entries;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!entries[i].visible) continue;
        if (entries[i].separator) {
            ::AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
        } else {
            ::AppendMenuW(popup, MF_STRING | (entries[i].checked ? MF_CHECKED : MF_UNCHECKED), i + 1,
                          wideFromGbk(entries[i].caption).c_str());
        }
    }
    HWND window = windowHandle(owner);
    if (window == nullptr) window = ::GetActiveWindow();
    if (window != nullptr) ::SetForegroundWindow(window);  // so that a click elsewhere closes the menu
    const UINT chosen = static_cast<UINT>(
        ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x,
                         at.y, 0, window, nullptr));
    ::DestroyMenu(popup);
    if (window != nullptr) ::PostMessageW(window, WM_NULL, 0, 0);
    if (chosen == 0 || chosen > entries.size()) return kNoMenuChoice;
    return entries[chosen - 1].id;
}

bool Win32DesktopServices::loadWindow(Window& window, const Window* owner, bool modal) {
    auto* own = dynamic_cast<Win32Window*>(&window);
    return own != nullptr && own->load(windowHandle(owner), modal);
}

void Win32DesktopServices::navigateBrowser(Window& browser, const Text& address) {
    if (auto* own = dynamic_cast<Win32Window*>(&browser)) own->navigate(wideFromGbk(address));
}

std::vector<ProcessRecord> Win32DesktopServices::listProcesses() { return readProcessList(); }

bool Win32DesktopServices::terminateProcess(std::uint32_t processId) { return terminateProcessById(processId); }

bool Win32DesktopServices::terminateProcess(const Text& name) {
    if (name.empty()) return false;
    const std::wstring title = wideFromGbk(name);
    if (HWND window = title.empty() ? nullptr : ::FindWindowW(nullptr, title.c_str())) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner != 0) return terminateProcessById(owner);
    }
    const auto processes = readProcessList();
    const ProcessRecord* process = findProcessByExecutable(processes, name);
    return process != nullptr && terminateProcessById(process->processId);
}

void Win32DesktopServices::applyWindowOpacity(Window& window, int alpha) {
    HWND handle = windowHandle(&window);
    if (handle == nullptr) return;
    const LONG_PTR style = ::GetWindowLongPtrW(handle, GWL_EXSTYLE);
    if (alpha == 255) {
        // Opaque again: the window stops being layered, so that child windows that draw themselves (the
        // browser control) draw as in any other window.
        if ((style & WS_EX_LAYERED) != 0) ::SetWindowLongPtrW(handle, GWL_EXSTYLE, style & ~WS_EX_LAYERED);
        return;
    }
    if ((style & WS_EX_LAYERED) == 0) ::SetWindowLongPtrW(handle, GWL_EXSTYLE, style | WS_EX_LAYERED);
    ::SetLayeredWindowAttributes(handle, 0, static_cast<BYTE>(alpha), LWA_ALPHA);
}

void Win32DesktopServices::setPointerVisible(bool show) {
    // The system counts ShowCursor calls; the pointer shows while the count is 0 or more.
    if (show) {
        for (int i = 0; i < 64 && ::ShowCursor(TRUE) < 0; ++i) {
        }
    } else {
        for (int i = 0; i < 64 && ::ShowCursor(FALSE) >= 0; ++i) {
        }
    }
}

ScreenSize Win32DesktopServices::screenSize() {
    // The monitor of the program's active window (the primary one without it), in design units of 96 dpi at
    // that monitor's DPI, as the client's windows measure their places.
    HWND active = ::GetActiveWindow();
    HMONITOR monitor = active != nullptr ? ::MonitorFromWindow(active, MONITOR_DEFAULTTONEAREST)
                                         : ::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO screen{};
    screen.cbSize = sizeof(screen);
    if (!::GetMonitorInfoW(monitor, &screen)) return {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    int dpi = 0;
    using DpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    static const auto dpiForMonitor = [] {
        HMODULE shcore = ::LoadLibraryW(L"shcore.dll");
        return shcore != nullptr ? reinterpret_cast<DpiForMonitor>(
                                       reinterpret_cast<void*>(::GetProcAddress(shcore, "GetDpiForMonitor")))
                                 : nullptr;
    }();
    UINT x = 0, y = 0;
    if (dpiForMonitor != nullptr && SUCCEEDED(dpiForMonitor(monitor, 0, &x, &y))) dpi = static_cast<int>(y);
    if (dpi <= 0) {
        HDC dc = ::GetDC(nullptr);
        dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
        ::ReleaseDC(nullptr, dc);
    }
    if (dpi <= 0) dpi = 96;
    const RECT& area = screen.rcMonitor;
    return {::MulDiv(area.right - area.left, 96, dpi), ::MulDiv(area.bottom - area.top, 96, dpi)};
}

}  // namespace lanqi
