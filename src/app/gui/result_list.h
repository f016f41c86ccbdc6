#pragma once

#include <array>
#include <vector>

#include <QIcon>
#include <QListWidget>
#include <QPoint>

#include "app/gui/pictures.h"
#include "scrape/result_item.h"

class QKeyEvent;

namespace lanqi {

// 超级列表框1: the rows of the current search as 80 × 80 pictures with their titles to the right, laid
// out left to right and wrapping, black on white in "宋体" 14 px. One row can be selected at a time.
// The Menu key, or Shift+F10: the keys that open a context menu.
bool isMenuKey(const QKeyEvent* event);

class ResultList : public QListWidget {
    Q_OBJECT
  public:
    explicit ResultList(QWidget* parent = nullptr);

    // Draws `results`: from scratch when `cleared`, else by appending the rows it does not show yet.
    void showResults(const std::vector<ResultItem>& results, bool cleared);
    // Adds a row after the last one with this caption (GBK) and picture index (fileKind: 0, 1 or 3).
    void appendResultRow(const Text& caption, int pictureIndex);
    // The first selected row, or -1 when none is selected.
    int selectedRow() const;
    // Selects row `row` alone (-1: none).
    void selectRow(int row);

    // The Menu key or Shift+F10: rowMenuRequested for the selected row, else emptyMenuRequested, at the row.
    void requestMenuFromKeyboard();

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

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void addRow(const QString& caption, int pictureIndex);

    std::array<QIcon, kListPictureCount> m_icons;
};

}  // namespace lanqi
