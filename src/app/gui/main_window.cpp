#include "app/gui/main_window.h"

#include <algorithm>
#include <initializer_list>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>
#include <QWindow>
#include <QShortcut>
#include <QVariant>
#include <QComboBox>
#include <QSignalBlocker>
#include <QStringList>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include "actions/online_play.h"
#include "actions/window_geometry.h"
#include "app/core/main_window_design.h"
#include "app/core/vendor.h"
#include "app/gui/click_label.h"
#include "platform/qt/qt_text.h"
#include "app/gui/pictures.h"
#include "app/gui/result_list.h"
#include "app/gui/result_table.h"
#include "app/gui/site_strip.h"
#include "app/gui/window_fades.h"
#include "app/gui/window_fonts.h"
#include "platform/product.h"
#include "platform/settings.h"

namespace lanqi {
namespace {

// 组合框1. Its place is the window's to give (fitPageSelector): a combo box that adjusts to its contents resizes
// itself to its size hint some 20 ms after each change of its items, which would undo the design geometry and
// grow it to the right over 下一页. So its size hint is the size it was given, and contentsWidth the width
// its longest page number needs.
class PageSelector final : public QComboBox {
  public:
    using QComboBox::QComboBox;
    int contentsWidth() const { return QComboBox::sizeHint().width(); }
    QSize sizeHint() const override { return size(); }
};

QRect qRectOf(const Geometry& g) { return {g.left, g.top, g.width, g.height}; }

}  // namespace

// Drives the exit fade on this window: opacity, 时钟1 and the end of the program.
class MainWindow::FadeOutDriver final : public ExitFadeHost {
  public:
    FadeOutDriver(MainWindow& window, QTimer& timer) : m_window(window), m_timer(timer), m_fade(*this) {}

    ExitFade& fade() { return m_fade; }

    void setWindowOpacity(int level) override { m_window.setWindowOpacity(opacityFromLevel(level)); }
    void startFadeTimer(int periodMilliseconds) override { m_timer.start(periodMilliseconds); }
    void stopFadeTimer() override { m_timer.stop(); }
    void endProgram() override { emit m_window.programEndRequested(); }

  private:
    MainWindow& m_window;
    QTimer& m_timer;
    ExitFade m_fade;
};

namespace {

// 组合框1 to assistive tools: named "页码" with the page shown as its value. (Qt's own combo box says its
// current text as its name on Linux, so the name would change with every page.)
class PageSelectorAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit PageSelectorAccessible(QComboBox* selector) : QAccessibleWidget(selector, QAccessible::ComboBox) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name) return widget()->accessibleName();
        if (kind == QAccessible::Value) return selector()->currentText();
        return QAccessibleWidget::text(kind);
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }
    QVariant currentValue() const override { return selector()->currentText().toInt(); }
    void setCurrentValue(const QVariant&) override {}  // pages are chosen from the list, not typed
    QVariant maximumValue() const override { return selector()->count(); }
    QVariant minimumValue() const override { return selector()->count() > 0 ? 1 : 0; }
    QVariant minimumStepSize() const override { return 1; }

  private:
    QComboBox* selector() const { return static_cast<QComboBox*>(widget()); }
};

// The main window is the application's frame to assistive tools, not a filler panel; its page selector is
// named for what it is.
QAccessibleInterface* accessibleOf(const QString& className, QObject* object) {
    if (!object->isWidgetType()) return nullptr;
    if (className == QLatin1String("lanqi::MainWindow"))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    if (className == QLatin1String("QComboBox") && object->objectName() == QStringLiteral("组合框1") &&
        qobject_cast<MainWindow*>(object->parent()) != nullptr)
        return new PageSelectorAccessible(static_cast<QComboBox*>(object));
    return nullptr;
}

}  // namespace

void MainWindow::installFrameRole() {
    static const bool installed = (QAccessible::installFactory(&accessibleOf), true);
    (void)installed;
}

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("mainWindow"));
    installFrameRole();
    QWidget::setWindowTitle(toQString(titlePrefix()));
    setMinimumSize(kMinMainWindowWidth, kMinMainWindowHeight);
    resize(kMainWindowWidth, kMainWindowHeight);
    QPalette colours = palette();  // white behind the logo, the banner and the footer alike
    colours.setColor(QPalette::Window, Qt::white);
    setPalette(colours);
    setAutoFillBackground(true);
    buildControls();
    routeEvents();
}

MainWindow::~MainWindow() = default;

QWidget* MainWindow::createControl(MainControl control) {
    switch (control) {
        case MainControl::Logo:
            return m_logo = new ClickLabel(this);
        case MainControl::SearchBox:
            return m_searchBox = new QLineEdit(this);
        case MainControl::SearchButton:
            return m_searchButton = new QPushButton(this);
        case MainControl::PreviousButton:
            return m_previousButton = new QPushButton(this);
        case MainControl::PageSelector:
            return m_pageSelector = new PageSelector(this);
        case MainControl::NextButton:
            return m_nextButton = new QPushButton(this);
        case MainControl::PicturesButton:
            return m_picturesButton = new QPushButton(this);
        case MainControl::TableButton:
            return m_tableButton = new QPushButton(this);
        case MainControl::FilterBox:
            return m_filterBox = new QLineEdit(this);
        case MainControl::UniqueSwitch:
            return m_uniqueSwitch = new QCheckBox(this);
        case MainControl::ResultCount:
            return m_resultCount = new QLabel(this);
        case MainControl::StopButton:
            return m_stopButton = new QPushButton(this);
        case MainControl::ResultList:
            return m_resultList = new ResultList(this);
        case MainControl::ResultTable:
            return m_resultTable = new ResultTable(this);
        case MainControl::SiteStrip:
            return m_siteStrip = new SiteStrip(this);
        case MainControl::Banner:
            return m_banner = new ClickLabel(this);
        case MainControl::HomePicture:
            return m_homePicture = new ClickLabel(this);
        case MainControl::Footer:
            return m_footer = new ClickLabel(this);
        case MainControl::FooterLink:
            return m_footerLink = new ClickLabel(this);
        case MainControl::Browser:  // a placeholder until the player's browser takes its place
            return m_player.browser = new QWidget(this);
        case MainControl::Overlay:
            return m_player.overlay = new ClickLabel(this);
        case MainControl::PlayingLabel:
            return m_player.playingLabel = new QLabel(this);
        case MainControl::ShieldStatus:
            return m_player.shieldStatus = new QLabel(this);
        case MainControl::BackButton:
            return m_player.backButton = new QPushButton(this);
        case MainControl::LoadingNotice:
            return m_player.loadingNotice = new QLabel(this);
    }
    return new QWidget(this);
}

QWidget* MainWindow::widgetOf(MainControl control) const {
    return findChild<QWidget*>(QString::fromUtf8(designOf(control).name), Qt::FindDirectChildrenOnly);
}

void MainWindow::buildControls() {
    // Each control as its design says, in the designs' order. The control name is for the program and its
    // tests; what a screen reader says is the caption, or the short description the design gives.
    for (const ControlDesign& design : mainWindowDesigns()) {
        QWidget* widget = createControl(design.control);
        widget->setObjectName(QString::fromUtf8(design.name));
        widget->setGeometry(qRectOf(design.geometry));
        const QString caption = QString::fromUtf8(design.caption);
        if (auto* label = qobject_cast<QLabel*>(widget)) label->setText(caption);
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) button->setText(caption);
        if (*design.accessibleName != '\0') widget->setAccessibleName(QString::fromUtf8(design.accessibleName));
        if (design.fontPixels > 0) {
            QFont font = widget->font();
            font.setPixelSize(design.fontPixels);
            widget->setFont(font);
        }
        widget->setVisible(design.shownAtStart);
    }

    m_logo->setPixmap(picture(Picture::Logo));
    m_logo->setAccessibleDescription(QStringLiteral("岚栖种子搜索神器的标志，单击打开官方网站"));
    m_searchButton->setAutoDefault(false);

    m_pageSelector->setEditable(false);
    m_pageSelector->setInsertPolicy(QComboBox::InsertAtBottom);
    // Its list scrolls instead of growing past the screen (the style's own popup shows every entry).
    m_pageSelector->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    m_pageSelector->setMaxVisibleItems(kPageListRows);
    m_pageSelector->setSizeAdjustPolicy(QComboBox::AdjustToContents);  // the page shown is its value

    m_banner->setFont(bannerFont());
    m_banner->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_banner->setContentsMargins(0, 110, 0, 0);  // the name stands above the home picture
    m_banner->setAutoFillBackground(true);
    m_banner->setStyleSheet(QStringLiteral("QLabel { background: white; color: #2f6f78; }"));
    m_homePicture->setPixmap(picture(Picture::Home));

    showVendorAddress(Text(kBuiltInVendorBase));
    m_footer->setIndent(36);
    m_footer->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_footer->setStyleSheet(QStringLiteral("QLabel { color: #5f6b6d; border-top: 1px solid #d8dee0; }"));
    m_footerLink->setCursor(Qt::PointingHandCursor);

    m_player.overlay->setAccessibleDescription(QStringLiteral("双击切换全屏，右键打开播放器菜单"));
    m_player.loadingNotice->setAlignment(Qt::AlignCenter);

    m_exitFadeTimer = new QTimer(this);
    m_exitFadeTimer->setObjectName(QStringLiteral("时钟1"));
    m_player.pointerTimer = new QTimer(this);
    m_player.pointerTimer->setObjectName(QStringLiteral("时钟2"));
    m_player.shieldTimer = new QTimer(this);
    m_player.shieldTimer->setObjectName(QStringLiteral("时钟3"));

    // The results tool row: the two views as one exclusive pair, the filter's syntax as its placeholder.
    auto* views = new QButtonGroup(this);
    for (QPushButton* view : {m_picturesButton, m_tableButton}) {
        view->setCheckable(true);
        view->setAutoDefault(false);
        views->addButton(view);
    }
    m_picturesButton->setChecked(true);
    m_filterBox->setPlaceholderText(QStringLiteral("筛选：词 -排除 size>700M kind:video site:3 after:2024"));
    m_filterBox->setClearButtonEnabled(true);
    m_stopButton->setAutoDefault(false);
    m_stopButton->setEnabled(false);
    m_resultCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_resultCount->setStyleSheet(QStringLiteral("QLabel { color: #5f6b6d; }"));
    m_noticeTimer = new QTimer(this);
    m_noticeTimer->setSingleShot(true);
    QFont small = m_siteStrip->font();
    small.setPixelSize(11);
    m_siteStrip->setFont(small);

    for (QWidget* control : std::initializer_list<QWidget*>{
             m_logo, m_searchBox, m_searchButton, m_previousButton, m_pageSelector, m_nextButton, m_picturesButton,
             m_tableButton, m_filterBox, m_uniqueSwitch, m_resultCount, m_stopButton, m_resultList, m_resultTable,
             m_banner, m_homePicture, m_footer, m_footerLink, m_siteStrip})
        m_searchView.emplace_back(control, control->isVisibleTo(this));

    m_fadeOut = std::make_unique<FadeOutDriver>(*this, *m_exitFadeTimer);
    for (size_t i = 1; i < std::size(kMainTabOrder); ++i)
        QWidget::setTabOrder(widgetOf(kMainTabOrder[i - 1]), widgetOf(kMainTabOrder[i]));
    m_searchBox->setFocus();  // typing a keyword and pressing Enter is the first thing a user does
}

void MainWindow::routeEvents() {
    connect(m_searchBox, &QLineEdit::returnPressed, this, &MainWindow::searchRequested);
    connect(m_searchButton, &QPushButton::clicked, this, &MainWindow::searchRequested);
    connect(m_nextButton, &QPushButton::clicked, this, &MainWindow::nextPageRequested);
    connect(m_previousButton, &QPushButton::clicked, this, &MainWindow::previousPageRequested);
    // activated is emitted for the user's choice only; a selection the program sets emits nothing here.
    connect(m_pageSelector, &QComboBox::activated, this, &MainWindow::pageChosen);

    connect(m_resultList, &ResultList::rowActivated, this, &MainWindow::rowActivated);
    connect(m_resultList, &ResultList::itemSelectionChanged, this,
            [this] { emit rowSelected(m_resultList->selectedRow()); });
    connect(m_resultList, &ResultList::rowMenuRequested, this, &MainWindow::rowMenuRequested);
    connect(m_resultList, &ResultList::emptyMenuRequested, this, &MainWindow::mainMenuRequested);
    connect(m_resultList, &ResultList::keyboardMenuRequested, this, &MainWindow::rowMenuFromKeyboard);
    connect(m_resultList, &ResultList::copyRequested, this, &MainWindow::copyRequested);

    connect(m_resultTable, &ResultTable::lineSelected, this, &MainWindow::rowSelected);
    connect(m_resultTable, &ResultTable::lineActivated, this,
            [this] { emit rowActivated(m_resultTable->selectedLine()); });
    connect(m_resultTable, &ResultTable::menuRequested, this,
            [this] { emit rowMenuRequested(m_resultTable->selectedLine(), QCursor::pos()); });
    connect(m_resultTable, &ResultTable::emptyMenuRequested, this, [this] { emit mainMenuRequested(QCursor::pos()); });
    connect(m_resultTable, &ResultTable::keyboardMenuRequested, this, &MainWindow::rowMenuFromKeyboard);
    connect(m_resultTable, &ResultTable::copyRequested, this, &MainWindow::copyRequested);
    connect(m_resultTable, &ResultTable::columnClicked, this,
            [this](int column) { emit columnClicked(static_cast<ResultColumn>(column)); });

    connect(m_picturesButton, &QPushButton::clicked, this, [this] { emit modeChosen(ResultsMode::Pictures); });
    connect(m_tableButton, &QPushButton::clicked, this, [this] { emit modeChosen(ResultsMode::Table); });
    connect(m_filterBox, &QLineEdit::textChanged, this, &MainWindow::filterEdited);
    connect(m_uniqueSwitch, &QCheckBox::toggled, this, &MainWindow::uniqueSwitched);
    connect(m_stopButton, &QPushButton::clicked, this, &MainWindow::stopRequested);
    connect(m_siteStrip, &SiteStrip::entryActivated, this, &MainWindow::siteEntryActivated);
    connect(m_noticeTimer, &QTimer::timeout, this, [this] { showResultsBar(m_bar); });
    // The keys of the tool row and the search box, wherever the focus is in the window.
    const auto focusOn = [this](const QKeySequence& keys, QWidget* target) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, target, [target] {
            target->setFocus(Qt::ShortcutFocusReason);
            if (auto* box = qobject_cast<QLineEdit*>(target)) box->selectAll();
        });
    };
    focusOn(QKeySequence::Find, m_filterBox);
    focusOn(QKeySequence(Qt::CTRL | Qt::Key_L), m_searchBox);
    focusOn(QKeySequence(Qt::Key_F6), m_searchBox);
    auto* settings = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma), this);
    connect(settings, &QShortcut::activated, this, &MainWindow::siteSettingsRequested);
    // Ctrl+1 and Ctrl+2: the two views, as 图片视图 and 列表视图 give them.
    for (const auto& [key, mode] :
         {std::pair{Qt::Key_1, ResultsMode::Pictures}, std::pair{Qt::Key_2, ResultsMode::Table}}) {
        auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | key), this);
        connect(shortcut, &QShortcut::activated, this, [this, mode] { emit modeChosen(mode); });
    }

    for (ClickLabel* area : {m_logo, m_banner, m_homePicture, m_footer, m_footerLink}) {
        connect(area, &ClickLabel::rightPressed, this, &MainWindow::mainMenuRequested);
    }
    connect(m_logo, &ClickLabel::leftPressed, this, &MainWindow::vendorAddressRequested);
    connect(m_footerLink, &ClickLabel::leftPressed, this, &MainWindow::vendorAddressRequested);

    connect(m_exitFadeTimer, &QTimer::timeout, this, [this] { m_fadeOut->fade().tick(); });
}

void MainWindow::setWindowTitle(const Text& title) { QWidget::setWindowTitle(toQString(title)); }

Text MainWindow::keyword() const { return fromQString(m_searchBox->text()); }

std::optional<Text> MainWindow::searchableKeyword() const {
    const QString text = m_searchBox->text();
    Text keyword = fromQString(text);
    if (keyword.empty() && !text.isEmpty()) return std::nullopt;
    return keyword;
}

void MainWindow::showVendorAddress(const Text& vendorBase) {
    const QString site = toQString(vendorAddressForDisplay(vendorBase));
    m_footer->setText(
        QStringLiteral("岚栖工作室 出品　　官方网站：%1　　搜索结果来自公开网站，请遵守当地法律法规").arg(site));
    m_footerLink->setToolTip(toQString(vendorBase));
    m_footerLink->setAccessibleDescription(toQString(vendorBase));
}

void MainWindow::render(const SearchScreen& screen, unsigned changes) {
    if (changes & kTitleChanged) setWindowTitle(screen.title);
    if (changes & kSearchRowChanged) {
        applyLayout(screen.layout);
        showSearchControl(m_previousButton, screen.previousVisible);
        m_nextButton->setText(toQString(screen.nextCaption));
        showSearchControl(m_nextButton, screen.nextVisible);
        showSearchControl(m_pageSelector, screen.pageSelectorVisible);
    }
    showPageItems(screen, changes);
    if (changes & kBannerChanged) {
        showSearchControl(m_banner, screen.bannerVisible);
        showSearchControl(m_homePicture, screen.bannerVisible);
    }
}

void MainWindow::showResults(const ResultsShown& shown) {
    m_resultList->showResults(shown);
    m_resultTable->showResults(shown);
}

void MainWindow::showResultsBar(const ResultsBar& bar) {
    m_bar = bar;
    const bool table = bar.mode == ResultsMode::Table;
    (table ? m_tableButton : m_picturesButton)->setChecked(true);
    showSearchControl(m_resultList, !table);
    showSearchControl(m_resultTable, table);
    {
        const QSignalBlocker quiet(m_uniqueSwitch);
        m_uniqueSwitch->setChecked(bar.unique);
    }
    m_resultTable->showSort(bar.sortColumn, bar.descending);
    m_stopButton->setEnabled(bar.stoppable);
    if (m_noticeTimer->isActive()) return;  // the notice keeps the count's place until it ends
    const bool problem = !bar.filterProblem.empty();
    m_resultCount->setText(QString::fromStdString(problem ? bar.filterProblem : bar.count));
    m_resultCount->setToolTip(problem ? m_resultCount->text() : QString());
    m_resultCount->setStyleSheet(problem ? QStringLiteral("QLabel { color: #b71c1c; }")
                                         : QStringLiteral("QLabel { color: #5f6b6d; }"));
}

void MainWindow::showSiteStrip(const std::vector<SiteStripEntry>& entries) { m_siteStrip->showEntries(entries); }

void MainWindow::showNotice(const QString& text) {
    m_resultCount->setText(text);
    m_resultCount->setStyleSheet(QStringLiteral("QLabel { color: #1b5e20; }"));
    m_noticeTimer->start(2000);
}

std::optional<ScreenPoint> MainWindow::selectedLinePoint() const {
    const std::optional<QPoint> at =
        m_bar.mode == ResultsMode::Table ? m_resultTable->selectedLinePoint() : m_resultList->selectedLinePoint();
    if (!at) return std::nullopt;
    return ScreenPoint{at->x(), at->y()};
}

void MainWindow::showSearchControl(QWidget* control, bool shown) {
    for (auto& [each, wanted] : m_searchView) {
        if (each == control) wanted = shown;
    }
    control->setVisible(shown && m_searchViewShown);
}

void MainWindow::setSearchViewShown(bool shown) {
    if (shown == m_searchViewShown) return;
    m_searchViewShown = shown;
    for (const auto& [control, wanted] : m_searchView) control->setVisible(shown && wanted);
}

void MainWindow::showPageItems(const SearchScreen& screen, unsigned changes) {
    if ((changes & (kPageItemsChanged | kPageSelectionChanged)) == 0) return;
    // A selection the window sets is not a user choice: activated is emitted for the user's choices only.
    const QSignalBlocker quiet(m_pageSelector);
    if (changes & kPageItemsChanged) {
        QStringList items;
        items.reserve(static_cast<qsizetype>(screen.pageItems.size()));
        for (const Text& item : screen.pageItems) items.push_back(toQString(item));
        m_pageSelector->clear();
        m_pageSelector->addItems(items);
    }
    m_pageSelector->setCurrentIndex(screen.selectedPageItem);
    if (changes & kPageItemsChanged) fitPageSelector();
}

void MainWindow::fitPageSelector() {
    // Wide enough for the longest page number, growing to the left from its right edge; 上一页 moves along.
    m_pageSelectorNeeds = static_cast<PageSelector*>(m_pageSelector)->contentsWidth();
    placePageSelector();
}

void MainWindow::placePageSelector() {
    const PageSelectorPlace place = pageSelectorPlace(m_pageSelectorNeeds, width());
    m_pageSelector->setGeometry(qRectOf(place.selector));
    m_previousButton->move(place.previousLeft, m_previousButton->y());
}

void MainWindow::applyLayout(SearchLayout layout) {
    m_layout = layout;
    placeControls();
}

void MainWindow::placeControls() {
    static constexpr MainControl kPlayerControls[] = {MainControl::Browser,      MainControl::Overlay,
                                                      MainControl::PlayingLabel, MainControl::ShieldStatus,
                                                      MainControl::BackButton,   MainControl::LoadingNotice};
    for (const ControlDesign& design : mainWindowDesigns()) {
        if (std::find(std::begin(kPlayerControls), std::end(kPlayerControls), design.control) !=
            std::end(kPlayerControls))
            continue;  // the player places its own
        widgetOf(design.control)->setGeometry(qRectOf(placedGeometry(design.control, m_layout, width(), height())));
    }
    placePageSelector();
    // A narrowed logo shows all of its picture, smaller.
    if (m_logo->width() != m_logoWidth) {
        m_logoWidth = m_logo->width();
        const QPixmap logo = picture(Picture::Logo);
        m_logo->setPixmap(
            m_logoWidth >= designOf(MainControl::Logo).geometry.width
                ? logo
                : logo.scaled(m_logo->size() * logo.devicePixelRatio(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
        m_logo->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeControls();
    emit resized();
}

WindowPlace MainWindow::place() const {
    const QRect normal =
        (isMaximized() || isFullScreen()) && normalGeometry().isValid() ? normalGeometry() : geometry();
    return {normal.x(), normal.y(), normal.width(), normal.height(), isMaximized()};
}

void MainWindow::openAt(const std::optional<WindowPlace>& saved) {
    const QScreen* screen =
        saved ? QGuiApplication::screenAt(QPoint(saved->left + saved->width / 2, saved->top)) : nullptr;
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect work = screen->availableGeometry();
    // The window manager's frame is known only once the window is shown; a title bar and thin borders.
    const QMargins frame = windowHandle() != nullptr && windowHandle()->isVisible() ? windowHandle()->frameMargins()
                                                                                    : QMargins(4, 28, 4, 4);
    const FittedPlace fitted = fitWindowPlace(saved, {work.x(), work.y(), work.width(), work.height()},
                                              {frame.left(), frame.top(), frame.right(), frame.bottom()});
    setMinimumSize(fitted.minimumWidth, fitted.minimumHeight);
    setGeometry(fitted.place.left, fitted.place.top, fitted.place.width, fitted.place.height);
    if (fitted.place.maximised) setWindowState(windowState() | Qt::WindowMaximized);
}

PlayerControls MainWindow::playerControls() const { return m_player; }

void MainWindow::focusSearchBox() { m_searchBox->setFocus(Qt::OtherFocusReason); }

void MainWindow::resetPlayerGeometry() {
    for (const auto& [control, player] : {std::pair{MainControl::PlayingLabel, PlayerControl::PlayingLabel},
                                          std::pair{MainControl::ShieldStatus, PlayerControl::ShieldStatus},
                                          std::pair{MainControl::BackButton, PlayerControl::BackButton},
                                          std::pair{MainControl::Browser, PlayerControl::Browser},
                                          std::pair{MainControl::Overlay, PlayerControl::Overlay},
                                          std::pair{MainControl::LoadingNotice, PlayerControl::LoadingNotice}})
        widgetOf(control)->setGeometry(qRectOf(playerWindowGeometry(player, width(), height())));
    placeControls();
}

void MainWindow::setPlayerBrowser(QWidget* browser) {
    if (browser == nullptr || browser == m_player.browser || browser->parentWidget() != this) return;
    browser->setGeometry(m_player.browser->geometry());
    browser->setVisible(m_player.browser->isVisibleTo(this));
    browser->stackUnder(m_player.overlay);
    const QString name = m_player.browser->objectName();
    browser->setAccessibleName(m_player.browser->accessibleName());
    delete m_player.browser;
    browser->setObjectName(name);
    m_player.browser = browser;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_fadeOut->fade().closeRequested()) {
        event->accept();
    } else {
        event->ignore();
        emit closeStarted();
    }
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    // The window's own background offers the main popup menu; a press that a control let through (a button,
    // the search box, the page selector, the player's top bar) offers nothing.
    if (event->button() == Qt::RightButton && childAt(event->position().toPoint()) == nullptr) {
        event->accept();
        emit mainMenuRequested(event->globalPosition().toPoint());
        return;
    }
    QWidget::mousePressEvent(event);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // A menu key no control took (on a button, the page selector): the menu of the selected row, or the
    // main menu, as on the list.
    if (isMenuKey(event) && !m_player.browser->isVisible()) {
        event->accept();
        emit rowMenuFromKeyboard();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        // While a search runs on the search view, Esc is 停止; otherwise the player decides what it means.
        if (m_stopButton->isEnabled() && m_searchViewShown) {
            emit stopRequested();
        } else {
            emit escapePressed();
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace lanqi
