#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "Commands.h"
#include "app/AppSettings.h"
#include "app/SafeSave.h"
#include "app/Sha256.h"
#include "app/UiText.h"
#include "data/Recording.h"
#include "export/ListExport.h"
#include "export/RecordingExport.h"
#include "export/Workbook.h"
#include "export/WorkbookError.h"
#include "export/XlsxExport.h"
#include "history/FileVerify.h"

namespace thermivo::cli {

namespace {

bool isStdout(const std::string& path) {
    return path == "-" || path == "/dev/stdout" || path == "/dev/fd/1";
}

/// A private folder for a file that is written whole before it goes elsewhere; removed with its content.
class ScratchDir {
  public:
    ScratchDir() {
        const char* tmp = std::getenv("TMPDIR");
        std::string templ =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/thermivo-cli.XXXXXX";
        if (::mkdtemp(templ.data()) != nullptr) path_ = templ;
    }
    ~ScratchDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    bool ok() const { return !path_.empty(); }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

bool writeStdout(const std::string& bytes) {
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
    return std::fflush(stdout) == 0 && written;
}

void saveFailed(const std::string& path, SaveProblem problem, const std::string& detail) {
    std::fprintf(stderr, "%s%s\n", text(38).c_str(), path.c_str());
    if (problem != SaveProblem::None) std::fprintf(stderr, "%s\n", saveProblemText(problem).c_str());
    if (!detail.empty()) std::fprintf(stderr, "(%s)\n", detail.c_str());
}

/// The first of the sheets the export would create that an existing workbook already holds; "" when none
/// (also when there is no workbook, or one the export itself will refuse to read).
std::string takenSheet(const Recording& rec, const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    try {
        const Workbook book = Workbook::load(path);
        std::vector<std::string> ours{text(34), text(29)};
        if (rec.usableSamples() > kRowsPerSheet) ours.push_back(text(29) + "2");
        for (const auto& name : ours)
            if (book.find(name) != nullptr) return name;
    } catch (const WorkbookError&) {
    }
    return {};
}

int writeXls(const Recording& rec, const std::string& xls, bool replace) {
    ExportHooks hooks;
    hooks.showMessage = [](const std::string& m) { std::fprintf(stderr, "%s\n", m.c_str()); };
    if (!replace) {
        // The export would back up and add sheets before finding ours taken: refuse while nothing is touched.
        const std::string taken = takenSheet(rec, xls);
        if (!taken.empty()) {
            std::fprintf(stderr, "%s%s\n%s\n", text(38).c_str(), xls.c_str(),
                         textWith(2808, {taken}).c_str());
            return kExitFailure;
        }
        const ExportResult r = exportRecordingToWorkbook(rec, xls, AppSettings::instance(), hooks);
        if (!r.ok || !r.error.empty()) {
            saveFailed(xls, r.problem, r.error);
            return kExitFailure;
        }
        sayDone(text(37) + xls);
        return kExitOk;
    }
    // A new workbook, written whole aside and then saved over the old one the one safe way.
    ScratchDir scratch;
    if (!scratch.ok()) {
        saveFailed(xls, SaveProblem::WriteFailed, "no temporary folder");
        return kExitFailure;
    }
    const std::string fresh = scratch.file("new.xls");
    const ExportResult r = exportRecordingToWorkbook(rec, fresh, AppSettings::instance(), hooks);
    if (!r.ok || !r.error.empty()) {
        saveFailed(xls, r.problem, r.error);
        return kExitFailure;
    }
    const SaveResult saved = saveFileSafely(xls, readWholeFile(fresh));
    if (!saved.ok()) {
        saveFailed(xls, saved.problem, saved.detail);
        return kExitFailure;
    }
    sayDone(text(37) + xls);
    return kExitOk;
}

int writeXlsx(const Recording& rec, const std::string& xlsx, const std::string& sourceSha) {
    std::string error;
    if (!isStdout(xlsx)) {
        if (!writeRecordingXlsx(rec, xlsx, AppSettings::instance(), &error, sourceSha)) {
            saveFailed(xlsx, SaveProblem::None, error);
            return kExitFailure;
        }
        sayDone(text(37) + xlsx);
        return kExitOk;
    }
    ScratchDir scratch;
    const std::string file = scratch.file("out.xlsx");
    if (!scratch.ok() || !writeRecordingXlsx(rec, file, AppSettings::instance(), &error, sourceSha)) {
        saveFailed(xlsx, SaveProblem::None, scratch.ok() ? error : "no temporary folder");
        return kExitFailure;
    }
    return writeStdout(readWholeFile(file)) ? kExitOk : kExitFailure;
}

int writeCsv(const Recording& rec, const std::string& csv) {
    if (isStdout(csv))
        return writeStdout(recordingCsv(rec, AppSettings::instance())) ? kExitOk : kExitFailure;
    std::string error;
    SaveProblem problem = SaveProblem::None;
    if (!writeRecordingCsv(rec, csv, AppSettings::instance(), &error, &problem)) {
        saveFailed(csv, problem, error);
        return kExitFailure;
    }
    sayDone(text(37) + csv);
    return kExitOk;
}

int writePdfOut(const Recording& rec, PdfRequest pdf) {
    if (!isStdout(pdf.path)) {
        if (writePdf(rec, pdf) != kExitOk) return kExitFailure;
        sayDone(text(37) + pdf.path);
        return kExitOk;
    }
    ScratchDir scratch;
    if (!scratch.ok()) {
        saveFailed(pdf.path, SaveProblem::WriteFailed, "no temporary folder");
        return kExitFailure;
    }
    pdf.path = scratch.file("out.pdf");
    if (writePdf(rec, pdf) != kExitOk) return kExitFailure;
    return writeStdout(readWholeFile(pdf.path)) ? kExitOk : kExitFailure;
}

}  // namespace

int runConvert(ConvertRequest request) {
    const std::string &input = request.input, &xls = request.xls, &xlsx = request.xlsx, &csv = request.csv;
    PdfRequest& pdf = request.pdf;
    if (xls.empty() && xlsx.empty() && csv.empty() && pdf.path.empty())
        return usage("convert needs --xls OUT.xls, --xlsx OUT.xlsx, --csv OUT.csv or --pdf OUT.pdf");
    // A workbook is read and changed in place; the standard output can be neither.
    if (!xls.empty() && isStdout(xls)) return usage("--xls: " + text(2809));
    if (isStdout(xlsx) + isStdout(csv) + isStdout(pdf.path) > 1)
        return usage("only one of --xlsx, --csv and --pdf can write to the standard output");
    if (request.replace && xls.empty()) return usage("--replace belongs to --xls OUT.xls");
    pdf.textPages = request.pages == "text";
    // The option checks already refused malformed times.
    if (!request.from.empty()) pdf.from = parseMinuteTime(request.from);
    if (!request.to.empty()) pdf.to = parseMinuteTime(request.to);
    if (!request.unit.empty()) applyUnit(request.unit);

    auto rec = std::make_unique<Recording>();
    std::string sourceSha;
    if (!loadRecording(input, *rec, &sourceSha)) return kExitFailure;
    if (!rec->hasSamples()) {
        std::fprintf(stderr, "thermivo-cli: %s holds no samples\n", input.c_str());
        return kExitFailure;
    }
    int status = kExitOk;
    // What went to the standard output is no file the history could find again.
    const auto recorded = [&](HistoryEvent event, const std::string& path, const HistoryDetails& details) {
        if (!isStdout(path)) recordFile(&history(), event, path, *rec, details);
    };
    if (!xls.empty()) {
        if (writeXls(*rec, xls, request.replace) != kExitOk)
            status = kExitFailure;
        else
            recorded(HistoryEvent::FileExported, xls, {{"from", input}, {"format", "xls"}});
    }
    if (!xlsx.empty()) {
        if (writeXlsx(*rec, xlsx, sourceSha) != kExitOk)
            status = kExitFailure;
        else
            recorded(HistoryEvent::FileExported, xlsx, {{"from", input}, {"format", "xlsx"}});
    }
    if (!csv.empty()) {
        if (writeCsv(*rec, csv) != kExitOk)
            status = kExitFailure;
        else
            recorded(HistoryEvent::FileExported, csv, {{"from", input}, {"format", "csv"}});
    }
    if (!pdf.path.empty()) {
        if (writePdfOut(*rec, pdf) != kExitOk)
            status = kExitFailure;
        else
            recorded(HistoryEvent::FilePrinted, pdf.path, {{"from", input}, {"to", "pdf"}});
    }
    return status;
}

}  // namespace thermivo::cli
