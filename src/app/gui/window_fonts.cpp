#include "app/gui/window_fonts.h"

#include <QStringList>

#include "app/core/main_window_design.h"

namespace lanqi {
namespace {

QFont fontOf(const FontDesign& design) {
    QStringList faces;
    for (const char* face : design.faces) faces << QString::fromUtf8(face);
    QFont font;
    font.setFamilies(faces);
    font.setPixelSize(design.pixels);
    return font;
}

}  // namespace

QFont listFont() {
    QFont font = fontOf(kListFontDesign);
    font.setWeight(QFont::Normal);
    return font;
}

QFont bannerFont() { return fontOf(kBannerFontDesign); }

}  // namespace lanqi
