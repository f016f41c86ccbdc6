#pragma once

#include <QString>

#include "platform/text.h"

namespace lanqi {

// The windows speak QString; the logic speaks GBK. These two are the only crossing points.
inline QString toQString(const Text& gbkText) { return QString::fromStdString(utf8(gbkText)); }
// "" when the text has a character GBK lacks, as every GBK conversion does.
inline Text toGbk(const QString& text) { return gbk(text.toStdString()); }

}  // namespace lanqi
