#pragma once

#include <array>
#include <functional>
#include <string>

#include <QDialog>

#include "platform/settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace lanqi {

// 站点设置: for each of the six slots whether it is searched, its base address, its site definition, a 测试
// button that fetches page 1 of a keyword from that slot alone, and what the last search found there; then
// the vendor's and the cloud-play addresses. 保存 refuses an address the client cannot search, in place;
// otherwise it writes the settings file (the previous one kept as config.toml.bak) and applies it. 取消 and
// Esc change nothing.
class SettingsWindow : public QDialog {
    Q_OBJECT
  public:
    struct Context {
        std::string file = settingsFilePath();
        Settings inUse = builtInSettings();  // what the client runs with now (the environment's values in it)
        Text testKeyword;                    // GBK; what 测试 searches
        std::array<Text, 6> lastRun;         // GBK, per slot: what the last search found
        std::function<void(const Settings&)> applied = [](const Settings&) {};  // after a save
        int focusedSlot = 0;  // the slot whose address has the focus when the window opens (the strip's entry)
    };

    SettingsWindow(Context context, QWidget* owner = nullptr);

    // The width of a row's 测试结果 and 上次搜索: fixed, whatever they say.
    static constexpr int kResultWidth = 200;

    // The slot's controls, for the tests: "站点1" .. "站点6" and their parts are named as well.
    QLineEdit* baseEdit(int slot) const { return m_rows[static_cast<size_t>(slot - 1)].base; }

  private:
    struct Row {
        QCheckBox* enabled = nullptr;
        QLineEdit* base = nullptr;
        QComboBox* definition = nullptr;
        QPushButton* test = nullptr;
        QLabel* testResult = nullptr;
        QLabel* lastRun = nullptr;
        unsigned testNumber = 0;  // the 测试 whose answer the row waits for; an edit forgets the one under way
    };

    // Shows `text` in `label` cut to its width with "…", the whole of it as tool tip and accessible
    // description, so that the window never widens.
    static void showWhole(QLabel* label, const QString& text);
    void forgetTest(int slot);

    void test(int slot);
    void save();
    // Marks `edit` as refused (with `problem` shown under the form) when it is not a searchable base.
    bool checkBase(QLineEdit* edit, const QString& what);

    Context m_context;
    Settings m_fileValues;  // what the file holds now (the built-in values where it says nothing)
    std::array<Row, 6> m_rows;
    QLineEdit* m_vendor = nullptr;
    QLineEdit* m_play = nullptr;
    QLabel* m_problem = nullptr;
};

}  // namespace lanqi
