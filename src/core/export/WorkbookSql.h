#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace thermivo {

/// A cell range of a table reference such as [Data$A1:IV65536], zero-based and inclusive.
struct SqlRange {
    std::size_t firstRow = 0, lastRow = 65535;
    std::size_t firstColumn = 0, lastColumn = 255;
};

/// One parsed statement of the SQL the workbook driver understands.
struct SqlStatement {
    enum class Kind { CreateTable, Insert, Select };
    Kind kind = Kind::Select;
    std::string table;                 ///< worksheet name, without brackets or range
    SqlRange range;                    ///< the range after '$', or the whole sheet
    std::vector<std::string> columns;  ///< CREATE: the defined names; INSERT: the listed names (maybe none)
    std::vector<std::string> values;   ///< INSERT: the values, unquoted (NULL gives "")
};

/// Parses CREATE TABLE, INSERT INTO ... VALUES and SELECT * FROM; throws WorkbookError (Syntax) otherwise.
SqlStatement parseSql(std::string_view sql);

/// The text as an SQL string literal: in apostrophes, with each apostrophe inside written twice.
std::string sqlQuote(std::string_view text);

}  // namespace thermivo
