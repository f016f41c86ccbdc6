#include "app/gui/result_list.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QUrl>

#include <algorithm>

#include "app/core/results_presenter.h"
#include "platform/qt/qt_text.h"
#include "app/gui/window_fonts.h"

namespace lanqi {
namespace {

constexpr int kPictureIndexRole = Qt::UserRole;
constexpr int kMagnetLinkRole = Qt::UserRole + 1;
constexpr int kCellGap = 6;  // between neighbouring rows' highlights

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

ResultList::ResultList(QWidget* parent) : QListWidget(parent) {
    for (int i = 0; i < kListPictureCount; ++i) m_icons[static_cast<size_t>(i)] = QIcon(listPicture(i));

    setViewMode(QListView::ListMode);  // picture left of its caption
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setIconSize(QSize(kListPictureSide, kListPictureSide));
    setGridSize(QSize(kCellWidth, kCellHeight));
    setUniformItemSizes(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);  // a row dragged out gives its magnet link
    setDragDropMode(QAbstractItemView::DragOnly);
    setFont(listFont());
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Plain);
    setLineWidth(1);

    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::white);
    colours.setColor(QPalette::Text, Qt::black);
    setPalette(colours);
}

void ResultList::appendResultRow(const Text& caption, int pictureIndex) { addRow(toQString(caption), pictureIndex); }

void ResultList::addRow(const QString& caption, int pictureIndex) {
    auto* item = new QListWidgetItem(caption);
    if (pictureIndex >= 0 && pictureIndex < kListPictureCount)
        item->setIcon(m_icons[static_cast<size_t>(pictureIndex)]);
    item->setData(kPictureIndexRole, pictureIndex);
    item->setSizeHint(QSize(kCellWidth - kCellGap, kCellHeight - kCellGap));  // a long caption ends in "…"

    addItem(item);
}

void ResultList::showResults(const ResultsShown& shown) {
    const QSignalBlocker quiet(this);  // what the controller draws is no gesture of the user's
    setUpdatesEnabled(false);
    const int kept = static_cast<int>(std::min<size_t>(shown.kept, shown.lines.size()));
    const bool sameLines = kept == count() && static_cast<size_t>(kept) == shown.lines.size();
    while (count() > kept) delete takeItem(count() - 1);
    for (size_t line = static_cast<size_t>(kept); line < shown.lines.size(); ++line) {
        // Shown as a person reads it; the long title that the cell cuts is whole in the tooltip.
        const PresentedRow& row = shown.rows[shown.lines[line].row];
        addRow(fromUtf8(row.picture.caption), row.picture.iconKind);
        QListWidgetItem* added = item(count() - 1);
        added->setToolTip(fromUtf8(row.picture.toolTip));
        added->setData(kMagnetLinkRole, fromUtf8(row.magnetLink));
    }
    // Every line's position counts the lines there are now.
    if (!sameLines) {
        for (int line = 0; line < count(); ++line)
            item(line)->setData(Qt::AccessibleDescriptionRole,
                                fromUtf8(shown.accessibleDescription(static_cast<size_t>(line))));
    }
    selectRow(shown.selected);
    setUpdatesEnabled(true);
}

std::optional<QPoint> ResultList::selectedLinePoint() const {
    const int row = selectedRow();
    if (row < 0) return std::nullopt;
    const QRect cell = visualItemRect(item(row));
    return viewport()->mapToGlobal(QPoint(cell.left() + kListPictureSide, cell.center().y()));
}

QStringList ResultList::mimeTypes() const { return resultMimeTypes(); }

QMimeData* ResultList::mimeData(const QList<QListWidgetItem*>& items) const {
    return items.isEmpty() ? nullptr : magnetLinkData(items.front()->data(kMagnetLinkRole).toString());
}

void ResultList::selectRow(int row) {
    if (row < 0 || row >= count()) {
        clearSelection();
        return;
    }
    setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

int ResultList::selectedRow() const {
    int first = -1;
    for (const QModelIndex& index : selectionModel()->selectedIndexes()) {
        if (first < 0 || index.row() < first) first = index.row();
    }
    return first;
}

QString ResultList::captionAt(int row) const {
    const QListWidgetItem* entry = item(row);
    return entry == nullptr ? QString() : entry->text();
}

int ResultList::pictureIndexAt(int row) const {
    const QListWidgetItem* entry = item(row);
    return entry == nullptr ? -1 : entry->data(kPictureIndexRole).toInt();
}

void ResultList::mousePressEvent(QMouseEvent* event) {
    QListWidgetItem* under = itemAt(event->position().toPoint());
    if (event->button() == Qt::RightButton) {
        // As a list view does: the right button selects the row under the pointer, or clears the selection
        // on the empty area, before the menu for that selection comes up.
        if (under != nullptr) {
            setCurrentItem(under, QItemSelectionModel::ClearAndSelect);
        } else {
            clearSelection();
        }
        event->accept();
        const int row = selectedRow();
        if (row >= 0) {
            emit rowMenuRequested(row, event->globalPosition().toPoint());
        } else {
            emit emptyMenuRequested(event->globalPosition().toPoint());
        }
        return;
    }
    QListWidget::mousePressEvent(event);
    if (under == nullptr && event->button() == Qt::LeftButton) clearSelection();
}

void ResultList::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() != Qt::LeftButton) return;
    const int row = selectedRow();
    if (row >= 0) emit rowActivated(row);
}

bool isMenuKey(const QKeyEvent* event) {
    return event->key() == Qt::Key_Menu || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
}

ResultKey resultKeyOf(const QKeyEvent* event) {
    if (isMenuKey(event)) return ResultKey::Menu;
    if (event->matches(QKeySequence::Copy)) return ResultKey::Copy;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return ResultKey::Activate;
    return ResultKey::None;
}

QStringList resultMimeTypes() { return {QStringLiteral("text/plain"), QStringLiteral("text/uri-list")}; }

QMimeData* magnetLinkData(const QString& link) {
    if (link.isEmpty()) return nullptr;
    auto* data = new QMimeData;
    data->setText(link);
    data->setUrls({QUrl(link)});
    return data;
}

void ResultList::keyPressEvent(QKeyEvent* event) {
    switch (resultKeyOf(event)) {
        case ResultKey::Menu:
            event->accept();
            return emit keyboardMenuRequested();
        case ResultKey::Copy:
            event->accept();
            return emit copyRequested();
        case ResultKey::Activate:
            event->accept();
            if (const int row = selectedRow(); row >= 0) emit rowActivated(row);
            return;
        case ResultKey::None:
            break;
    }
    QListWidget::keyPressEvent(event);
}

}  // namespace lanqi
