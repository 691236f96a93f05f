#include "print/ReportPdf.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include "QtCanvas.h"
#include "app/SafeSave.h"
#include "data/Recording.h"

namespace thermivo {

namespace {
constexpr int kReportResolution = 600;
constexpr double kReportMarginMm = 5.0;
}  // namespace

bool writeReportPdf(const Recording& rec, const ReportContent& content, const QString& path, QString* error) {
    const auto fail = [&](const QString& message) {
        if (error != nullptr) *error = message;
        return false;
    };
    QByteArray document;
    QBuffer file(&document);
    file.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&file);
        writer.setResolution(kReportResolution);
        writer.setTitle(QString::fromStdString(content.title + " " + content.serial));
        writer.setCreator(QString::fromStdString(content.program));
        writer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                        QMarginsF(kReportMarginMm, kReportMarginMm, kReportMarginMm, kReportMarginMm),
                        QPageLayout::Millimeter));
        const ReportDocument report(rec, content, writer.logicalDpiX(), writer.logicalDpiY(), writer.width(),
                                    writer.height());
        QPainter painter;
        if (!painter.begin(&writer))
            return fail(QStringLiteral("cannot start the PDF document %1").arg(path));
        painter.setRenderHint(QPainter::Antialiasing);
        for (int page = 1; page <= report.pageCount(); ++page) {
            if (page > 1 && !writer.newPage()) {
                painter.end();
                return fail(QStringLiteral("page %1 of %2 could not be started").arg(page).arg(path));
            }
            QtCanvas canvas(painter, writer.logicalDpiX(), writer.logicalDpiY());
            report.drawPage(canvas, page);
        }
        painter.end();
    }
    file.close();
    const SaveResult saved =
        saveFileSafely(path.toStdString(),
                       std::string_view(document.constData(), static_cast<std::size_t>(document.size())));
    if (!saved.ok()) return fail(QString::fromStdString(saveProblemMessage(saved.problem, saved.detail)));
    return true;
}

}  // namespace thermivo
