#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/core/settings_editor.h"
#include "app/win32/win32_ui.h"
#include "platform/desktop.h"
#include "platform/settings.h"
#include "platform/win32_desktop_services.h"

namespace lanqi::win32 {

// What the user did with the usage notice.
enum class NoticeOutcome {
    Agreed,         // 同意使用: start-up goes on
    QuitAtOnce,     // 立即退出: the program ends, no question asked
    QuitConfirmed,  // close box or Esc, then OK in the "退出软件" question: the program ends
};

// The client areas of the notice and the about window, in design units.
inline constexpr int kNoticeWidth = 490;
inline constexpr int kNoticeHeight = 319;
inline constexpr int kAboutWidth = 408;
inline constexpr int kAboutHeight = 282;

// The usage notice, modal, with no owner: the notice pictures, the maker line (which opens the vendor's
// site) and the two buttons. Enter is 同意使用 unless 立即退出 has the focus; Tab moves between them.
NoticeOutcome runNoticeWindow(DesktopServices& desktop, const Text& vendorBase);

// The about window: the product cards, name and version, the terms, the makers' addresses. Loaded through
// DesktopServices::loadWindow, modal over its owner (centred on it, or on the screen without one); Esc or
// the close box closes it.
class AboutWindow final : public Win32Window {
  public:
    bool load(HWND owner, bool modal) override;
};

// 站点设置: per slot of the settings whether it is searched, its base address, its site definition, a 测试 button
// that fetches page 1 of a keyword from that slot alone (off the window's thread) and what the last search found
// there; then the vendor's and the cloud-play addresses. What the environment sets is shown read-only. 保存
// refuses an address the client cannot search, in place; otherwise it writes the settings file (the previous
// one kept as config.toml.bak), hands the settings to `applied` and closes. 取消, Esc and the close box change
// nothing. The rows scroll in a panel of their own (Tab to a row out of view scrolls it into view); 添加站点
// adds a slot of the user's own, up to kMaxSiteSlots, and each one's 删除 removes it, the later ones moving
// down a number. Each row's controls are named for screen readers by a label before them ("站点7 地址").
class SettingsWindow final : public KeyboardOwner {
  public:
    using Context = SettingsContext;

    // The width of a row's 测试结果 and 上次搜索: fixed, whatever they say (cut at the edge, whole in the tip).
    static constexpr int kResultWidth = 200;

    explicit SettingsWindow(Context context);
    ~SettingsWindow() override;
    SettingsWindow(const SettingsWindow&) = delete;
    SettingsWindow& operator=(const SettingsWindow&) = delete;

    // Makes the window over `owner` (may be null), shown, not yet modal. False when it could not be made.
    bool create(HWND owner);
    // Runs it modal over `owner` until it is saved or dismissed. True when it was saved.
    bool run(HWND owner);
    bool finished() const { return m_finished; }
    bool saved() const { return m_saved; }

    // The window and its controls, for the tests.
    HWND handle() const { return m_window; }
    HWND enabledBox(int slot) const { return row(slot).enabled; }
    HWND baseEdit(int slot) const { return row(slot).base; }
    HWND definitionBox(int slot) const { return row(slot).definition; }
    HWND testButton(int slot) const { return row(slot).test; }
    HWND testResult(int slot) const { return row(slot).testResult; }
    HWND lastRun(int slot) const { return row(slot).lastRun; }
    HWND removeButton(int slot) const { return row(slot).remove; }  // null for the six built-in slots
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    HWND rowsView() const { return m_rowsView; }  // the scrolling panel the rows are in
    HWND addButton() const { return m_add; }
    HWND importButton() const { return m_import; }
    HWND exportButton() const { return m_export; }
    HWND vendorEdit() const { return m_vendor; }
    HWND playEdit() const { return m_play; }
    HWND problemLabel() const { return m_problem; }
    // The 健康度检查 section under the services.
    HWND swarmEnabledBox() const { return m_swarmEnabled; }
    HWND swarmAutoCheckBox() const { return m_swarmAutoCheck; }
    HWND swarmTrackersEdit() const { return m_swarmTrackers; }
    HWND swarmBootstrapEdit() const { return m_swarmBootstrap; }
    HWND swarmListenEdit() const { return m_swarmListen; }
    HWND swarmTimeoutEdit() const { return m_swarmTimeout; }
    HWND swarmChecksEdit() const { return m_swarmChecks; }
    HWND saveButton() const { return m_save; }
    HWND cancelButton() const { return m_cancel; }

    bool preTranslate(MSG& message) override;

  private:
    struct Row {
        HWND enabled = nullptr;
        HWND base = nullptr;
        HWND definition = nullptr;
        HWND test = nullptr;
        HWND testResult = nullptr;
        HWND lastRun = nullptr;
        HWND testTip = nullptr;
        HWND remove = nullptr;
        std::vector<HWND> names;  // the labels that name its controls for screen readers
        unsigned testNumber = 0;  // the 测试 whose answer the row waits for; an edit forgets the one under way
    };
    struct Mailbox;

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK rowsProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleRows(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void addControls(int slot);
    void showRow(int slot);
    void addSlot();
    void removeSlot(int slot);
    // Places the rows' panel and what is under it for the rows there are, and sizes the window to them.
    void layOut();
    void scrollRowsTo(int top);
    // Gives `control` the focus, scrolled into view when it is one of the rows'.
    void focus(HWND control);
    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void command(int id, int code);
    const Row& row(int slot) const { return m_rows.at(static_cast<size_t>(slot - 1)); }
    void showResult(Row& row, const std::wstring& text);
    void forgetTest(int slot);
    void test(int slot);
    void takeAnswers();
    void save();
    void close();
    // 导入… and 导出…: the bundle's path from the context or the file dialog ("" for none), and their boxes.
    std::string chooseBundle(bool forExport);
    int tell(const std::string& text, const wchar_t* title, UINT style);
    void exportSites();
    void importSites();
    void readControls();
    void showProblem(const std::optional<SettingsEditor::Problem>& problem);
    // The 健康度检查 section's controls, with the editor's values in them; placed from `top` down by placeSwarm.
    void addSwarmControls();
    void placeSwarm(int top);

    Context m_context;
    SettingsEditor m_editor;
    std::vector<Row> m_rows;
    std::shared_ptr<Mailbox> m_mailbox;
    HWND m_window = nullptr;
    HWND m_rowsView = nullptr;   // clips the rows and has the scroll bar
    HWND m_rowsPanel = nullptr;  // holds the rows, as tall as they are, moved up and down inside m_rowsView
    int m_rowsTop = 0;           // how far the rows are scrolled
    int m_mostRows = 0;          // how many rows m_rowsView shows at most, for the screen's work area
    int m_dpi = kDesignDpi;      // the DPI its controls are shown at
    HWND m_add = nullptr;
    HWND m_import = nullptr;
    HWND m_export = nullptr;
    HWND m_serviceLabels[2] = {nullptr, nullptr};
    HWND m_vendor = nullptr;
    HWND m_play = nullptr;
    HWND m_swarmTitle = nullptr;
    HWND m_swarmRule = nullptr;
    HWND m_swarmEnabled = nullptr;
    HWND m_swarmAutoCheck = nullptr;
    HWND m_swarmLabels[5] = {};  // over the two lists, then before the interface and the two numbers
    HWND m_swarmTrackers = nullptr;
    HWND m_swarmBootstrap = nullptr;
    HWND m_swarmListen = nullptr;
    HWND m_swarmTimeout = nullptr;
    HWND m_swarmChecks = nullptr;
    HWND m_problem = nullptr;
    HWND m_save = nullptr;
    HWND m_cancel = nullptr;
    bool m_finished = false;
    bool m_saved = false;
};

}  // namespace lanqi::win32
