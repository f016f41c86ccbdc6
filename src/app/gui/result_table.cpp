#include "app/gui/result_table.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include "app/gui/pictures.h"
#include "app/gui/result_list.h"

namespace lanqi {
namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The list's pictures at the table's size, made once.
const QIcon& rowIcon(int kind) {
    static const std::array<QIcon, kRowIconCount> icons = [] {
        std::array<QIcon, kRowIconCount> made;
        for (int i = 0; i < kRowIconCount; ++i) made[static_cast<size_t>(i)] = QIcon(listPicture(i));
        return made;
    }();
    return icons[static_cast<size_t>(kind)];
}

}  // namespace

void ResultTableModel::show(const ResultsShown& shown) {
    const int before = static_cast<int>(m_shown.lines.size());
    const int after = static_cast<int>(shown.lines.size());
    const int kept = static_cast<int>(shown.kept);
    if (kept >= before && kept == after) {
        m_shown = shown;  // the same lines: only the selection may differ
        return;
    }
    if (kept == before && after > before) {
        beginInsertRows({}, before, after - 1);
        m_shown = shown;
        endInsertRows();
        return;
    }
    if (after == before) {
        // As many lines as before, from `kept` on drawn anew (a 健康 figure came): the view keeps its place.
        m_shown = shown;
        emit dataChanged(index(kept, 0), index(after - 1, kResultColumnCount - 1));
        return;
    }
    beginResetModel();
    m_shown = shown;
    endResetModel();
}

void ResultTableModel::setSort(std::optional<ResultColumn> column, bool descending) {
    m_sortColumn = column;
    m_descending = descending;
}

int ResultTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_shown.lines.size());
}

int ResultTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kResultColumnCount; }

QVariant ResultTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<size_t>(index.row()) >= m_shown.lines.size()) return {};
    const size_t line = static_cast<size_t>(index.row());
    const PresentedRow& row = m_shown.rows[m_shown.lines[line].row];
    const auto column = static_cast<ResultColumn>(index.column());
    switch (role) {
        case Qt::DisplayRole:
            if (column == ResultColumn::Site) return fromUtf8(m_shown.siteCell(line));
            return fromUtf8(row.cells[static_cast<size_t>(index.column())]);
        case Qt::ToolTipRole:
            return fromUtf8(row.picture.toolTip);
        case Qt::AccessibleTextRole:
            if (column == ResultColumn::Title) return fromUtf8(m_shown.accessibleText(line));
            return {};
        case Qt::DecorationRole:
            if (column == ResultColumn::Title && row.picture.iconKind >= 0) return rowIcon(row.picture.iconKind);
            return {};
        case Qt::TextAlignmentRole:
            if (column == ResultColumn::Size || column == ResultColumn::Files)
                return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
            return {};
        default:
            return {};
    }
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kResultColumnCount) return {};
    const auto column = static_cast<ResultColumn>(section);
    if (role == Qt::DisplayRole) return QString::fromUtf8(columnCaption(column));
    if (role == Qt::AccessibleTextRole) {
        QString text = QString::fromUtf8(columnCaption(column));
        if (m_sortColumn == column) text += m_descending ? QStringLiteral("，降序排列") : QStringLiteral("，升序排列");
        return text;
    }
    return {};
}

Qt::ItemFlags ResultTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QString ResultTableModel::magnetLinkOf(int line) const {
    if (line < 0 || static_cast<size_t>(line) >= m_shown.lines.size()) return {};
    return fromUtf8(m_shown.rows[m_shown.lines[static_cast<size_t>(line)].row].magnetLink);
}

QStringList ResultTableModel::mimeTypes() const { return resultMimeTypes(); }

QMimeData* ResultTableModel::mimeData(const QModelIndexList& indexes) const {
    return indexes.isEmpty() ? nullptr : magnetLinkData(magnetLinkOf(indexes.front().row()));
}

ResultTable::ResultTable(QWidget* parent) : QTableView(parent), m_model(this) {
    setModel(&m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setIconSize(QSize(16, 16));
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(22);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView* header = horizontalHeader();
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    // 标题 takes what the others leave.
    header->setSectionResizeMode(static_cast<int>(ResultColumn::Title), QHeaderView::Stretch);
    const int widths[kResultColumnCount] = {0, 84, 56, 92, 96, 60, 156};
    for (int c = 1; c < kResultColumnCount; ++c) header->resizeSection(c, widths[c]);
    connect(header, &QHeaderView::sectionClicked, this, &ResultTable::columnClicked);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { emit lineSelected(selectedLine()); });
}

void ResultTable::showResults(const ResultsShown& shown) {
    const QSignalBlocker quiet(selectionModel());
    m_model.show(shown);
    if (shown.selected < 0 || shown.selected >= m_model.rowCount()) {
        clearSelection();
        return;
    }
    const QModelIndex index = m_model.index(shown.selected, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

void ResultTable::showSort(std::optional<ResultColumn> column, bool descending) {
    m_model.setSort(column, descending);
    QHeaderView* header = horizontalHeader();
    header->setSortIndicatorShown(column.has_value());
    if (column)
        header->setSortIndicator(static_cast<int>(*column), descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    m_model.headerDataChanged(Qt::Horizontal, 0, kResultColumnCount - 1);
}

int ResultTable::selectedLine() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

std::optional<QPoint> ResultTable::selectedLinePoint() const {
    const int line = selectedLine();
    if (line < 0) return std::nullopt;
    const QRect cell = visualRect(m_model.index(line, 0));
    return viewport()->mapToGlobal(QPoint(cell.left() + 24, cell.bottom()));
}

void ResultTable::keyPressEvent(QKeyEvent* event) {
    switch (resultKeyOf(event)) {
        case ResultKey::Menu:
            event->accept();
            return emit keyboardMenuRequested();
        case ResultKey::Copy:
            event->accept();
            return emit copyRequested();
        case ResultKey::Activate:
            event->accept();
            if (selectedLine() >= 0) emit lineActivated();
            return;
        case ResultKey::None:
            break;
    }
    QTableView::keyPressEvent(event);
}

void ResultTable::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        const QModelIndex under = indexAt(event->position().toPoint());
        event->accept();
        if (under.isValid()) {
            selectRow(under.row());
            emit menuRequested();
        } else {
            clearSelection();
            emit emptyMenuRequested();
        }
        return;
    }
    QTableView::mousePressEvent(event);
}

void ResultTable::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid()) emit lineActivated();
}

}  // namespace lanqi
