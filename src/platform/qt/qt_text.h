#pragma once

#include <QString>

#include "platform/text.h"

namespace lanqi {

// GBK texts to and from the toolkit. A text that does not convert gives an empty string, as every conversion
// of the system does.
QString toQString(const Text& gbkText);
Text fromQString(const QString& text);

}  // namespace lanqi
