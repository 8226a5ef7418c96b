#pragma once
// A record table of the transaction reader (Type-1 or Type-2) as a Qt item
// model for the window's grids. Row 0 of the table (Code / Value /
// Description) is the grid's header; the Code column is the fixed column.
// Value and Description cells are editable and edits go straight into the
// table, where the export reads them.
#include <QAbstractTableModel>
#include <QStyledItemDelegate>

#include "nist/record_table.h"

class QTableView;

namespace app {

class RecordTableModel : public QAbstractTableModel {
public:
    RecordTableModel(nist::RecordTable& table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The table row shown in a model row, and back.
    static int tableRow(int modelRow) { return modelRow + 1; }
    static int modelRow(int tableRow) { return tableRow - 1; }

    // Brings a view up to date after the reader changed the table: cell texts
    // and hidden rows. Cheap when nothing changed.
    void refresh(QTableView& view);

private:
    nist::RecordTable& table_;
    unsigned long shownRevision_ = ~0ul;
    int shownRows_ = -1;
};

// Cells of the record grids: a value too long for its column shows whole in
// a tooltip; one that fits shows none.
class RecordCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    // The cell editor takes no drops: files dragged onto the window open
    // there and never become a cell's text.
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
    // The tooltip of a cell: its whole text when the text does not fit, else empty.
    QString toolTipFor(const QStyleOptionViewItem& option, const QModelIndex& index) const;
};

// Sets up a grid the way both record tables are shown: column widths 40,
// 400 and 300, header row, grid lines, range selection, editing on any key.
void setUpRecordGrid(QTableView& view, RecordTableModel& model);

}  // namespace app
