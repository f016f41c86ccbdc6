#include "platform/qt/qt_text.h"

namespace lanqi {

QString toQString(const Text& gbkText) {
    const std::string text = utf8(gbkText);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

Text fromQString(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return gbk(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace lanqi
