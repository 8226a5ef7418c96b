#pragma once
// The Type-1 and Type-2 tables: Code / Value / Description rows behind a header
// row, with per-row visibility. The reader writes the Value cells, the window
// shows them (and lets the user edit them), and the export reads them back.
#include <stdexcept>
#include <string>
#include <vector>

namespace nist {

// Raised for a row or column outside the table, as the window's grid does.
class GridIndexError : public std::out_of_range {
public:
    GridIndexError() : std::out_of_range("Grid index out of range") {}
};

class RecordTable {
public:
    enum Column { CodeColumn = 0, ValueColumn = 1, DescriptionColumn = 2 };
    static constexpr int kColumnCount = 3;

    struct Row {
        std::string code;
        std::string value;
        std::string description;
        bool visible = true;
    };

    // Header row 0 is ("Code", "Value", "Description"); rows holds rows 1 to n.
    explicit RecordTable(std::vector<Row> rows);

    // 16 rows: LEN, VER, CNT ... DCS with their descriptions.
    static RecordTable type1();
    // 1000 rows: LEN, IDC, then US3 to US999 "User-defined field", hidden.
    static RecordTable type2();

    // Rows including the header row.
    int rowCount() const { return static_cast<int>(rows_.size()) + 1; }
    static const char* headerText(int column);

    // Rows 1 to rowCount()-1; other rows or columns throw GridIndexError.
    const std::string& cell(int column, int row) const;
    void setCell(int column, int row, std::string text);
    const std::string& code(int row) const { return cell(CodeColumn, row); }
    const std::string& value(int row) const { return cell(ValueColumn, row); }
    const std::string& description(int row) const { return cell(DescriptionColumn, row); }
    void setValue(int row, std::string text) { setCell(ValueColumn, row, std::move(text)); }

    // Further rows after the fixed ones, and dropping them again.
    int appendRow(Row row);
    void truncateRows(int rowCount);

    bool isRowVisible(int row) const;
    void setRowVisible(int row, bool visible);

    // Counts every change of a cell or of a row's visibility, so a view can
    // tell cheaply whether it must refresh.
    unsigned long revision() const { return revision_; }

private:
    Row& at(int row);
    const Row& at(int row) const;

    std::vector<Row> rows_;
    unsigned long revision_ = 0;
};

}  // namespace nist
