#include "export/RecordingExport.h"

#include <vector>

#include "analysis/Statistics.h"
#include "app/AppSettings.h"
#include "app/Format.h"
#include "app/UiText.h"
#include "data/LocalTime.h"
#include "data/Recording.h"
#include "export/Workbook.h"
#include "export/WorkbookError.h"

namespace thermivo {
namespace {

std::string csvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string out = "\"";
    for (const char c : s) {
        out.push_back(c);
        if (c == '"') out.push_back('"');
    }
    return out + "\"";
}

void csvLine(std::string& out, const std::vector<std::string>& fields) {
    bool first = true;
    for (const auto& f : fields) {
        if (!first) out += ',';
        out += csvField(f);
        first = false;
    }
    out += "\r\n";
}

// ISO 8601 with the offset, so the hour that the end of daylight saving repeats reads as two different hours.
std::string csvTime(std::int64_t t) {
    if (t == 0) return {};
    return formatLocalIso(t);
}

}  // namespace

const char* alarmKeyword(int side) {
    return side > 0 ? "high" : (side < 0 ? "low" : "");
}

ExportResult exportRecordingToWorkbook(const Recording& rec, const std::string& path,
                                       const AppSettings& settings, const ExportHooks& hooks) {
    ExportResult result;
    try {
        WorkbookSheet sheet(path, "Data", true, hooks.driverLookup);
        exportListToWorkbook(SummaryListSource(rec), text(34), path, hooks);
        result.ok = exportListToWorkbook(SampleListSource(rec, settings), text(29), path, hooks);
    } catch (const WorkbookError& e) {
        result.ok = false;
        result.error = e.what();
        result.problem = e.saveProblem();
    }
    if (!result.ok && result.problem == SaveProblem::None) result.problem = SaveProblem::WorkbookFailed;
    return result;
}

ExportResult exportRecordingToWorkbook(const Recording& rec, const std::string& path,
                                       const ExportHooks& hooks) {
    return exportRecordingToWorkbook(rec, path, AppSettings::instance(), hooks);
}

std::string recordingCsv(const Recording& rec, const AppSettings& settings) {
    const bool humidity = rec.kind == KindTempHumi;
    std::string out = "\xEF\xBB\xBF";
    std::vector<std::string> header{text(30), text(31), text(32) + " (" + settings.currentUnit + ")"};
    if (humidity) header.push_back(text(33) + " (" + settings.humidityUnit + ")");
    header.push_back(text(2314));
    if (humidity) header.push_back(text(60));
    csvLine(out, header);
    const int n = rec.usableSamples();
    std::vector<std::string> fields;
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const float t = rec.temperature[k];
        fields.clear();
        fields.push_back(format("%d", i + 1));
        fields.push_back(csvTime(rec.sampleTime[k]));
        fields.push_back(Recording::hasValue(t) ? format("%.2f", settings.toDisplay(t)) : std::string());
        if (humidity) {
            const float h = rec.humidity[k];
            fields.push_back(Recording::hasValue(h) ? format("%.2f", static_cast<double>(h)) : std::string());
        }
        fields.push_back(alarmKeyword(temperatureAlarmSide(rec, t)));
        if (humidity) fields.push_back(alarmKeyword(humidityAlarmSide(rec, rec.humidity[k])));
        csvLine(out, fields);
    }
    return out;
}

bool writeRecordingCsv(const Recording& rec, const std::string& path, const AppSettings& settings,
                       std::string* error, SaveProblem* problem) {
    const SaveResult saved = saveFileSafely(path, recordingCsv(rec, settings));
    if (error) *error = saved.detail;
    if (problem) *problem = saved.problem;
    return saved.ok();
}

}  // namespace thermivo
