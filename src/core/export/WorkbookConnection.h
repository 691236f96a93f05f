#pragma once
#include <functional>
#include <string>
#include <vector>

#include "export/Workbook.h"

namespace thermivo {

/// Name of the built-in workbook driver, as the driver lookup lists it.
inline constexpr const char* kWorkbookDriverName = "Thermivo Excel Workbook Writer (*.xls)";

/// The drivers this program can connect through.
std::vector<std::string> installedDrivers();

/// The first installed driver whose name contains "Excel"; empty when there is none.
std::string excelDriverName();

/// A driver lookup; tests pass one that finds nothing.
using DriverLookup = std::function<std::string()>;

/// "DRIVER={driver};DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;CREATE_DB=\"path\";DBQ=path".
std::string workbookConnectionText(const std::string& driver, const std::string& path);

/// Rows that a SELECT returns: the first row of the range as column names, then the records.
struct ResultSet {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
};

/// A connection to one workbook file that executes the SQL of the export on an in-memory copy.
/// Changes reach the file only through close(), written to a temporary file and renamed into place;
/// a connection destroyed without close() (for example while an error unwinds) leaves the file as it was.
class WorkbookConnection {
  public:
    WorkbookConnection() = default;
    WorkbookConnection(const WorkbookConnection&) = delete;
    WorkbookConnection& operator=(const WorkbookConnection&) = delete;
    ~WorkbookConnection() = default;

    /// Opens the workbook named by DBQ (a new, empty one when the file is absent and CREATE_DB is given).
    /// Throws WorkbookError when the driver is unknown or the file cannot be read.
    void open(const std::string& connectionText);
    bool isOpen() const { return open_; }
    /// Executes CREATE TABLE or INSERT INTO; throws WorkbookError.
    void execute(const std::string& sql);
    /// Executes SELECT * FROM; throws WorkbookError.
    ResultSet query(const std::string& sql);
    /// Writes the workbook when a statement changed it, then closes; throws WorkbookError (Io).
    void close();
    /// Closes without writing: every change since open() is dropped.
    void discard() { open_ = dirty_ = false; }

    /// The workbook as the statements left it.
    const Workbook& workbook() const { return book_; }
    const std::string& path() const { return path_; }

  private:
    void requireOpen() const;

    bool open_ = false;
    bool dirty_ = false;
    bool readOnly_ = false;
    std::string path_;
    Workbook book_;
};

}  // namespace thermivo
