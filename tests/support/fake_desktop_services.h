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

// Message-box calls as the fakes record them.
struct MessageBoxCall {
    Text text;
    int style = 0;
    Text caption;
    std::string owner;
    bool operator==(const MessageBoxCall&) const = default;
};

// A registry value as a fake holds it.
struct RegistryValue {
    Text text;
    bool isString = true;  // false: a value of another type (dword, binary, ...)
};

// Fakes of the desktop roles for logic tests. Every call is appended to `calls` as one readable line, in
// order, so a test can assert the exact sequence; answers come from the scripted fields. A test fakes only the
// roles its code takes:
//
//   FakeMessageBoxes messages;
//   messages.messageAnswers = {MessageAnswer::No, MessageAnswer::Yes};
//   FakeRegistryReader registry;
//   registry.registry[{kRegistryCurrentUser, "Software\\Classes\\.torrent\\"}] = {"Xunlei.Torrent"};
//   ResultActions actions({messages, handOffs, clipboard, registry});
//
// or all of them in one FakeDesktopServices, whose `calls` holds the calls of every role in one sequence:
//
//   EXPECT_EQ(desktop.calls, (std::vector<std::string>{"readRegistryText 3 Software\\Classes\\.torrent\\", ...}));
//
// Texts are recorded as the GBK bytes they are; the caller compares with gbk(u8"...") where it matters.
//
// Each role's fake is written once, over the class it extends (`Base`): over its own role with a log of its
// own, or stacked with the others over DesktopServices and one shared log.
template <class Role>
class Recording : public Role {
  public:
    std::vector<std::string> calls;
};

template <class Base>
class MessageBoxesFake : public Base {
  public:
    using MessageBoxCall = test::MessageBoxCall;

    std::deque<MessageAnswer> messageAnswers;  // used front first; an empty queue answers Ok
    std::vector<MessageBoxCall> messageBoxes;

  protected:
    MessageAnswer messageBox(const Text& text, int style, const Text& caption, const Window* owner) override {
        this->calls.push_back("showMessageBox " + text);
        messageBoxes.push_back({text, style, caption, windowName(owner)});
        if (messageAnswers.empty()) return MessageAnswer::Ok;
        const MessageAnswer answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }
};

template <class Base>
class HandOffsFake : public Base {
  public:
    bool addressesOpen = true;  // handOverAddress finds a program
    bool programsStart = true;  // runProgram and runWindowsProgram start theirs
    Text magnetHandler;         // the desktop's magnet-link program, "" for none

    void openAddress(const Text& address) override { this->calls.push_back("openAddress " + address); }

    bool handOverAddress(const Text& address) override {
        this->calls.push_back("handOverAddress " + address);
        return addressesOpen;
    }

    Text magnetLinkHandler() override {
        this->calls.push_back("magnetLinkHandler");
        return magnetHandler;
    }

    bool runProgram(const Text& file, const Text& parameter) override {
        this->calls.push_back("runProgram " + file + " " + parameter);
        return programsStart;
    }

    bool runWindowsProgram(const Text& windowsPath, const Text& parameter) override {
        this->calls.push_back("runWindowsProgram " + windowsPath + " " + parameter);
        return programsStart;
    }
};

template <class Base>
class ClipboardFake : public Base {
  public:
    bool clipboardWorks = true;
    Text clipboard;

    bool setClipboardText(const Text& text) override {
        this->calls.push_back("setClipboardText " + text);
        if (clipboardWorks) clipboard = text.substr(0, text.find('\0'));
        return clipboardWorks;
    }
};

template <class Base>
class ProcessControlFake : public Base {
  public:
    std::vector<ProcessRecord> processes;  // the list; a terminated process leaves it
    std::vector<std::uint32_t> terminated;

    std::vector<ProcessRecord> listProcesses() override {
        this->calls.push_back("listProcesses");
        return processes;
    }

    bool terminateProcess(std::uint32_t processId) override {
        this->calls.push_back("terminateProcess " + std::to_string(processId));
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
        this->calls.push_back("terminateProcess " + name);
        const ProcessRecord* process = findProcessByExecutable(processes, name);
        return process != nullptr && terminateProcess(process->processId);
    }
};

template <class Base>
class RegistryReaderFake : public Base {
  public:
    using RegistryValue = test::RegistryValue;

    // Registry contents by (root, path as the logic spells it).
    std::map<std::pair<int, Text>, RegistryValue> registry;

    bool registryValueExists(int root, const Text& path) override {
        this->calls.push_back("registryValueExists " + std::to_string(root) + " " + path);
        return registry.count({root, path}) != 0;
    }

  protected:
    std::optional<Text> registryString(int root, const Text& path) override {
        this->calls.push_back("readRegistryText " + std::to_string(root) + " " + path);
        const auto it = registry.find({root, path});
        if (it == registry.end() || !it->second.isString) return std::nullopt;
        return it->second.text;
    }
};

template <class Base>
class FileStoreFake : public Base {
  public:
    Text temporaryFolder = "/tmp/";
    bool fileWritesWork = true;
    std::map<Text, Bytes> files;

    Text specialFolder(SpecialFolder) override {
        this->calls.push_back("specialFolder");
        return temporaryFolder;
    }

    bool writeFile(const Text& path, const std::vector<Bytes>& blocks) override {
        this->calls.push_back("writeFile " + path);
        if (path.empty() || !fileWritesWork) return false;
        Bytes& content = files[path];
        content.clear();
        for (const auto& block : blocks) content += block;
        return true;
    }
};

template <class Base>
class WindowEffectsFake : public Base {
  public:
    std::deque<int> menuChoices;  // used front first; an empty queue answers kNoMenuChoice
    bool windowsCanBeCreated = true;
    ScreenSize screen{1920, 1080};

    std::vector<PopupMenu> menus;
    std::map<std::string, int> opacity;  // by window name
    bool pointerVisible = true;

    int popupMenuAtPointer(const Window* owner, const PopupMenu& menu) override {
        this->calls.push_back("popupMenuAtPointer " + windowName(owner));
        return choose(menu);
    }
    int popupMenuAt(const Window* owner, const PopupMenu& menu, ScreenPoint at) override {
        this->calls.push_back("popupMenuAt " + windowName(owner) + " " + std::to_string(at.x) + "," +
                              std::to_string(at.y));
        return choose(menu);
    }
    int choose(const PopupMenu& menu) {
        menus.push_back(menu);
        if (menuChoices.empty()) return kNoMenuChoice;
        const int choice = menuChoices.front();
        menuChoices.pop_front();
        return choice;
    }

    bool loadWindow(Window& window, const Window* owner, bool modal) override {
        this->calls.push_back("loadWindow " + windowName(&window) + " owner " + windowName(owner) +
                              (modal ? " modal" : " modeless"));
        return windowsCanBeCreated;
    }

    void navigateBrowser(Window& browser, const Text& address) override {
        this->calls.push_back("navigateBrowser " + windowName(&browser) + " " + address);
    }

    void setPointerVisible(bool show) override {
        this->calls.push_back(show ? "setPointerVisible true" : "setPointerVisible false");
        pointerVisible = show;
    }

    ScreenSize screenSize() override {
        this->calls.push_back("screenSize");
        return screen;
    }

  protected:
    void applyWindowOpacity(Window& window, int alpha) override {
        this->calls.push_back("setWindowOpacity " + windowName(&window) + " " + std::to_string(alpha));
        opacity[windowName(&window)] = alpha;
    }
};

// One role each, each with its own log.
using FakeMessageBoxes = MessageBoxesFake<Recording<MessageBoxes>>;
using FakeHandOffs = HandOffsFake<Recording<HandOffs>>;
using FakeClipboard = ClipboardFake<Recording<Clipboard>>;
using FakeProcessControl = ProcessControlFake<Recording<ProcessControl>>;
using FakeRegistryReader = RegistryReaderFake<Recording<RegistryReader>>;
using FakeFileStore = FileStoreFake<Recording<FileStore>>;
using FakeWindowEffects = WindowEffectsFake<Recording<WindowEffects>>;

// Every role in one object with one log, for code that takes several roles or a whole DesktopServices.
class FakeDesktopServices
    : public MessageBoxesFake<HandOffsFake<ClipboardFake<
          ProcessControlFake<RegistryReaderFake<FileStoreFake<WindowEffectsFake<Recording<DesktopServices>>>>>>>> {};

}  // namespace lanqi::test
