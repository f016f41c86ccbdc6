#include "app/gui/result_list.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QSignalSpy>
#include <QTest>

#include <vector>

#include "window_test_support.h"

namespace lanqi {
namespace {

using test::gbkOf;

class ResultListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        list.setGeometry(0, 0, 809, 441);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }

    QPoint centreOf(int row) { return list.visualItemRect(list.item(row)).center(); }

    QImage iconImage(int row) {
        return list.item(row)->icon().pixmap(QSize(80, 80)).toImage().convertToFormat(QImage::Format_RGB32);
    }

    ResultList list;
};

TEST_F(ResultListTest, AppendedRowsKeepTheirOrderCaptionsAndPictures) {
    list.appendResultRow(gbkOf("超能陆战队.Big.Hero.6.mkv"), 0);
    list.appendResultRow(gbkOf("纪录片 第一季"), 3);
    list.appendResultRow(gbkOf("安装包"), 1);
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.captionAt(0), QStringLiteral("超能陆战队.Big.Hero.6.mkv"));
    EXPECT_EQ(list.captionAt(1), QStringLiteral("纪录片 第一季"));
    EXPECT_EQ(list.captionAt(2), QStringLiteral("安装包"));
    EXPECT_EQ(list.pictureIndexAt(0), 0);
    EXPECT_EQ(list.pictureIndexAt(1), 3);
    EXPECT_EQ(list.pictureIndexAt(2), 1);
    EXPECT_EQ(list.pictureIndexAt(3), -1);
    // The icons are the list pictures of those indexes.
    EXPECT_EQ(iconImage(0), listPicture(0).toImage().convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(iconImage(1), listPicture(3).toImage().convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(iconImage(2), listPicture(1).toImage().convertToFormat(QImage::Format_RGB32));
    EXPECT_NE(iconImage(1), iconImage(2));
    EXPECT_EQ(list.selectedRow(), -1);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, centreOf(2));
    EXPECT_EQ(list.selectedRow(), 2);  // the third row
}

ResultItem resultOf(const char* title, int fileKind) { return {gbkOf(title), fileKind, "magnet:?", "", 1}; }

// The controller's lines over `rows`: `order` names the rows shown, in order; the first `kept` lines are the
// ones drawn last time.
ResultsShown linesOf(const std::vector<PresentedRow>& rows, std::vector<size_t> order, size_t kept, int selected = -1) {
    ResultsShown shown;
    shown.rows = rows;
    for (const size_t row : order) shown.lines.push_back({row, ""});
    shown.kept = kept;
    shown.selected = selected;
    shown.total = rows.size();
    return shown;
}

TEST_F(ResultListTest, LinesPastTheKeptOnesAreDrawnAnewAndTheSelectionIsTheControllers) {
    std::vector<PresentedRow> rows;
    for (const auto& [title, kind] :
         {std::pair{"行一", 1}, std::pair{"行二", 1}, std::pair{"行三", 1}, std::pair{"第四行", 3}})
        rows.push_back(presentResult(resultOf(title, kind)));
    QSignalSpy selections(&list, &ResultList::itemSelectionChanged);
    list.showResults(linesOf(rows, {}, 0));  // on an empty list: nothing happens
    EXPECT_EQ(list.count(), 0);
    list.showResults(linesOf(rows, {0, 1, 2}, 0, 1));
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.selectedRow(), 1);
    list.showResults(linesOf(rows, {0, 1, 2, 3}, 3, 1));  // appended
    ASSERT_EQ(list.count(), 4);
    EXPECT_EQ(list.captionAt(3), QStringLiteral("第四行"));
    EXPECT_EQ(list.pictureIndexAt(3), 3);
    EXPECT_EQ(list.selectedRow(), 1);
    list.showResults(linesOf(rows, {3, 0}, 0, 0));  // filtered and sorted: every line anew
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.captionAt(0), QStringLiteral("第四行"));
    EXPECT_EQ(list.captionAt(1), QStringLiteral("行一"));
    EXPECT_EQ(list.selectedRow(), 0);
    EXPECT_EQ(list.item(1)->data(Qt::AccessibleDescriptionRole).toString(), QStringLiteral("站点1，第 2 项，共 2 项"));
    list.showResults(linesOf(rows, {}, 0));
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.selectedRow(), -1);
    EXPECT_EQ(selections.count(), 0) << "what the controller draws is not reported back as the user's choice";
}

TEST_F(ResultListTest, SelectRowSelectsOneRowOrNone) {
    for (int i = 0; i < 3; ++i) list.appendResultRow(gbkOf("行"), 1);
    for (const int row : {2, 0, -1, 1, 3}) {  // 3: past the last row, none
        list.selectRow(row);
        EXPECT_EQ(list.selectedRow(), row < 3 ? row : -1) << row;
        EXPECT_EQ(list.selectedItems().size(), row >= 0 && row < 3 ? 1 : 0) << row;
    }
}

TEST_F(ResultListTest, RowsRunLeftToRightAndWrap) {
    for (int i = 0; i < 5; ++i) list.appendResultRow(gbkOf("一个很长很长的标题，长到一行放不下它的全部文字为止"), 3);
    const QRect first = list.visualItemRect(list.item(0));
    const QRect second = list.visualItemRect(list.item(1));
    const QRect third = list.visualItemRect(list.item(2));
    EXPECT_EQ(second.top(), first.top());
    EXPECT_GT(second.left(), first.right());
    EXPECT_GT(third.top(), first.bottom());
    EXPECT_EQ(third.left(), first.left());
    EXPECT_EQ(list.iconSize(), QSize(80, 80));
    EXPECT_GE(first.height(), 80);
    EXPECT_LE(second.right(), list.viewport()->width());  // a long caption is cut, not widened
}

TEST_F(ResultListTest, CaptionsAreInSongtiWithAFaceThatDrawsChinese) {
    const QFont font = list.font();
    EXPECT_EQ(font.families().value(0), QStringLiteral("宋体"));
    EXPECT_EQ(font.pixelSize(), 14);
    EXPECT_EQ(font.weight(), QFont::Normal);
    EXPECT_TRUE(font.families().contains(QFontInfo(font).family())) << QFontInfo(font).family().toStdString();
    for (QChar c : QStringLiteral("超能陆战队")) EXPECT_TRUE(QFontMetrics(font).inFont(c)) << int(c.unicode());
}

TEST_F(ResultListTest, DoubleClickAndEnterPlayOnlyASelectedRow) {
    QSignalSpy activated(&list, &ResultList::rowActivated);
    list.appendResultRow(gbkOf("甲"), 3);
    list.appendResultRow(gbkOf("乙"), 3);
    QTest::keyClick(list.viewport(), Qt::Key_Return);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, QPoint(700, 400));  // empty area
    EXPECT_EQ(activated.count(), 0);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, centreOf(1));
    ASSERT_EQ(activated.count(), 1);
    EXPECT_EQ(activated.at(0).at(0).toInt(), 1);
    QTest::keyClick(list.viewport(), Qt::Key_Enter);
    ASSERT_EQ(activated.count(), 2);
    EXPECT_EQ(activated.at(1).at(0).toInt(), 1);
    QTest::keyClick(list.viewport(), Qt::Key_Space);
    EXPECT_EQ(activated.count(), 2);
}

TEST_F(ResultListTest, RightButtonSelectsTheRowUnderThePointerOrClearsOnTheEmptyArea) {
    QSignalSpy rowMenus(&list, &ResultList::rowMenuRequested);
    QSignalSpy emptyMenus(&list, &ResultList::emptyMenuRequested);
    for (int i = 0; i < 3; ++i) list.appendResultRow(gbkOf("行"), 0);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, centreOf(0));
    QTest::mousePress(list.viewport(), Qt::RightButton, {}, centreOf(2));
    EXPECT_EQ(list.selectedRow(), 2);
    ASSERT_EQ(rowMenus.count(), 1);
    EXPECT_EQ(rowMenus.at(0).at(0).toInt(), 2);
    EXPECT_EQ(rowMenus.at(0).at(1).toPoint(), list.viewport()->mapToGlobal(centreOf(2)));
    QTest::mouseRelease(list.viewport(), Qt::RightButton, {}, centreOf(2));

    const QPoint empty(700, 400);
    QTest::mousePress(list.viewport(), Qt::RightButton, {}, empty);
    EXPECT_EQ(list.selectedRow(), -1);
    ASSERT_EQ(emptyMenus.count(), 1);
    EXPECT_EQ(emptyMenus.at(0).at(0).toPoint(), list.viewport()->mapToGlobal(empty));
    EXPECT_EQ(rowMenus.count(), 1);
}

}  // namespace
}  // namespace lanqi
