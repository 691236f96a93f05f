#include "export/SaveTargets.h"

namespace thermivo {

SaveTargets saveTargets(const std::string& path, const std::string& name, int filter) {
    const std::size_t dot = name.find('.');
    const std::string extension = dot == std::string::npos ? name : name.substr(dot + 1);
    SaveTargets t;
    if (extension == "kvlu" || filter == kFilterRecordFile) {
        t.recordFile = true;
        t.recordPath = path;
        t.recordName = name;
        if (extension != "kvlu") {
            t.recordPath += ".kvlu";
            t.recordName += ".kvlu";
        }
        t.statusName = t.recordName;
    }
    if (extension == "xls" || filter == kFilterWorksheet) {
        t.workbook = true;
        // Starting from the record file's path here would export into the record file itself.
        t.workbookPath = t.recordFile && extension != "xls" ? t.recordPath : path;
        t.workbookName = t.recordFile && extension != "xls" ? t.recordName : name;
        if (extension != "xls") {
            t.workbookPath += ".xls";
            t.workbookName += ".xls";
        }
        t.statusName = t.workbookName;
    }
    if (extension == "xlsx" || filter == kFilterXlsx) {
        t.xlsx = true;
        t.xlsxPath = t.recordFile && extension != "xlsx" ? t.recordPath : path;
        t.xlsxName = t.recordFile && extension != "xlsx" ? t.recordName : name;
        if (extension != "xlsx") {
            t.xlsxPath += ".xlsx";
            t.xlsxName += ".xlsx";
        }
        t.statusName = t.xlsxName;
    }
    return t;
}

}  // namespace thermivo
