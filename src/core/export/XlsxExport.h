#pragma once
#include <string>

namespace thermivo {

struct AppSettings;
struct Recording;

/// Whether this build can write .xlsx workbooks.
bool xlsxExportAvailable();

/// Writes the recording as an .xlsx workbook with real numbers and dates: sheet "Summary" (the band's
/// figures, the statistics and the excursions), sheet "Data" (one row per sample: Num, RecordTime,
/// Temperature, for kind 4 Humidity, Alarm, for kind 4 Humi Alarm) and a chart sheet with the curves. Sheet
/// names and headers follow the language, temperatures the unit of `settings`. Written to a temporary file
/// beside `path` and renamed into place; false with `error` set when anything fails, and `path` is then left
/// as it was. The workbook names its maker: Thermivo and its version as generator, the system user as author,
/// the time zone on the Summary sheet, and `sourceSha256` (the digest of the record file it was made from)
/// when given.
bool writeRecordingXlsx(const Recording& rec, const std::string& path, const AppSettings& settings,
                        std::string* error = nullptr, const std::string& sourceSha256 = {});

}  // namespace thermivo
