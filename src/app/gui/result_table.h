#pragma once

#include <QAbstractTableModel>
#include <QTableView>

#include "app/core/results_presenter.h"

namespace lanqi {

// The results as a table: one line per shown result, the columns of ResultColumn. It draws what the
// controller shows (showResults) and reports header clicks; the sorting itself is the controller's.
class ResultTableModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;

    // Takes the lines of `shown`; its rows stay the controller's (every change comes with a new call).
    void show(const ResultsShown& shown);
    void setSort(std::optional<ResultColumn> column, bool descending);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

    // The magnet link of line `line`, "" for none.
    QString magnetLinkOf(int line) const;

  private:
    ResultsShown m_shown;
    std::optional<ResultColumn> m_sortColumn;
    bool m_descending = false;
};

class ResultTable final : public QTableView {
    Q_OBJECT
  public:
    explicit ResultTable(QWidget* parent = nullptr);

    void showResults(const ResultsShown& shown);
    void showSort(std::optional<ResultColumn> column, bool descending);
    int selectedLine() const;
    // The selected line's first cell on the screen, or nothing.
    std::optional<QPoint> selectedLinePoint() const;
    ResultTableModel& model() { return m_model; }

  signals:
    void lineSelected(int line);   // the user selected line `line` (-1: none)
    void lineActivated();          // double-click or Enter on a line
    void menuRequested();          // the right button on a line
    void emptyMenuRequested();     // the right button elsewhere
    void keyboardMenuRequested();  // the Menu key or Shift+F10
    void copyRequested();          // Ctrl+C
    void columnClicked(int column);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    ResultTableModel m_model;
};

}  // namespace lanqi
