#pragma once

#include "platform/text.h"
#include "platform/version.h"

namespace lanqi {

// Product constants, compiled in. Texts are GBK, converted once.
const Text& productName();                                              // 岚栖种子搜索神器
inline constexpr const char* kProductVersionText = LANQI_VERSION_TEXT;  // "1.9"
inline constexpr float kProductVersion = LANQI_VERSION_NUMBER;
inline constexpr const char* kProductCode = "qabrelto";
inline constexpr const char* kUpdatePath = "/soft/qabrelto/";

// productName + "v" + kProductVersionText: the fixed first part of the main window's title.
const Text& titlePrefix();

}  // namespace lanqi
