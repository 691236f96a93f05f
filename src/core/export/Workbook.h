#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace thermivo {

/// One worksheet: rows of text cells, row 0 first. Rows may be shorter than others; missing cells are empty.
struct Worksheet {
    /// Most rows and columns a BIFF8 worksheet holds.
    static constexpr std::size_t kMaxRows = 65536;
    static constexpr std::size_t kMaxColumns = 256;

    std::string name;
    std::vector<std::vector<std::string>> rows;
    /// Cells read as numbers, by (row, column): written back as numbers while their text is unchanged,
    /// so rewriting a workbook keeps the user's numbers numeric.
    std::map<std::pair<std::uint32_t, std::uint32_t>, double> numbers;
    /// Where the sheet's records lie in the workbook stream it was read from. While set, the sheet is
    /// written back record for record (its formats, formulas, column widths and all); adding a row clears
    /// it, and the sheet is then written from `rows` alone.
    std::optional<std::pair<std::size_t, std::size_t>> originalRecords;

    /// The text of a cell; empty outside the rows.
    const std::string& cell(std::size_t row, std::size_t column) const;
};

/// An in-memory workbook of named worksheets, read from and written to BIFF8 .xls files.
class Workbook {
  public:
    /// Longest worksheet name a workbook accepts, in characters.
    static constexpr std::size_t kMaxSheetNameLength = 31;

    const std::vector<Worksheet>& sheets() const { return sheets_; }
    /// The worksheet of that name (compared without regard to ASCII case), or nullptr.
    const Worksheet* find(std::string_view name) const;
    Worksheet* find(std::string_view name);
    /// Appends an empty worksheet; throws WorkbookError when the name is invalid or taken.
    Worksheet& addSheet(const std::string& name);

    /// The complete .xls file (compound file holding the BIFF8 Workbook stream).
    std::string toXls() const;
    /// Parses an .xls file; throws WorkbookError (BadFile) for anything it cannot read.
    static Workbook fromXls(std::string_view file);

    /// Reads an .xls file from disk; throws WorkbookError (Io or BadFile).
    static Workbook load(const std::string& path);
    /// Writes to a temporary file in the same folder and renames it into place; throws WorkbookError (Io).
    void save(const std::string& path) const;

    struct Original;

  private:
    std::string toXlsKeepingOriginal() const;

    std::vector<Worksheet> sheets_;
    /// What the file this workbook was read from holds beyond the cell texts: its workbook stream, the
    /// global records (fonts, formats, styles, names ...) and the shared strings, which a save copies.
    std::shared_ptr<const Original> original_;
};

/// Why a worksheet name is unusable ("" when it is fine): empty, too long, or holding one of []:*?/\.
std::string sheetNameProblem(const std::string& name);

/// Text of a number as a spreadsheet shows it in a general cell: 3 -> "3", 2.5 -> "2.5", 1e-7 -> "1E-07".
std::string numberText(double value);

/// Reads a whole file; throws WorkbookError (Io).
std::string readWholeFile(const std::string& path);
/// Writes `bytes` to a temporary file beside `path`, syncs it and renames it over `path`; throws
/// WorkbookError (Io).
void replaceFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace thermivo
