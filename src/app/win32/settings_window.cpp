#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cwchar>
#include <deque>
#include <mutex>

#include "app/win32/dialogs.h"
#include "platform/detached_thread.h"
#include "platform/win32_text.h"
#include "search/site_check.h"

namespace lanqi::win32 {
namespace {

// The rows' columns, left to right, and the rows' pitch.
constexpr int kMargin = 12;
constexpr int kRowHeight = 28;
constexpr int kControlHeight = 22;
constexpr int kEnabledLeft = kMargin;
constexpr int kEnabledWidth = 64;
constexpr int kBaseLeft = kEnabledLeft + kEnabledWidth + 6;
constexpr int kBaseWidth = 300;
constexpr int kDefinitionLeft = kBaseLeft + kBaseWidth + 6;
constexpr int kDefinitionWidth = 96;
constexpr int kTestLeft = kDefinitionLeft + kDefinitionWidth + 6;
constexpr int kTestWidth = 52;
constexpr int kResultLeft = kTestLeft + kTestWidth + 8;
constexpr int kLastRunLeft = kResultLeft + SettingsWindow::kResultWidth + 8;
constexpr int kRemoveLeft = kLastRunLeft + SettingsWindow::kResultWidth + 8;
constexpr int kRemoveWidth = 52;
constexpr int kRowsWidth = kRemoveLeft + kRemoveWidth + 6;  // the rows' panel, the scroll bar to its right
constexpr int kFirstRowTop = 34;
constexpr int kRowTopInside = 3;  // the first row's top inside the rows' panel
constexpr int kButtonHeight = 28;

// Control ids: 保存, 取消 and 添加站点, then ten per slot.
constexpr int kSaveId = 1;
constexpr int kCancelId = 2;
constexpr int kAddId = 3;
constexpr int kImportId = 4;
constexpr int kExportId = 5;
constexpr int kAddWidth = 96;
constexpr int kBundleButtonWidth = 80;
constexpr int kRowIds = 100;
enum RowControl { kEnabledControl, kBaseControl, kDefinitionControl, kTestControl, kRemoveControl };
constexpr int rowId(int slot, RowControl control) { return kRowIds + slot * 10 + control; }

// A 测试's answer arrives: the window takes what the mailbox holds.
constexpr UINT kAnswerMessage = WM_APP + 1;

Text typedText(HWND edit) { return gbkFromWide(windowText(edit)); }

// The 健康度检查 section: its title with a rule after it, two check boxes, the two lists side by side under their
// labels, then the interface and the two numbers on one line.
constexpr int kSwarmChecksTop = 24;  // under the title
constexpr int kSwarmListLabelTop = kSwarmChecksTop + kRowHeight;
constexpr int kSwarmListTop = kSwarmListLabelTop + 20;
constexpr int kSwarmListHeight = 76;
constexpr int kSwarmFieldsTop = kSwarmListTop + kSwarmListHeight + 8;
constexpr int kSwarmHeight = kSwarmFieldsTop + kControlHeight + 4;

// The height of what lies under the rows' panel: 添加站点, the two services, 健康度检查, the problem line, 保存 and
// 取消.
constexpr int kBelowRows = 8 + kButtonHeight + 10 + 2 * kRowHeight + kSwarmHeight + 8 + 40 + kButtonHeight + kMargin;

// In design units, as every place in the window (the system gives it at the screen's DPI).
int scrollBarWidth() { return unscaled(::GetSystemMetrics(SM_CXVSCROLL), dpiOf(nullptr)); }
int windowWidth() { return kRowsWidth + scrollBarWidth() + kMargin; }

// A box's lines as an edit control shows them: CR LF between them.
std::wstring editLines(const Text& lines) {
    std::wstring shown;
    for (const wchar_t c : wideFromGbk(lines)) {
        if (c == L'\n') shown += L'\r';
        shown += c;
    }
    return shown;
}

// A control of the rows' panel, below those made before it: the panel's Tab order is the order they are made in,
// and a screen reader names a control by the label just before it.
HWND rowControl(HWND panel, const wchar_t* windowClass, const std::wstring& text, DWORD style, const Geometry& geometry,
                int id = 0) {
    HWND control = createControl(panel, windowClass, text, style, geometry, id);
    if (control != nullptr) ::SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return control;
}

// The label, shown nowhere (no size), that names the control made after it: "站点7 地址".
HWND nameLabel(HWND panel, const std::wstring& name) {
    return rowControl(panel, L"STATIC", name, WS_VISIBLE | SS_NOPREFIX, {0, 0, 0, 0});
}

}  // namespace

// Where the 测试 threads leave their answers. The window empties it on kAnswerMessage; once the window is gone
// the answers are dropped.
struct SettingsWindow::Mailbox {
    struct Answer {
        int slot;
        unsigned number;
        Text text;
    };
    std::mutex mutex;
    HWND window = nullptr;
    std::deque<Answer> answers;
};

SettingsWindow::SettingsWindow(Context context)
    : m_context(std::move(context)),
      m_editor(m_context.file, m_context.inUse),
      m_mailbox(std::make_shared<Mailbox>()) {}

SettingsWindow::~SettingsWindow() {
    if (m_window != nullptr) ::DestroyWindow(m_window);
}

bool SettingsWindow::create(HWND owner) {
    registerWindowClass(L"LanqiSettings", &SettingsWindow::procedure, ::GetSysColorBrush(COLOR_BTNFACE));
    registerWindowClass(L"LanqiSettingsRows", &SettingsWindow::rowsProcedure, ::GetSysColorBrush(COLOR_BTNFACE));
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | (owner == nullptr ? WS_EX_APPWINDOW : 0);
    // Made on its owner's monitor, so that it has that monitor's DPI from the start.
    RECT ownerRect{0, 0, 0, 0};
    if (owner != nullptr) ::GetWindowRect(owner, &ownerRect);
    m_window = ::CreateWindowExW(exStyle, L"LanqiSettings", L"站点设置", style, ownerRect.left, ownerRect.top, 0, 0,
                                 owner, nullptr, ::GetModuleHandleW(nullptr), this);
    if (m_window == nullptr) return false;
    {
        std::lock_guard<std::mutex> lock(m_mailbox->mutex);
        m_mailbox->window = m_window;
    }

    const struct {
        int left;
        const wchar_t* text;
    } headers[] = {{kEnabledLeft, L"站点"},
                   {kBaseLeft, L"地址"},
                   {kDefinitionLeft, L"站点定义"},
                   {kResultLeft, L"测试结果"},
                   {kLastRunLeft, L"上次搜索"}};
    for (const auto& header : headers)
        createControl(m_window, L"STATIC", header.text, WS_VISIBLE | SS_NOPREFIX, {header.left, 12, 120, 18});

    // The rows' panel: Tab goes into it and through its controls (WS_EX_CONTROLPARENT), it scrolls them.
    // Both get their places in layOut.
    m_rowsView = ::CreateWindowExW(WS_EX_CONTROLPARENT, L"LanqiSettingsRows", L"",
                                   WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_CLIPCHILDREN, 0, 0, 0, 0, m_window, nullptr,
                                   ::GetModuleHandleW(nullptr), this);
    m_rowsPanel =
        ::CreateWindowExW(WS_EX_CONTROLPARENT, L"LanqiSettingsRows", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                          0, 0, m_rowsView, nullptr, ::GetModuleHandleW(nullptr), this);
    setGeometry(m_rowsView, {0, kFirstRowTop, kRowsWidth + scrollBarWidth(), kRowHeight});
    setGeometry(m_rowsPanel, {0, 0, kRowsWidth, kRowHeight});
    for (const SettingsEditor::Row& values : m_editor.rows) addControls(values.slot);

    m_add = createControl(m_window, L"BUTTON", L"添加站点", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                          {kMargin, 0, kAddWidth, kButtonHeight}, kAddId);
    m_import = createControl(m_window, L"BUTTON", L"导入…", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                             {kMargin + kAddWidth + 8, 0, kBundleButtonWidth, kButtonHeight}, kImportId);
    m_export =
        createControl(m_window, L"BUTTON", L"导出…", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                      {kMargin + kAddWidth + 16 + kBundleButtonWidth, 0, kBundleButtonWidth, kButtonHeight}, kExportId);
    const struct {
        HWND* edit;
        const wchar_t* label;
        const SettingsEditor::Address* address;
    } services[] = {{&m_vendor, L"官方网站：", &m_editor.vendor}, {&m_play, L"云播服务：", &m_editor.play}};
    for (size_t k = 0; k < 2; ++k) {
        const auto& service = services[k];
        m_serviceLabels[k] =
            createControl(m_window, L"STATIC", service.label, WS_VISIBLE | SS_NOPREFIX | SS_CENTERIMAGE,
                          {kEnabledLeft, 0, kEnabledWidth, kControlHeight});
        *service.edit = createControl(
            m_window, WC_EDITW, wideFromGbk(service.address->value),
            WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL | (service.address->readOnly() ? ES_READONLY : 0),
            {kBaseLeft, 0, kBaseWidth, kControlHeight});
        if (service.address->readOnly())
            addToolTip(*service.edit, wideFromUtf8(SettingsEditor::environmentNote(*service.address)));
    }
    addSwarmControls();
    m_problem = createControl(m_window, L"STATIC", L"", WS_VISIBLE | SS_NOPREFIX,
                              {kMargin, 0, windowWidth() - 2 * kMargin, 36});
    m_save = createControl(m_window, L"BUTTON", L"保存", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                           {windowWidth() - kMargin - 2 * 80 - 8, 0, 80, kButtonHeight}, kSaveId);
    m_cancel = createControl(m_window, L"BUTTON", L"取消", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                             {windowWidth() - kMargin - 80, 0, 80, kButtonHeight}, kCancelId);

    // As many rows shown as the screen's work area has room for, the window centred over its owner.
    MONITORINFO monitor{sizeof(monitor), {}, {}, 0};
    ::GetMonitorInfoW(::MonitorFromWindow(owner != nullptr ? owner : m_window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const int dpi = m_dpi = dpiOf(m_window);
    const int workHeight = unscaled(monitor.rcWork.bottom - monitor.rcWork.top, dpi);
    const int rest = unscaled(outerSize(style, exStyle, windowWidth(), 0, dpi).cy, dpi) + kFirstRowTop + kBelowRows +
                     2 * kRowTopInside;
    m_mostRows = std::max(3, (workHeight - rest) / kRowHeight);
    layOut();
    RECT outer{};
    ::GetWindowRect(m_window, &outer);
    const POINT at = centredPosition(owner, outer.right - outer.left, outer.bottom - outer.top);
    ::SetWindowPos(m_window, nullptr, at.x, std::max<LONG>(at.y, monitor.rcWork.top), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    setKeyboardOwner(m_window, this);
    hideKeyboardCues(m_window);
    ::ShowWindow(m_window, SW_SHOW);
    const int focused = m_context.focusedSlot;
    const int rows = static_cast<int>(m_rows.size());
    focus(focused >= 1 && focused <= rows ? baseEdit(focused) : (rows > 0 ? baseEdit(1) : m_save));
    return true;
}

void SettingsWindow::addSwarmControls() {
    const SettingsEditor::SwarmPage& values = m_editor.swarm;
    // A title and a rule rather than a group box: the window clips its children, so a group box's inside would
    // never be painted.
    m_swarmTitle = createControl(m_window, L"STATIC", L"健康度检查", WS_VISIBLE | SS_NOPREFIX, {0, 0, 0, 0});
    m_swarmRule = createControl(m_window, L"STATIC", L"", WS_VISIBLE | SS_ETCHEDHORZ, {0, 0, 0, 0});
    const auto check = [&](const wchar_t* text, bool on) {
        HWND box = createControl(m_window, L"BUTTON", text, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, {0, 0, 0, 0});
        ::SendMessageW(box, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
        return box;
    };
    m_swarmEnabled = check(L"启用健康度检查（会加入 BitTorrent 网络）", values.enabled);
    m_swarmAutoCheck = check(L"自动检查显示的结果", values.autoCheck);
    const auto field = [&](HWND& label, const wchar_t* text, const Text& value, DWORD style) {
        label = createControl(m_window, L"STATIC", text, WS_VISIBLE | SS_NOPREFIX | SS_CENTERIMAGE, {0, 0, 0, 0});
        return createControl(m_window, WC_EDITW, editLines(value), WS_VISIBLE | WS_TABSTOP | WS_BORDER | style,
                             {0, 0, 0, 0});
    };
    const DWORD lines = ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL;
    m_swarmTrackers = field(m_swarmLabels[0], L"Tracker 地址（每行一个）", values.trackers, lines);
    m_swarmBootstrap =
        field(m_swarmLabels[1], L"DHT 引导节点（每行一个 host:port，留空用默认）", values.bootstrap, lines);
    m_swarmListen = field(m_swarmLabels[2], L"监听接口（留空为全部）", values.listen, ES_AUTOHSCROLL);
    m_swarmTimeout = field(m_swarmLabels[3], L"每次检查时限（秒）", values.timeout, ES_AUTOHSCROLL);
    m_swarmChecks = field(m_swarmLabels[4], L"同时检查数", values.maxChecks, ES_AUTOHSCROLL);
    // Stacked in reading order, as Tab visits them and a screen reader names them (each label just above the
    // control it names).
    const HWND order[] = {m_swarmTitle,     m_swarmRule,      m_swarmEnabled,   m_swarmAutoCheck, m_swarmLabels[0],
                          m_swarmTrackers,  m_swarmLabels[1], m_swarmBootstrap, m_swarmLabels[2], m_swarmListen,
                          m_swarmLabels[3], m_swarmTimeout,   m_swarmLabels[4], m_swarmChecks};
    HWND above = HWND_TOP;
    for (HWND control : order) {
        ::SetWindowPos(control, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        above = control;
    }
}

void SettingsWindow::placeSwarm(int top) {
    const int left = kMargin;
    const int inner = windowWidth() - 2 * kMargin;
    const int half = (inner - 12) / 2;
    const int right = left + half + 12;
    setGeometry(m_swarmTitle, {left, top, 80, 18});
    setGeometry(m_swarmRule, {left + 84, top + 9, inner - 84, 2});
    setGeometry(m_swarmEnabled, {left, top + kSwarmChecksTop, half, kControlHeight});
    setGeometry(m_swarmAutoCheck, {right, top + kSwarmChecksTop, half, kControlHeight});
    setGeometry(m_swarmLabels[0], {left, top + kSwarmListLabelTop, half, 18});
    setGeometry(m_swarmTrackers, {left, top + kSwarmListTop, half, kSwarmListHeight});
    setGeometry(m_swarmLabels[1], {right, top + kSwarmListLabelTop, half, 18});
    setGeometry(m_swarmBootstrap, {right, top + kSwarmListTop, half, kSwarmListHeight});
    // The interface, the time limit and the number of checks, each after its label.
    const struct {
        HWND label, edit;
        int labelWidth, editWidth;
    } fields[] = {{m_swarmLabels[2], m_swarmListen, 150, 160},
                  {m_swarmLabels[3], m_swarmTimeout, 120, 50},
                  {m_swarmLabels[4], m_swarmChecks, 80, 50}};
    int x = left;
    for (const auto& field : fields) {
        setGeometry(field.label, {x, top + kSwarmFieldsTop, field.labelWidth, kControlHeight});
        x += field.labelWidth;
        setGeometry(field.edit, {x, top + kSwarmFieldsTop, field.editWidth, kControlHeight});
        x += field.editWidth + 24;
    }
}

void SettingsWindow::addControls(int slot) {
    Row& row = m_rows.emplace_back();
    const int top = kRowTopInside + (slot - 1) * kRowHeight;
    const std::wstring name = L"站点" + std::to_wstring(slot);
    row.enabled = rowControl(m_rowsPanel, L"BUTTON", name, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
                             {kEnabledLeft, top, kEnabledWidth, kControlHeight}, rowId(slot, kEnabledControl));
    row.names.push_back(nameLabel(m_rowsPanel, name + L" 地址"));
    row.base = rowControl(m_rowsPanel, WC_EDITW, L"", WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL,
                          {kBaseLeft, top, kBaseWidth, kControlHeight}, rowId(slot, kBaseControl));
    row.names.push_back(nameLabel(m_rowsPanel, name + L" 站点定义"));
    row.definition = rowControl(m_rowsPanel, WC_COMBOBOXW, L"", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                                {kDefinitionLeft, top, kDefinitionWidth, 200}, rowId(slot, kDefinitionControl));
    row.test = rowControl(m_rowsPanel, L"BUTTON", L"测试", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                          {kTestLeft, top, kTestWidth, kControlHeight}, rowId(slot, kTestControl));
    // What 测试 and the last search found: read-only edits without a frame, so that a screen reader names them
    // by the label before them ("站点7 测试结果") and reads the whole text as their value.
    const DWORD resultStyle = WS_VISIBLE | ES_READONLY | ES_AUTOHSCROLL;
    row.names.push_back(nameLabel(m_rowsPanel, name + L" 测试结果"));
    row.testResult = rowControl(m_rowsPanel, WC_EDITW, L"", resultStyle,
                                {kResultLeft, top + 3, SettingsWindow::kResultWidth, kControlHeight - 3});
    row.testTip = addToolTip(row.testResult, L"");
    row.names.push_back(nameLabel(m_rowsPanel, name + L" 上次搜索"));
    const Text lastRun = static_cast<size_t>(slot) <= m_context.lastRun.size()
                             ? m_context.lastRun[static_cast<size_t>(slot - 1)]
                             : Text();
    row.lastRun = rowControl(m_rowsPanel, WC_EDITW, wideFromGbk(lastRun), resultStyle,
                             {kLastRunLeft, top + 3, SettingsWindow::kResultWidth, kControlHeight - 3});
    addToolTip(row.lastRun, wideFromGbk(lastRun));
    if (m_editor.canRemoveRow(slot)) {
        row.remove = rowControl(m_rowsPanel, L"BUTTON", L"删除", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                {kRemoveLeft, top, kRemoveWidth, kControlHeight}, rowId(slot, kRemoveControl));
    }
    showRow(slot);
}

void SettingsWindow::showRow(int slot) {
    const SettingsEditor::Row& values = m_editor.rows[static_cast<size_t>(slot - 1)];
    Row& row = m_rows[static_cast<size_t>(slot - 1)];
    ::SendMessageW(row.enabled, BM_SETCHECK, values.enabled ? BST_CHECKED : BST_UNCHECKED, 0);
    ::SetWindowTextW(row.base, wideFromGbk(values.base.value).c_str());
    // The environment decides this address: shown as it is used, and not written to the file.
    ::SendMessageW(row.base, EM_SETREADONLY, values.base.readOnly() ? TRUE : FALSE, 0);
    if (values.base.readOnly()) addToolTip(row.base, wideFromUtf8(SettingsEditor::environmentNote(values.base)));
    ::SendMessageW(row.definition, CB_RESETCONTENT, 0, 0);
    const std::vector<std::string> choices = m_editor.definitionChoices(slot);
    for (size_t n = 0; n < choices.size(); ++n) {
        ::SendMessageW(row.definition, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wideFromUtf8(choices[n]).c_str()));
        if (choices[n] == values.definition) ::SendMessageW(row.definition, CB_SETCURSEL, n, 0);
    }
}

void SettingsWindow::layOut() {
    const int rows = static_cast<int>(m_rows.size());
    const int panelHeight = 2 * kRowTopInside + rows * kRowHeight;
    const int viewHeight = 2 * kRowTopInside + std::min(rows, m_mostRows) * kRowHeight;
    setGeometry(m_rowsView, {0, kFirstRowTop, kRowsWidth + scrollBarWidth(), viewHeight});
    setGeometry(m_rowsPanel, {0, -m_rowsTop, kRowsWidth, panelHeight});
    int top = kFirstRowTop + viewHeight + 8;
    setGeometry(m_add, {kMargin, top, kAddWidth, kButtonHeight});
    setGeometry(m_import, {kMargin + kAddWidth + 8, top, kBundleButtonWidth, kButtonHeight});
    setGeometry(m_export, {kMargin + kAddWidth + 16 + kBundleButtonWidth, top, kBundleButtonWidth, kButtonHeight});
    top += kButtonHeight + 10;
    for (size_t k = 0; k < 2; ++k) {
        setGeometry(m_serviceLabels[k], {kEnabledLeft, top, kEnabledWidth, kControlHeight});
        setGeometry(k == 0 ? m_vendor : m_play, {kBaseLeft, top, kBaseWidth, kControlHeight});
        top += kRowHeight;
    }
    placeSwarm(top);
    top += kSwarmHeight + 8;
    setGeometry(m_problem, {kMargin, top, windowWidth() - 2 * kMargin, 36});
    top += 40;
    setGeometry(m_save, {windowWidth() - kMargin - 2 * 80 - 8, top, 80, kButtonHeight});
    setGeometry(m_cancel, {windowWidth() - kMargin - 80, top, 80, kButtonHeight});
    const int height = top + kButtonHeight + kMargin;
    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(m_window, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrW(m_window, GWL_EXSTYLE));
    const SIZE outer = outerSize(style, exStyle, windowWidth(), height, dpiOf(m_window));
    ::SetWindowPos(m_window, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    scrollRowsTo(m_rowsTop);
    ::EnableWindow(m_add, m_editor.canAddRow() ? TRUE : FALSE);
}

void SettingsWindow::scrollRowsTo(int top) {
    // In design units: the rows' places, the scroll bar's range and position.
    const SIZE size = clientSize(m_rowsView);
    const RECT view{0, 0, size.cx, size.cy};
    const int panelHeight = 2 * kRowTopInside + static_cast<int>(m_rows.size()) * kRowHeight;
    m_rowsTop = std::clamp(top, 0, std::max(0, panelHeight - static_cast<int>(view.bottom)));
    SCROLLINFO scroll{sizeof(scroll),
                      SIF_RANGE | SIF_PAGE | SIF_POS,
                      0,
                      panelHeight - 1,
                      static_cast<UINT>(view.bottom),
                      m_rowsTop,
                      0};
    ::SetScrollInfo(m_rowsView, SB_VERT, &scroll, TRUE);
    setGeometry(m_rowsPanel, {0, -m_rowsTop, kRowsWidth, panelHeight});
}

void SettingsWindow::focus(HWND control) {
    if (control == nullptr) return;
    if (::IsChild(m_rowsPanel, control)) {
        const Geometry place = geometryOf(control);
        const RECT area{place.left, place.top, place.left + place.width, place.top + place.height};
        const SIZE size = clientSize(m_rowsView);
        const RECT view{0, 0, size.cx, size.cy};
        const int top = static_cast<int>(area.top) - kRowTopInside;
        const int bottom = static_cast<int>(area.top) + kControlHeight + kRowTopInside;
        if (top < m_rowsTop)
            scrollRowsTo(top);
        else if (bottom > m_rowsTop + view.bottom)
            scrollRowsTo(bottom - static_cast<int>(view.bottom));
    }
    ::SetFocus(control);
}

void SettingsWindow::addSlot() {
    readControls();
    const int slot = m_editor.addRow();
    if (slot == 0) return;
    addControls(slot);
    layOut();
    focus(baseEdit(slot));
}

void SettingsWindow::removeSlot(int slot) {
    readControls();
    if (!m_editor.removeRow(slot)) return;
    // The later rows move up a number, what their last search found with them; their tests are forgotten.
    const int rows = static_cast<int>(m_editor.rows.size());
    for (int moved = slot; moved <= rows; ++moved) {
        Row& row = m_rows[static_cast<size_t>(moved - 1)];
        const std::wstring lastRun = windowText(m_rows[static_cast<size_t>(moved)].lastRun);
        ::SetWindowTextW(row.lastRun, lastRun.c_str());
        showRow(moved);
        forgetTest(moved);
    }
    const Row gone = m_rows.back();
    m_rows.pop_back();
    for (HWND control :
         {gone.enabled, gone.base, gone.definition, gone.test, gone.testResult, gone.lastRun, gone.remove})
        if (control != nullptr) ::DestroyWindow(control);
    for (HWND label : gone.names) ::DestroyWindow(label);
    layOut();
    focus(slot <= rows ? baseEdit(slot) : m_add);
}

LRESULT CALLBACK SettingsWindow::rowsProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = windowOwner<SettingsWindow>(window, message, lParam);
    if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    return self->handleRows(window, message, wParam, lParam);
}

LRESULT SettingsWindow::handleRows(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            command(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_VSCROLL: {
            if (window != m_rowsView) break;
            const SIZE size = clientSize(m_rowsView);
            const RECT view{0, 0, size.cx, size.cy};
            SCROLLINFO scroll{sizeof(scroll), SIF_TRACKPOS, 0, 0, 0, 0, 0};
            ::GetScrollInfo(m_rowsView, SB_VERT, &scroll);
            switch (LOWORD(wParam)) {
                case SB_LINEUP:
                    scrollRowsTo(m_rowsTop - kRowHeight);
                    break;
                case SB_LINEDOWN:
                    scrollRowsTo(m_rowsTop + kRowHeight);
                    break;
                case SB_PAGEUP:
                    scrollRowsTo(m_rowsTop - view.bottom);
                    break;
                case SB_PAGEDOWN:
                    scrollRowsTo(m_rowsTop + view.bottom);
                    break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION:
                    scrollRowsTo(scroll.nTrackPos);
                    break;
                case SB_TOP:
                    scrollRowsTo(0);
                    break;
                case SB_BOTTOM:
                    scrollRowsTo(1 << 20);
                    break;
                default:
                    break;
            }
            return 0;
        }
        case WM_MOUSEWHEEL:
            scrollRowsTo(m_rowsTop - GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA * 3 * kRowHeight);
            return 0;
        default:
            break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

bool SettingsWindow::run(HWND owner) {
    if (m_window == nullptr && !create(owner)) return false;
    runModal(m_window, owner, [this] { return m_finished; });
    if (m_window != nullptr) ::DestroyWindow(m_window);
    return m_saved;
}

LRESULT CALLBACK SettingsWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = windowOwner<SettingsWindow>(window, message, lParam);
    if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCCREATE) self->m_window = window;  // before CreateWindowExW returns it
    return self->handle(window, message, wParam, lParam);
}

LRESULT SettingsWindow::handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            command(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == m_problem) {
                HDC dc = reinterpret_cast<HDC>(wParam);
                ::SetTextColor(dc, colour(0xb00020));
                ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
                return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
            }
            break;
        case kAnswerMessage:
            takeAnswers();
            return 0;
        case WM_DPICHANGED:
            // On a monitor of another DPI: the controls at their design places there, the rows laid out anew.
            followDpiChange(window, m_dpi, *reinterpret_cast<const RECT*>(lParam));
            m_dpi = dpiOf(window);
            layOut();
            return 0;
        case WM_CLOSE:
            close();
            return 0;
        case WM_NCDESTROY: {
            std::lock_guard<std::mutex> lock(m_mailbox->mutex);
            m_mailbox->window = nullptr;
            m_mailbox->answers.clear();
            m_window = nullptr;
            m_finished = true;
            break;
        }
        default:
            break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void SettingsWindow::command(int id, int code) {
    if (id == kSaveId && code == BN_CLICKED) return save();
    if (id == kCancelId && code == BN_CLICKED) return close();
    if (id == kAddId && code == BN_CLICKED) return addSlot();
    if (id == kImportId && code == BN_CLICKED) return importSites();
    if (id == kExportId && code == BN_CLICKED) return exportSites();
    if (id < kRowIds + 10) return;
    const int slot = (id - kRowIds) / 10;
    if (slot < 1 || slot > static_cast<int>(m_rows.size())) return;
    switch ((id - kRowIds) % 10) {
        case kTestControl:
            if (code == BN_CLICKED) test(slot);
            break;
        case kRemoveControl:
            if (code == BN_CLICKED) removeSlot(slot);
            break;
        // A result is about the address and definition it was made with: an edit clears it.
        case kBaseControl:
            if (code == EN_CHANGE) forgetTest(slot);
            break;
        case kDefinitionControl:
            if (code == CBN_SELCHANGE) forgetTest(slot);
            break;
        default:
            break;
    }
}

bool SettingsWindow::preTranslate(MSG& message) {
    if (message.message != WM_KEYDOWN) return false;
    if (message.wParam == VK_ESCAPE) {
        // A dropped-down definition list closes first, as a combo box does.
        HWND focus = ::GetFocus();
        for (const Row& row : m_rows)
            if ((focus == row.definition || ::IsChild(row.definition, focus)) &&
                ::SendMessageW(row.definition, CB_GETDROPPEDSTATE, 0, 0) != 0)
                return false;
        close();
        return true;
    }
    if (message.wParam == VK_RETURN) {
        // As in a dialog: a push button with the focus is pressed, otherwise the default one, 保存; an open
        // definition list takes the line first.
        HWND focus = ::GetFocus();
        for (const Row& row : m_rows)
            if ((focus == row.definition || ::IsChild(row.definition, focus)) &&
                ::SendMessageW(row.definition, CB_GETDROPPEDSTATE, 0, 0) != 0)
                return false;
        // A control that takes Enter itself (the multi-line lists of trackers and nodes) keeps it.
        if (focus != nullptr && (::SendMessageW(focus, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&message)) &
                                 (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) != 0)
            return false;
        const int id = defaultButtonId(m_window, ::GetDlgCtrlID(m_save));
        HWND button = focus != nullptr && ::IsChild(m_window, focus) && ::GetDlgCtrlID(focus) == id ? focus : m_save;
        if (::IsWindowEnabled(button)) ::SendMessageW(button, BM_CLICK, 0, 0);
        return true;
    }
    if (message.wParam == VK_TAB) {
        const bool back = (::GetKeyState(VK_SHIFT) & 0x8000) != 0;
        HWND next = ::GetNextDlgTabItem(m_window, ::GetFocus(), back ? TRUE : FALSE);
        if (next != nullptr) focus(next);
        return true;
    }
    return false;
}

void SettingsWindow::showResult(Row& row, const std::wstring& text) {
    ::SetWindowTextW(row.testResult, text.c_str());
    setToolTipText(row.testTip, row.testResult, text);
}

void SettingsWindow::forgetTest(int slot) {
    Row& row = m_rows[static_cast<size_t>(slot - 1)];
    ++row.testNumber;
    showResult(row, L"");
    ::EnableWindow(row.test, TRUE);
}

void SettingsWindow::readControls() {
    for (SettingsEditor::Row& values : m_editor.rows) {
        const Row& row = m_rows[static_cast<size_t>(values.slot - 1)];
        values.enabled = ::SendMessageW(row.enabled, BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (!values.base.readOnly()) values.base.value = typedText(row.base);
        const LRESULT chosen = ::SendMessageW(row.definition, CB_GETCURSEL, 0, 0);
        if (chosen != CB_ERR) {
            const std::vector<std::string> choices = m_editor.definitionChoices(values.slot);
            if (static_cast<size_t>(chosen) < choices.size()) values.definition = choices[static_cast<size_t>(chosen)];
        }
    }
    if (!m_editor.vendor.readOnly()) m_editor.vendor.value = typedText(m_vendor);
    if (!m_editor.play.readOnly()) m_editor.play.value = typedText(m_play);
    SettingsEditor::SwarmPage& swarm = m_editor.swarm;
    swarm.enabled = ::SendMessageW(m_swarmEnabled, BM_GETCHECK, 0, 0) == BST_CHECKED;
    swarm.autoCheck = ::SendMessageW(m_swarmAutoCheck, BM_GETCHECK, 0, 0) == BST_CHECKED;
    swarm.trackers = typedText(m_swarmTrackers);
    swarm.bootstrap = typedText(m_swarmBootstrap);
    swarm.listen = typedText(m_swarmListen);
    swarm.timeout = typedText(m_swarmTimeout);
    swarm.maxChecks = typedText(m_swarmChecks);
}

void SettingsWindow::showProblem(const std::optional<SettingsEditor::Problem>& problem) {
    ::SetWindowTextW(m_problem, problem ? wideFromUtf8(problem->chinese).c_str() : L"");
    if (!problem) return;
    HWND edit = nullptr;
    switch (problem->field) {
        case SettingsEditor::kVendor:
            edit = m_vendor;
            break;
        case SettingsEditor::kPlay:
            edit = m_play;
            break;
        case SettingsEditor::kSwarmTrackers:
            edit = m_swarmTrackers;
            break;
        case SettingsEditor::kSwarmBootstrap:
            edit = m_swarmBootstrap;
            break;
        case SettingsEditor::kSwarmTimeout:
            edit = m_swarmTimeout;
            break;
        case SettingsEditor::kSwarmChecks:
            edit = m_swarmChecks;
            break;
        default:
            if (problem->field >= 1 && problem->field <= static_cast<int>(m_rows.size()))
                edit = baseEdit(problem->field);
            break;
    }
    if (edit != nullptr) {
        focus(edit);
        ::SendMessageW(edit, EM_SETSEL, 0, -1);
    }
}

void SettingsWindow::test(int slot) {
    readControls();
    const std::optional<SettingsEditor::Problem> problem = m_editor.checkField(slot);
    showProblem(problem);
    if (problem) return;
    Row& row = m_rows[static_cast<size_t>(slot - 1)];
    ::EnableWindow(row.test, FALSE);
    showResult(row, L"测试中…");
    const unsigned number = ++row.testNumber;
    const SettingsEditor::Row& values = m_editor.rows[static_cast<size_t>(slot - 1)];
    const Text base = trimmedBase(values.base.value);
    const std::string definition = values.definition;
    const Text keyword = m_context.testKeyword.empty() ? gbk(u8"电影") : m_context.testKeyword;
    // The fetch runs off the window's thread; its answer comes back through the window's message queue.
    startDetachedThread([mailbox = m_mailbox, slot, number, definition, base, keyword] {
        Text text = describeSiteCheck(checkSite(slot, definition, base, keyword));
        std::lock_guard<std::mutex> lock(mailbox->mutex);
        if (mailbox->window == nullptr) return;  // the window is gone
        mailbox->answers.push_back({slot, number, std::move(text)});
        ::PostMessageW(mailbox->window, kAnswerMessage, 0, 0);
    });
}

void SettingsWindow::takeAnswers() {
    std::deque<Mailbox::Answer> answers;
    {
        std::lock_guard<std::mutex> lock(m_mailbox->mutex);
        answers.swap(m_mailbox->answers);
    }
    for (const Mailbox::Answer& answer : answers) {
        if (answer.slot < 1 || answer.slot > static_cast<int>(m_rows.size())) continue;
        Row& row = m_rows[static_cast<size_t>(answer.slot - 1)];
        if (row.testNumber != answer.number) continue;  // the row was edited meanwhile
        showResult(row, wideFromGbk(answer.text));
        ::EnableWindow(row.test, TRUE);
    }
}

void SettingsWindow::save() {
    readControls();
    SettingsEditor::Problem problem;
    const std::optional<Settings> saved = m_editor.save(problem);
    if (!saved) {
        showProblem(problem);
        return;
    }
    m_saved = true;
    m_finished = true;
    m_context.applied(*saved);
    ::ShowWindow(m_window, SW_HIDE);
}

std::string SettingsWindow::chooseBundle(bool forExport) {
    if (m_context.chooseBundle) return m_context.chooseBundle(forExport);
    std::wstring path(MAX_PATH * 4, L'\0');
    if (forExport) std::wcscpy(path.data(), L"lanqi-sites.toml");
    static constexpr wchar_t kFilter[] = L"站点文件 (*.toml)\0*.toml\0所有文件 (*.*)\0*.*\0";
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = m_window;
    dialog.lpstrFilter = kFilter;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrTitle = forExport ? L"导出站点" : L"导入站点";
    dialog.lpstrDefExt = L"toml";
    dialog.Flags = OFN_NOCHANGEDIR | (forExport ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
    if (!(forExport ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog))) return {};
    path.resize(std::wcslen(path.c_str()));
    return narrow(path);  // UTF-8: no path goes through GBK
}

int SettingsWindow::tell(const std::string& text, const wchar_t* title, UINT style) {
    HWND focus = ::GetFocus();
    const int answer = ::MessageBoxW(m_window, wideFromUtf8(text).c_str(), title, style);
    if (focus != nullptr && ::IsWindow(focus) && ::IsWindowVisible(focus)) ::SetFocus(focus);
    return answer;
}

void SettingsWindow::exportSites() {
    readControls();
    if (const std::optional<SettingsEditor::Problem> problem = m_editor.check()) {
        showProblem(problem);  // a bundle is only as good as the rows in it
        return;
    }
    const std::string path = chooseBundle(true);
    if (path.empty()) return;
    const std::string problem = m_editor.exportBundle(path);
    if (problem.empty()) {
        tell("站点已导出到 " + path, L"导出站点", MB_OK | MB_ICONINFORMATION);
    } else {
        tell(problem, L"导出站点", MB_OK | MB_ICONWARNING);
    }
}

void SettingsWindow::importSites() {
    const std::string path = chooseBundle(false);
    if (path.empty()) return;
    const SettingsEditor::ImportQuestion question = m_editor.askImport(path);
    if (question.refused() || question.changesNothing()) {
        tell(question.text, L"导入站点", MB_OK | (question.refused() ? MB_ICONWARNING : MB_ICONINFORMATION));
        return;
    }
    if (tell(question.text, L"导入站点", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) return;
    std::string problem;
    const std::optional<Settings> imported = SettingsEditor::applyImport(question, problem);
    if (!imported) {
        tell(problem, L"导入站点", MB_OK | MB_ICONWARNING);
        return;
    }
    // The rows shown are the old ones: the next 站点设置 shows what was imported.
    m_saved = true;
    m_finished = true;
    m_context.applied(*imported);
    ::ShowWindow(m_window, SW_HIDE);
}

void SettingsWindow::close() {
    m_finished = true;
    releaseOwner(m_window);  // before it hides, so that the owner is active again, not another program
    ::ShowWindow(m_window, SW_HIDE);
}

}  // namespace lanqi::win32
