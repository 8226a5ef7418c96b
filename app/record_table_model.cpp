#include "app/record_table_model.h"

#include <QApplication>
#include <QHeaderView>
#include <QPalette>
#include <QHelpEvent>
#include <QTableView>
#include <QToolTip>
#include <algorithm>

#include "qt/qt_text.h"

namespace app {

RecordTableModel::RecordTableModel(nist::RecordTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table)
{
}

namespace {
const int kColumnWidths[nist::RecordTable::kColumnCount] = {40, 400, 300};
}  // namespace

int RecordTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : table_.rowCount() - 1;
}

int RecordTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : nist::RecordTable::kColumnCount;
}

QVariant RecordTableModel::data(const QModelIndex& index, int role) const
{
    // The Type-1 table has further rows only while a file has further fields.
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return fromFieldBytes(table_.cell(index.column(), tableRow(index.row())));
    case Qt::BackgroundRole:
        // The Code column is the grid's fixed column.
        if (index.column() == nist::RecordTable::CodeColumn)
            return QApplication::palette().brush(QPalette::Button);
        return {};
    default:
        return {};
    }
}

bool RecordTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    std::string bytes = toFieldBytes(value.toString());
    if (bytes == table_.cell(index.column(), tableRow(index.row())))
        return true;
    table_.setCell(index.column(), tableRow(index.row()), std::move(bytes));
    shownRevision_ = table_.revision();
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

Qt::ItemFlags RecordTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (index.column() == nist::RecordTable::CodeColumn)
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

QVariant RecordTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < nist::RecordTable::kColumnCount)
        return QString::fromLatin1(nist::RecordTable::headerText(section));
    return QAbstractTableModel::headerData(section, orientation, role);
}

void RecordTableModel::refresh(QTableView& view)
{
    if (shownRevision_ == table_.revision())
        return;
    shownRevision_ = table_.revision();
    const int rows = rowCount();
    if (rows != shownRows_) {
        beginResetModel();
        endResetModel();
        if (shownRows_ >= 0)
            for (int column = 0; column < nist::RecordTable::kColumnCount; ++column)
                view.setColumnWidth(column, kColumnWidths[column]);
        shownRows_ = rows;
    }
    if (rows > 0)
        emit dataChanged(index(0, 0), index(rows - 1, columnCount() - 1), {Qt::DisplayRole, Qt::EditRole});
    for (int row = 0; row < rows; ++row) {
        const bool hidden = !table_.isRowVisible(tableRow(row));
        if (view.isRowHidden(row) != hidden)
            view.setRowHidden(row, hidden);
    }
}

QWidget* RecordCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const
{
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (editor)
        editor->setAcceptDrops(false);
    return editor;
}

QString RecordCellDelegate::toolTipFor(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    if (cell.text.isEmpty())
        return {};
    const QWidget* widget = cell.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, widget);
    // The style leaves a margin on each side of the text.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    if (cell.fontMetrics.horizontalAdvance(cell.text) <= textRect.width() - 2 * margin)
        return {};
    // As rich text that keeps every blank, so that a long value wraps in the
    // tooltip instead of running off the screen.
    return QStringLiteral("<p style='white-space:pre-wrap'>") + cell.text.toHtmlEscaped() + QStringLiteral("</p>");
}

bool RecordCellDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                   const QModelIndex& index)
{
    if (!event || !view || event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString tip = toolTipFor(option, index);
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return false;
    }
    QToolTip::showText(event->globalPos(), tip, view->viewport(), option.rect);
    return true;
}

void setUpRecordGrid(QTableView& view, RecordTableModel& model)
{
    view.setModel(&model);
    view.setItemDelegate(new RecordCellDelegate(&view));
    view.verticalHeader()->hide();
    view.horizontalHeader()->setHighlightSections(false);
    view.horizontalHeader()->setStretchLastSection(false);
    for (int column = 0; column < nist::RecordTable::kColumnCount; ++column)
        view.setColumnWidth(column, kColumnWidths[column]);
    // The classic grid row of 24 pixels, taller only when the font needs it.
    view.verticalHeader()->setDefaultSectionSize(std::max(24, view.fontMetrics().height() + 6));
    view.setShowGrid(true);
    view.setSelectionMode(QAbstractItemView::ContiguousSelection);
    view.setSelectionBehavior(QAbstractItemView::SelectItems);
    // In-place editing always on: typing into a cell edits it.
    view.setEditTriggers(QAbstractItemView::AllEditTriggers);
    view.setWordWrap(false);
    model.refresh(view);
}

}  // namespace app
