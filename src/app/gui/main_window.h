#pragma once

#include <memory>

#include <QPoint>
#include <QWidget>

#include "app/core/fade.h"
#include "search/search_view.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace lanqi {

class ClickLabel;
class ResultList;

// mainWindow: the search row, the results list under the home banner, the footer, and the (hidden) player
// controls, each at its design position in the client area and named by its control name (object name
// and accessible name). It is the search view of the search flow and reports the user's commands as
// signals; it ends the program through an exit fade when closed.
class MainWindow : public QWidget, public SearchView {
    Q_OBJECT
  public:
    static constexpr int kWidth = 813;
    static constexpr int kHeight = 549;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // SearchView
    using QWidget::setWindowTitle;
    void setWindowTitle(const Text& title) override;
    Text searchText() const override;
    void applyLayout(SearchLayout layout) override;
    void setPreviousVisible(bool visible) override;
    void setNextVisible(bool visible) override;
    void setNextCaption(const Text& caption) override;
    Text nextCaption() const override;
    void setPageSelectorVisible(bool visible) override;
    void clearPageItems() override;
    void addPageItem(const Text& item) override;
    int pageItemCount() const override;
    void selectPageItem(int index) override;
    void setBannerVisible(bool visible) override;
    void showModalMessage(const Text& text, const Text& caption, MessageIcon icon) override;
    ResultRows& resultRows() override;

    ResultList& resultList() { return *m_resultList; }

    // Puts 标签1, 标签3, 超级按钮1, 播放浏览框, 透明标签2 and 超级列表框1 back to their design geometry
    // (the player view moves them).
    void resetPlayerGeometry();

    // Puts `browser` (a child of this window) in the place of 播放浏览框: its geometry, visibility, stacking
    // and names. The control it replaces is deleted; resetPlayerGeometry moves `browser` from then on.
    void setPlayerBrowser(QWidget* browser);

  signals:
    void searchRequested();        // Enter in 搜索框, or a click on 按钮1
    void nextPageRequested();      // click on 按钮3
    void previousPageRequested();  // click on 按钮2
    void pageChosen(int index);    // the user chose item `index` (from 0) of 组合框1; never a programmatic selection
    void rowActivated(int row);    // double-click or Enter on 超级列表框1 with a row selected
    // Right button with a row selected (the row under the pointer) / anywhere else that offers the main
    // popup menu: the list's empty area, the window background, 标签2, 图片框1, 图片框2, 标签8, 透明标签1.
    void rowMenuRequested(int row, QPoint globalPosition);
    void mainMenuRequested(QPoint globalPosition);
    void vendorAddressRequested();    // left button on 图片框1 or 透明标签1
    void leaveFullScreenRequested();  // Esc while the window is wider than its design width
    void programEndRequested();       // the exit fade has run out

  protected:
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    class FadeOutDriver;

    void buildControls();
    void routeEvents();
    template <typename Widget>
    Widget* place(Widget* widget, const char* controlName, bool shown);

    ClickLabel* m_logo = nullptr;             // 图片框1
    QLineEdit* m_searchBox = nullptr;         // 搜索框
    QPushButton* m_searchButton = nullptr;    // 按钮1
    QPushButton* m_previousButton = nullptr;  // 按钮2
    QComboBox* m_pageSelector = nullptr;      // 组合框1
    QPushButton* m_nextButton = nullptr;      // 按钮3
    ResultList* m_resultList = nullptr;       // 超级列表框1
    ClickLabel* m_banner = nullptr;           // 标签2
    ClickLabel* m_homePicture = nullptr;      // 图片框2
    ClickLabel* m_footer = nullptr;           // 标签8
    ClickLabel* m_footerLink = nullptr;       // 透明标签1
    QWidget* m_playerView = nullptr;          // 播放浏览框
    ClickLabel* m_playerOverlay = nullptr;    // 透明标签2
    QLabel* m_playingLabel = nullptr;         // 标签1
    QLabel* m_shieldStatus = nullptr;         // 标签3
    QPushButton* m_backButton = nullptr;      // 超级按钮1
    QLabel* m_loadingLabel = nullptr;         // 标签5
    QTimer* m_exitFadeTimer = nullptr;        // 时钟1
    QTimer* m_pointerTimer = nullptr;         // 时钟2
    QTimer* m_shieldTimer = nullptr;          // 时钟3
    std::unique_ptr<FadeOutDriver> m_fadeOut;
};

}  // namespace lanqi
