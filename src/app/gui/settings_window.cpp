#include "app/gui/settings_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <thread>

#include "platform/qt/qt_text.h"
#include "platform/qt/qt_window.h"
#include "search/site_check.h"

namespace lanqi {
namespace {

template <typename Widget>
Widget* named(Widget* widget, const QString& objectName, const QString& accessibleName) {
    widget->setObjectName(objectName);
    widget->setAccessibleName(accessibleName);
    return widget;
}

// The base address an edit holds, as the settings file keeps it.
Text typedBase(const QLineEdit* edit) { return trimmedBase(fromQString(edit->text())); }

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

SettingsWindow::SettingsWindow(Context context, QWidget* owner)
    : QDialog(owner, kDialogWindowFlags),
      m_context(std::move(context)),
      m_fileValues(loadSettings(m_context.file, false).settings) {
    setObjectName(QStringLiteral("站点设置"));
    setWindowTitle(QStringLiteral("站点设置"));
    setAccessibleName(QStringLiteral("站点设置"));
    setModal(true);
    const Settings& inUse = m_context.inUse;

    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    const QStringList headers = {QStringLiteral("站点"),     QStringLiteral("地址"),
                                 QStringLiteral("站点定义"), QString(),
                                 QStringLiteral("测试结果"), QStringLiteral("上次搜索")};
    for (int column = 0; column < headers.size(); ++column)
        grid->addWidget(new QLabel(headers[column], this), 0, column);

    const std::vector<std::string> definitions = siteDefinitionNames();
    for (int slot = 1; slot <= 6; ++slot) {
        Row& row = m_rows[static_cast<size_t>(slot - 1)];
        const SiteSlotSettings& site = m_fileValues.sites[static_cast<size_t>(slot - 1)];
        const QString name = QStringLiteral("站点%1").arg(slot);
        row.enabled = named(new QCheckBox(name, this), name, name + QStringLiteral(" 启用"));
        row.enabled->setChecked(site.enabled);
        row.base = named(new QLineEdit(fromUtf8(site.base), this), name + QStringLiteral("地址"),
                         name + QStringLiteral(" 地址"));
        row.base->setMinimumWidth(300);
        const SiteSlotSettings& used = inUse.sites[static_cast<size_t>(slot - 1)];
        if (used.baseFrom == SettingOrigin::Environment) {
            // The environment decides this address: shown as it is used, and not written to the file.
            row.base->setText(fromUtf8(used.base));
            row.base->setReadOnly(true);
            row.base->setToolTip(QStringLiteral("由环境变量 LANQI_SITE%1_BASE 设定，设置文件中的值不起作用").arg(slot));
        }
        row.definition = named(new QComboBox(this), name + QStringLiteral("定义"), name + QStringLiteral(" 站点定义"));
        for (const std::string& definition : definitions) row.definition->addItem(fromUtf8(definition));
        if (row.definition->findText(fromUtf8(site.definition)) < 0) row.definition->addItem(fromUtf8(site.definition));
        row.definition->setCurrentText(fromUtf8(site.definition));
        row.test = named(new QPushButton(QStringLiteral("测试"), this), name + QStringLiteral("测试"),
                         name + QStringLiteral(" 测试"));
        row.testResult = named(new QLabel(this), name + QStringLiteral("测试结果"), name + QStringLiteral(" 测试结果"));
        row.lastRun = named(new QLabel(toQString(m_context.lastRun[static_cast<size_t>(slot - 1)]), this),
                            name + QStringLiteral("上次搜索"), name + QStringLiteral(" 上次搜索"));
        for (QLabel* result : {row.testResult, row.lastRun}) {
            result->setFixedWidth(kResultWidth);
            showWhole(result, result->text());
        }
        const QWidget* cells[] = {row.enabled, row.base, row.definition, row.test, row.testResult, row.lastRun};
        for (int column = 0; column < 6; ++column) grid->addWidget(const_cast<QWidget*>(cells[column]), slot, column);
        connect(row.test, &QPushButton::clicked, this, [this, slot] { test(slot); });
        // A result is about the address and definition it was made with: an edit clears it.
        connect(row.base, &QLineEdit::textEdited, this, [this, slot] { forgetTest(slot); });
        connect(row.definition, &QComboBox::currentIndexChanged, this, [this, slot] { forgetTest(slot); });
    }

    auto* services = new QGridLayout;
    layout->addLayout(services);
    m_vendor = named(new QLineEdit(fromUtf8(m_fileValues.vendorBase), this), QStringLiteral("官网地址"),
                     QStringLiteral("官方网站地址"));
    m_play = named(new QLineEdit(fromUtf8(m_fileValues.playBase), this), QStringLiteral("云播地址"),
                   QStringLiteral("云播服务地址"));
    const std::pair<QLineEdit*, std::pair<const Text*, const char*>> fromEnvironment[] = {
        {m_vendor, {inUse.vendorFrom == SettingOrigin::Environment ? &inUse.vendorBase : nullptr, "LANQI_VENDOR_BASE"}},
        {m_play, {inUse.playFrom == SettingOrigin::Environment ? &inUse.playBase : nullptr, "LANQI_PLAY_BASE"}}};
    for (const auto& [edit, used] : fromEnvironment) {
        if (used.first == nullptr) continue;
        edit->setText(fromUtf8(*used.first));
        edit->setReadOnly(true);
        edit->setToolTip(
            QStringLiteral("由环境变量 %1 设定，设置文件中的值不起作用").arg(QString::fromLatin1(used.second)));
    }
    services->addWidget(new QLabel(QStringLiteral("官方网站："), this), 0, 0);
    services->addWidget(m_vendor, 0, 1);
    services->addWidget(new QLabel(QStringLiteral("云播服务："), this), 1, 0);
    services->addWidget(m_play, 1, 1);

    m_problem = named(new QLabel(this), QStringLiteral("设置提示"), QStringLiteral("设置提示"));
    m_problem->setStyleSheet(QStringLiteral("QLabel { color: #b00020; }"));
    m_problem->setWordWrap(true);
    layout->addWidget(m_problem);

    auto* buttons = new QDialogButtonBox(this);
    auto* saveButton = named(buttons->addButton(QStringLiteral("保存"), QDialogButtonBox::AcceptRole),
                             QStringLiteral("保存"), QStringLiteral("保存"));
    auto* cancelButton = named(buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole),
                               QStringLiteral("取消"), QStringLiteral("取消"));
    layout->addWidget(buttons);
    connect(saveButton, &QPushButton::clicked, this, [this] { save(); });
    if (m_context.focusedSlot >= 1 && m_context.focusedSlot <= static_cast<int>(m_rows.size()))
        m_rows[static_cast<size_t>(m_context.focusedSlot - 1)].base->setFocus(Qt::OtherFocusReason);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);  // Esc rejects too
}

void SettingsWindow::showWhole(QLabel* label, const QString& text) {
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideRight, label->width()));
    label->setToolTip(text);
    label->setAccessibleDescription(text);
}

void SettingsWindow::forgetTest(int slot) {
    Row& row = m_rows[static_cast<size_t>(slot - 1)];
    ++row.testNumber;
    showWhole(row.testResult, QString());
    row.test->setEnabled(true);
}

void SettingsWindow::test(int slot) {
    Row& row = m_rows[static_cast<size_t>(slot - 1)];
    if (!checkBase(row.base, QStringLiteral("站点%1的地址").arg(slot))) return;
    row.test->setEnabled(false);
    showWhole(row.testResult, QStringLiteral("测试中…"));
    const unsigned number = ++row.testNumber;
    const Text base = typedBase(row.base);
    const std::string definition = row.definition->currentText().toStdString();
    const Text keyword = m_context.testKeyword.empty() ? gbk(u8"电影") : m_context.testKeyword;
    QPointer<SettingsWindow> window(this);
    // The fetch runs off the window's thread; its answer comes back as a queued call, if the window is still there.
    std::thread([window, slot, number, definition, base, keyword] {
        const Text text = describeSiteCheck(checkSite(slot, definition, base, keyword));
        QMetaObject::invokeMethod(
            qApp,
            [window, slot, number, text] {
                if (!window) return;
                Row& shown = window->m_rows[static_cast<size_t>(slot - 1)];
                if (shown.testNumber != number) return;  // the row was edited meanwhile
                showWhole(shown.testResult, toQString(text));
                shown.test->setEnabled(true);
            },
            Qt::QueuedConnection);
    }).detach();
}

bool SettingsWindow::checkBase(QLineEdit* edit, const QString& what) {
    if (edit->isReadOnly()) return true;  // the environment's, not the file's
    if (isSearchableBase(typedBase(edit))) {
        edit->setStyleSheet(QString());
        return true;
    }
    edit->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid #b00020; }"));
    edit->setFocus();
    m_problem->setText(what + QStringLiteral("必须以 http:// 或 https:// 开头并带主机名，可带端口和路径，例如 "
                                             "http://127.0.0.1:8080/site1"));
    return false;
}

void SettingsWindow::save() {
    m_problem->clear();
    Settings settings = m_fileValues;
    for (int slot = 1; slot <= 6; ++slot) {
        Row& row = m_rows[static_cast<size_t>(slot - 1)];
        if (!checkBase(row.base, QStringLiteral("站点%1的地址").arg(slot))) return;
        SiteSlotSettings& site = settings.sites[static_cast<size_t>(slot - 1)];
        if (!row.base->isReadOnly()) site.base = typedBase(row.base);
        site.enabled = row.enabled->isChecked();
        site.definition = row.definition->currentText().toStdString();
    }
    if (!checkBase(m_vendor, QStringLiteral("官方网站地址")) || !checkBase(m_play, QStringLiteral("云播服务地址")))
        return;
    if (!m_vendor->isReadOnly()) settings.vendorBase = typedBase(m_vendor);
    if (!m_play->isReadOnly()) settings.playBase = typedBase(m_play);
    std::string error;
    if (!saveSettingsFile(m_context.file, settings, error)) {
        m_problem->setText(QStringLiteral("保存失败：") + fromUtf8(error));
        return;
    }
    m_context.applied(loadSettings(m_context.file).settings);
    accept();
}

}  // namespace lanqi
