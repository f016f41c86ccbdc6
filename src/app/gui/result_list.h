#pragma once

#include <array>
#include <optional>
#include <vector>

#include <QIcon>
#include <QListWidget>
#include <QPoint>
#include <QStringList>

#include "app/gui/pictures.h"
#include "app/core/results_presenter.h"
#include "scrape/result_item.h"

class QKeyEvent;
class QMimeData;

namespace lanqi {

// 超级列表框1: the rows of the current search as 80 × 80 pictures with their titles to the right, laid
// out left to right and wrapping, black on white in "宋体" 14 px. One row can be selected at a time.
// The Menu key, or Shift+F10: the keys that open a context menu.
bool isMenuKey(const QKeyEvent* event);

// What a key means to the results, in the list and in the table alike.
enum class ResultKey { None, Menu, Copy, Activate };
ResultKey resultKeyOf(const QKeyEvent* event);

// What dragging a result gives: its magnet link as text and as a URI list; null for an empty link.
QStringList resultMimeTypes();
QMimeData* magnetLinkData(const QString& link);

class ResultList : public QListWidget {
    Q_OBJECT
  public:
    explicit ResultList(QWidget* parent = nullptr);

    // Draws the lines of `shown`: the first `kept` stay, the rest are drawn anew; the selection is shown's.
    // Each line's accessible description is its size, date, site and position.
    void showResults(const ResultsShown& shown);
    // Adds a row after the last one with this caption (GBK) and picture index (fileKind: 0, 1 or 3).
    void appendResultRow(const Text& caption, int pictureIndex);
    // The first selected row, or -1 when none is selected.
    int selectedRow() const;
    // Selects row `row` alone (-1: none).
    void selectRow(int row);

    // The selected line on the screen (the middle of its caption's left part), or nothing.
    std::optional<QPoint> selectedLinePoint() const;

    // What a row holds, for the windows and their tests: the caption as shown and the picture index.
    QString captionAt(int row) const;
    int pictureIndexAt(int row) const;  // -1 for a row that does not exist

    static constexpr int kCellWidth = 390;  // two rows side by side in the list's width
    static constexpr int kCellHeight = 86;  // the picture and a little air

  signals:
    // Double-click or Enter with a row selected.
    void rowActivated(int row);
    // Right button pressed: on a row (which becomes the selected one) or on the empty area (which clears
    // the selection). globalPosition is the pointer's position on the screen.
    void rowMenuRequested(int row, QPoint globalPosition);
    void emptyMenuRequested(QPoint globalPosition);
    void keyboardMenuRequested();  // the Menu key or Shift+F10
    void copyRequested();          // Ctrl+C

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;

  private:
    void addRow(const QString& caption, int pictureIndex);

    std::array<QIcon, kListPictureCount> m_icons;
};

}  // namespace lanqi
