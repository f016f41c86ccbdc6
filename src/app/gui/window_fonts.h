#pragma once

#include <QFont>

namespace lanqi {

// The faces the windows ask for, each followed by faces that exist on Linux (fonts-noto-cjk), so that the
// Chinese captions render wherever the Windows faces are missing.
QFont listFont();    // "宋体", 14 px, normal weight: the results list
QFont bannerFont();  // "隶书", 56 px: the home banner 标签2

}  // namespace lanqi
