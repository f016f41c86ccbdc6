#include "app/gui/notice_dialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "app/core/vendor.h"
#include "app/gui/click_label.h"
#include "platform/qt/qt_text.h"
#include "app/gui/pictures.h"
#include "platform/product.h"
#include "platform/qt/qt_desktop_services.h"
#include "platform/qt/qt_window.h"

namespace lanqi {
namespace {

// The control name is for the program and its tests; a screen reader says the caption, or `spoken` for a
// picture or an area without one.
template <typename Widget>
Widget* named(Widget* widget, const char* controlName, const QString& spoken = {}) {
    widget->setObjectName(QString::fromUtf8(controlName));
    if (!spoken.isEmpty()) widget->setAccessibleName(spoken);
    return widget;
}

}  // namespace

NoticeDialog::NoticeDialog(const Text& vendorBase, QWidget* parent) : QDialog(parent, kDialogWindowFlags) {
    setObjectName(QStringLiteral("noticeDialog"));
    setWindowTitle(toQString(titlePrefix()));
    setModal(true);
    setFixedSize(kWidth, kHeight);

    auto* group = named(new QGroupBox(this), "分组框1", QStringLiteral("使用须知"));
    group->setGeometry(14, 8, 456, 232);

    auto* notice = named(new QLabel(group), "图片框2", QStringLiteral("使用须知：请合法使用本软件"));
    notice->setGeometry(17, 32, 421, 107);
    notice->setPixmap(picture(Picture::Notice));

    auto* strip = named(new QLabel(group), "图片框1", QStringLiteral("绿色上网标语图片"));
    strip->setGeometry(36, 168, 383, 48);
    strip->setPixmap(picture(Picture::NoticeStrip));

    auto* slogan = named(new QLabel(QStringLiteral("健 康 绿 色 上 网  ·  共 建 和 谐 网 络"), group), "标签2");
    slogan->setGeometry(16, 168, 424, 48);
    slogan->setAlignment(Qt::AlignCenter);
    slogan->setStyleSheet(QStringLiteral("QLabel { color: #2e7d32; font-size: 16px; font-weight: bold; }"));

    auto* maker = named(
        new QLabel(QStringLiteral("岚栖工作室 出品\n%1").arg(toQString(vendorAddressForDisplay(vendorBase))), this),
        "标签3");
    maker->setGeometry(16, 248, 224, 32);
    maker->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    maker->setStyleSheet(QStringLiteral("QLabel { color: #5f6b6d; font-size: 12px; }"));

    auto* makerLink = named(new ClickLabel(this), "透明标签1", QStringLiteral("官方网站"));
    makerLink->setGeometry(16, 248, 224, 32);
    makerLink->setCursor(Qt::PointingHandCursor);
    makerLink->setToolTip(toQString(vendorBase));
    connect(makerLink, &ClickLabel::leftPressed, this, &NoticeDialog::vendorAddressRequested);

    auto* agree = named(new QPushButton(QStringLiteral("同意使用"), this), "按钮1");
    agree->setGeometry(304, 248, 72, 32);
    agree->setDefault(true);
    connect(agree, &QPushButton::clicked, this, [this] { finish(NoticeOutcome::Agreed); });

    auto* quit = named(new QPushButton(QStringLiteral("立即退出"), this), "按钮2");
    quit->setGeometry(392, 248, 72, 32);
    quit->setAutoDefault(false);
    connect(quit, &QPushButton::clicked, this, [this] { finish(NoticeOutcome::QuitAtOnce); });
}

void NoticeDialog::reject() {
    static const Text text = gbk(u8"精彩内容等着您哦，您确定要退出吗？！");
    static const Text caption = gbk(u8"退出软件");
    const QtWindow owner(this);
    if (QtDesktopServices().showMessageBox(text, kMessageOkCancel | kMessageIconQuestion, caption, &owner) ==
        MessageAnswer::Ok)
        finish(NoticeOutcome::QuitConfirmed);
}

void NoticeDialog::finish(NoticeOutcome outcome) {
    m_outcome = outcome;
    done(outcome == NoticeOutcome::Agreed ? QDialog::Accepted : QDialog::Rejected);
}

}  // namespace lanqi
