#pragma once
#include <QString>

class QWidget;

namespace thermivo {

struct Recording;
class HistoryLog;

/// The Save dialog's "Report" choice: the recording is saved as a record file beside the chosen PDF (same
/// name,
/// ".kvlu"; an existing one is replaced only after a Yes), and the report names that file and its SHA-256.
/// ".pdf" is appended when missing. Returns the name the status line shows and whether both were written;
/// a refused replacement writes nothing and returns an empty name.
struct ReportSaveResult {
    bool ok = false;
    QString statusName;
};
/// With a history, the record file and the report are recorded in it and the report states what the history
/// says of the record file.
ReportSaveResult saveReportBeside(QWidget* parent, const Recording& rec, const QString& chosen,
                                  HistoryLog* history = nullptr);

/// The Save dialog's filter of the report, in the user's language.
QString reportFilter();

}  // namespace thermivo
