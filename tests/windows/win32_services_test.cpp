// The Win32 services under Wine: the real registry API, the Toolhelp process list and TerminateProcess,
// ShellExecuteW with one argument, the per-user temporary folder, the clipboard.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/files.h"
#include "platform/process_guard.h"
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

TEST(Clipboard, TextIsPlacedAsUnicode) {
    Win32DesktopServices desktop;
    ASSERT_TRUE(desktop.setClipboardText(gbk(u8"磁力 magnet:?xt=urn:btih:ab")));
    ASSERT_TRUE(::OpenClipboard(nullptr));
    const HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(data, nullptr);
    const std::wstring text(static_cast<const wchar_t*>(::GlobalLock(data)));
    ::GlobalUnlock(data);
    ::CloseClipboard();
    EXPECT_EQ(text, widen(reinterpret_cast<const char*>(u8"磁力 magnet:?xt=urn:btih:ab")));
}

}  // namespace
}  // namespace lanqi

int main(int argc, char** argv) {
    // The helper roles of this program for the tests above: sleep until ended, or write back the arguments.
    if (argc > 1 && std::string(argv[1]) == "--sleep") {
        ::Sleep(60000);
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
