#include "ReportSave.h"

#include <QFileInfo>

#include "Prompts.h"
#include "QtText.h"
#include "app/AppSettings.h"
#include "app/Provenance.h"
#include "app/SafeSave.h"
#include "app/Sha256.h"
#include "app/UiText.h"
#include "data/LocalTime.h"
#include "data/RecordFile.h"
#include "data/RecordingStore.h"
#include "history/FileVerify.h"
#include "print/ReportPdf.h"
#include "report/Report.h"

namespace thermivo {

QString reportFilter() {
    return qs(text(2561));
}

ReportSaveResult saveReportBeside(QWidget* parent, const Recording& rec, const QString& chosen,
                                  HistoryLog* history) {
    QString pdf = chosen;
    if (!pdf.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) pdf += QLatin1String(".pdf");
    const QFileInfo info(pdf);
    const QString record = info.path() + QLatin1Char('/') + info.completeBaseName() + QLatin1String(".kvlu");
    const QString recordName = QFileInfo(record).fileName();
    // A report must name a file an auditor can check, so the recording is saved first, and never silently
    // over a file that may be the original.
    if (QFileInfo::exists(record) &&
        !prompts().askYesNo(parent, qs(textWith(2560, {recordName.toStdString()}))))
        return {};
    RecordFile file(record.toStdString(), RecordFile::ModeWrite);
    const bool saved = file.isOpen() && file.write(rec);
    file.close();
    if (!saved) {
        prompts().message(parent, qs(saveProblemMessage(file.problem(), file.error())));
        return {false, recordName};
    }
    recordFile(history, HistoryEvent::FileSaved, record.toStdString(), rec);
    const auto digest = sha256HexOfFile(record.toStdString());
    if (!digest) return {false, recordName};
    ReportRequest request;
    request.sourceName = recordName.toStdString();
    request.sourceSha256 = *digest;
    request.madeAt = nowSeconds();
    request.user = systemUserName();
    request.program = thermivoNameAndVersion();
    if (history != nullptr)
        request.origin = verdictText(
            verifyFile(*history, RecordingStore(RecordingStore::defaultRoot()), record.toStdString()));
    const ReportContent content = buildReportContent(rec, request, AppSettings::instance());
    QString error;
    if (!writeReportPdf(rec, content, pdf, &error)) {
        prompts().message(parent, error);
        return {false, info.fileName()};
    }
    recordFile(history, HistoryEvent::ReportMade, pdf.toStdString(), rec,
               {{"from", recordName.toStdString()}});
    return {true, info.fileName()};
}

}  // namespace thermivo
