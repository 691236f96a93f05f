#include <cstdio>
#include <memory>

#include "Commands.h"
#include "app/SafeSave.h"
#include "app/AppSettings.h"
#include "app/UiText.h"
#include "data/Recording.h"
#include "export/RecordingExport.h"
#include "export/WorkbookError.h"

namespace thermivo::cli {

int runConvert(const Args& args) {
    std::string input, xls, csv, unit, pages = "curve";
    PdfRequest pdf;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--xls" && hasValue) {
            xls = args[++i];
        } else if (a == "--csv" && hasValue) {
            csv = args[++i];
        } else if (a == "--pdf" && hasValue) {
            pdf.path = args[++i];
        } else if (a == "--pages" && hasValue) {
            pages = args[++i];
        } else if (a == "--curve-pages" && hasValue) {
            const std::string& n = args[++i];
            pdf.curvePages = n.find_first_not_of("0123456789") == std::string::npos && !n.empty() && n.size() < 3
                                 ? std::stoi(n)
                                 : 0;
            if (pdf.curvePages < 1 || pdf.curvePages > 99) return usage("--curve-pages takes 1 to 99");
        } else if ((a == "--from" || a == "--to") && hasValue) {
            const auto t = parseMinuteTime(args[++i]);
            if (!t)
                return usage(a + " takes an existing local time as \"YYYY-M-D HH:MM\", not \"" + args[i] + "\"");
            (a == "--from" ? pdf.from : pdf.to) = *t;
        } else if (a == "--unit" && hasValue) {
            unit = args[++i];
        } else if (!a.empty() && a[0] == '-') {
            return usage("unexpected argument '" + a + "'");
        } else if (input.empty()) {
            input = a;
        } else {
            return usage("more than one input file given");
        }
    }
    if (input.empty()) return usage("no input file given");
    if (xls.empty() && csv.empty() && pdf.path.empty())
        return usage("convert needs --xls OUT.xls, --csv OUT.csv or --pdf OUT.pdf");
    if (pages != "curve" && pages != "text") return usage("--pages takes text or curve");
    pdf.textPages = pages == "text";
    if (!unit.empty() && !applyUnit(unit)) return usage("--unit takes C or F");

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
            std::fprintf(stderr, "%s%s\n", text(37).c_str(), xls.c_str());
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
            std::fprintf(stderr, "%s%s\n", text(37).c_str(), csv.c_str());
        }
    }
    if (!pdf.path.empty()) {
        if (writePdf(*rec, pdf) != kExitOk) {
            status = kExitFailure;
        } else {
            std::fprintf(stderr, "%s%s\n", text(37).c_str(), pdf.path.c_str());
        }
    }
    return status;
}

}  // namespace thermivo::cli
