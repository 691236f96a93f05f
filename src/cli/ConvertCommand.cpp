#include <cstdio>
#include <memory>

#include "Commands.h"
#include "app/SafeSave.h"
#include "app/AppSettings.h"
#include "app/Sha256.h"
#include "app/UiText.h"
#include "data/Recording.h"
#include "export/RecordingExport.h"
#include "export/WorkbookError.h"
#include "export/XlsxExport.h"
#include "history/FileVerify.h"

namespace thermivo::cli {

int runConvert(ConvertRequest request) {
    const std::string &input = request.input, &xls = request.xls, &xlsx = request.xlsx, &csv = request.csv;
    PdfRequest& pdf = request.pdf;
    if (xls.empty() && xlsx.empty() && csv.empty() && pdf.path.empty())
        return usage("convert needs --xls OUT.xls, --xlsx OUT.xlsx, --csv OUT.csv or --pdf OUT.pdf");
    pdf.textPages = request.pages == "text";
    // The option checks already refused malformed times.
    if (!request.from.empty()) pdf.from = parseMinuteTime(request.from);
    if (!request.to.empty()) pdf.to = parseMinuteTime(request.to);
    if (!request.unit.empty()) applyUnit(request.unit);

    auto rec = std::make_unique<Recording>();
    if (!loadRecording(input, *rec)) return kExitFailure;
    if (!rec->hasSamples()) {
        std::fprintf(stderr, "thermivo-cli: %s holds no samples\n", input.c_str());
        return kExitFailure;
    }
    int status = kExitOk;
    if (!xls.empty()) {
        ExportHooks hooks;
        hooks.showMessage = [](const std::string& m) { std::fprintf(stderr, "%s\n", m.c_str()); };
        const ExportResult r = exportRecordingToWorkbook(*rec, xls, AppSettings::instance(), hooks);
        if (!r.ok || !r.error.empty()) {
            std::fprintf(stderr, "%s%s\n%s\n", text(38).c_str(), xls.c_str(), saveProblemText(r.problem).c_str());
            if (!r.error.empty()) std::fprintf(stderr, "(%s)\n", r.error.c_str());
            status = kExitFailure;
        } else {
            recordFile(&history(), HistoryEvent::FileExported, xls, *rec, {{"from", input}, {"format", "xls"}});
            std::fprintf(stderr, "%s%s\n", text(37).c_str(), xls.c_str());
        }
    }
    if (!xlsx.empty()) {
        std::string error;
        if (!writeRecordingXlsx(*rec, xlsx, AppSettings::instance(), &error, sha256HexOfFile(input).value_or(""))) {
            std::fprintf(stderr, "%s%s\n(%s)\n", text(38).c_str(), xlsx.c_str(), error.c_str());
            status = kExitFailure;
        } else {
            recordFile(&history(), HistoryEvent::FileExported, xlsx, *rec, {{"from", input}, {"format", "xlsx"}});
            std::fprintf(stderr, "%s%s\n", text(37).c_str(), xlsx.c_str());
        }
    }
    if (!csv.empty()) {
        std::string error;
        SaveProblem problem = SaveProblem::None;
        if (!writeRecordingCsv(*rec, csv, AppSettings::instance(), &error, &problem)) {
            std::fprintf(stderr, "%s%s\n%s\n(%s)\n", text(38).c_str(), csv.c_str(), saveProblemText(problem).c_str(),
                         error.c_str());
            status = kExitFailure;
        } else {
            recordFile(&history(), HistoryEvent::FileExported, csv, *rec, {{"from", input}, {"format", "csv"}});
            std::fprintf(stderr, "%s%s\n", text(37).c_str(), csv.c_str());
        }
    }
    if (!pdf.path.empty()) {
        if (writePdf(*rec, pdf) != kExitOk) {
            status = kExitFailure;
        } else {
            recordFile(&history(), HistoryEvent::FilePrinted, pdf.path, *rec, {{"from", input}, {"to", "pdf"}});
            std::fprintf(stderr, "%s%s\n", text(37).c_str(), pdf.path.c_str());
        }
    }
    return status;
}

}  // namespace thermivo::cli
