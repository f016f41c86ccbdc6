#include "app/gui/pictures.h"

#include <QGuiApplication>

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

namespace {

// The picture NAME for a screen of `ratio` device pixels per pixel: NAME@2x drawn at twice the size when the
// ratio is above 1, so that text and lines stay sharp; the pixmap keeps its size in the windows either way.
QPixmap pictureNamed(const QString& name, qreal ratio) {
    if (ratio > 1.0) {
        QImage sharp = decodePictureResource(QStringLiteral(":/pictures/%1@2x.jpg").arg(name));
        if (!sharp.isNull()) {
            QPixmap pixmap = QPixmap::fromImage(sharp);
            pixmap.setDevicePixelRatio(2.0);
            return pixmap;
        }
    }
    return QPixmap::fromImage(decodePictureResource(QStringLiteral(":/pictures/%1.jpg").arg(name)));
}

qreal screenRatio(qreal ratio) { return ratio > 0 ? ratio : qApp != nullptr ? qApp->devicePixelRatio() : 1.0; }

}  // namespace

QPixmap picture(Picture which, qreal ratio) {
    ratio = screenRatio(ratio);
    switch (which) {
        case Picture::Logo:
            return pictureNamed(QStringLiteral("logo"), ratio);
        case Picture::Home:
            return pictureNamed(QStringLiteral("home"), ratio);
        case Picture::Notice:
            return pictureNamed(QStringLiteral("notice"), ratio);
        case Picture::NoticeStrip:
            return pictureNamed(QStringLiteral("notice_strip"), ratio);
        case Picture::AboutFront:
            return pictureNamed(QStringLiteral("about_front"), ratio);
        case Picture::AboutBack:
            return pictureNamed(QStringLiteral("about_back"), ratio);
    }
    return {};
}

QPixmap listPicture(int index, qreal ratio) {
    if (index < 0 || index >= kListPictureCount) return {};
    return pictureNamed(QStringLiteral("list%1").arg(index), screenRatio(ratio));
}

}  // namespace lanqi
