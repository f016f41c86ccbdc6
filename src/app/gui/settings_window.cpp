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

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

SettingsWindow::SettingsWindow(Context context, QWidget* owner)
    : QDialog(owner, kDialogWindowFlags),
      m_context(std::move(context)),
      m_editor(m_context.file, m_context.inUse),
      m_rows(m_editor.rows.size()) {
    setObjectName(QStringLiteral("站点设置"));
    setWindowTitle(QStringLiteral("站点设置"));
    setAccessibleName(QStringLiteral("站点设置"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    const QStringList headers = {QStringLiteral("站点"),     QStringLiteral("地址"),
                                 QStringLiteral("站点定义"), QString(),
                                 QStringLiteral("测试结果"), QStringLiteral("上次搜索")};
    for (int column = 0; column < headers.size(); ++column)
        grid->addWidget(new QLabel(headers[column], this), 0, column);

    for (const SettingsEditor::Row& values : m_editor.rows) {
        const int slot = values.slot;
        Row& row = m_rows[static_cast<size_t>(slot - 1)];
        const QString name = QStringLiteral("站点%1").arg(slot);
        row.enabled = named(new QCheckBox(name, this), name, name + QStringLiteral(" 启用"));
        row.enabled->setChecked(values.enabled);
        row.base = named(new QLineEdit(toQString(values.base.value), this), name + QStringLiteral("地址"),
                         name + QStringLiteral(" 地址"));
        row.base->setMinimumWidth(300);
        // The environment decides this address: shown as it is used, and not written to the file.
        row.base->setReadOnly(values.base.readOnly());
        row.base->setToolTip(fromUtf8(SettingsEditor::environmentNote(values.base)));
        row.definition = named(new QComboBox(this), name + QStringLiteral("定义"), name + QStringLiteral(" 站点定义"));
        for (const std::string& definition : m_editor.definitionChoices(slot))
            row.definition->addItem(fromUtf8(definition));
        row.definition->setCurrentText(fromUtf8(values.definition));
        row.test = named(new QPushButton(QStringLiteral("测试"), this), name + QStringLiteral("测试"),
                         name + QStringLiteral(" 测试"));
        row.testResult = named(new QLabel(this), name + QStringLiteral("测试结果"), name + QStringLiteral(" 测试结果"));
        const Text lastRun = static_cast<size_t>(slot) <= m_context.lastRun.size()
                                 ? m_context.lastRun[static_cast<size_t>(slot - 1)]
                                 : Text();
        row.lastRun = named(new QLabel(toQString(lastRun), this), name + QStringLiteral("上次搜索"),
                            name + QStringLiteral(" 上次搜索"));
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
    m_vendor = named(new QLineEdit(toQString(m_editor.vendor.value), this), QStringLiteral("官网地址"),
                     QStringLiteral("官方网站地址"));
    m_play = named(new QLineEdit(toQString(m_editor.play.value), this), QStringLiteral("云播地址"),
                   QStringLiteral("云播服务地址"));
    for (const auto& [edit, address] : {std::pair{m_vendor, &m_editor.vendor}, std::pair{m_play, &m_editor.play}}) {
        edit->setReadOnly(address->readOnly());
        edit->setToolTip(fromUtf8(SettingsEditor::environmentNote(*address)));
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
    readControls();
    const std::optional<SettingsEditor::Problem> problem = m_editor.checkField(slot);
    showProblem(problem);
    if (problem) return;
    row.test->setEnabled(false);
    showWhole(row.testResult, QStringLiteral("测试中…"));
    const unsigned number = ++row.testNumber;
    const SettingsEditor::Row& values = m_editor.rows[static_cast<size_t>(slot - 1)];
    const Text base = trimmedBase(values.base.value);
    const std::string definition = values.definition;
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

void SettingsWindow::readControls() {
    for (SettingsEditor::Row& values : m_editor.rows) {
        const Row& row = m_rows[static_cast<size_t>(values.slot - 1)];
        values.enabled = row.enabled->isChecked();
        if (!values.base.readOnly()) values.base.value = fromQString(row.base->text());
        values.definition = row.definition->currentText().toStdString();
    }
    if (!m_editor.vendor.readOnly()) m_editor.vendor.value = fromQString(m_vendor->text());
    if (!m_editor.play.readOnly()) m_editor.play.value = fromQString(m_play->text());
}

QLineEdit* SettingsWindow::addressEdit(int field) const {
    if (field == SettingsEditor::kVendor) return m_vendor;
    if (field == SettingsEditor::kPlay) return m_play;
    if (field >= 1 && field <= static_cast<int>(m_rows.size())) return m_rows[static_cast<size_t>(field - 1)].base;
    return nullptr;
}

void SettingsWindow::showProblem(const std::optional<SettingsEditor::Problem>& problem) {
    for (const Row& row : m_rows) row.base->setStyleSheet(QString());
    m_vendor->setStyleSheet(QString());
    m_play->setStyleSheet(QString());
    m_problem->setText(problem ? fromUtf8(problem->chinese) : QString());
    if (!problem) return;
    if (QLineEdit* edit = addressEdit(problem->field)) {
        edit->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid #b00020; }"));
        edit->setFocus();
    }
}

void SettingsWindow::save() {
    readControls();
    SettingsEditor::Problem problem;
    const std::optional<Settings> saved = m_editor.save(problem);
    if (!saved) {
        showProblem(problem);
        return;
    }
    m_context.applied(*saved);
    accept();
}

}  // namespace lanqi
