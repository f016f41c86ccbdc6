// 站点设置 of the Win32 client on a display under Wine, over a whole client: a slot set to the sample sites and
// tested for real, a bad address refused, the save written to the file and handed to the controller; Esc and
// 取消 change nothing.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "app/core/settings_editor.h"
#include "app/win32/client.h"
#include "app/win32/dialogs.h"
#include "search/site_catalogue.h"
#include "support/fake_desktop_services.h"
#include "platform/win32_text.h"
#include "support/fake_fetcher.h"
#include "support/win32_screenshot.h"
#include "support/numbered_sites.h"
#include "support/sample_server.h"

namespace lanqi::win32 {
namespace {

using namespace std::chrono_literals;

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) routeMessage(message);
        ::Sleep(5);
    }
    return true;
}

// A UTF-8 path as the file system takes it (not through the ANSI code page).
std::filesystem::path pathOf(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }

std::string content(const std::string& path) {
    std::ifstream in(pathOf(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SettingsWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::OleInitialize(nullptr);
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&controls);
        base = test::sampleServerBase();
        ASSERT_FALSE(base.empty()) << "no sample server: run under ctest";
        char pattern[] = "lanqi-settings-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        scratch = std::filesystem::absolute(pattern);
        // The settings folder's name holds characters the GBK code page lacks: the path must stay Unicode.
        const std::u8string config = (scratch / u8"设置 한글").u8string();
        folder = std::string(config.begin(), config.end());
        file = folder + "/lanqi-search/config.toml";
        std::filesystem::create_directories(pathOf(folder + "/lanqi-search"));
        std::ofstream(pathOf(file)) << "# the user's own note\n[site6]\nenabled = false\n";
        ::_wputenv_s(L"XDG_CONFIG_HOME", wideFromUtf8(folder).c_str());
        ASSERT_EQ(settingsFilePath(), file);
        m_client = std::make_unique<Client>(m_desktop, m_fetcher, test::numberedSettings(), builtInSiteSlots());
        ::ShowWindow(m_client->window().handle(), SW_SHOW);
    }
    void TearDown() override {
        m_window.reset();
        m_client.reset();
        ::_wputenv_s(L"XDG_CONFIG_HOME", L"");
        std::filesystem::remove_all(scratch);
        ::OleUninitialize();
    }

    // 站点设置 over the main window, as the client opens it, with `slot`'s address focused.
    SettingsWindow& open(int slot = 0) {
        SettingsWindow::Context context;
        context.file = file;
        context.inUse = loadSettings(file).settings;
        context.testKeyword = gbk(u8"超能陆战队");
        context.focusedSlot = slot;
        context.applied = [this](const Settings& settings) {
            ++applied;
            applySettings(m_client->client(), settings);
        };
        m_window = std::make_unique<SettingsWindow>(std::move(context));
        EXPECT_TRUE(m_window->create(m_client->window().handle())) << "no window: is there a display?";
        return *m_window;
    }
    static void press(UINT key) {
        MSG message{::GetFocus(), WM_KEYDOWN, key, 0, 0, {}};
        routeMessage(message);
    }
    static void click(HWND button) { ::SendMessageW(button, BM_CLICK, 0, 0); }
    static int windowWidth(HWND window) {
        RECT area{};
        ::GetWindowRect(window, &area);
        return area.right - area.left;
    }
    // Clicks 测试 of `slot` and waits for its answer (the whole of it, as the tip shows it).
    static std::wstring testSlot(SettingsWindow& window, int slot) {
        click(window.testButton(slot));
        EXPECT_FALSE(::IsWindowEnabled(window.testButton(slot)));
        const bool answered =
            pumpUntil([&] { return windowText(window.testResult(slot)).find(L"毫秒") != std::wstring::npos; });
        EXPECT_TRUE(answered) << "no answer for slot " << slot;
        EXPECT_TRUE(::IsWindowEnabled(window.testButton(slot)));
        return windowText(window.testResult(slot));
    }

    test::FakeDesktopServices m_desktop;
    test::FakeFetcher m_fetcher;
    std::unique_ptr<Client> m_client;
    std::unique_ptr<SettingsWindow> m_window;
    std::string base;
    std::filesystem::path scratch;
    std::string folder;
    std::string file;
    int applied = 0;
};

// Enter as in a dialog: 保存 from an address, the focused button pressed, and a list of trackers keeps it for its
// next line.
TEST_F(SettingsWindowTest, EnterPressesTheDefaultButtonButAListOfLinesKeepsIt) {
    struct Case {
        const char* what;
        std::function<HWND(SettingsWindow&)> focus;
        bool finished;
        bool saved;
    };
    const Case cases[] = {
        {"an address", [](SettingsWindow& window) { return window.baseEdit(1); }, true, true},
        {"取消", [](SettingsWindow& window) { return window.cancelButton(); }, true, false},
        {"the trackers", [](SettingsWindow& window) { return window.swarmTrackersEdit(); }, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SettingsWindow& window = open();
        ::SetFocus(c.focus(window));
        press(VK_RETURN);
        EXPECT_EQ(window.finished(), c.finished);
        EXPECT_EQ(window.saved(), c.saved);
    }
}

TEST_F(SettingsWindowTest, ASlotSetToTheSampleSitesIsTestedSavedAndApplied) {
    SettingsWindow& window = open(3);
    EXPECT_EQ(::GetFocus(), window.baseEdit(3));
    EXPECT_EQ(::SendMessageW(window.enabledBox(6), BM_GETCHECK, 0, 0), BST_UNCHECKED);  // as the file says
    EXPECT_EQ(::SendMessageW(window.definitionBox(1), CB_GETCOUNT, 0, 0),
              static_cast<LRESULT>(siteDefinitionNames().size()));

    const int width = windowWidth(window.handle());
    ::SetWindowTextW(window.baseEdit(1), wideFromUtf8(base + "/site1-items2/").c_str());
    const std::wstring found = testSlot(window, 1);
    EXPECT_EQ(found.rfind(L"2 条结果", 0), 0u) << gbkFromWide(found);
    ::SetWindowTextW(window.baseEdit(2), L"http://127.0.0.1:1/site2");  // nothing listens there
    const std::wstring refused = testSlot(window, 2);
    EXPECT_EQ(refused.rfind(L"连接失败", 0), 0u) << gbkFromWide(refused);
    EXPECT_EQ(windowWidth(window.handle()), width) << "the window keeps its width whatever the results say";
    // Editing the address forgets its result: it was about the address before.
    ::SetWindowTextW(window.baseEdit(2), L"http://127.0.0.1:1/site2x");
    EXPECT_TRUE(windowText(window.testResult(2)).empty());
    EXPECT_FALSE(windowText(window.testResult(1)).empty());

    // A bad address is refused in place: nothing is written, the window stays, the address gets the focus.
    const std::string before = content(file);
    ::SetWindowTextW(window.baseEdit(3), L"ftp://elsewhere");
    click(window.saveButton());
    EXPECT_FALSE(window.finished());
    EXPECT_NE(windowText(window.problemLabel()).find(L"站点3的地址"), std::wstring::npos);
    EXPECT_EQ(::GetFocus(), window.baseEdit(3));
    EXPECT_EQ(content(file), before);
    EXPECT_EQ(applied, 0);

    ::SetWindowTextW(window.baseEdit(3), wideFromUtf8(base + "/site3").c_str());
    ::SendMessageW(window.enabledBox(6), BM_SETCHECK, BST_CHECKED, 0);
    click(window.saveButton());
    EXPECT_TRUE(window.finished()) << windowText(window.problemLabel()).size();
    EXPECT_TRUE(window.saved());
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(content(file + ".bak"), before);
    EXPECT_NE(content(file).find("# the user's own note"), std::string::npos);
    const LoadedSettings saved = loadSettings(file, false);
    EXPECT_TRUE(saved.problems.empty()) << saved.report(false);
    EXPECT_EQ(saved.settings.sites[0].base, base + "/site1-items2");
    EXPECT_EQ(saved.settings.sites[2].base, base + "/site3");
    EXPECT_TRUE(saved.settings.sites[5].enabled);
    // The controller runs with them at once.
    const Settings& used = m_client->client().settings();
    EXPECT_EQ(used.sites[0].base, base + "/site1-items2");
    EXPECT_EQ(used.sites[2].base, base + "/site3");
    EXPECT_EQ(m_client->client().searchFlow().sites().size(), used.sites.size());
}

// Esc and 取消 leave the file and the controller as they were, whatever was typed.
// The next message box the window shows, answered with `button` once it is up; its text is kept. The box runs
// its own message loop on this thread, and a thread timer's call reaches the test there.
struct AnsweredBox {
    bool appeared = false;
    std::wstring text;
};
AnsweredBox* g_box = nullptr;
int g_answer = IDOK;
void CALLBACK answerBox(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = ::FindWindowW(L"#32770", nullptr);
    if (box == nullptr || g_box == nullptr) return;
    ::KillTimer(nullptr, timer);
    g_box->appeared = true;
    g_box->text = windowText(::GetDlgItem(box, 0xFFFF));  // the box's text
    ::PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(g_answer), 0);
}
void answerNextBox(int button, AnsweredBox& seen) {
    g_box = &seen;
    g_answer = button;
    ::SetTimer(nullptr, 0, 50, answerBox);
}

// 导出… writes the rows as edited into a bundle at a Unicode path; 导入… of it into another settings file lists the
// changes, asks, and on Yes writes and applies them; a broken bundle is refused whole and nothing is written.
TEST_F(SettingsWindowTest, ExportThenImportCarriesTheSlotsAndABrokenBundleChangesNothing) {
    const std::string bundle = folder + "/站点 한글.toml";
    std::string chosen = bundle;
    const auto openOn = [&](const std::string& settingsFile) {
        m_window.reset();
        SettingsWindow::Context context;
        context.file = settingsFile;
        context.applied = [this](const Settings&) { ++applied; };
        context.chooseBundle = [&](bool) { return chosen; };
        m_window = std::make_unique<SettingsWindow>(std::move(context));
        return m_window->create(m_client->window().handle());
    };
    ASSERT_TRUE(openOn(file));
    ::SetWindowTextW(m_window->baseEdit(3), wideFromUtf8(base + "/site3").c_str());
    click(m_window->addButton());
    ::SetWindowTextW(m_window->baseEdit(7), wideFromUtf8(base + "/site2").c_str());
    AnsweredBox told;
    answerNextBox(IDOK, told);
    click(m_window->exportButton());
    EXPECT_TRUE(told.appeared);
    EXPECT_NE(told.text.find(wideFromUtf8(bundle)), std::wstring::npos) << narrow(told.text);
    std::ifstream in(pathOf(bundle), std::ios::binary);
    const std::string exported((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(exported.find("[site7]"), std::string::npos) << exported;
    EXPECT_NE(exported.find(base + "/site3"), std::string::npos) << exported;

    const std::string other = folder + "/other/config.toml";
    std::filesystem::create_directories(pathOf(folder + "/other"));
    std::ofstream(pathOf(other)) << "[site1]\nenabled = false\n";
    const auto read = [&](const std::string& path) {
        std::ifstream file(pathOf(path), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(file)), {});
    };
    struct Case {
        const char* what;
        std::string bundleText;  // "" for the exported one
        int answer;
        bool imported;
    };
    const Case cases[] = {
        {"broken: refused whole", "[site1]\nbase = 3\n", IDOK, false},
        {"said No to", "", IDNO, false},
        {"said Yes to", "", IDYES, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string before = read(other);
        const int appliedBefore = applied;
        const std::string broken = folder + "/broken.toml";
        if (!c.bundleText.empty()) std::ofstream(pathOf(broken)) << c.bundleText;
        chosen = c.bundleText.empty() ? bundle : broken;
        ASSERT_TRUE(openOn(other));
        AnsweredBox asked;
        answerNextBox(c.answer, asked);
        click(m_window->importButton());
        ASSERT_TRUE(asked.appeared);
        EXPECT_EQ(applied - appliedBefore, c.imported ? 1 : 0);
        if (!c.bundleText.empty()) {
            EXPECT_NE(asked.text.find(wideFromUtf8(broken + ":2")), std::wstring::npos) << narrow(asked.text);
        } else {
            EXPECT_NE(asked.text.find(L"site7"), std::wstring::npos) << narrow(asked.text);
        }
        if (!c.imported) {
            EXPECT_EQ(read(other), before) << "nothing written";
            EXPECT_TRUE(::IsWindowVisible(m_window->handle()));
            continue;
        }
        EXPECT_FALSE(::IsWindowVisible(m_window->handle())) << "the window closes on what it no longer shows";
        const LoadedSettings now = loadSettings(other, false);
        EXPECT_TRUE(now.problems.empty()) << now.report(false);
        ASSERT_EQ(now.settings.sites.size(), 7u);
        EXPECT_EQ(now.settings.sites[2].base, base + "/site3");
        EXPECT_EQ(now.settings.sites[6].base, base + "/site2");
        EXPECT_EQ(read(other + ".bak"), before);
    }
}

TEST_F(SettingsWindowTest, EscAndCancelChangeNothing) {
    struct Case {
        const char* what;
        std::function<void(SettingsWindow&)> dismiss;
    };
    const Case cases[] = {
        {"Esc", [](SettingsWindow&) { press(VK_ESCAPE); }},
        {"取消", [](SettingsWindow& window) { click(window.cancelButton()); }},
        {"close box", [](SettingsWindow& window) { ::SendMessageW(window.handle(), WM_CLOSE, 0, 0); }},
    };
    const std::string before = content(file);
    const Text inUse = m_client->client().settings().sites[0].base;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SettingsWindow& window = open(1);
        ::SetWindowTextW(window.baseEdit(1), L"http://changed.example");
        ::SendMessageW(window.enabledBox(2), BM_SETCHECK, BST_UNCHECKED, 0);
        c.dismiss(window);
        EXPECT_TRUE(window.finished());
        EXPECT_FALSE(window.saved());
        EXPECT_EQ(content(file), before);
        EXPECT_FALSE(std::filesystem::exists(pathOf(file + ".bak")));
        EXPECT_EQ(m_client->client().settings().sites[0].base, inUse);
        EXPECT_EQ(applied, 0);
    }
}

// 健康度检查 under the services: the file's [swarm] values in its controls, each named by the label before it; a bad
// tracker line refused with its number and the focus on the list, nothing written; 启用 ticked and saved writes
// [swarm] with the first check's question answered, and the controller runs with the new values at once.
TEST_F(SettingsWindowTest, TheSwarmSectionIsEditedRefusedAndSaved) {
    std::ofstream(pathOf(file), std::ios::binary | std::ios::trunc)
        << "[site6]\nenabled = false\n\n[swarm]\ntrackers = [\"udp://127.0.0.1:1/announce\", "
           "\"http://127.0.0.1:2/announce\"]\nmax_checks = 2\n";
    SettingsWindow& window = open();
    const struct {
        HWND control;
        std::wstring label;  // the check box's own text, or the label's before the edit
        std::wstring shown;
    } fields[] = {
        {window.swarmEnabledBox(), L"启用健康度检查（会加入 BitTorrent 网络）", L""},
        {window.swarmAutoCheckBox(), L"自动检查显示的结果", L""},
        {window.swarmTrackersEdit(), L"Tracker 地址（每行一个）",
         L"udp://127.0.0.1:1/announce\r\nhttp://127.0.0.1:2/announce"},
        {window.swarmBootstrapEdit(), L"DHT 引导节点（每行一个 host:port，留空用默认）", L""},
        {window.swarmListenEdit(), L"监听接口（留空为全部）", L""},
        {window.swarmTimeoutEdit(), L"每次检查时限（秒）", L"20"},
        {window.swarmChecksEdit(), L"同时检查数", L"2"},
    };
    RECT outer{}, work{};
    ::GetWindowRect(window.handle(), &outer);
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_LE(outer.bottom - outer.top, work.bottom - work.top);
    RECT client{};
    ::GetClientRect(window.handle(), &client);
    HWND previous = window.saveButton();  // Tab goes from 保存 into the section, and from its end to the services
    for (const auto& field : fields) {
        SCOPED_TRACE(gbkFromWide(field.label));
        wchar_t kind[16] = {};
        ::GetClassNameW(field.control, kind, 16);
        if (std::wstring(kind) == L"Button") {
            EXPECT_EQ(windowText(field.control), field.label);
            EXPECT_EQ(::SendMessageW(field.control, BM_GETCHECK, 0, 0), BST_UNCHECKED);
        } else {
            EXPECT_EQ(windowText(::GetWindow(field.control, GW_HWNDPREV)), field.label);
            EXPECT_EQ(windowText(field.control), field.shown);
        }
        // Inside the window, and reached by Tab from the control before it.
        RECT place{};
        ::GetWindowRect(field.control, &place);
        ::MapWindowPoints(nullptr, window.handle(), reinterpret_cast<POINT*>(&place), 2);
        EXPECT_GE(place.left, 0);
        EXPECT_LE(place.right, client.right);
        EXPECT_LE(place.bottom, client.bottom);
        ::SetFocus(previous);
        press(VK_TAB);
        EXPECT_EQ(::GetFocus(), field.control);
        previous = field.control;
    }
    press(VK_TAB);
    EXPECT_EQ(::GetFocus(), window.playEdit());

    const std::string before = content(file);
    ::SetWindowTextW(window.swarmTrackersEdit(), L"udp://127.0.0.1:1/announce\r\n\r\nwss://127.0.0.1:3/announce");
    click(window.saveButton());
    EXPECT_FALSE(window.finished());
    EXPECT_EQ(windowText(window.problemLabel()),
              L"Tracker 地址第 3 行（wss://127.0.0.1:3/announce）必须以 http://、https:// 或 udp:// 开头并带主机名，"
              L"例如 udp://127.0.0.1:6969/announce");
    EXPECT_EQ(::GetFocus(), window.swarmTrackersEdit());
    EXPECT_EQ(content(file), before);
    EXPECT_EQ(applied, 0);

    ::SetWindowTextW(window.swarmTrackersEdit(), L"udp://127.0.0.1:1/announce\r\n");
    ::SetWindowTextW(window.swarmBootstrapEdit(), L"127.0.0.1:6881\r\n[::1]:6882");
    ::SetWindowTextW(window.swarmTimeoutEdit(), L"9");
    click(window.swarmEnabledBox());
    click(window.saveButton());
    EXPECT_TRUE(window.saved()) << gbkFromWide(windowText(window.problemLabel()));
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(content(file),
              "[site6]\nenabled = false\n\n[swarm]\ntrackers = [\"udp://127.0.0.1:1/announce\"]\nmax_checks = 2\n"
              "enabled = true\nasked = true\ndht_bootstrap = [\n    \"127.0.0.1:6881\",\n    \"[::1]:6882\",\n]\n"
              "timeout = 9\n");
    const SwarmSettings& used = m_client->client().settings().swarm;
    EXPECT_TRUE(used.enabled);
    EXPECT_TRUE(used.asked);
    EXPECT_FALSE(used.autoCheck);
    EXPECT_EQ(used.trackers, std::vector<std::string>{"udp://127.0.0.1:1/announce"});
    EXPECT_EQ(used.dhtBootstrap, (std::vector<std::string>{"127.0.0.1:6881", "[::1]:6882"}));
    EXPECT_EQ(used.timeoutSeconds, 9);
    EXPECT_EQ(used.maxChecks, 2);
}

// A test still under way when the window goes is dropped, and one whose row was edited is never shown.
TEST_F(SettingsWindowTest, AnAnswerForAnEditedRowOrAGoneWindowIsDropped) {
    SettingsWindow& window = open();
    ::SetWindowTextW(window.baseEdit(1), wideFromUtf8(base + "/site1-items2").c_str());
    click(window.testButton(1));
    ::SetWindowTextW(window.baseEdit(1), wideFromUtf8(base + "/site1").c_str());  // before the answer comes
    ::SetWindowTextW(window.baseEdit(4), wideFromUtf8(base + "/site4-error").c_str());
    const std::wstring other = testSlot(window, 4);
    EXPECT_EQ(other.rfind(L"不是该站点的结果页", 0), 0u) << gbkFromWide(other);
    pumpUntil([] { return false; }, 300ms);
    EXPECT_TRUE(windowText(window.testResult(1)).empty());

    click(window.testButton(4));
    m_window.reset();  // the window goes while the fetch runs
    pumpUntil([] { return false; }, 500ms);
    SUCCEED() << "no answer reached the gone window";
}

// Slots of the user's own come and go: added at the end, removed with the later ones moving down a number,
// saved without a gap; the window keeps its width through all of it and through 测试.
TEST_F(SettingsWindowTest, SlotsAreAddedAndRemovedAndTheWindowKeepsItsWidth) {
    SettingsWindow& window = open();
    const int width = windowWidth(window.handle());
    const auto choose = [&](int slot, const wchar_t* definition) {
        ::SendMessageW(window.definitionBox(slot), CB_SELECTSTRING, static_cast<WPARAM>(-1),
                       reinterpret_cast<LPARAM>(definition));
    };
    struct Step {
        const char* what;
        std::function<void()> act;
        int rows;
        std::function<HWND()> focused;  // the control with the focus afterwards; null when any
    };
    const Step steps[] = {
        {"添加站点", [&] { click(window.addButton()); }, 7, [&] { return window.baseEdit(7); }},
        {"添加站点 again", [&] { click(window.addButton()); }, 8, [&] { return window.baseEdit(8); }},
        {"both given sample sites",
         [&] {
             ::SetWindowTextW(window.baseEdit(7), wideFromUtf8(base + "/site1-items2").c_str());
             choose(7, L"site1");
             ::SetWindowTextW(window.baseEdit(8), wideFromUtf8(base + "/site2").c_str());
             choose(8, L"site2");
             ::SendMessageW(window.enabledBox(8), BM_SETCHECK, BST_UNCHECKED, 0);
         },
         8, nullptr},
        {"the second tested",
         [&] {
             const std::wstring found = testSlot(window, 8);
             EXPECT_NE(found.find(L"条结果"), std::wstring::npos) << gbkFromWide(found);
         },
         8, nullptr},
        {"the first removed", [&] { click(window.removeButton(7)); }, 7, [&] { return window.baseEdit(7); }},
        {"the last one's 删除 leaves the focus on 添加站点",
         [&] {
             click(window.addButton());
             click(window.removeButton(8));
         },
         7, [&] { return window.addButton(); }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(window.rowCount(), step.rows);
        if (step.focused) EXPECT_EQ(::GetFocus(), step.focused());
        EXPECT_EQ(windowWidth(window.handle()), width) << "the window keeps its width";
        EXPECT_TRUE(::IsWindowEnabled(window.addButton()));
    }
    // The second added is slot 7 now, with what was typed and chosen there; its test was about slot 8.
    EXPECT_EQ(gbkFromWide(windowText(window.baseEdit(7))), base + "/site2");
    EXPECT_EQ(windowText(window.definitionBox(7)), L"site2");
    EXPECT_EQ(::SendMessageW(window.enabledBox(7), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_TRUE(windowText(window.testResult(7)).empty());
    EXPECT_EQ(window.removeButton(6), nullptr) << "a built-in slot stays";
    // It tests under its new number.
    const std::wstring found = testSlot(window, 7);
    EXPECT_NE(found.find(L"条结果"), std::wstring::npos) << gbkFromWide(found);
    if (const char* folder = std::getenv("LANQI_SCREENSHOTS")) {
        ::SetWindowPos(window.handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        ::RedrawWindow(window.handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        pumpUntil([] { return false; }, 500ms);
        test::saveClientArea(window.handle(), wideFromUtf8(folder) + L"\\windows-settings.bmp");
    }

    click(window.saveButton());
    EXPECT_TRUE(window.saved()) << gbkFromWide(windowText(window.problemLabel()));
    const LoadedSettings saved = loadSettings(file, false);
    EXPECT_TRUE(saved.problems.empty()) << saved.report(false);
    ASSERT_EQ(saved.settings.sites.size(), 7u);
    EXPECT_EQ(saved.settings.sites[6].base, base + "/site2");
    EXPECT_EQ(saved.settings.sites[6].definition, "site2");
    EXPECT_FALSE(saved.settings.sites[6].enabled);
    EXPECT_NE(content(file).find("[site7]"), std::string::npos);
    EXPECT_EQ(content(file).find("[site8]"), std::string::npos);
}

// Whether `control` lies wholly inside the rows' panel's visible part.
bool inView(SettingsWindow& window, HWND control) {
    RECT view{}, area{};
    ::GetWindowRect(window.rowsView(), &view);
    ::GetWindowRect(control, &area);
    return area.top >= view.top && area.bottom <= view.bottom;
}

// Up to kMaxSiteSlots rows, which scroll inside a window that fits the screen's work area; Tab to a row out
// of view scrolls it into view; an added row without an address is refused at 保存. Every row's controls are
// named by the label before them, as a screen reader takes their names.
TEST_F(SettingsWindowTest, ThirtyTwoSlotsScrollAndTheirControlsAreNamed) {
    SettingsWindow& window = open();
    const int width = windowWidth(window.handle());
    while (::IsWindowEnabled(window.addButton())) click(window.addButton());
    EXPECT_EQ(window.rowCount(), kMaxSiteSlots);
    EXPECT_EQ(windowWidth(window.handle()), width);
    RECT outer{}, work{};
    ::GetWindowRect(window.handle(), &outer);
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_LE(outer.bottom - outer.top, work.bottom - work.top);
    EXPECT_TRUE(inView(window, window.baseEdit(kMaxSiteSlots))) << "the added row is shown";
    EXPECT_FALSE(inView(window, window.baseEdit(1)));
    ::SendMessageW(window.rowsView(), WM_VSCROLL, SB_BOTTOM, 0);
    ::SetFocus(window.testButton(1));
    press(VK_TAB);
    EXPECT_EQ(::GetFocus(), window.enabledBox(2));
    EXPECT_TRUE(inView(window, window.enabledBox(2)));

    for (const int slot : {1, 6, 7, kMaxSiteSlots}) {
        SCOPED_TRACE(slot);
        const std::wstring name = L"站点" + std::to_wstring(slot);
        const struct {
            HWND control;
            std::wstring name;
        } named[] = {{window.baseEdit(slot), name + L" 地址"},
                     {window.definitionBox(slot), name + L" 站点定义"},
                     {window.testResult(slot), name + L" 测试结果"},
                     {window.lastRun(slot), name + L" 上次搜索"}};
        for (const auto& control : named) {
            HWND label = ::GetWindow(control.control, GW_HWNDPREV);
            wchar_t kind[16] = {};
            ::GetClassNameW(label, kind, 16);
            EXPECT_EQ(std::wstring(kind), L"Static");
            EXPECT_EQ(windowText(label), control.name);
        }
        EXPECT_EQ(windowText(window.enabledBox(slot)), name);
    }

    const std::string before = content(file);
    click(window.saveButton());
    EXPECT_FALSE(window.finished());
    EXPECT_EQ(windowText(window.problemLabel()).rfind(L"站点7的地址", 0), 0u);
    EXPECT_EQ(::GetFocus(), window.baseEdit(7));
    EXPECT_TRUE(inView(window, window.baseEdit(7)));
    EXPECT_EQ(content(file), before);
    click(window.removeButton(kMaxSiteSlots));
    EXPECT_EQ(window.rowCount(), kMaxSiteSlots - 1);
    EXPECT_TRUE(::IsWindowEnabled(window.addButton()));
    EXPECT_EQ(windowWidth(window.handle()), width);
}

// What the modal window does once it is up, run from a timer inside its message loop.
std::function<void(HWND window)> g_whileOpen;

void CALLBACK whileOpen(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND window = ::FindWindowW(L"LanqiSettings", nullptr);
    if (window == nullptr || !::IsWindowVisible(window)) return;
    ::KillTimer(nullptr, timer);
    g_whileOpen(window);
}

// The client's 站点设置 entry opens the window modal over the main window at the slot asked for; a save there
// reaches the file and the controller at once.
TEST_F(SettingsWindowTest, TheClientOpensItAtASlotAndASaveAppliesAtOnce) {
    struct Case {
        int slot;
        bool save;
    };
    for (const Case c : {Case{3, false}, Case{2, true}}) {
        SCOPED_TRACE(c.slot);
        std::wstring focusedText;
        bool ownerDisabled = false;
        g_whileOpen = [&](HWND window) {
            HWND focus = ::GetFocus();
            EXPECT_TRUE(::IsChild(window, focus));  // in the rows' panel
            focusedText = windowText(focus);
            ownerDisabled = !::IsWindowEnabled(m_client->window().handle());
            if (!c.save) return press(VK_ESCAPE);
            ::SetWindowTextW(focus, wideFromUtf8(base + "/site2").c_str());
            click(::FindWindowExW(window, nullptr, L"BUTTON", L"保存"));
        };
        ::SetTimer(nullptr, 0, 50, &whileOpen);
        m_client->client().commands().showSettingsAt(c.slot);
        EXPECT_EQ(gbkFromWide(focusedText), builtInSettings().sites[static_cast<size_t>(c.slot - 1)].base);
        EXPECT_TRUE(ownerDisabled) << "modal over the main window";
        EXPECT_TRUE(::IsWindowEnabled(m_client->window().handle()));
        EXPECT_EQ(::FindWindowW(L"LanqiSettings", nullptr), nullptr);
        const Text used = m_client->client().settings().sites[static_cast<size_t>(c.slot - 1)].base;
        const Text inFile = loadSettings(file, false).settings.sites[static_cast<size_t>(c.slot - 1)].base;
        if (c.save) {
            EXPECT_EQ(used, base + "/site2");
            EXPECT_EQ(inFile, base + "/site2");
        } else {
            EXPECT_EQ(used, test::numberedSettings().sites[static_cast<size_t>(c.slot - 1)].base);
            EXPECT_EQ(inFile, builtInSettings().sites[static_cast<size_t>(c.slot - 1)].base);
        }
    }
}

}  // namespace
}  // namespace lanqi::win32
