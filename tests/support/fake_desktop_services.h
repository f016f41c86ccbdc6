#pragma once

#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/desktop.h"
#include "platform/processes.h"

namespace lanqi::test {

// A window for logic tests: only its name, so that recorded calls say which window they were about.
class FakeWindow : public Window {
  public:
    explicit FakeWindow(std::string name) : name(std::move(name)) {}
    std::string name;
};

inline std::string windowName(const Window* window) {
    const auto* fake = dynamic_cast<const FakeWindow*>(window);
    return window == nullptr ? "none" : fake ? fake->name : "?";
}

// Desktop services for logic tests. Every call is appended to `calls` as one readable line, in order, so a test
// can assert the exact sequence; answers come from the scripted fields below.
//
//   FakeDesktopServices desktop;
//   desktop.messageAnswers = {MessageAnswer::No, MessageAnswer::Yes};
//   desktop.registry[{kRegistryCurrentUser, "Software\\Classes\\.torrent\\"}] = {"Xunlei.Torrent"};
//   ... run the logic ...
//   EXPECT_EQ(desktop.calls, (std::vector<std::string>{"readRegistryText 3 Software\\Classes\\.torrent\\", ...}));
//
// Texts are recorded as the GBK bytes they are; the caller compares with gbk(u8"...") where it matters.
class FakeDesktopServices : public DesktopServices {
  public:
    struct MessageBoxCall {
        Text text;
        int style = 0;
        Text caption;
        std::string owner;
        bool operator==(const MessageBoxCall&) const = default;
    };
    struct RegistryValue {
        Text text;
        bool isString = true;  // false: a value of another type (dword, binary, ...)
    };

    // Scripted answers, used front first. An empty queue answers Ok / no menu choice.
    std::deque<MessageAnswer> messageAnswers;
    std::deque<int> menuChoices;

    // Registry contents by (root, path as the logic spells it).
    std::map<std::pair<int, Text>, RegistryValue> registry;
    std::vector<ProcessRecord> processes;
    bool clipboardWorks = true;
    bool addressesOpen = true;  // openAddress finds a program
    bool programsStart = true;  // runProgram and runWindowsProgram start theirs
    Text magnetHandler;         // the desktop's magnet-link program, "" for none
    bool fileWritesWork = true;
    bool windowsCanBeCreated = true;
    ScreenSize screen{1920, 1080};
    Text temporaryFolder = "/tmp/";

    // What the calls left behind.
    std::vector<std::string> calls;
    std::vector<MessageBoxCall> messageBoxes;
    std::vector<PopupMenu> menus;
    Text clipboard;
    std::map<Text, Bytes> files;
    std::map<std::string, int> opacity;  // by window name
    bool pointerVisible = true;
    std::vector<std::uint32_t> terminated;

    void openAddress(const Text& address) override { calls.push_back("openAddress " + address); }

    bool handOverAddress(const Text& address) override {
        calls.push_back("handOverAddress " + address);
        return addressesOpen;
    }

    Text magnetLinkHandler() override {
        calls.push_back("magnetLinkHandler");
        return magnetHandler;
    }

    bool runProgram(const Text& file, const Text& parameter) override {
        calls.push_back("runProgram " + file + " " + parameter);
        return programsStart;
    }

    bool runWindowsProgram(const Text& windowsPath, const Text& parameter) override {
        calls.push_back("runWindowsProgram " + windowsPath + " " + parameter);
        return programsStart;
    }

    bool setClipboardText(const Text& text) override {
        calls.push_back("setClipboardText " + text);
        if (clipboardWorks) clipboard = text.substr(0, text.find('\0'));
        return clipboardWorks;
    }

    bool registryValueExists(int root, const Text& path) override {
        calls.push_back("registryValueExists " + std::to_string(root) + " " + path);
        return registry.count({root, path}) != 0;
    }

    Text specialFolder(SpecialFolder) override {
        calls.push_back("specialFolder");
        return temporaryFolder;
    }

    bool writeFile(const Text& path, const std::vector<Bytes>& blocks) override {
        calls.push_back("writeFile " + path);
        if (path.empty() || !fileWritesWork) return false;
        Bytes& content = files[path];
        content.clear();
        for (const auto& block : blocks) content += block;
        return true;
    }

    int popupMenuAtPointer(const Window* owner, const PopupMenu& menu) override {
        calls.push_back("popupMenuAtPointer " + windowName(owner));
        menus.push_back(menu);
        if (menuChoices.empty()) return kNoMenuChoice;
        const int choice = menuChoices.front();
        menuChoices.pop_front();
        return choice;
    }

    bool loadWindow(Window& window, const Window* owner, bool modal) override {
        calls.push_back("loadWindow " + windowName(&window) + " owner " + windowName(owner) +
                        (modal ? " modal" : " modeless"));
        return windowsCanBeCreated;
    }

    void navigateBrowser(Window& browser, const Text& address) override {
        calls.push_back("navigateBrowser " + windowName(&browser) + " " + address);
    }

    std::vector<ProcessRecord> listProcesses() override {
        calls.push_back("listProcesses");
        return processes;
    }

    bool terminateProcess(std::uint32_t processId) override {
        calls.push_back("terminateProcess " + std::to_string(processId));
        for (auto it = processes.begin(); it != processes.end(); ++it) {
            if (it->processId == processId) {
                processes.erase(it);
                terminated.push_back(processId);
                return true;
            }
        }
        return false;
    }

    // By executable name only: a fake has no windows.
    bool terminateProcess(const Text& name) override {
        calls.push_back("terminateProcess " + name);
        const ProcessRecord* process = findProcessByExecutable(processes, name);
        return process != nullptr && terminateProcess(process->processId);
    }

    void setPointerVisible(bool show) override {
        calls.push_back(show ? "setPointerVisible true" : "setPointerVisible false");
        pointerVisible = show;
    }

    ScreenSize screenSize() override {
        calls.push_back("screenSize");
        return screen;
    }

  protected:
    std::optional<Text> registryString(int root, const Text& path) override {
        calls.push_back("readRegistryText " + std::to_string(root) + " " + path);
        const auto it = registry.find({root, path});
        if (it == registry.end() || !it->second.isString) return std::nullopt;
        return it->second.text;
    }

    MessageAnswer messageBox(const Text& text, int style, const Text& caption, const Window* owner) override {
        calls.push_back("showMessageBox " + text);
        messageBoxes.push_back({text, style, caption, windowName(owner)});
        if (messageAnswers.empty()) return MessageAnswer::Ok;
        const MessageAnswer answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }

    void applyWindowOpacity(Window& window, int alpha) override {
        calls.push_back("setWindowOpacity " + windowName(&window) + " " + std::to_string(alpha));
        opacity[windowName(&window)] = alpha;
    }
};

}  // namespace lanqi::test
