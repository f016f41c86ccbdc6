#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QDialog>
#include <QMessageBox>

#include "app/core/settings_editor.h"
#include "platform/settings.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QTabWidget;

namespace lanqi {

// 站点设置: for each slot of the settings whether it is searched, its base address, its site definition, a 测试
// button that fetches page 1 of a keyword from that slot alone, and what the last search found there; then
// the vendor's and the cloud-play addresses. The rows scroll; 添加站点 adds a slot of the user's own (up to
// kMaxSiteSlots) and each one's 删除 removes it, the later ones moving down a number. 保存 refuses an address the
// client cannot search, in place; otherwise it writes the settings file (the previous one kept as config.toml.bak) and
// applies it. 取消 and Esc change nothing. A second page, 健康度检查, holds the swarm check's settings; 保存 refuses a
// tracker or bootstrap line that is not an address, on that page.
class SettingsWindow : public QDialog {
    Q_OBJECT
  public:
    using Context = SettingsContext;

    SettingsWindow(Context context, QWidget* owner = nullptr);

    // The width of a row's 测试结果 and 上次搜索: fixed, whatever they say.
    static constexpr int kResultWidth = 200;

    // The slot's controls, for the tests: "站点1", "站点2" ... and their parts are named as well.
    QLineEdit* baseEdit(int slot) const { return m_rows[static_cast<size_t>(slot - 1)].base; }
    int rowCount() const { return static_cast<int>(m_rows.size()); }

  private:
    struct Row {
        QCheckBox* enabled = nullptr;
        QLineEdit* base = nullptr;
        QComboBox* definition = nullptr;
        QPushButton* test = nullptr;
        QLabel* testResult = nullptr;
        QLabel* lastRun = nullptr;
        QPushButton* remove = nullptr;  // past the sixth slot only
        unsigned testNumber = 0;        // the 测试 whose answer the row waits for; an edit forgets the one under way
    };

    // Shows `text` in `label` cut to its width with "…", the whole of it as tool tip and accessible
    // description, so that the window never widens.
    static void showWhole(QLabel* label, const QString& text);
    void forgetTest(int slot);
    // 导入… and 导出…: the bundle's path from the context or a file dialog ("" for none), and the boxes.
    std::string chooseBundle(bool forExport);
    QMessageBox::StandardButton tell(QMessageBox::Icon icon, const QString& title, const std::string& text,
                                     QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    void exportSites();
    void importSites();
    // Makes the controls of the editor's row `slot` in the grid, and shows its values in them.
    void addControls(int slot);
    // Shows the editor's row `slot` in the controls of that row.
    void showRow(int slot);
    void addSlot();
    void removeSlot(int slot);
    // The rows' controls, then 添加站点 and the rest, in the order Tab visits them.
    void orderTabs();

    void test(int slot);
    void save();
    // Copies the controls into the editor.
    void readControls();
    // Marks the address a problem is about as refused and shows the problem under the form; clears the marks.
    void showProblem(const std::optional<SettingsEditor::Problem>& problem);
    // The control a problem's field is in.
    QWidget* addressEdit(int field) const;
    // The 健康度检查 page, with the editor's values in its controls.
    void addSwarmPage();

    Context m_context;
    SettingsEditor m_editor;
    std::vector<Row> m_rows;
    QTabWidget* m_pages = nullptr;
    QWidget* m_sitesPage = nullptr;
    QWidget* m_swarmPage = nullptr;
    QCheckBox* m_swarmEnabled = nullptr;
    QCheckBox* m_swarmAutoCheck = nullptr;
    QPlainTextEdit* m_swarmTrackers = nullptr;
    QPlainTextEdit* m_swarmBootstrap = nullptr;
    QLineEdit* m_swarmListen = nullptr;
    QLineEdit* m_swarmTimeout = nullptr;
    QLineEdit* m_swarmChecks = nullptr;
    QScrollArea* m_scroll = nullptr;
    QGridLayout* m_grid = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_export = nullptr;
    QLineEdit* m_vendor = nullptr;
    QLineEdit* m_play = nullptr;
    QLabel* m_problem = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_cancel = nullptr;
};

}  // namespace lanqi
