#include "app/gui/window_fonts.h"

#include <QStringList>

namespace lanqi {

QFont listFont() {
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                      QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(14);
    font.setWeight(QFont::Normal);
    return font;
}

QFont bannerFont() {
    QFont font;
    font.setFamilies({QStringLiteral("隶书"), QStringLiteral("LiSu"), QStringLiteral("STLiti"),
                      QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(56);
    return font;
}

}  // namespace lanqi
