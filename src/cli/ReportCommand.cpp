#include <cstdio>
#include <filesystem>
#include <memory>

#include "Commands.h"
#include "app/AppSettings.h"
#include "app/Provenance.h"
#include "app/Sha256.h"
#include "app/UiText.h"
#include "data/LocalTime.h"
#include "data/Recording.h"
#include "data/RecordingStore.h"
#include "history/FileVerify.h"
#include "report/Report.h"

#ifdef THERMIVO_HAVE_PDF
#include <QString>

#include "print/ReportPdf.h"
#endif

namespace thermivo::cli {

int runReport(const ReportCommandRequest& request) {
    // The option checks already refused malformed times and activation energies.
    std::optional<std::int64_t> from, to;
    if (!request.from.empty()) from = parseMinuteTime(request.from);
    if (!request.to.empty()) to = parseMinuteTime(request.to);
    if (from && to && *from > *to) return usage("--from lies after --to");
    if (!request.unit.empty()) applyUnit(request.unit);

    auto rec = std::make_unique<Recording>();
    // The digest is taken of the bytes read, the file an auditor can check.
    std::string digest;
    if (!loadRecording(request.input, *rec, &digest)) return kExitFailure;
    if (!rec->hasSamples()) {
        std::fprintf(stderr, "thermivo-cli: %s holds no samples\n", request.input.c_str());
        return kExitFailure;
    }
    if (sampleRangeBetween(*rec, from, to).count() == 0) {
        std::fprintf(stderr, "thermivo-cli: %s: the time range holds no samples\n", request.input.c_str());
        return kExitFailure;
    }
    ReportRequest r;
    const auto slash = request.input.find_last_of('/');
    r.sourceName = slash == std::string::npos ? request.input : request.input.substr(slash + 1);
    r.sourceSha256 = digest;
    r.from = from;
    r.to = to;
    r.activationEnergyKJPerMol = request.activationEnergy;
    r.comment = request.comment;
    r.madeAt = nowSeconds();
    r.user = systemUserName();
    r.program = thermivoNameAndVersion();
    // A stream cannot be read a second time, and the history names files, not streams.
    std::error_code ec;
    if (std::filesystem::is_regular_file(request.input, ec))
        r.origin =
            verdictText(verifyFile(history(), RecordingStore(RecordingStore::defaultRoot()), request.input));
    const ReportContent content = buildReportContent(*rec, r, AppSettings::instance());
#ifdef THERMIVO_HAVE_PDF
    return withPdfWriter(request.output, [&] {
        QString error;
        if (!writeReportPdf(*rec, content, QString::fromStdString(request.output), &error)) {
            std::fprintf(stderr, "thermivo-cli: %s: %s\n", request.output.c_str(),
                         error.toUtf8().constData());
            return kExitFailure;
        }
        recordFile(&history(), HistoryEvent::ReportMade, request.output, *rec, {{"from", request.input}});
        std::fprintf(stderr, "%s%s\n", text(37).c_str(), request.output.c_str());
        return kExitOk;
    });
#else
    return withPdfWriter(request.output, {});
#endif
}

}  // namespace thermivo::cli
