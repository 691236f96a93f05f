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
    // A workbook beside a record file is named after it: starting from the record file's path here would
    // export into the record file itself.
    const auto workbookTarget = [&](const std::string& ext, std::string& outPath, std::string& outName) {
        outPath = t.recordFile && extension != ext ? t.recordPath : path;
        outName = t.recordFile && extension != ext ? t.recordName : name;
        if (extension != ext) {
            (outPath += '.') += ext;
            (outName += '.') += ext;
        }
        t.statusName = outName;
    };
    if (extension == "xls" || filter == kFilterWorksheet) {
        t.workbook = true;
        workbookTarget("xls", t.workbookPath, t.workbookName);
    }
    if (extension == "xlsx" || filter == kFilterXlsx) {
        t.xlsx = true;
        workbookTarget("xlsx", t.xlsxPath, t.xlsxName);
    }
    return t;
}

}  // namespace thermivo
