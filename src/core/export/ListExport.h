#pragma once
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "export/WorkbookConnection.h"

namespace thermivo {

struct AppSettings;
struct Recording;

/// A list of text rows under column headers, as a list control of the main window shows it.
class ListSource {
  public:
    virtual ~ListSource() = default;
    virtual int columnCount() const = 0;
    virtual std::string header(int column) const = 0;
    virtual int rowCount() const = 0;
    virtual std::string cell(int row, int column) const = 0;
};

/// The summary view's hidden list: headers texts 35 and 36, one (label, value) row per summary row.
class SummaryListSource : public ListSource {
  public:
    explicit SummaryListSource(const Recording& rec);
    int columnCount() const override { return 2; }
    std::string header(int column) const override;
    int rowCount() const override { return static_cast<int>(rows_.size()); }
    std::string cell(int row, int column) const override;

  private:
    std::vector<std::pair<std::string, std::string>> rows_;
};

/// The chart view's side list: headers texts 30, 31, 32, one row per loaded sample.
class SampleListSource : public ListSource {
  public:
    SampleListSource(const Recording& rec, const AppSettings& settings) : rec_(rec), settings_(settings) {}
    int columnCount() const override;
    std::string header(int column) const override;
    int rowCount() const override;
    std::string cell(int row, int column) const override;

  private:
    const Recording& rec_;
    const AppSettings& settings_;
};

/// The message shown when no Excel driver is installed (the same in both languages).
inline constexpr const char* kNoExcelMessage =
    "No installation EXCEL!\nPlease install the Excel software to use output function!";

/// What the export asks of its surroundings; empty members use the built-in driver and show nothing.
struct ExportHooks {
    DriverLookup driverLookup;
    std::function<void(const std::string&)> showMessage;
};

/// Most data rows of the first worksheet of a list; the rest go to a second worksheet named with a "2".
inline constexpr int kRowsPerSheet = 50000;

/// Copies the list into a new worksheet `sheetName` of the workbook at `path`. False for an empty list or
/// when no Excel driver is found (after showing kNoExcelMessage). Errors of the driver (a worksheet of that
/// name exists, an unreadable file, a failed write) are thrown as WorkbookError and leave the file as it was.
bool exportListToWorkbook(const ListSource& list, const std::string& sheetName, const std::string& path,
                          const ExportHooks& hooks = {});

/// The worksheet that a list export is about to replace: read on construction and, when asked, copied to
/// the worksheet "CSpreadSheetBackup" of the same workbook first.
class WorkbookSheet {
  public:
    static constexpr const char* kBackupSheetName = "CSpreadSheetBackup";
    static constexpr const char* kReadError = "Error reading row\n";

    WorkbookSheet(const std::string& path, const std::string& sheetName, bool backup,
                  DriverLookup lookup = {});
    WorkbookSheet(const WorkbookSheet&) = delete;
    WorkbookSheet& operator=(const WorkbookSheet&) = delete;
    ~WorkbookSheet();

    /// True when the path ends in ".xls" (any case).
    bool isExcel() const { return excel_; }
    /// Backup as asked, switched off when writing the backup failed.
    bool backupEnabled() const { return backup_; }
    const std::string& connectionText() const { return connectionText_; }
    const std::string& driverName() const { return driver_; }
    /// The header row and the data rows as read.
    const std::vector<std::string>& columns() const { return columns_; }
    const std::vector<std::vector<std::string>>& rows() const { return rows_; }
    int rowCount() const { return static_cast<int>(rows_.size()); }
    int columnCount() const { return static_cast<int>(columns_.size()); }
    /// "Error reading row\n" when an existing worksheet could not be read; empty otherwise.
    const std::string& errorText() const { return error_; }

  private:
    void readSheet();
    void writeBackup();

    std::string path_, sheetName_;
    bool backup_ = false;
    bool excel_ = false;
    std::string connectionText_, driver_;
    WorkbookConnection db_;
    std::vector<std::string> columns_;
    std::vector<std::vector<std::string>> rows_;
    std::string error_;
};

}  // namespace thermivo
