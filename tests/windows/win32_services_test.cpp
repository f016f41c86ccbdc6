// The Win32 services under Wine: the real registry API, the Toolhelp process list and TerminateProcess,
// ShellExecuteW with one argument, the per-user temporary folder, the clipboard.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/net_transfer.h"
#include "platform/process_guard.h"
#include "platform/settings.h"
#include "platform/window_place.h"
#include "platform/win32_desktop_services.h"
#include "platform/win32_text.h"

namespace lanqi {
namespace {

std::wstring ownProgram() {
    wchar_t path[MAX_PATH];
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

const wchar_t kTestKey[] = L"Software\\LanqiSearchTest";

class Registry : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(
            ::RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key, nullptr),
            ERROR_SUCCESS);
        set(L"", REG_SZ, L"Xunlei.Torrent.7");
        set(L"Expand", REG_EXPAND_SZ, L"%LANQI_TEST_ROOT%\\XMP.exe");
        set(L"Chinese", REG_SZ, L"迅雷影音");
        const DWORD number = 7;
        ::RegSetValueExW(m_key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
        ::SetEnvironmentVariableW(L"LANQI_TEST_ROOT", L"C:\\Program Files\\Xmp");
    }
    void TearDown() override {
        ::RegCloseKey(m_key);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    }
    void set(const wchar_t* name, DWORD type, const std::wstring& value) {
        ::RegSetValueExW(m_key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    HKEY m_key = nullptr;
};

TEST_F(Registry, ValuesAreReadThroughTheRegistryApi) {
    Win32DesktopServices desktop;
    const Text key = "Software\\LanqiSearchTest\\";
    const struct {
        Text path;
        Text text;  // what readRegistryText gives, "none" standing for the default
        bool exists;
    } cases[] = {
        {key, "Xunlei.Torrent.7", true},                            // the key's default value
        {key + "Expand", "C:\\Program Files\\Xmp\\XMP.exe", true},  // expanded
        {key + "Chinese", gbk(u8"迅雷影音"), true},                 // UTF-16 to GBK
        {key + "Number", "none", true},                             // not a string
        {key + "Missing", "none", false},
        {"Software\\LanqiSearchNoSuchKey\\Value", "none", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(desktop.readRegistryText(kRegistryCurrentUser, c.path, "none"), c.text) << c.path;
        EXPECT_EQ(desktop.registryValueExists(kRegistryCurrentUser, c.path), c.exists) << c.path;
    }
}

// A child that sleeps, started from this program: it is listed with its parent, and ended by its id.
TEST(Processes, ListedFromToolhelpAndEndedByTerminateProcess) {
    Win32DesktopServices desktop;
    std::wstring command = L"\"" + ownProgram() + L"\" --sleep";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(
        ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child));
    const auto processes = desktop.listProcesses();
    const ProcessRecord* own = nullptr;
    const ProcessRecord* started = nullptr;
    for (const ProcessRecord& p : processes) {
        if (p.processId == ::GetCurrentProcessId()) own = &p;
        if (p.processId == child.dwProcessId) started = &p;
    }
    ASSERT_NE(own, nullptr);
    ASSERT_NE(started, nullptr);
    EXPECT_EQ(own->exeFile, "win32_services_test.exe");
    EXPECT_EQ(started->parentProcessId, ::GetCurrentProcessId());
    EXPECT_GE(started->threadCount, 1u);

    // The shield's guard: this process is its own, the child is this user's, no process is another's.
    const WindowsProcessGuard guard;
    EXPECT_EQ(guard.ownProcessId(), ::GetCurrentProcessId());
    EXPECT_FALSE(guard.ownedByOtherUser(child.dwProcessId));
    EXPECT_FALSE(guard.ownedByOtherUser(0xFFFFFFF0u));  // no such process: gone, not another user's

    EXPECT_TRUE(desktop.terminateProcess(child.dwProcessId));
    EXPECT_EQ(::WaitForSingleObject(child.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    ::GetExitCodeProcess(child.hProcess, &code);
    EXPECT_EQ(code, 1u);
    ::CloseHandle(child.hProcess);
    ::CloseHandle(child.hThread);
    EXPECT_FALSE(desktop.terminateProcess(0));
}

// runProgram hands the parameter over as one argument whatever it holds: the child writes back its
// arguments as it read them.
TEST(Programs, TheParameterArrivesAsOneArgument) {
    Win32DesktopServices desktop;
    const std::string record = narrow(ownProgram()) + ".record";
    ::SetEnvironmentVariableW(L"LANQI_RECORD_FILE", widen(record).c_str());
    const Text parameters[] = {
        "magnet:?xt=urn:btih:0123&dn=a b",
        "say \"hi\" & echo | more > x",
        "C:\\path with space\\",
        "tail\\\\\"quote",
        gbk(u8"迅雷 影音"),
    };
    for (const Text& parameter : parameters) {
        std::remove(record.c_str());
        ASSERT_TRUE(desktop.runProgram(gbk(narrow(ownProgram())), parameter)) << parameter;
        std::string got;
        for (int i = 0; i < 200 && got.empty(); ++i) {
            ::Sleep(50);
            std::ifstream in(record, std::ios::binary);
            std::ostringstream content;
            content << in.rdbuf();
            got = content.str();
        }
        EXPECT_EQ(got, "2\n" + convertText(parameter, "GBK", "UTF-8")) << parameter;
    }
    EXPECT_FALSE(desktop.runProgram("C:\\no\\such\\program.exe", "x"));
}

TEST(Files, ThePrivateFolderIsInTheUsersTemporaryFolderAndFilesArePutInPlaceWhole) {
    const Text folder = privateFolder();
    wchar_t temporary[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temporary);
    EXPECT_EQ(folder, convertText(narrow(temporary), "UTF-8", "GBK") + "lanqi-search\\");
    const Text file = folder + "page.htm";
    ASSERT_TRUE(writeFileBlocks(file, {"first", " version"}));
    ASSERT_TRUE(writeFileBlocks(file, {"second"}));  // over the existing file
    std::ifstream in(narrow(widen(convertText(file, "GBK", "UTF-8"))), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), "second");
    EXPECT_FALSE(writeFileBlocks(folder, {"x"}));  // a folder is never replaced
}

TEST(Files, OnlyASmallDiskFileIsRead) {
    const Text folder = privateFolder();
    ASSERT_FALSE(folder.empty());
    const std::string utf8Folder = convertText(folder, "GBK", "UTF-8");
    ASSERT_TRUE(writeFileBlocks(folder + "ten.toml", {"0123456789"}));
    ASSERT_TRUE(writeFileBlocks(folder + "eleven.toml", {"0123456789a"}));
    ::CreateDirectoryW(widen(utf8Folder + "sub").c_str(), nullptr);
    const struct {
        std::string path;
        FileRead outcome;
        const char* content;
    } cases[] = {
        {utf8Folder + "ten.toml", FileRead::Read, "0123456789"},
        {utf8Folder + "eleven.toml", FileRead::TooLarge, ""},
        {utf8Folder + "sub", FileRead::Folder, ""},
        {utf8Folder + "missing.toml", FileRead::Missing, ""},
        {"\\\\.\\NUL", FileRead::NotAFile, ""},  // a device
    };
    for (const auto& c : cases) {
        Bytes content = "left over";
        EXPECT_EQ(readSmallFile(c.path, 10, content), c.outcome) << c.path;
        EXPECT_EQ(content, c.content) << c.path;
    }
}

std::wstring clipboardText() {
    if (!::OpenClipboard(nullptr)) return L"<not opened>";
    const HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    std::wstring text = L"<none>";
    if (data != nullptr) {
        text = static_cast<const wchar_t*>(::GlobalLock(data));
        ::GlobalUnlock(data);
    }
    ::CloseClipboard();
    return text;
}

// The text goes on as Unicode, owned by the window the services were given, or by a window of their own
// before one is given and after it is gone.
TEST(Clipboard, TextIsPlacedAsUnicodeByItsOwnerWindow) {
    Win32DesktopServices desktop;
    HWND main = ::CreateWindowExW(0, L"STATIC", L"main", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(main, nullptr);
    const struct {
        const char* step;
        std::function<void()> before;
        const char8_t* text;
        bool ownedByMain;
    } cases[] = {
        {"no owner yet", [] {}, u8"磁力 magnet:?xt=urn:btih:ab", false},
        {"the main window", [&] { desktop.setClipboardOwner(main); }, u8"magnet:?xt=urn:btih:cd 迅雷", true},
        {"the main window gone", [&] { ::DestroyWindow(main); }, u8"magnet:?xt=urn:btih:ef", false},
    };
    for (const auto& c : cases) {
        c.before();
        ASSERT_TRUE(desktop.setClipboardText(gbk(c.text))) << c.step;
        EXPECT_EQ(clipboardText(), widen(reinterpret_cast<const char*>(c.text))) << c.step;
        const HWND owner = ::GetClipboardOwner();
        EXPECT_NE(owner, nullptr) << c.step;
        EXPECT_EQ(owner == main, c.ownedByMain) << c.step;
    }
}

// A loopback server that answers `answers` requests with `body`, keeping each request's first line.
class OneLineServer {
  public:
    OneLineServer(std::string body, int answers) : m_body(std::move(body)) {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
        m_socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof at;
        ::bind(m_socket, reinterpret_cast<sockaddr*>(&at), sizeof at);
        ::listen(m_socket, 4);
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&at), &length);
        m_port = ntohs(at.sin_port);
        // Waits 10 s at most for each request, so that it ends by itself whatever the client does.
        DWORD limit = 10000;
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
        m_thread = std::thread([this, answers, limit] {
            for (int i = 0; i < answers; ++i) {
                fd_set ready;
                FD_ZERO(&ready);
                FD_SET(m_socket, &ready);
                timeval wait{10, 0};
                if (::select(0, &ready, nullptr, nullptr, &wait) != 1) return;
                const SOCKET peer = ::accept(m_socket, nullptr, nullptr);
                if (peer == INVALID_SOCKET) return;
                ::setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
                std::string request;
                char buffer[4096];
                while (request.find("\r\n\r\n") == std::string::npos) {
                    const int got = ::recv(peer, buffer, sizeof buffer, 0);
                    if (got <= 0) break;
                    request.append(buffer, static_cast<size_t>(got));
                }
                m_lines.push_back(request.substr(0, request.find("\r\n")));
                const std::string answer =
                    "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(m_body.size()) + "\r\n\r\n" + m_body;
                ::send(peer, answer.data(), static_cast<int>(answer.size()), 0);
                ::shutdown(peer, SD_SEND);
                ::closesocket(peer);
            }
        });
    }
    ~OneLineServer() {
        if (m_thread.joinable()) m_thread.join();
        ::closesocket(m_socket);
    }
    int port() const { return m_port; }
    // The first lines of the requests answered so far; read once the fetches are over.
    const std::vector<std::string>& lines() {
        if (m_thread.joinable()) m_thread.join();
        return m_lines;
    }

  private:
    std::string m_body;
    SOCKET m_socket = INVALID_SOCKET;
    int m_port = 0;
    std::thread m_thread;
    std::vector<std::string> m_lines;
};

// The user's proxy as Internet Options keep it (this user's Internet Settings), put back afterwards.
class SystemProxy {
  public:
    explicit SystemProxy(const std::wstring& server) {
        ::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key, nullptr);
        for (Saved& value : m_saved) {
            DWORD size = sizeof value.data;
            value.present =
                ::RegQueryValueExW(m_key, value.name, nullptr, &value.type, value.data, &size) == ERROR_SUCCESS;
            value.size = size;
        }
        const DWORD enable = 1;
        ::RegSetValueExW(m_key, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable), sizeof enable);
        setText(L"ProxyServer", server);
        setText(L"ProxyOverride", L"<local>");
    }
    ~SystemProxy() {
        for (const Saved& value : m_saved) {
            if (value.present) {
                ::RegSetValueExW(m_key, value.name, 0, value.type, value.data, value.size);
            } else {
                ::RegDeleteValueW(m_key, value.name);
            }
        }
        ::RegCloseKey(m_key);
    }

  private:
    void setText(const wchar_t* name, const std::wstring& text) {
        ::RegSetValueExW(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    static constexpr wchar_t kKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    struct Saved {
        const wchar_t* name;
        bool present = false;
        DWORD type = 0, size = 0;
        BYTE data[1024] = {};
    };
    HKEY m_key = nullptr;
    Saved m_saved[3] = {{L"ProxyEnable"}, {L"ProxyServer"}, {L"ProxyOverride"}};
};

// With a proxy set for the system, a public site is fetched through it and a local one directly.
TEST(Fetch, APublicSiteGoesThroughTheSystemProxyAndALocalOneDirectly) {
    OneLineServer site("from the site", 1);
    OneLineServer proxy("from the proxy", 1);
    const SystemProxy set(L"127.0.0.1:" + std::to_wstring(proxy.port()));
    // "public.lanqi.test" stands for a public site: it resolves to 127.0.0.2, which these rules do not count
    // as local. Nothing listens there: only the proxy can answer for it.
    const AddressRules system = systemAddressRules();
    const ScopedAddressRules rules(
        {[&](const std::string& host) {
             return host == "public.lanqi.test" ? std::vector<std::string>{"127.0.0.2"} : system.resolve(host);
         },
         [&](const char* ip) { return std::string(ip) != "127.0.0.2" && system.isLocal(ip); }});
    const std::string port = std::to_string(site.port());
    const struct {
        std::string address;
        std::string body;
    } cases[] = {
        {"http://127.0.0.1:" + port + "/local?k=1", "from the site"},
        {"http://public.lanqi.test:" + port + "/public?k=2", "from the proxy"},
    };
    for (const auto& c : cases) EXPECT_EQ(fetchUrl(c.address), c.body) << c.address;
    EXPECT_EQ(site.lines(), (std::vector<std::string>{"GET /local?k=1 HTTP/1.0"}));
    // The proxy is asked for the address that was checked, not the name.
    EXPECT_EQ(proxy.lines(), (std::vector<std::string>{"GET http://127.0.0.2:" + port + "/public?k=2 HTTP/1.0"}));
}

std::wstring besideOwnProgram(const std::wstring& relative) {
    const std::wstring own = ownProgram();
    return own.substr(0, own.find_last_of(L"\\/") + 1) + relative;
}

// Runs `command line` in this program's console and waits (60 s at most) for it to end; its exit code.
DWORD runInConsole(std::wstring commandLine) {
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION child{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &child))
        return 9999;
    ::WaitForSingleObject(child.hProcess, 60000);
    DWORD code = 9998;
    ::GetExitCodeProcess(child.hProcess, &code);
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
    return code;
}

// The console is the starting program's too: lanqi-cli and any program that prepares its output in it give
// the console back with the code page it had, however they end.
TEST(Console, TheCodePageIsPutBackHoweverTheProgramEnds) {
    if (::GetConsoleOutputCP() == 0) {
        // Started with its output in a pipe, the program holds a console that is none: a real one replaces it.
        ::FreeConsole();
        ::AllocConsole();
    }
    if (::GetConsoleOutputCP() == 0) {
        // Wine makes a console only where it has a display: unit.win32_console_test gives it one.
        ASSERT_EQ(std::getenv("LANQI_CONSOLE_EXPECTED"), nullptr) << "no console";
        GTEST_SKIP() << "Wine gave this program no console";
    }
    ASSERT_TRUE(::SetConsoleOutputCP(936));
    const std::wstring self = L"\"" + ownProgram() + L"\" --console-ending ";
    const std::wstring cli = L"\"" + besideOwnProgram(L"..\\..\\src\\app\\cli\\lanqi-cli.exe") + L"\"";
    const struct {
        const char* ending;
        std::wstring commandLine;
        DWORD code;
    } cases[] = {
        {"returning from main", self + L"return", 0},
        {"exit()", self + L"exit", 7},
        {"an uncaught exception", self + L"throw", 3},
        {"lanqi-cli's version", cli + L" --version", 0},
        {"lanqi-cli with an unknown option", cli + L" --no-such-option", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(runInConsole(c.commandLine), c.code) << c.ending;
        EXPECT_EQ(::GetConsoleOutputCP(), 936u) << c.ending;
        ::SetConsoleOutputCP(936);
    }
    // While it ran, the console showed UTF-8.
    const std::string record = convertText(privateFolder(), "GBK", "UTF-8") + "console-page.txt";
    ::DeleteFileW(widen(record).c_str());
    ::SetEnvironmentVariableW(L"LANQI_RECORD_FILE", widen(record).c_str());
    EXPECT_EQ(runInConsole(self + L"record"), 0u);
    ::SetEnvironmentVariableW(L"LANQI_RECORD_FILE", nullptr);
    Bytes seen;
    EXPECT_EQ(readSmallFile(record, 100, seen), FileRead::Read);
    EXPECT_EQ(seen, "65001");
    EXPECT_EQ(::GetConsoleOutputCP(), 936u);
}

// Sets a variable of the environment (the C runtime's and the system's) for the life of the value.
class ScopedVariable {
  public:
    ScopedVariable(const wchar_t* name, const std::wstring& value) : m_name(name) {
        if (const wchar_t* old = ::_wgetenv(name)) m_old = old;
        ::_wputenv_s(name, value.c_str());
    }
    ~ScopedVariable() { ::_wputenv_s(m_name, m_old.c_str()); }

  private:
    const wchar_t* m_name;
    std::wstring m_old;
};

bool fileExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The user's folders may have names GBK has no characters for (Hangul here): the settings, the window's place
// and the player's blank page are written and read back there.
TEST(Paths, FoldersNamedOutsideGbkHoldTheSettingsAndThePrivateFiles) {
    wchar_t temporary[MAX_PATH + 1];
    ASSERT_GT(::GetTempPathW(MAX_PATH + 1, temporary), 0u);
    const std::wstring base = std::wstring(temporary) + L"lanqi-search\\";
    ::CreateDirectoryW(base.c_str(), nullptr);
    const struct {
        const wchar_t* variable;
        std::wstring folder;
    } settingsCases[] = {
        {L"APPDATA", base + L"설정 폴더"},
        {L"XDG_CONFIG_HOME", base + L"한국어 설정"},
    };
    for (const auto& c : settingsCases) {
        const std::string label = narrow(c.variable);
        ::CreateDirectoryW(c.folder.c_str(), nullptr);
        const ScopedVariable appData(L"APPDATA", c.folder);
        const ScopedVariable config(L"XDG_CONFIG_HOME", std::wstring(c.variable) == L"APPDATA" ? L"" : c.folder);
        const std::string file = settingsFilePath();
        EXPECT_EQ(file, narrow(c.folder) + "/lanqi-search/config.toml") << label;
        Settings settings = builtInSettings();
        settings.sites[4].base = "http://127.0.0.1:9/site5";
        std::string error;
        ASSERT_TRUE(saveSettingsFile(file, settings, error)) << label << ": " << error;
        EXPECT_TRUE(fileExists(c.folder + L"\\lanqi-search\\config.toml")) << label;
        const LoadedSettings loaded = loadSettings();
        EXPECT_TRUE(loaded.fileFound) << label;
        EXPECT_TRUE(loaded.problems.empty()) << label << ": " << loaded.report(false);
        EXPECT_EQ(loaded.settings.sites[4].base, "http://127.0.0.1:9/site5") << label;

        const std::string placeFile = windowPlaceFile(file);
        const WindowPlace place{120, 80, 900, 640, true};
        ASSERT_TRUE(writeWindowPlace(placeFile, place)) << label;
        EXPECT_EQ(readWindowPlace(placeFile), std::optional<WindowPlace>(place)) << label;
    }

    // The temporary folder in a Hangul-named folder: the private folder is still there, by its short name.
    const std::wstring hangulTemporary = base + L"임시 폴더";
    ::CreateDirectoryW(hangulTemporary.c_str(), nullptr);
    const ScopedVariable tmp(L"TMP", hangulTemporary);
    const ScopedVariable temp(L"TEMP", hangulTemporary);
    const Text folder = privateFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.find('?'), std::string::npos);
    ASSERT_TRUE(writeFileBlocks(folder + "wyhc.htm", {"<html>", "</html>"}));
    Bytes page;
    EXPECT_EQ(readSmallFile(narrow(hangulTemporary + L"\\lanqi-search\\wyhc.htm"), 100, page), FileRead::Read);
    EXPECT_EQ(page, "<html></html>");
}

}  // namespace
}  // namespace lanqi

int main(int argc, char** argv) {
    // The helper roles of this program for the tests above: sleep until ended, or write back the arguments.
    if (argc > 1 && std::string(argv[1]) == "--sleep") {
        ::Sleep(60000);
        return 0;
    }
    if (argc > 2 && std::string(argv[1]) == "--console-ending") {
        // The ways a program ends, once its console output is prepared.
        lanqi::prepareConsoleOutput();
        const std::string ending = argv[2];
        if (ending == "exit") std::exit(7);
        if (ending == "throw") throw std::runtime_error("not caught");
        if (ending == "record") {
            if (const char* record = std::getenv("LANQI_RECORD_FILE"))
                lanqi::writeFileBlocksAtUtf8(record, {std::to_string(::GetConsoleOutputCP())});
        }
        return 0;
    }
    if (const char* record = std::getenv("LANQI_RECORD_FILE");
        record != nullptr && *record != '\0' && argc > 1 && std::string(argv[1]).rfind("--gtest", 0) != 0) {
        int count = 0;
        wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
        std::string out = std::to_string(count) + "\n";
        for (int i = 1; i < count; ++i) out += lanqi::narrow(arguments[i]);
        const std::string temporary = std::string(record) + ".tmp";
        std::ofstream(temporary, std::ios::binary) << out;
        ::MoveFileExA(temporary.c_str(), record, MOVEFILE_REPLACE_EXISTING);
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
