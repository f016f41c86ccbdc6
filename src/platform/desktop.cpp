#include "platform/desktop.h"

namespace lanqi {

MessageBoxLayout decodeMessageBoxStyle(int style) {
    using A = MessageAnswer;
    MessageBoxLayout layout;
    switch (style & 0xF) {
        case kMessageOkCancel:
            layout.buttons = {A::Ok, A::Cancel};
            break;
        case kMessageAbortRetryIgnore:
            layout.buttons = {A::Abort, A::Retry, A::Ignore};
            break;
        case kMessageYesNoCancel:
            layout.buttons = {A::Yes, A::No, A::Cancel};
            break;
        case kMessageYesNo:
            layout.buttons = {A::Yes, A::No};
            break;
        case kMessageRetryCancel:
            layout.buttons = {A::Retry, A::Cancel};
            break;
        default:
            layout.buttons = {A::Ok};
            break;
    }
    switch (style & 0xF0) {
        case kMessageIconError:
            layout.icon = MessageIcon::Error;
            break;
        case kMessageIconQuestion:
            layout.icon = MessageIcon::Question;
            break;
        case kMessageIconWarning:
            layout.icon = MessageIcon::Warning;
            break;
        case kMessageIconInformation:
            layout.icon = MessageIcon::Information;
            break;
        default:
            layout.icon = MessageIcon::None;
            break;
    }
    const std::size_t defaultButton = static_cast<std::size_t>((style & 0xF00) >> 8);
    layout.defaultButton = defaultButton < layout.buttons.size() ? defaultButton : 0;
    layout.topmost = (style & (kMessageSystemModal | kMessageTopmost)) != 0;
    return layout;
}

const Text& defaultMessageCaption() {
    static const Text caption = gbk(u8"信息：");
    return caption;
}

}  // namespace lanqi
