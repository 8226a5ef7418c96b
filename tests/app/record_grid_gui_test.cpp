// The record grids' cells: a value too long for its column shows whole in a tooltip.
#include <QApplication>
#include <QHelpEvent>
#include <QTableView>
#include <QTextDocument>
#include <QToolTip>

#include "app/main_nist_form.h"
#include "app/record_table_model.h"
#include "gui_fixtures.h"
#include "test_support/temp_dir.h"

namespace {

class RecordGridTest : public GuiTest {
protected:
    app::TMainNISTForm form;
    TempDir dir;

    static QString plain(const QString& richText)
    {
        QTextDocument shown;
        shown.setHtml(richText);
        return shown.toPlainText();
    }
    QModelIndex cellHolding(QTableView* grid, const QString& text)
    {
        const QModelIndexList found =
            grid->model()->match(grid->model()->index(0, 1), Qt::DisplayRole, text, 1, Qt::MatchExactly);
        EXPECT_FALSE(found.isEmpty()) << "no cell holds " << text.toStdString();
        return found.isEmpty() ? QModelIndex() : found.front();
    }
    // The tooltip the grid shows when the pointer rests on the cell.
    QString toolTipShownOver(QTableView* grid, const QModelIndex& cell)
    {
        grid->scrollTo(cell);
        const QPoint at = grid->visualRect(cell).center();
        QHelpEvent help(QEvent::ToolTip, at, grid->viewport()->mapToGlobal(at));
        QApplication::sendEvent(grid->viewport(), &help);
        return QToolTip::isVisible() ? plain(QToolTip::text()) : QString();
    }
    // The tooltip the grid's cell delegate gives the cell at its current size.
    QString toolTipFor(QTableView* grid, const QModelIndex& cell)
    {
        QStyleOptionViewItem option;
        option.initFrom(grid->viewport());
        option.widget = grid;
        option.font = grid->font();
        option.fontMetrics = grid->fontMetrics();
        option.rect = grid->visualRect(cell);
        auto* delegate = dynamic_cast<app::RecordCellDelegate*>(grid->itemDelegate());
        EXPECT_NE(delegate, nullptr);
        return delegate ? plain(delegate->toolTipFor(option, cell)) : QString();
    }
};

}  // namespace

TEST_F(RecordGridTest, OnlyValuesTooLongForTheirColumnGetATooltipWithTheWholeValue)
{
    // Blanks in a row and markup characters must come through unchanged.
    std::string longValue = "<b>Smith</b> &  Jones";
    while (longValue.size() < 300)
        longValue += " lorem  ipsum";
    const auto path = dir.path() / "long.nist";
    writeTransaction(path, {}, {{3, "short"}, {4, longValue}});
    form.resize(900, 600);
    form.show();
    form.FileOpen1Accept(path.string());
    QTableView* grid = form.StringGrid2;

    const QString whole = QString::fromStdString(longValue);
    const QModelIndex longCell = cellHolding(grid, whole);
    const QModelIndex shortCell = cellHolding(grid, "short");
    EXPECT_EQ(toolTipShownOver(grid, longCell), whole);
    EXPECT_EQ(toolTipFor(grid, longCell), whole);
    EXPECT_EQ(toolTipFor(grid, shortCell), QString());
    // A column wide enough for the value: no tooltip then.
    grid->setColumnWidth(1, grid->fontMetrics().horizontalAdvance(whole) + 40);
    EXPECT_EQ(toolTipFor(grid, longCell), QString());
    QToolTip::hideText();
}
