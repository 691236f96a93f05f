#include "export/ListExport.h"

#include <algorithm>
#include <cctype>

#include "app/AppSettings.h"
#include "app/Format.h"
#include "app/UiText.h"
#include "data/ListRows.h"
#include "data/Recording.h"
#include "export/WorkbookError.h"
#include "export/WorkbookSql.h"

namespace thermivo {
namespace {

constexpr std::size_t kHeaderChars = 100;

std::string joined(const std::vector<std::string>& parts, const char* separator) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) out += separator;
        out += parts[i];
    }
    return out;
}

void insertRow(WorkbookConnection& db, const ListSource& list, const std::string& table,
               const std::string& names, int row) {
    std::vector<std::string> values;
    values.reserve(static_cast<std::size_t>(list.columnCount()));
    // Cells are quoted as SQL literals so that an apostrophe in a description cannot break the statement.
    // Appending, not " " + quoted: GCC 12 at -O3 warns falsely (-Wrestrict) about the insert at the front.
    for (int c = 0; c < list.columnCount(); ++c) {
        std::string cell = " ";
        cell += sqlQuote(list.cell(row, c));
        cell += ' ';
        values.push_back(std::move(cell));
    }
    db.execute("INSERT INTO " + table + " (" + names + ")" + " VALUES(" + joined(values, ", ") + ")");
}

bool endsWithXls(const std::string& path) {
    if (path.size() < 4) return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& ch : tail) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return tail == ".xls";
}

}  // namespace

SummaryListSource::SummaryListSource(const Recording& rec) : rows_(summaryListRows(rec)) {}

std::string SummaryListSource::header(int column) const {
    if (column == 0) return text(35);
    if (column == 1) return text(36);
    return {};
}

std::string SummaryListSource::cell(int row, int column) const {
    if (row < 0 || row >= rowCount()) return {};
    const auto& r = rows_[static_cast<std::size_t>(row)];
    return column == 0 ? r.first : column == 1 ? r.second : std::string();
}

int SampleListSource::columnCount() const {
    return kSampleListColumns;
}
std::string SampleListSource::header(int column) const {
    return sampleListHeader(column);
}
int SampleListSource::rowCount() const {
    return rec_.usableSamples();
}
std::string SampleListSource::cell(int row, int column) const {
    return sampleListCell(rec_, row, column, settings_);
}

bool exportListToWorkbook(const ListSource& list, const std::string& sheetName, const std::string& path,
                          const ExportHooks& hooks) {
    const int items = list.rowCount();
    if (items <= 0) return false;
    const std::string driver = hooks.driverLookup ? hooks.driverLookup() : excelDriverName();
    if (driver.empty()) {
        if (hooks.showMessage) hooks.showMessage(kNoExcelMessage);
        return false;
    }

    WorkbookConnection db;
    db.open(workbookConnectionText(driver, path));

    std::vector<std::string> definitions, names;
    for (int c = 0; c < list.columnCount(); ++c) {
        const std::string header = utf8Left(list.header(c), kHeaderChars);
        definitions.push_back(" " + header + " TEXT");
        names.push_back(" " + header + " ");
    }
    const std::string columnDefs = joined(definitions, ", ");
    const std::string columnNames = joined(names, ", ");

    db.execute("CREATE TABLE " + sheetName + " ( " + columnDefs + " ) ");
    for (int r = 0; r < items && r <= kRowsPerSheet; ++r) insertRow(db, list, sheetName, columnNames, r);
    if (items > kRowsPerSheet) {
        const std::string second = sheetName + "2";
        db.execute("CREATE TABLE " + second + " ( " + columnDefs + " ) ");
        for (int r = kRowsPerSheet + 1; r < items; ++r) insertRow(db, list, second, columnNames, r);
    }
    db.close();
    return true;
}

WorkbookSheet::WorkbookSheet(const std::string& path, const std::string& sheetName, bool backup,
                             DriverLookup lookup)
    : path_(path), sheetName_(sheetName), backup_(backup), excel_(endsWithXls(path)) {
    if (!excel_) return;
    driver_ = lookup ? lookup() : excelDriverName();
    connectionText_ = workbookConnectionText(driver_, path_);
    readSheet();
    if (!columns_.empty() && backup_) writeBackup();
    if (db_.isOpen()) {
        try {
            db_.close();
        } catch (const WorkbookError&) {
            backup_ = false;
        }
    }
}

WorkbookSheet::~WorkbookSheet() = default;

void WorkbookSheet::readSheet() {
    try {
        db_.open(connectionText_);
        ResultSet rs = db_.query(format("SELECT * FROM [%s$A1:IV65536]", sheetName_.c_str()));
        columns_ = std::move(rs.columns);
        rows_ = std::move(rs.rows);
    } catch (const WorkbookError& e) {
        // A new workbook, or one without this worksheet, has nothing to back up and nothing went wrong.
        if (e.code() != WorkbookErrc::NoSuchTable) error_ = kReadError;
    }
}

void WorkbookSheet::writeBackup() {
    try {
        std::string create = format("CREATE TABLE [%s] (", kBackupSheetName);
        std::string names;
        for (const auto& col : columns_) {
            create += "[" + col + "]" + " char(255), ";
            names += "[" + col + "], ";
        }
        create.replace(create.size() - 2, 2, ")");
        db_.execute(create);
        int k = 0;
        for (const auto& row : rows_) {
            std::string insert = format("INSERT INTO [%s$A1:IV%d] (", kBackupSheetName, ++k) + names;
            insert.replace(insert.size() - 2, 2, ") VALUES (");
            for (std::size_t c = 0; c < columns_.size(); ++c)
                insert += sqlQuote(c < row.size() ? row[c] : std::string()) + ", ";
            insert.replace(insert.size() - 2, 2, ")");
            db_.execute(insert);
        }
        db_.close();
    } catch (const WorkbookError&) {
        // A half-written backup is worth less than none: drop it and leave the file untouched.
        backup_ = false;
        db_.discard();
    }
}

}  // namespace thermivo
