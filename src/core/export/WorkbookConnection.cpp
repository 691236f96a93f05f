#include "export/WorkbookConnection.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>

#include "app/Format.h"
#include "export/WorkbookError.h"
#include "export/WorkbookSql.h"

namespace thermivo {
namespace {

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string& s) {
    const std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

struct ConnectionFields {
    std::string driver, dbq, createDb;
    bool readOnly = false;
};

/// KEY=value pairs separated by ';'; values may be in braces or double quotes. DBQ, when unquoted, runs to
/// the end of the text because it comes last and a path may hold ';'.
ConnectionFields parseConnectionText(const std::string& text) {
    ConnectionFields f;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t eq = text.find('=', i);
        if (eq == std::string::npos) break;
        const std::string key = upper(trim(text.substr(i, eq - i)));
        std::size_t v = eq + 1;
        std::string value;
        if (v < text.size() && (text[v] == '{' || text[v] == '"')) {
            const char close = text[v] == '{' ? '}' : '"';
            const std::size_t end = text.find(close, v + 1);
            if (end == std::string::npos)
                throw WorkbookError(WorkbookErrc::Connection, "The connection text is malformed.");
            value = text.substr(v + 1, end - v - 1);
            i = text.find(';', end);
        } else if (key == "DBQ") {
            value = text.substr(v);
            i = std::string::npos;
        } else {
            const std::size_t end = text.find(';', v);
            value = text.substr(v, end == std::string::npos ? std::string::npos : end - v);
            i = end;
        }
        if (key == "DRIVER") f.driver = value;
        if (key == "DBQ") f.dbq = value;
        if (key == "CREATE_DB") f.createDb = value;
        if (key == "READONLY") f.readOnly = upper(trim(value)) != "FALSE" && trim(value) != "0";
        if (i == std::string::npos) break;
        ++i;
    }
    return f;
}

bool sameText(const std::string& a, const std::string& b) {
    return upper(a) == upper(b);
}

}  // namespace

std::vector<std::string> installedDrivers() {
    return {kWorkbookDriverName};
}

std::string excelDriverName() {
    for (const auto& d : installedDrivers())
        if (d.find("Excel") != std::string::npos) return d;
    return {};
}

std::string workbookConnectionText(const std::string& driver, const std::string& path) {
    return "DRIVER={" + driver + "};DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;CREATE_DB=\"" + path +
           "\";DBQ=" + path;
}

void WorkbookConnection::open(const std::string& connectionText) {
    const ConnectionFields f = parseConnectionText(connectionText);
    bool known = false;
    for (const auto& d : installedDrivers()) known = known || sameText(d, f.driver);
    if (!known)
        throw WorkbookError(WorkbookErrc::Connection,
                            "Data source name not found and no default driver specified.");
    if (f.dbq.empty())
        throw WorkbookError(WorkbookErrc::Connection, "The connection names no workbook file.");

    struct stat st {};
    if (::stat(f.dbq.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) throw WorkbookError(WorkbookErrc::Io, "'" + f.dbq + "' is not a file.");
        book_ = Workbook::load(f.dbq);
    } else if (errno == ENOENT && !f.createDb.empty()) {
        book_ = Workbook();
    } else {
        throw WorkbookError(WorkbookErrc::Io, "Cannot open the workbook '" + f.dbq + "'.");
    }
    path_ = f.dbq;
    readOnly_ = f.readOnly;
    dirty_ = false;
    open_ = true;
}

void WorkbookConnection::requireOpen() const {
    if (!open_) throw WorkbookError(WorkbookErrc::Connection, "The connection is not open.");
}

void WorkbookConnection::execute(const std::string& sql) {
    requireOpen();
    const SqlStatement st = parseSql(sql);
    if (st.kind == SqlStatement::Kind::Select) {
        query(sql);
        return;
    }
    if (readOnly_) throw WorkbookError(WorkbookErrc::Semantic, "Operation must use an updateable query.");

    if (st.kind == SqlStatement::Kind::CreateTable) {
        if (st.columns.size() > Worksheet::kMaxColumns)
            throw WorkbookError(WorkbookErrc::Semantic, "Too many columns for a worksheet.");
        Worksheet& ws = book_.addSheet(st.table);
        ws.rows.push_back(st.columns);
        dirty_ = true;
        return;
    }

    Worksheet* ws = book_.find(st.table);
    if (!ws)
        throw WorkbookError(WorkbookErrc::NoSuchTable, "The worksheet '" + st.table + "' does not exist.");
    const std::vector<std::string> header = ws->rows.empty() ? std::vector<std::string>() : ws->rows[0];
    std::vector<std::string> row(header.size());
    if (st.columns.empty()) {
        if (st.values.size() != header.size())
            throw WorkbookError(WorkbookErrc::Semantic,
                                "Number of query values and destination fields are not the same.");
        row = st.values;
    } else {
        if (st.values.size() != st.columns.size())
            throw WorkbookError(WorkbookErrc::Semantic,
                                "Number of query values and destination fields are not the same.");
        // Repeated header names are allowed; each listed name takes the next column of that name.
        std::vector<bool> used(header.size(), false);
        for (std::size_t k = 0; k < st.columns.size(); ++k) {
            std::size_t c = 0;
            while (c < header.size() && (used[c] || !sameText(header[c], st.columns[k]))) ++c;
            if (c == header.size())
                throw WorkbookError(WorkbookErrc::Semantic, "The worksheet '" + ws->name +
                                                                "' has no column '" + st.columns[k] + "'.");
            used[c] = true;
            row[c] = st.values[k];
        }
    }
    if (ws->rows.size() >= Worksheet::kMaxRows)
        throw WorkbookError(WorkbookErrc::Semantic, "The worksheet '" + ws->name + "' is full.");
    ws->rows.push_back(std::move(row));
    // The sheet no longer matches the records it was read from; it is written from its rows.
    ws->originalRecords.reset();
    dirty_ = true;
}

ResultSet WorkbookConnection::query(const std::string& sql) {
    requireOpen();
    const SqlStatement st = parseSql(sql);
    if (st.kind != SqlStatement::Kind::Select)
        throw WorkbookError(WorkbookErrc::Syntax, "Syntax error in SQL statement: a query must be a SELECT.");
    const Worksheet* ws = book_.find(st.table);
    if (!ws)
        throw WorkbookError(WorkbookErrc::NoSuchTable, "The worksheet '" + st.table + "' does not exist.");

    const SqlRange& r = st.range;
    const std::size_t lastRow = std::min(r.lastRow + 1, ws->rows.size());
    // Width from the last non-empty cell, so that a sheet reads the same before and after a save.
    std::size_t width = 0;
    for (std::size_t i = r.firstRow; i < lastRow; ++i) {
        const auto& cells = ws->rows[i];
        for (std::size_t c = std::min(cells.size(), r.lastColumn + 1); c > r.firstColumn + width; --c) {
            if (!cells[c - 1].empty()) {
                width = c - r.firstColumn;
                break;
            }
        }
    }

    ResultSet rs;
    for (std::size_t i = r.firstRow; i < lastRow; ++i) {
        std::vector<std::string> cells(width);
        for (std::size_t c = 0; c < width; ++c) cells[c] = ws->cell(i, r.firstColumn + c);
        if (i == r.firstRow) {
            // Unnamed columns get the names the driver gives them: F1, F2, ...
            for (std::size_t c = 0; c < width; ++c)
                if (cells[c].empty()) cells[c] = format("F%zu", c + 1);
            rs.columns = std::move(cells);
        } else {
            rs.rows.push_back(std::move(cells));
        }
    }
    return rs;
}

void WorkbookConnection::close() {
    if (!open_) return;
    open_ = false;
    if (!dirty_) return;
    dirty_ = false;
    book_.save(path_);
}

}  // namespace thermivo
