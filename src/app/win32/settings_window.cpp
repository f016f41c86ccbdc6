#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <mutex>

#include "app/win32/dialogs.h"
#include "platform/detached_thread.h"
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
constexpr int kWidth = kLastRunLeft + SettingsWindow::kResultWidth + kMargin;
constexpr int kFirstRowTop = 34;

// Control ids: 保存 and 取消, then ten per slot.
constexpr int kSaveId = 1;
constexpr int kCancelId = 2;
constexpr int kRowIds = 100;
enum RowControl { kEnabledControl, kBaseControl, kDefinitionControl, kTestControl };
constexpr int rowId(int slot, RowControl control) { return kRowIds + slot * 10 + control; }

// A 测试's answer arrives: the window takes what the mailbox holds.
constexpr UINT kAnswerMessage = WM_APP + 1;

Text typedText(HWND edit) { return gbkFromWide(windowText(edit)); }

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
      m_rows(m_editor.rows.size()),
      m_mailbox(std::make_shared<Mailbox>()) {}

SettingsWindow::~SettingsWindow() {
    if (m_window != nullptr) ::DestroyWindow(m_window);
}

bool SettingsWindow::create(HWND owner) {
    registerWindowClass(L"LanqiSettings", &SettingsWindow::procedure, ::GetSysColorBrush(COLOR_BTNFACE));
    const int rows = static_cast<int>(m_rows.size());
    const int servicesTop = kFirstRowTop + rows * kRowHeight + 8;
    const int problemTop = servicesTop + 2 * kRowHeight;
    const int buttonsTop = problemTop + 40;
    const int height = buttonsTop + 28 + kMargin;
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | (owner == nullptr ? WS_EX_APPWINDOW : 0);
    const SIZE outer = outerSize(style, exStyle, kWidth, height);
    const POINT at = centredPosition(owner, outer.cx, outer.cy);
    m_window = ::CreateWindowExW(exStyle, L"LanqiSettings", L"站点设置", style, at.x, at.y, outer.cx, outer.cy, owner,
                                 nullptr, ::GetModuleHandleW(nullptr), this);
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

    for (const SettingsEditor::Row& values : m_editor.rows) {
        const int slot = values.slot;
        Row& row = m_rows[static_cast<size_t>(slot - 1)];
        const int top = kFirstRowTop + (slot - 1) * kRowHeight;
        row.enabled = createControl(m_window, L"BUTTON", L"站点" + std::to_wstring(slot),
                                    WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
                                    {kEnabledLeft, top, kEnabledWidth, kControlHeight}, rowId(slot, kEnabledControl));
        ::SendMessageW(row.enabled, BM_SETCHECK, values.enabled ? BST_CHECKED : BST_UNCHECKED, 0);
        row.base = createControl(
            m_window, WC_EDITW, wideFromGbk(values.base.value),
            WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL | (values.base.readOnly() ? ES_READONLY : 0),
            {kBaseLeft, top, kBaseWidth, kControlHeight}, rowId(slot, kBaseControl));
        // The environment decides this address: shown as it is used, and not written to the file.
        if (values.base.readOnly()) addToolTip(row.base, wideFromUtf8(SettingsEditor::environmentNote(values.base)));
        row.definition =
            createControl(m_window, WC_COMBOBOXW, L"", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                          {kDefinitionLeft, top, kDefinitionWidth, 200}, rowId(slot, kDefinitionControl));
        const std::vector<std::string> choices = m_editor.definitionChoices(slot);
        for (size_t n = 0; n < choices.size(); ++n) {
            ::SendMessageW(row.definition, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wideFromUtf8(choices[n]).c_str()));
            if (choices[n] == values.definition) ::SendMessageW(row.definition, CB_SETCURSEL, n, 0);
        }
        row.test = createControl(m_window, L"BUTTON", L"测试", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                 {kTestLeft, top, kTestWidth, kControlHeight}, rowId(slot, kTestControl));
        const DWORD resultStyle = WS_VISIBLE | SS_NOPREFIX | SS_ENDELLIPSIS | SS_NOTIFY | SS_CENTERIMAGE;
        row.testResult =
            createControl(m_window, L"STATIC", L"", resultStyle, {kResultLeft, top, kResultWidth, kControlHeight});
        row.testTip = addToolTip(row.testResult, L"");
        const Text lastRun = static_cast<size_t>(slot) <= m_context.lastRun.size()
                                 ? m_context.lastRun[static_cast<size_t>(slot - 1)]
                                 : Text();
        row.lastRun = createControl(m_window, L"STATIC", wideFromGbk(lastRun), resultStyle,
                                    {kLastRunLeft, top, kResultWidth, kControlHeight});
        addToolTip(row.lastRun, wideFromGbk(lastRun));
    }

    const struct {
        HWND* edit;
        const wchar_t* label;
        const SettingsEditor::Address* address;
    } services[] = {{&m_vendor, L"官方网站：", &m_editor.vendor}, {&m_play, L"云播服务：", &m_editor.play}};
    int top = servicesTop;
    for (const auto& service : services) {
        createControl(m_window, L"STATIC", service.label, WS_VISIBLE | SS_NOPREFIX | SS_CENTERIMAGE,
                      {kEnabledLeft, top, kEnabledWidth, kControlHeight});
        *service.edit = createControl(
            m_window, WC_EDITW, wideFromGbk(service.address->value),
            WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL | (service.address->readOnly() ? ES_READONLY : 0),
            {kBaseLeft, top, kBaseWidth, kControlHeight});
        if (service.address->readOnly())
            addToolTip(*service.edit, wideFromUtf8(SettingsEditor::environmentNote(*service.address)));
        top += kRowHeight;
    }
    m_problem = createControl(m_window, L"STATIC", L"", WS_VISIBLE | SS_NOPREFIX,
                              {kMargin, problemTop, kWidth - 2 * kMargin, 36});
    m_save = createControl(m_window, L"BUTTON", L"保存", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                           {kWidth - kMargin - 2 * 80 - 8, buttonsTop, 80, 28}, kSaveId);
    m_cancel = createControl(m_window, L"BUTTON", L"取消", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                             {kWidth - kMargin - 80, buttonsTop, 80, 28}, kCancelId);
    setKeyboardOwner(m_window, this);
    ::ShowWindow(m_window, SW_SHOW);
    const int focused = m_context.focusedSlot;
    ::SetFocus(focused >= 1 && focused <= rows ? baseEdit(focused) : (rows > 0 ? baseEdit(1) : m_save));
    return true;
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
    if (id < kRowIds + 10) return;
    const int slot = (id - kRowIds) / 10;
    if (slot < 1 || slot > static_cast<int>(m_rows.size())) return;
    switch ((id - kRowIds) % 10) {
        case kTestControl:
            if (code == BN_CLICKED) test(slot);
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
    if (message.wParam == VK_TAB) {
        const bool back = (::GetKeyState(VK_SHIFT) & 0x8000) != 0;
        HWND next = ::GetNextDlgTabItem(m_window, ::GetFocus(), back ? TRUE : FALSE);
        if (next != nullptr) ::SetFocus(next);
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
}

void SettingsWindow::showProblem(const std::optional<SettingsEditor::Problem>& problem) {
    ::SetWindowTextW(m_problem, problem ? wideFromUtf8(problem->chinese).c_str() : L"");
    if (!problem) return;
    HWND edit = problem->field == SettingsEditor::kVendor                                  ? m_vendor
                : problem->field == SettingsEditor::kPlay                                  ? m_play
                : problem->field >= 1 && problem->field <= static_cast<int>(m_rows.size()) ? baseEdit(problem->field)
                                                                                           : nullptr;
    if (edit != nullptr) {
        ::SetFocus(edit);
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

void SettingsWindow::close() {
    m_finished = true;
    ::ShowWindow(m_window, SW_HIDE);
}

}  // namespace lanqi::win32
