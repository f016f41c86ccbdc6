#include "app/gui/pictures.h"

#include <array>
#include <cstring>
#include <mutex>

#include <QFile>

// Q_INIT_RESOURCE must be used outside any namespace. The resources live in this static library, so the
// linker would drop them unless something refers to them.
static void initPictureResources() {
    static std::once_flag once;
    std::call_once(once, [] { Q_INIT_RESOURCE(resources); });
}

namespace lanqi {

QImage toQImage(const RgbImage& image) {
    if (image.empty()) return {};
    QImage converted(image.width, image.height, QImage::Format_RGB888);
    const size_t rowBytes = static_cast<size_t>(image.width) * 3;
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(converted.scanLine(y), image.pixels.data() + rowBytes * static_cast<size_t>(y), rowBytes);
    }
    return converted;
}

QImage decodePictureResource(const QString& path) {
    initPictureResources();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return toQImage(decodeJpeg(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))));
}

QPixmap picture(Picture which) {
    switch (which) {
        case Picture::Logo:
            return QPixmap::fromImage(decodePictureResource(QStringLiteral(":/pictures/logo.jpg")));
        case Picture::Home:
            return QPixmap::fromImage(decodePictureResource(QStringLiteral(":/pictures/home.jpg")));
        case Picture::Notice:
            return QPixmap::fromImage(decodePictureResource(QStringLiteral(":/pictures/notice.jpg")));
        case Picture::NoticeStrip:
            return QPixmap::fromImage(decodePictureResource(QStringLiteral(":/pictures/notice_strip.jpg")));
        case Picture::AboutFront:
            return QPixmap::fromImage(decodePictureResource(QStringLiteral(":/pictures/about_front.jpg")));
        case Picture::AboutBack:
            return QPixmap::fromImage(decodePictureResource(QStringLiteral(":/pictures/about_back.jpg")));
    }
    return {};
}

QPixmap listPicture(int index) {
    if (index < 0 || index >= kListPictureCount) return {};
    return QPixmap::fromImage(decodePictureResource(QStringLiteral(":/pictures/list%1.jpg").arg(index)));
}

}  // namespace lanqi
