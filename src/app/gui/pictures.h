#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>

#include "platform/jpeg_image.h"

namespace lanqi {

// The pictures compiled into the client (resources/resources.qrc), decoded with decodeJpeg.
enum class Picture {
    Logo,         // 248 × 48, 图片框1 of the main window
    Home,         // 448 × 37, 图片框2 of the main window
    Notice,       // 421 × 107, 图片框2 of the notice dialog
    NoticeStrip,  // 383 × 48, 图片框1 of the notice dialog
    AboutFront,   // 176 × 104, 图片框1 of the about window: the product card
    AboutBack,    // 176 × 104, 图片框3 of the about window: the card behind it
};

inline constexpr int kListPictureCount = 4;
inline constexpr int kListPictureSide = 80;

// A copy of the pixels in Qt's 24-bit RGB format; a null QImage for an empty image.
QImage toQImage(const RgbImage& image);

// Reads a compiled-in JPEG (":/pictures/...") and decodes it; a null QImage when it is missing or broken.
QImage decodePictureResource(const QString& path);

// Drawn for a screen of `ratio` device pixels per pixel (0: the application's): above 1, the picture drawn at
// twice its size, with a device pixel ratio of 2, so that it stays sharp at the same size in the window.
QPixmap picture(Picture which, qreal ratio = 0);
// 0 archive, 1 blue film strip, 2 green device, 3 green film strip; a null pixmap for any other index.
QPixmap listPicture(int index, qreal ratio = 0);

}  // namespace lanqi
