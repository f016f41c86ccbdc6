#pragma once

#include <array>

#include <QIcon>
#include <QListWidget>
#include <QPoint>

#include "app/gui/pictures.h"
#include "scrape/result_rows.h"

namespace lanqi {

// 超级列表框1: the rows of the current search as 80 × 80 pictures with their titles to the right, laid
// out left to right and wrapping, black on white in "宋体" 14 px. One row can be selected at a time.
class ResultList : public QListWidget, public ResultRows {
    Q_OBJECT
  public:
    explicit ResultList(QWidget* parent = nullptr);

    void appendResultRow(const Text& caption, int pictureIndex) override;
    void clearResultRows() override;
    int selectedRow() const override;

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
    std::array<QIcon, kListPictureCount> m_icons;
};

}  // namespace lanqi
