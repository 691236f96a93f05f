#pragma once
#include <string>

#include "app/SafeSave.h"
#include "export/ListExport.h"

namespace thermivo {

struct AppSettings;
struct Recording;

/// Outcome of the worksheet save: whether the sample list was exported, and the driver's error text when
/// one was raised (the file is then left as it was before the failing export).
struct ExportResult {
    bool ok = false;
    std::string error;
    /// Why it failed, for the user; None when it did not.
    SaveProblem problem = SaveProblem::None;
};

/// The worksheet branch of Save Data: backs up an existing "Data" worksheet, then exports the summary list
/// as worksheet text 34 and the sample list as worksheet text 29. `ok` is the result of the second export.
ExportResult exportRecordingToWorkbook(const Recording& rec, const std::string& path,
                                       const AppSettings& settings, const ExportHooks& hooks = {});
ExportResult exportRecordingToWorkbook(const Recording& rec, const std::string& path,
                                       const ExportHooks& hooks = {});

/// "high", "low" or "" for an alarm side (1, -1, 0): the alarm column of the exports, in every language.
const char* alarmKeyword(int side);

/// The samples as CSV text: UTF-8 with a byte-order mark, CRLF lines, a header row, then number, local time
/// (ISO 8601 with its UTC offset), temperature in the settings' unit, for kind 4 humidity, then the
/// temperature alarm side and for kind 4 the humidity alarm side.
std::string recordingCsv(const Recording& rec, const AppSettings& settings);

/// Writes recordingCsv() to `path` (temporary file renamed into place). False with `error` set on failure.
bool writeRecordingCsv(const Recording& rec, const std::string& path, const AppSettings& settings,
                       std::string* error = nullptr, SaveProblem* problem = nullptr);

}  // namespace thermivo
