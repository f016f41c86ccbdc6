#pragma once

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <QPoint>
#include <QWidget>

#include "app/core/fade.h"
#include "app/core/main_window_design.h"
#include "app/core/results_presenter.h"
#include "search/search_screen.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace lanqi {

class ClickLabel;
class ResultList;
class ResultTable;
class SiteStrip;

// The main window's controls that make up the player view, handed to the player as they are.
struct PlayerControls {
    QWidget* browser = nullptr;         // 播放浏览框 (a placeholder until setPlayerBrowser)
    ClickLabel* overlay = nullptr;      // 透明标签2
    QLabel* playingLabel = nullptr;     // 标签1
    QLabel* shieldStatus = nullptr;     // 标签3
    QPushButton* backButton = nullptr;  // 超级按钮1
    QLabel* loadingNotice = nullptr;    // 标签5
    QTimer* pointerTimer = nullptr;     // 时钟2
    QTimer* shieldTimer = nullptr;      // 时钟3
};

// mainWindow: the search row, the results list under the home banner, the footer, and the (hidden) player
// controls, each at its design position in the client area and named by its control name (object name).
// It draws the search flow's screen (render) and reports the user's commands as signals; it ends the
// program through an exit fade when closed.
class MainWindow : public QWidget {
    Q_OBJECT
  public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    using QWidget::setWindowTitle;
    void setWindowTitle(const Text& title);

    // Draws the parts of `screen` that `changes` (ScreenChange bits) names.
    void render(const SearchScreen& screen, unsigned changes);
    // The footer's vendor address: its text, and the address its link opens as tool tip and description.
    void showVendorAddress(const Text& vendorBase);
    // The results area as the controller shows it: the lines (in the list or the table), the tool row, the
    // site strip, a short notice in the count's place, and where the selected line is.
    void showResults(const ResultsShown& shown);
    void showResultsBar(const ResultsBar& bar);
    void showSiteStrip(const std::vector<SiteStripEntry>& entries);
    void showNotice(const QString& text);
    std::optional<ScreenPoint> selectedLinePoint() const;

    // 搜索框: the keyword as the box holds it now, GBK ("" when it has a character GBK lacks).
    Text keyword() const;
    // The same, or nothing when the box holds a character GBK lacks: such a keyword cannot be searched.
    std::optional<Text> searchableKeyword() const;

    ResultList& resultList() { return *m_resultList; }
    ResultTable& resultTable() { return *m_resultTable; }
    SiteStrip& siteStrip() { return *m_siteStrip; }
    // Gives 搜索框 the keyboard focus (back from the player, the keys belong to the search again).
    void focusSearchBox();
    PlayerControls playerControls() const;

    // Puts 标签1, 标签3, 超级按钮1, 播放浏览框, 透明标签2 and 超级列表框1 back to their window-mode places
    // for the window's size (the player view moves them).
    void resetPlayerGeometry();

    // Where the window is (its client area) as it would open there next time: its normal place, whether it
    // is maximised. And opening it at a place saved earlier, fitted to the screen it lands on.
    WindowPlace place() const;
    void openAt(const std::optional<WindowPlace>& saved);

    // Shows or hides the search view's controls all together (the player view covers them), each as the
    // screen last asked for it when shown again. A render while they are hidden keeps them hidden.
    void setSearchViewShown(bool shown);

    // Puts `browser` (a child of this window) in the place of 播放浏览框: its geometry, visibility, stacking
    // and names. The control it replaces is deleted; resetPlayerGeometry moves `browser` from then on.
    void setPlayerBrowser(QWidget* browser);

  signals:
    void searchRequested();        // Enter in 搜索框, or a click on 按钮1
    void nextPageRequested();      // click on 按钮3
    void previousPageRequested();  // click on 按钮2
    void pageChosen(int index);    // the user chose item `index` (from 0) of 组合框1; never a programmatic selection
    void rowActivated(int row);    // double-click or Enter on 超级列表框1 or 结果表格 with a line selected
    void rowSelected(int row);     // the user selected line `row` of 超级列表框1 or 结果表格 (-1: none)
    // Right button with a row selected (the row under the pointer) / anywhere else that offers the main
    // popup menu: the list's empty area, the window background, 标签2, 图片框1, 图片框2, 标签8, 透明标签1.
    void rowMenuRequested(int row, QPoint globalPosition);
    void mainMenuRequested(QPoint globalPosition);
    void vendorAddressRequested();            // left button on 图片框1 or 透明标签1
    void rowMenuFromKeyboard();               // the Menu key or Shift+F10 over the results
    void copyRequested();                     // Ctrl+C in the list or the table
    void filterEdited(const QString& text);   // 筛选框's text, at every change
    void uniqueSwitched(bool on);             // 合并相同资源
    void modeChosen(ResultsMode mode);        // 图片视图, 列表视图
    void columnClicked(ResultColumn column);  // a header of 结果表格
    void stopRequested();                     // 停止, or Esc while it is enabled
    void siteEntryActivated(int slot);        // an entry of 站点状态
    void siteSettingsRequested();             // Ctrl+,
    void escapePressed();                     // Esc that no control took (the player decides what it means)
    void resized();                           // the client area changed size
    void closeStarted();                      // the exit fade has begun: the program is ending
    void programEndRequested();               // the exit fade has run out

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    class FadeOutDriver;

    static void installFrameRole();  // and the page selector's name and value
    void buildControls();
    void routeEvents();
    void applyLayout(SearchLayout layout);
    // Every control of the search view at its place for the window's size and the search row's layout.
    void placeControls();
    void showPageItems(const SearchScreen& screen, unsigned changes);
    void fitPageSelector();
    void placePageSelector();  // as wide as the page numbers last needed, for the window's width
    void showSearchControl(QWidget* control, bool shown);
    QWidget* createControl(MainControl control);
    QWidget* widgetOf(MainControl control) const;

    ClickLabel* m_logo = nullptr;             // 图片框1
    QLineEdit* m_searchBox = nullptr;         // 搜索框
    QPushButton* m_searchButton = nullptr;    // 按钮1
    QPushButton* m_previousButton = nullptr;  // 按钮2
    QComboBox* m_pageSelector = nullptr;      // 组合框1
    QPushButton* m_nextButton = nullptr;      // 按钮3
    QPushButton* m_picturesButton = nullptr;  // 图片视图
    QPushButton* m_tableButton = nullptr;     // 列表视图
    QLineEdit* m_filterBox = nullptr;         // 筛选框
    QCheckBox* m_uniqueSwitch = nullptr;      // 合并相同资源
    QLabel* m_resultCount = nullptr;          // 结果计数
    QPushButton* m_stopButton = nullptr;      // 停止
    ResultList* m_resultList = nullptr;       // 超级列表框1
    ResultTable* m_resultTable = nullptr;     // 结果表格
    SiteStrip* m_siteStrip = nullptr;         // 站点状态
    ResultsBar m_bar;                         // as last shown
    QTimer* m_noticeTimer = nullptr;          // ends a notice in the count's place
    ClickLabel* m_banner = nullptr;           // 标签2
    ClickLabel* m_homePicture = nullptr;      // 图片框2
    ClickLabel* m_footer = nullptr;           // 标签8
    ClickLabel* m_footerLink = nullptr;       // 透明标签1
    PlayerControls m_player;                  // 播放浏览框 and the player view's controls, 时钟2, 时钟3
    QTimer* m_exitFadeTimer = nullptr;        // 时钟1
    std::unique_ptr<FadeOutDriver> m_fadeOut;
    // The search view's controls and whether the screen shows each; all hidden while the player covers them.
    std::vector<std::pair<QWidget*, bool>> m_searchView;
    bool m_searchViewShown = true;
    SearchLayout m_layout = SearchLayout::Home;
    int m_logoWidth = 0;
    int m_pageSelectorNeeds =
        0;  // the width of the longest page number  // the width the logo's picture was last scaled to
};

}  // namespace lanqi
