#pragma once

#include "platform/desktop.h"
#include "platform/win32_desktop_services.h"

namespace lanqi::win32 {

// What the user did with the usage notice.
enum class NoticeOutcome {
    Agreed,         // 同意使用: start-up goes on
    QuitAtOnce,     // 立即退出: the program ends, no question asked
    QuitConfirmed,  // close box or Esc, then OK in the "退出软件" question: the program ends
};

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

}  // namespace lanqi::win32
