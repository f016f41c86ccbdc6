#include "app/gui/about_window.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>

#include "platform/qt/qt_text.h"
#include "app/gui/pictures.h"
#include "platform/product.h"

namespace lanqi {
namespace {

// The control name is for the program and its tests; a screen reader says the label's text, or `spoken`
// for a picture.
QLabel* named(QLabel* label, const char* controlName, const QRect& geometry, const QString& spoken = {}) {
    label->setObjectName(QString::fromUtf8(controlName));
    if (!spoken.isEmpty()) label->setAccessibleName(spoken);
    label->setGeometry(geometry);
    return label;
}

// A transparent label: text only, drawn over whatever lies behind it.
QLabel* textLabel(QWidget* window, const char* controlName, const QRect& geometry, const QString& text, int pixelSize,
                  const QString& colour) {
    QLabel* label = named(new QLabel(text, window), controlName, geometry);
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("QLabel { color: %1; background: transparent; }").arg(colour));
    return label;
}

}  // namespace

AboutWindow::AboutWindow(QWidget* owner) : QWidget(owner, kDialogWindowFlags) {
    setObjectName(QStringLiteral("aboutWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("关于") + toQString(productName()));
    setFixedSize(kWidth, kHeight);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    setPalette(colours);
    setAutoFillBackground(true);

    // The card behind first, so that the product card lies over it and the back one shows at its edges.
    named(new QLabel(this), "图片框3", {16, 16, 176, 104}, QStringLiteral("卡片背景图片"))
        ->setPixmap(picture(Picture::AboutBack));
    named(new QLabel(this), "图片框1", {8, 8, 176, 104}, QStringLiteral("产品卡片图片"))
        ->setPixmap(picture(Picture::AboutFront));
    named(new QLabel(this), "透明标签30", {8, 8, 176, 104}, QStringLiteral("产品卡片"));

    // The creation handler's one job: the product name and version.
    const Text nameAndVersion = productName() + "\r\n" + "v" + kProductVersionText;
    QLabel* title = textLabel(this, "透明标签14", {192, 32, 208, 48},
                              toQString(nameAndVersion).replace(QLatin1String("\r\n"), QLatin1String("\n")), 18,
                              QStringLiteral("#17606b"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);

    QLabel* terms =
        textLabel(this, "透明标签20", {192, 104, 208, 128},
                  QStringLiteral("本软件为免费软件。在不作任何修改、保持完整的前提下，您可以自由复制并免费"
                                 "传播本软件。本软件仅供个人非商业用途使用；因使用本软件造成的数据丢失或"
                                 "任何故障，作者不承担责任。本软件不含任何病毒、木马或流氓代码，请放心使用。"),
                  12, QStringLiteral("#37474f"));
    terms->setWordWrap(true);
    terms->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // Only a caption: the newest version comes through the update check.
    textLabel(this, "透明标签22", {8, 208, 120, 16}, QStringLiteral("单击这里下载最新版本"), 12,
              QStringLiteral("#1f5fbf"));

    const struct {
        const char* name;
        int top;
        const char* text;
    } contacts[] = {
        {"透明标签16", 128, "出品：岚栖工作室"},       {"透明标签17", 142, "主页：lanqi-studio.example"},
        {"透明标签25", 156, "邮箱：hi@lanqi.example"}, {"透明标签18", 172, "论坛：bbs.lanqi.example"},
        {"透明标签19", 188, "微博：@岚栖工作室"},
    };
    for (const auto& line : contacts)
        textLabel(this, line.name, {8, line.top, 152, 16}, QString::fromUtf8(line.text), 11, QStringLiteral("#5f6b6d"));

    QLabel* rights =
        textLabel(this, "透明标签15", {-8, 229, 408, 24}, QStringLiteral("Copyright © 2014-2024 岚栖工作室  版权所有"),
                  12, QStringLiteral("#5f6b6d"));
    rights->setAlignment(Qt::AlignCenter);

    // Centred over its owner, or on the screen when it has none.
    const QRect area = owner != nullptr ? owner->window()->frameGeometry()
                       : QGuiApplication::primaryScreen() != nullptr
                           ? QGuiApplication::primaryScreen()->availableGeometry()
                           : QRect(0, 0, kWidth, kHeight);
    move(area.center() - QPoint(kWidth / 2, kHeight / 2));
}

void AboutWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace lanqi
