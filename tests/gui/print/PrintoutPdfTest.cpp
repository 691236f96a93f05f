#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>

#include "app/AppSettings.h"
#include "core/print/PrintTestData.h"
#include "print/CurvePage.h"
#include "print/PageRender.h"
#include "print/PrintoutPdf.h"

using namespace thermivo;
using thermivo::testing::makeSawtoothRecording;
using thermivo::testing::ScopedTimeZone;

namespace {

QString outDir() {
    const QString dir = QStringLiteral(THERMIVO_BINARY_DIR "/print-output");
    QDir().mkpath(dir);
    return dir;
}

/// Renders a PDF with pdftoppm; returns the PNG files written.
QStringList renderPng(const QString& pdf, const QString& prefix) {
    const QFileInfo info(prefix);
    const QRegularExpression ours(QRegularExpression::escape(info.fileName()) +
                                  QStringLiteral("-\\d+\\.png"));
    const auto pages = [&] {
        QStringList out;
        for (const QString& name : QDir(info.path()).entryList(QDir::Files, QDir::Name))
            if (ours.match(name).hasMatch() && ours.match(name).capturedLength() == name.size()) out << name;
        return out;
    };
    for (const QString& stale : pages()) QFile::remove(info.path() + "/" + stale);
    QProcess p;
    p.start(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-png"), pdf, prefix});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return {};
    return pages();
}

/// Text of a PDF as pdftotext extracts it.
QString pdfText(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

/// Dark pixels in a border band of the given width: a page drawn inside its area leaves it white.
int darkPixelsOutside(const QImage& image, int band) {
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const bool inside =
                x >= band && y >= band && x < image.width() - band && y < image.height() - band;
            if (!inside && qGray(image.pixel(x, y)) < 128) ++dark;
        }
    return dark;
}

}  // namespace

TEST(PrintoutPdf, CurveAndTextPagesOfEveryKindStayInsideThePage) {
    const ScopedTimeZone tz("UTC");
    struct Case {
        std::int32_t kind;
        PdfPrintOptions::Pages pages;
        bool fahrenheit;
        std::uint16_t language;
        const char* name;
        int expectedPages;
        QStringList expectedTexts;
    };
    const Case cases[] = {
        {KindTemp,
         PdfPrintOptions::Pages::Curve,
         false,
         kLanguageEnglishUs,
         "curve-kind1",
         2,
         {"Temp Average", "[-5.00,25.00]\u00B0C", "2/2"}},
        {KindTempHumi,
         PdfPrintOptions::Pages::Text,
         true,
         kLanguageEnglishUs,
         "text-kind4",
         4,
         {"-22.90\u00B0F [<-13.00]", "Humidity", "Temp&Humi Record", "4/4"}},
        {KindTempHumi,
         PdfPrintOptions::Pages::Curve,
         false,
         kLanguageEnglishUs,
         "curve-kind4",
         2,
         {"Humi Alarm", "[30.00,70.00]%RH"}},
        {KindTemp, PdfPrintOptions::Pages::Text, false, kLanguageEnglishUs, "text-kind1", 4, {"Temp Alarm"}},
        {KindTempHumi, PdfPrintOptions::Pages::Curve, false, kLanguageChinesePrc, "curve-kind4-zh", 2, {}},
        {KindTempHumi, PdfPrintOptions::Pages::Text, false, kLanguageChinesePrc, "text-kind4-zh", 4, {}},
    };
    for (const Case& c : cases) {
        const thermivo::testing::ScopedLanguage language(c.language);
        auto rec = makeSawtoothRecording(130, c.kind);
        rec->tempAlarmOn = rec->humiAlarmOn = true;
        rec->tempLower = -25.0f;
        rec->tempUpper = 8.0f;
        rec->humiLower = 30.0f;
        rec->humiUpper = 70.0f;
        rec->temperature[0] = -30.5f;
        if (c.pages == PdfPrintOptions::Pages::Curve) rec->tempLower = -5.0f, rec->tempUpper = 25.0f;
        PdfPrintOptions options;
        options.pages = c.pages;
        options.curvePages = 2;
        options.unit = c.fahrenheit ? PdfPrintOptions::Unit::Fahrenheit : PdfPrintOptions::Unit::Celsius;
        const QString pdf = outDir() + "/" + c.name + ".pdf";
        QString error;
        ASSERT_TRUE(writePrintoutPdf(*rec, options, pdf, &error)) << error.toStdString();
        const QStringList pngs = renderPng(pdf, outDir() + "/" + c.name);
        ASSERT_EQ(pngs.size(), c.expectedPages) << c.name;
        for (const QString& png : pngs) {
            const QImage page(outDir() + "/" + png);
            ASSERT_FALSE(page.isNull());
            EXPECT_EQ(page.width() > page.height(), c.pages == PdfPrintOptions::Pages::Curve) << c.name;
            EXPECT_EQ(darkPixelsOutside(page, 10), 0) << png.toStdString();
        }
        const QString text = pdfText(pdf);
        for (const QString& expected : c.expectedTexts)
            EXPECT_TRUE(text.contains(expected)) << c.name << ": " << expected.toStdString();
    }
}

TEST(PrintoutPdf, RangeAndFailuresAreReported) {
    auto rec = makeSawtoothRecording(600);
    const QString pdf = outDir() + QStringLiteral("/range.pdf");
    QFile::remove(pdf);
    PdfPrintOptions options;
    QString error;
    options.from = rec->startTime + 3600;
    options.to = rec->startTime + 60;
    EXPECT_FALSE(writePrintoutPdf(*rec, options, pdf, &error));
    EXPECT_EQ(error, QStringLiteral("Time set wrong!"));
    options.to.reset();
    options.curvePages = 100;
    EXPECT_FALSE(writePrintoutPdf(*rec, options, pdf, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("99")));
    EXPECT_FALSE(QFile::exists(pdf));
    options.curvePages = 1;
    EXPECT_FALSE(writePrintoutPdf(*rec, options, QStringLiteral("/nonexistent-dir/x.pdf"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("/nonexistent-dir/x.pdf")));
    rec->dataFlags = 0;
    EXPECT_FALSE(writePrintoutPdf(*rec, options, pdf, &error));
    rec->dataFlags = Recording::kSamplesPresent;

    // A later start prints only the samples from there: 600 - 60 of them.
    options.pages = PdfPrintOptions::Pages::Text;
    options.from = rec->startTime + 3600;
    ASSERT_TRUE(writePrintoutPdf(*rec, options, pdf, &error)) << error.toStdString();
    EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("Quantity of Data: 540")));
}

namespace {
/// A PDF writer whose second page cannot be started.
class FailingWriter : public QPdfWriter {
  public:
    using QPdfWriter::QPdfWriter;
    bool newPage() override {
        ++pagesAsked;
        return false;
    }
    int pagesAsked = 0;
};
}  // namespace

TEST(PrintoutPdf, AFailedPageStopsThePrintout) {
    auto rec = makeSawtoothRecording(300);
    PrintJob job(*rec);
    SelectRange(*rec, rec->startTime, rec->stopTime, job.selection);
    job.curveLabels = ComputeCurveLabels(job);
    job.pageTotal = 5;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    FailingWriter writer(&buffer);
    QPainter painter(&writer);
    EXPECT_FALSE(printPages(writer, painter, job, PrintMode::Curve));
    EXPECT_EQ(writer.pagesAsked, 1);
    job.pageTotal = 1;
    EXPECT_TRUE(printPages(writer, painter, job, PrintMode::Curve));
    painter.end();
}

// 60000 samples make 1001 text pages: "1001/1001" and every row of the last page, in both languages and in
// the widest unit, end inside the page frame (A4 less 5 mm margins: 581.1 pt from the left paper edge).
// Page 1001 is rendered to print-output/page1001-*.png to be looked at.
TEST(PrintoutPdf, FourDigitPageNumbersAndEveryTextStayInsideTheFrame) {
    const ScopedTimeZone tz("Europe/Berlin");
    auto rec = makeSawtoothRecording(60000, KindTempHumi);
    rec->tempAlarmOn = rec->humiAlarmOn = true;
    rec->tempLower = -5.0f;
    rec->tempUpper = 8.0f;
    rec->humiLower = 30.0f;
    rec->humiUpper = 70.0f;
    PdfPrintOptions options;
    options.pages = PdfPrintOptions::Pages::Text;
    options.unit = PdfPrintOptions::Unit::Fahrenheit;
    const double frameRight = 595.28 - 5 * 72 / 25.4;
    for (const std::uint16_t language : {kLanguageEnglishUs, kLanguageChinesePrc}) {
        const thermivo::testing::ScopedLanguage scoped(language);
        const QString name =
            language == kLanguageEnglishUs ? QStringLiteral("page1001-en") : QStringLiteral("page1001-zh");
        const QString pdf = outDir() + "/" + name + ".pdf";
        QString error;
        ASSERT_TRUE(writePrintoutPdf(*rec, options, pdf, &error)) << error.toStdString();
        for (const char* page : {"1", "1001"}) {
            QProcess p;
            p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-f"), page,
                                                  QStringLiteral("-l"), page, pdf, QStringLiteral("-")});
            ASSERT_TRUE(p.waitForFinished(60000));
            const QString html = QString::fromUtf8(p.readAllStandardOutput());
            const QRegularExpression word(QStringLiteral(
                "<word xMin=\"([\\d.]+)\" yMin=\"[\\d.]+\" xMax=\"([\\d.]+)\"[^>]*>([^<]*)</word>"));
            int words = 0;
            double rightmost = 0;
            QString rightmostWord;
            for (auto it = word.globalMatch(html); it.hasNext();) {
                const auto m = it.next();
                ++words;
                if (m.captured(2).toDouble() > rightmost) {
                    rightmost = m.captured(2).toDouble();
                    rightmostWord = m.captured(3);
                }
            }
            EXPECT_GT(words, 10) << name.toStdString() << " page " << page;
            EXPECT_LT(rightmost, frameRight - 1)
                << name.toStdString() << " page " << page << ": " << rightmostWord.toStdString();
            if (QString::fromLatin1(page) == QStringLiteral("1001")) {
                EXPECT_TRUE(html.contains(QStringLiteral(">1001/1001<"))) << name.toStdString();
            }
        }
        QProcess render;
        render.start(QStringLiteral("pdftoppm"),
                     {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-png"),
                      QStringLiteral("-f"), QStringLiteral("1001"), QStringLiteral("-l"),
                      QStringLiteral("1001"), pdf, outDir() + "/" + name});
        render.waitForFinished(60000);
    }
}
