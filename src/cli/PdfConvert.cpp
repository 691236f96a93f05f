#include <cstdio>
#include <cstdlib>

#include "Commands.h"
#include "data/LocalTime.h"

#ifdef THERMIVO_HAVE_PDF
#include <QGuiApplication>
#include <QString>

#include "app/AppSettings.h"
#include "print/PrintoutPdf.h"
#endif

namespace thermivo::cli {

std::optional<std::int64_t> parseMinuteTime(const std::string& text) {
    return parseLocalMinutes(text);
}

#ifdef THERMIVO_HAVE_PDF
namespace {
// Qt warns on every run without a session runtime folder; a command-line tool has none and needs none.
void quietRuntimeDirWarning(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message.contains(QLatin1String("XDG_RUNTIME_DIR"))) return;
    std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, message).toUtf8().constData());
}
}  // namespace

int writePrintout(const Recording& rec, const PdfRequest& request);

int withPdfWriter(const std::string&, const std::function<int()>& body) {
    // The page drawing needs fonts, which need a GUI application; no display is needed.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "thermivo-cli";
    char* argv[] = {name, nullptr};
    qInstallMessageHandler(quietRuntimeDirWarning);
    QGuiApplication app(argc, argv);
    return body();
}

int writePdf(const Recording& rec, const PdfRequest& request) {
    return withPdfWriter(request.path, [&] { return writePrintout(rec, request); });
}

int writePrintout(const Recording& rec, const PdfRequest& request) {
    PdfPrintOptions options;
    options.pages = request.textPages ? PdfPrintOptions::Pages::Text : PdfPrintOptions::Pages::Curve;
    options.curvePages = request.curvePages;
    options.from = request.from;
    options.to = request.to;
    options.unit = AppSettings::instance().isFahrenheit() ? PdfPrintOptions::Unit::Fahrenheit
                                                          : PdfPrintOptions::Unit::Celsius;
    QString error;
    if (!writePrintoutPdf(rec, options, QString::fromStdString(request.path), &error)) {
        std::fprintf(stderr, "thermivo-cli: %s: %s\n", request.path.c_str(), error.toUtf8().constData());
        return kExitFailure;
    }
    return kExitOk;
}
#else
int withPdfWriter(const std::string& path, const std::function<int()>&) {
    std::fprintf(stderr, "thermivo-cli: %s: this build has no PDF writer (Qt 6 was not found)\n",
                 path.c_str());
    return kExitFailure;
}

int writePdf(const Recording&, const PdfRequest& request) {
    return withPdfWriter(request.path, {});
}
#endif

}  // namespace thermivo::cli
