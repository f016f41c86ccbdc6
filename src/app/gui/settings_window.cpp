#include "app/gui/settings_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
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

// The grid's column of the 删除 buttons, after 上次搜索.
constexpr int kRemoveColumn = 6;

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

SettingsWindow::SettingsWindow(Context context, QWidget* owner)
    : QDialog(owner, kDialogWindowFlags), m_context(std::move(context)), m_editor(m_context.file, m_context.inUse) {
    setObjectName(QStringLiteral("站点设置"));
    setWindowTitle(QStringLiteral("站点设置"));
    setAccessibleName(QStringLiteral("站点设置"));
    setModal(true);

    auto* outer = new QVBoxLayout(this);
    // Two pages: the sites, and the swarm check's settings.
    m_pages = named(new QTabWidget(this), QStringLiteral("设置页"), QStringLiteral("设置页"));
    outer->addWidget(m_pages, 1);
    m_sitesPage = new QWidget(m_pages);
    m_pages->addTab(m_sitesPage, QStringLiteral("站点"));
    auto* layout = new QVBoxLayout(m_sitesPage);
    // The rows scroll inside a frame as wide as they are, so that the window keeps its width as rows come and go.
    m_scroll = named(new QScrollArea(m_sitesPage), QStringLiteral("站点列表"), QStringLiteral("站点列表"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* panel = new QWidget(m_scroll);
    m_grid = new QGridLayout(panel);
    m_grid->setAlignment(Qt::AlignTop);
    const QStringList headers = {QStringLiteral("站点"),     QStringLiteral("地址"),
                                 QStringLiteral("站点定义"), QString(),
                                 QStringLiteral("测试结果"), QStringLiteral("上次搜索")};
    for (int column = 0; column < headers.size(); ++column)
        m_grid->addWidget(new QLabel(headers[column], panel), 0, column);
    // The 删除 column is there before any row has one.
    m_grid->setColumnMinimumWidth(kRemoveColumn, QPushButton(QStringLiteral("删除")).sizeHint().width());
    m_scroll->setWidget(panel);
    layout->addWidget(m_scroll, 1);
    for (const SettingsEditor::Row& values : m_editor.rows) addControls(values.slot);

    // The buttons that change the set of slots, left-aligned with room beside them.
    auto* slotButtons = new QHBoxLayout;
    layout->addLayout(slotButtons);
    m_add = named(new QPushButton(QStringLiteral("添加站点"), m_sitesPage), QStringLiteral("添加站点"),
                  QStringLiteral("添加站点"));
    m_add->setEnabled(m_editor.canAddRow());
    slotButtons->addWidget(m_add);
    m_import = named(new QPushButton(QStringLiteral("导入…"), m_sitesPage), QStringLiteral("导入"),
                     QStringLiteral("从文件导入站点"));
    m_export = named(new QPushButton(QStringLiteral("导出…"), m_sitesPage), QStringLiteral("导出"),
                     QStringLiteral("把站点导出到文件"));
    slotButtons->addWidget(m_import);
    slotButtons->addWidget(m_export);
    slotButtons->addStretch(1);
    connect(m_add, &QPushButton::clicked, this, [this] { addSlot(); });
    connect(m_import, &QPushButton::clicked, this, [this] { importSites(); });
    connect(m_export, &QPushButton::clicked, this, [this] { exportSites(); });

    auto* services = new QGridLayout;
    layout->addLayout(services);
    m_vendor = named(new QLineEdit(toQString(m_editor.vendor.value), m_sitesPage), QStringLiteral("官网地址"),
                     QStringLiteral("官方网站地址"));
    m_play = named(new QLineEdit(toQString(m_editor.play.value), m_sitesPage), QStringLiteral("云播地址"),
                   QStringLiteral("云播服务地址"));
    for (const auto& [edit, address] : {std::pair{m_vendor, &m_editor.vendor}, std::pair{m_play, &m_editor.play}}) {
        edit->setReadOnly(address->readOnly());
        edit->setToolTip(fromUtf8(SettingsEditor::environmentNote(*address)));
    }
    services->addWidget(new QLabel(QStringLiteral("官方网站："), m_sitesPage), 0, 0);
    services->addWidget(m_vendor, 0, 1);
    services->addWidget(new QLabel(QStringLiteral("云播服务："), m_sitesPage), 1, 0);
    services->addWidget(m_play, 1, 1);
    addSwarmPage();

    layout = outer;
    m_problem = named(new QLabel(this), QStringLiteral("设置提示"), QStringLiteral("设置提示"));
    m_problem->setStyleSheet(QStringLiteral("QLabel { color: #b00020; }"));
    m_problem->setWordWrap(true);
    layout->addWidget(m_problem);

    auto* buttons = new QDialogButtonBox(this);
    m_save = named(buttons->addButton(QStringLiteral("保存"), QDialogButtonBox::AcceptRole), QStringLiteral("保存"),
                   QStringLiteral("保存"));
    m_cancel = named(buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole), QStringLiteral("取消"),
                     QStringLiteral("取消"));
    layout->addWidget(buttons);
    connect(m_save, &QPushButton::clicked, this, [this] { save(); });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);  // Esc rejects too
    orderTabs();

    // As wide as the rows with a scroll bar beside them, whether it shows or not; as high as the rows when
    // the screen's work area has room for them.
    panel->adjustSize();
    m_scroll->setFixedWidth(panel->minimumSizeHint().width() + m_scroll->verticalScrollBar()->sizeHint().width() +
                            2 * m_scroll->frameWidth());
    m_scroll->setMinimumHeight(4 * m_rows.front().base->sizeHint().height());
    const QRect area = (owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen())->availableGeometry();
    const int frame = 40;  // the title bar and borders the window manager adds
    const int wanted =
        panel->sizeHint().height() + 2 * m_scroll->frameWidth() + sizeHint().height() - m_scroll->sizeHint().height();
    resize(sizeHint().width(), std::min(wanted, area.height() - frame));
    if (m_context.focusedSlot >= 1 && m_context.focusedSlot <= static_cast<int>(m_rows.size()))
        m_rows[static_cast<size_t>(m_context.focusedSlot - 1)].base->setFocus(Qt::OtherFocusReason);
}

void SettingsWindow::addSwarmPage() {
    m_swarmPage = named(new QWidget(m_pages), QStringLiteral("健康度检查"), QStringLiteral("健康度检查"));
    m_pages->addTab(m_swarmPage, QStringLiteral("健康度检查"));
    auto* form = new QFormLayout(m_swarmPage);
    const SettingsEditor::SwarmPage& values = m_editor.swarm;
    const auto box = [&](const QString& name, const QString& text) {
        auto* check = named(new QCheckBox(text, m_swarmPage), name, text);
        form->addRow(check);
        return check;
    };
    m_swarmEnabled = box(QStringLiteral("启用健康度检查"), QStringLiteral("启用健康度检查（会加入 BitTorrent 网络）"));
    m_swarmEnabled->setChecked(values.enabled);
    m_swarmAutoCheck = box(QStringLiteral("自动检查"), QStringLiteral("自动检查显示的结果"));
    m_swarmAutoCheck->setChecked(values.autoCheck);
    // Each field with its label before it, which names it for a screen reader as well.
    const auto field = [&](QWidget* edit, const QString& name, const QString& label) {
        named(edit, name, label);
        auto* caption = new QLabel(label, m_swarmPage);
        caption->setBuddy(edit);
        form->addRow(caption, edit);
    };
    const auto lines = [&](const Text& text) {
        auto* edit = new QPlainTextEdit(toQString(text), m_swarmPage);
        edit->setTabChangesFocus(true);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        edit->setFixedHeight(5 * edit->fontMetrics().lineSpacing() + 2 * edit->frameWidth() + 8);
        return edit;
    };
    m_swarmTrackers = lines(values.trackers);
    field(m_swarmTrackers, QStringLiteral("Tracker 地址"), QStringLiteral("Tracker 地址（每行一个）"));
    m_swarmBootstrap = lines(values.bootstrap);
    field(m_swarmBootstrap, QStringLiteral("DHT 引导节点"),
          QStringLiteral("DHT 引导节点（每行一个 host:port，留空用默认）"));
    m_swarmListen = new QLineEdit(toQString(values.listen), m_swarmPage);
    field(m_swarmListen, QStringLiteral("监听接口"), QStringLiteral("监听接口（留空为全部）"));
    m_swarmTimeout = new QLineEdit(toQString(values.timeout), m_swarmPage);
    field(m_swarmTimeout, QStringLiteral("每次检查时限"), QStringLiteral("每次检查时限（秒）"));
    m_swarmChecks = new QLineEdit(toQString(values.maxChecks), m_swarmPage);
    field(m_swarmChecks, QStringLiteral("同时检查数"), QStringLiteral("同时检查数"));
    for (QLineEdit* number : {m_swarmTimeout, m_swarmChecks}) number->setMaximumWidth(80);
}

void SettingsWindow::addControls(int slot) {
    QWidget* panel = m_scroll->widget();
    Row& row = m_rows.emplace_back();
    const QString name = QStringLiteral("站点%1").arg(slot);
    row.enabled = named(new QCheckBox(name, panel), name, name + QStringLiteral(" 启用"));
    row.base = named(new QLineEdit(panel), name + QStringLiteral("地址"), name + QStringLiteral(" 地址"));
    row.base->setMinimumWidth(300);
    row.definition = named(new QComboBox(panel), name + QStringLiteral("定义"), name + QStringLiteral(" 站点定义"));
    row.test = named(new QPushButton(QStringLiteral("测试"), panel), name + QStringLiteral("测试"),
                     name + QStringLiteral(" 测试"));
    row.testResult = named(new QLabel(panel), name + QStringLiteral("测试结果"), name + QStringLiteral(" 测试结果"));
    const Text lastRun = static_cast<size_t>(slot) <= m_context.lastRun.size()
                             ? m_context.lastRun[static_cast<size_t>(slot - 1)]
                             : Text();
    row.lastRun = named(new QLabel(panel), name + QStringLiteral("上次搜索"), name + QStringLiteral(" 上次搜索"));
    for (QLabel* result : {row.testResult, row.lastRun}) result->setFixedWidth(kResultWidth);
    showWhole(row.lastRun, toQString(lastRun));
    const QWidget* cells[] = {row.enabled, row.base, row.definition, row.test, row.testResult, row.lastRun};
    for (int column = 0; column < 6; ++column) m_grid->addWidget(const_cast<QWidget*>(cells[column]), slot, column);
    if (m_editor.canRemoveRow(slot)) {
        row.remove = named(new QPushButton(QStringLiteral("删除"), panel), name + QStringLiteral("删除"),
                           name + QStringLiteral(" 删除"));
        m_grid->addWidget(row.remove, slot, kRemoveColumn);
        connect(row.remove, &QPushButton::clicked, this, [this, slot] { removeSlot(slot); });
    }
    showRow(slot);
    connect(row.test, &QPushButton::clicked, this, [this, slot] { test(slot); });
    // A result is about the address and definition it was made with: an edit clears it.
    connect(row.base, &QLineEdit::textEdited, this, [this, slot] { forgetTest(slot); });
    connect(row.definition, &QComboBox::currentIndexChanged, this, [this, slot] { forgetTest(slot); });
}

void SettingsWindow::showRow(int slot) {
    const SettingsEditor::Row& values = m_editor.rows[static_cast<size_t>(slot - 1)];
    Row& row = m_rows[static_cast<size_t>(slot - 1)];
    row.enabled->setChecked(values.enabled);
    row.base->setText(toQString(values.base.value));
    // The environment decides this address: shown as it is used, and not written to the file.
    row.base->setReadOnly(values.base.readOnly());
    row.base->setToolTip(fromUtf8(SettingsEditor::environmentNote(values.base)));
    row.definition->clear();
    for (const std::string& definition : m_editor.definitionChoices(slot))
        row.definition->addItem(fromUtf8(definition));
    row.definition->setCurrentText(fromUtf8(values.definition));
}

void SettingsWindow::orderTabs() {
    std::vector<QWidget*> order;
    for (const Row& row : m_rows) {
        order.insert(order.end(), {row.enabled, row.base, row.definition, row.test});
        if (row.remove != nullptr) order.push_back(row.remove);
    }
    order.insert(order.end(),
                 {m_add, m_import, m_export, m_vendor, m_play, m_swarmEnabled, m_swarmAutoCheck, m_swarmTrackers,
                  m_swarmBootstrap, m_swarmListen, m_swarmTimeout, m_swarmChecks, m_save, m_cancel});
    for (size_t k = 1; k < order.size(); ++k) QWidget::setTabOrder(order[k - 1], order[k]);
}

void SettingsWindow::addSlot() {
    readControls();
    const int slot = m_editor.addRow();
    if (slot == 0) return;
    addControls(slot);
    m_add->setEnabled(m_editor.canAddRow());
    orderTabs();
    QLineEdit* base = m_rows.back().base;
    base->setFocus(Qt::OtherFocusReason);
    // Once the grid has placed the row.
    QTimer::singleShot(0, this, [this, base = QPointer<QLineEdit>(base)] {
        if (base) m_scroll->ensureWidgetVisible(base);
    });
}

void SettingsWindow::removeSlot(int slot) {
    readControls();
    if (!m_editor.removeRow(slot)) return;
    // The later rows move up a number, what their last search found with them; their tests are forgotten.
    for (int moved = slot; moved <= static_cast<int>(m_editor.rows.size()); ++moved) {
        Row& row = m_rows[static_cast<size_t>(moved - 1)];
        showWhole(row.lastRun, m_rows[static_cast<size_t>(moved)].lastRun->toolTip());
        showRow(moved);
        forgetTest(moved);
    }
    const Row gone = m_rows.back();
    m_rows.pop_back();
    for (QWidget* control : std::initializer_list<QWidget*>{gone.enabled, gone.base, gone.definition, gone.test,
                                                            gone.testResult, gone.lastRun, gone.remove})
        delete control;
    m_add->setEnabled(m_editor.canAddRow());
    orderTabs();
    QWidget* next = slot <= static_cast<int>(m_rows.size()) ? static_cast<QWidget*>(baseEdit(slot)) : m_add;
    next->setFocus(Qt::OtherFocusReason);
    if (next != m_add) m_scroll->ensureWidgetVisible(next);
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
                if (!window || slot > static_cast<int>(window->m_rows.size())) return;  // removed meanwhile
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
    SettingsEditor::SwarmPage& swarm = m_editor.swarm;
    swarm.enabled = m_swarmEnabled->isChecked();
    swarm.autoCheck = m_swarmAutoCheck->isChecked();
    swarm.trackers = fromQString(m_swarmTrackers->toPlainText());
    swarm.bootstrap = fromQString(m_swarmBootstrap->toPlainText());
    swarm.listen = fromQString(m_swarmListen->text());
    swarm.timeout = fromQString(m_swarmTimeout->text());
    swarm.maxChecks = fromQString(m_swarmChecks->text());
}

QWidget* SettingsWindow::addressEdit(int field) const {
    if (field == SettingsEditor::kSwarmTrackers) return m_swarmTrackers;
    if (field == SettingsEditor::kSwarmBootstrap) return m_swarmBootstrap;
    if (field == SettingsEditor::kSwarmTimeout) return m_swarmTimeout;
    if (field == SettingsEditor::kSwarmChecks) return m_swarmChecks;
    if (field == SettingsEditor::kVendor) return m_vendor;
    if (field == SettingsEditor::kPlay) return m_play;
    if (field >= 1 && field <= static_cast<int>(m_rows.size())) return m_rows[static_cast<size_t>(field - 1)].base;
    return nullptr;
}

void SettingsWindow::showProblem(const std::optional<SettingsEditor::Problem>& problem) {
    for (const Row& row : m_rows) row.base->setStyleSheet(QString());
    for (QWidget* edit : std::initializer_list<QWidget*>{m_vendor, m_play, m_swarmTrackers, m_swarmBootstrap,
                                                         m_swarmTimeout, m_swarmChecks})
        edit->setStyleSheet(QString());
    m_problem->setText(problem ? fromUtf8(problem->chinese) : QString());
    if (!problem) return;
    if (QWidget* edit = addressEdit(problem->field)) {
        // The page the field is on comes to the front.
        m_pages->setCurrentWidget(m_swarmPage->isAncestorOf(edit) ? m_swarmPage : m_sitesPage);
        edit->setStyleSheet(QStringLiteral("%1 { border: 1px solid #b00020; }").arg(edit->metaObject()->className()));
        edit->setFocus();
    }
}

std::string SettingsWindow::chooseBundle(bool forExport) {
    if (m_context.chooseBundle) return m_context.chooseBundle(forExport);
    const QString filter = QStringLiteral("站点文件 (*.toml);;所有文件 (*)");
    const QString chosen =
        forExport ? QFileDialog::getSaveFileName(this, QStringLiteral("导出站点"),
                                                 QDir::home().filePath(QStringLiteral("lanqi-sites.toml")), filter)
                  : QFileDialog::getOpenFileName(this, QStringLiteral("导入站点"), QDir::homePath(), filter);
    return chosen.toStdString();
}

QMessageBox::StandardButton SettingsWindow::tell(QMessageBox::Icon icon, const QString& title, const std::string& text,
                                                 QMessageBox::StandardButtons buttons) {
    // Paths and bundles are the user's own text: shown as they are, never as markup.
    QMessageBox box(icon, title, fromUtf8(text), buttons, this);
    box.setTextFormat(Qt::PlainText);
    if (buttons.testFlag(QMessageBox::No)) box.setDefaultButton(QMessageBox::No);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void SettingsWindow::exportSites() {
    readControls();
    if (const std::optional<SettingsEditor::Problem> problem = m_editor.check()) {
        showProblem(problem);  // a bundle is only as good as the rows in it
        return;
    }
    const std::string path = chooseBundle(true);
    if (path.empty()) return;
    const std::string problem = m_editor.exportBundle(path);
    if (problem.empty()) {
        tell(QMessageBox::Information, QStringLiteral("导出站点"), "站点已导出到 " + path);
    } else {
        tell(QMessageBox::Warning, QStringLiteral("导出站点"), problem);
    }
}

void SettingsWindow::importSites() {
    const std::string path = chooseBundle(false);
    if (path.empty()) return;
    const SettingsEditor::ImportQuestion question = m_editor.askImport(path);
    if (question.refused() || question.changesNothing()) {
        tell(question.refused() ? QMessageBox::Warning : QMessageBox::Information, QStringLiteral("导入站点"),
             question.text);
        return;
    }
    if (tell(QMessageBox::Question, QStringLiteral("导入站点"), question.text, QMessageBox::Yes | QMessageBox::No) !=
        QMessageBox::Yes)
        return;
    std::string problem;
    const std::optional<Settings> imported = SettingsEditor::applyImport(question, problem);
    if (!imported) {
        tell(QMessageBox::Warning, QStringLiteral("导入站点"), problem);
        return;
    }
    m_context.applied(*imported);
    accept();  // the rows shown are the old ones: the next 站点设置 shows what was imported
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
