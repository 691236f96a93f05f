#pragma once
#include <string>

namespace thermivo {

/// Save dialog filters: 1 record files (*.kvlu), 2 worksheets (*.xls).
inline constexpr int kFilterRecordFile = 1;
inline constexpr int kFilterWorksheet = 2;
/// Filter 3: workbooks with real numbers (*.xlsx).
inline constexpr int kFilterXlsx = 3;

/// What Save Data writes for a chosen path, file name and filter.
struct SaveTargets {
    bool recordFile = false;
    std::string recordPath, recordName;
    bool workbook = false;
    std::string workbookPath, workbookName;
    bool xlsx = false;
    std::string xlsxPath, xlsxName;
    /// The name that follows the status text: the last target written.
    std::string statusName;
};

/// The extension rule of Save Data: the part of the name after its first "." decides, case-sensitively;
/// "kvlu" or filter 1 writes a record file (".kvlu" appended when the extension is not "kvlu"), "xls" or
/// filter 2 exports a workbook (".xls" appended when the extension is not "xls"). A name ending in ".xls"
/// saved with the record-file filter exports to the name as chosen, never onto the record file just written.
/// "xlsx" or filter 3 writes an .xlsx workbook by the same rule (".xlsx" appended when missing).
SaveTargets saveTargets(const std::string& path, const std::string& name, int filter);

}  // namespace thermivo
