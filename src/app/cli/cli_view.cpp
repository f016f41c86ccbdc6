#include "app/cli/cli_view.h"

#include "app/core/json_writer.h"

namespace lanqi {

void CliView::selectPageItem(int index) {
    if (index < 0 || m_pageItems.empty()) {
        m_selectedItem = -1;
        return;
    }
    m_selectedItem = std::min(index, static_cast<int>(m_pageItems.size()) - 1);
}

void CliView::showModalMessage(const Text& text, const Text& caption, MessageIcon icon) {
    if (m_json) {
        JsonObject o;
        o.text("event", "message")
            .text("caption", utf8(caption))
            .text("text", utf8(text))
            .text("icon", icon == MessageIcon::Error ? "error" : "information");
        std::fprintf(m_out, "%s\n", o.str().c_str());
    } else {
        std::fprintf(m_out, "[%s] %s\n", utf8(caption).c_str(), utf8(text).c_str());
    }
    std::fflush(m_out);
}

}  // namespace lanqi
