#include "nist/record_table.h"

#include <utility>

namespace nist {

RecordTable::RecordTable(std::vector<Row> rows) : rows_(std::move(rows)) {}

RecordTable RecordTable::type1()
{
    static const char* const rows[15][2] = {
        {"LEN", "Logical record length"},
        {"VER", "Version number"},
        {"CNT", "File content"},
        {"TOT", "Type of transaction"},
        {"DAT", "Date"},
        {"PRY", "Priority"},
        {"DAI", "Destination agency identifier"},
        {"ORI", "Originating agency identifier"},
        {"TCN", "Transaction control number"},
        {"TCR", "Transaction control reference"},
        {"NSR", "Native scanning resolution"},
        {"NTR", "Nominal transmitting resolution"},
        {"DOM", "Domain name"},
        {"GMT", "Greenwich mean time"},
        {"DCS", "Directory of character sets"},
    };
    std::vector<Row> list;
    for (const auto& r : rows)
        list.push_back({r[0], {}, r[1], true});
    return RecordTable(std::move(list));
}

RecordTable RecordTable::type2()
{
    std::vector<Row> list;
    list.reserve(999);
    list.push_back({"LEN", {}, "Logical record length", true});
    list.push_back({"IDC", {}, "Image designation character", true});
    for (int n = 3; n <= 999; ++n)
        list.push_back({"US" + std::to_string(n), {}, "User-defined field", false});
    return RecordTable(std::move(list));
}

const char* RecordTable::headerText(int column)
{
    switch (column) {
    case CodeColumn: return "Code";
    case ValueColumn: return "Value";
    case DescriptionColumn: return "Description";
    default: throw GridIndexError();
    }
}

RecordTable::Row& RecordTable::at(int row)
{
    if (row < 1 || row >= rowCount())
        throw GridIndexError();
    return rows_[static_cast<std::size_t>(row - 1)];
}

const RecordTable::Row& RecordTable::at(int row) const
{
    return const_cast<RecordTable*>(this)->at(row);
}

const std::string& RecordTable::cell(int column, int row) const
{
    const Row& r = at(row);
    switch (column) {
    case CodeColumn: return r.code;
    case ValueColumn: return r.value;
    case DescriptionColumn: return r.description;
    default: throw GridIndexError();
    }
}

void RecordTable::setCell(int column, int row, std::string text)
{
    Row& r = at(row);
    switch (column) {
    case CodeColumn: r.code = std::move(text); break;
    case ValueColumn: r.value = std::move(text); break;
    case DescriptionColumn: r.description = std::move(text); break;
    default: throw GridIndexError();
    }
    ++revision_;
}

int RecordTable::appendRow(Row row)
{
    rows_.push_back(std::move(row));
    ++revision_;
    return rowCount() - 1;
}

void RecordTable::truncateRows(int rowCount)
{
    if (rowCount >= 1 && rowCount < this->rowCount()) {
        rows_.resize(static_cast<std::size_t>(rowCount - 1));
        ++revision_;
    }
}

bool RecordTable::isRowVisible(int row) const
{
    return at(row).visible;
}

void RecordTable::setRowVisible(int row, bool visible)
{
    at(row).visible = visible;
    ++revision_;
}

}  // namespace nist
