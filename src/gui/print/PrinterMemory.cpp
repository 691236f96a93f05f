#include "print/PrinterMemory.h"

#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSettings>
#include <memory>

namespace thermivo {

namespace {

QString& settingsFile() {
    static QString path;
    return path;
}

std::unique_ptr<QSettings> openSettings() {
    if (!settingsFile().isEmpty()) return std::make_unique<QSettings>(settingsFile(), QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("thermivo"), QStringLiteral("thermivo"));
}

const QString kPrinter = QStringLiteral("print/printer");
const QString kPaper = QStringLiteral("print/paper");
const QString kPaperWidth = QStringLiteral("print/paperWidthPt");
const QString kPaperHeight = QStringLiteral("print/paperHeightPt");
const QString kDuplex = QStringLiteral("print/duplex");
const QString kColor = QStringLiteral("print/color");

}  // namespace

void PrinterMemory::useFile(const QString& path) {
    settingsFile() = path;
}

void PrinterMemory::remember(const QPrinter& printer) {
    const auto settings = openSettings();
    // A file chosen in the print dialog is no printer to come back to; its paper still counts.
    if (printer.outputFormat() == QPrinter::NativeFormat && !printer.printerName().isEmpty())
        settings->setValue(kPrinter, printer.printerName());
    const QPageSize paper = printer.pageLayout().pageSize();
    if (paper.isValid()) {
        settings->setValue(kPaper, static_cast<int>(paper.id()));
        const QSizeF points = paper.size(QPageSize::Point);
        settings->setValue(kPaperWidth, points.width());
        settings->setValue(kPaperHeight, points.height());
    }
    settings->setValue(kDuplex, static_cast<int>(printer.duplex()));
    settings->setValue(kColor, static_cast<int>(printer.colorMode()));
    settings->sync();
}

namespace {
QPageSize storedPaper(const QSettings& settings) {
    if (!settings.contains(kPaper)) return {};
    const auto id = static_cast<QPageSize::PageSizeId>(settings.value(kPaper).toInt());
    const QSizeF points(settings.value(kPaperWidth).toDouble(), settings.value(kPaperHeight).toDouble());
    return id == QPageSize::Custom ? QPageSize(points, QPageSize::Point) : QPageSize(id);
}
}  // namespace

QPageSize PrinterMemory::rememberedPaper() {
    return storedPaper(*openSettings());
}

void PrinterMemory::restore(QPrinter& printer) {
    const auto settings = openSettings();
    const QString name = settings->value(kPrinter).toString();
    if (!name.isEmpty() && QPrinterInfo::availablePrinterNames().contains(name)) printer.setPrinterName(name);
    const QPageSize paper = storedPaper(*settings);
    if (paper.isValid()) printer.setPageSize(paper);
    if (settings->contains(kDuplex))
        printer.setDuplex(static_cast<QPrinter::DuplexMode>(settings->value(kDuplex).toInt()));
    if (settings->contains(kColor))
        printer.setColorMode(static_cast<QPrinter::ColorMode>(settings->value(kColor).toInt()));
}

}  // namespace thermivo
