// Prints through a real CUPS queue (a private cupsd started by run.sh) with the code behind the preview's
// Print button, and checks the PDFs that come out of the queue and what the preview tells the user.
#include <gtest/gtest.h>

#include <cups/cups.h>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <functional>

#include "app/AppSettings.h"
#include "core/print/PrintTestData.h"
#include "gui/ScriptedPrompts.h"
#include "print/KvrcPrintDlg.h"
#include "print/PrinterMemory.h"

using namespace thermivo;
using thermivo::testing::makeSawtoothRecording;
using thermivo::testing::ScopedTimeZone;

namespace {

QString env(const char* name) {
    return qEnvironmentVariable(name);
}

/// The preview with the system's print dialog answered by the test.
class QueueDlg : public CKvrcPrintDlg {
  public:
    using CKvrcPrintDlg::CKvrcPrintDlg;
    std::function<bool(QPrinter&)> answer;
    QString offeredPrinter;
    QPageSize offeredPaper;

  protected:
    bool execPrintDialog(QPrinter& printer) override {
        offeredPrinter = printer.printerName();
        offeredPaper = printer.pageLayout().pageSize();
        return answer(printer);
    }
};

template <typename T = QWidget>
T* control(QWidget& dialog, int id) {
    return dialog.findChild<T*>(QString::number(id));
}

/// Waits until the queue has no pending or processing job of ours.
bool waitForIdle(const QString& queue) {
    for (int i = 0; i < 300; ++i) {
        cups_job_t* jobs = nullptr;
        const int active =
            cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.toUtf8().constData(), 0, CUPS_WHICHJOBS_ACTIVE);
        cupsFreeJobs(active, jobs);
        if (active == 0) return true;
        QThread::msleep(100);
    }
    return false;
}

struct PdfInfo {
    int pages = -1;
    double width = 0, height = 0;  ///< of the first page, points, after its rotation
    bool textTurned = false;       ///< the words of the first page run up or down the paper
    /// The pages read in landscape: a wide sheet with upright text, or a tall sheet with turned text (how
    /// a print queue puts a landscape page on portrait paper).
    bool landscape() const { return (width > height) != textTurned; }
};

/// Whether the longest word of the first page is taller than wide in the PDF's own coordinates.
bool firstPageTextTurned(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"),
            {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
             QStringLiteral("1"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(20000)) return false;
    const QRegularExpression word(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]+)</word>"));
    double longest = 0;
    bool turned = false;
    for (auto it = word.globalMatch(QString::fromUtf8(p.readAll())); it.hasNext();) {
        const auto m = it.next();
        const double w = m.captured(3).toDouble() - m.captured(1).toDouble();
        const double h = m.captured(4).toDouble() - m.captured(2).toDouble();
        if (m.captured(5).size() > longest) {
            longest = m.captured(5).size();
            turned = h > w;
        }
    }
    return turned;
}

/// What pdfinfo says about the PDF the queue wrote; the file is taken away so the next job starts afresh.
PdfInfo takeQueueOutput(const QString& queue) {
    PdfInfo info;
    if (!waitForIdle(queue)) return info;
    const QString out = env("THERMIVO_QUEUE_DIR") + QLatin1Char('/') + queue + QStringLiteral(".pdf");
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {out});
    if (!p.waitForFinished(20000) || p.exitCode() != 0) return info;
    const QString text = QString::fromUtf8(p.readAll());
    const auto pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(text);
    const auto size = QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+)")).match(text);
    const auto rot = QRegularExpression(QStringLiteral("Page rot:\\s+(\\d+)")).match(text);
    if (!pages.hasMatch() || !size.hasMatch()) return info;
    info.pages = pages.captured(1).toInt();
    info.width = size.captured(1).toDouble();
    info.height = size.captured(2).toDouble();
    if (rot.hasMatch() && rot.captured(1).toInt() % 180 == 90) std::swap(info.width, info.height);
    info.textTurned = firstPageTextTurned(out);
    if (!env("THERMIVO_SHOTS").isEmpty()) {
        static int n = 0;
        QFile::copy(out, env("THERMIVO_SHOTS") + QStringLiteral("/%1-%2.pdf").arg(queue).arg(++n));
    }
    QFile::remove(out);
    return info;
}

bool admin(const QString& command, const QString& queue) {
    return QProcess::execute(command, {queue}) == 0;
}

void print(CKvrcPrintDlg& dlg) {
    QTest::mouseClick(control<QPushButton>(dlg, CKvrcPrintDlg::IDC_PRINT), Qt::LeftButton);
}

class PrintQueue : public ::testing::Test {
  protected:
    void SetUp() override {
        if (env("THERMIVO_QUEUE").isEmpty()) GTEST_SKIP() << "no print queue: run me through run.sh";
        PrinterMemory::useFile(settings.filePath(QStringLiteral("thermivo.ini")));
    }
    void TearDown() override { PrinterMemory::useFile({}); }

    ScopedTimeZone tz{"UTC"};
    ScriptedPrompts prompts;
    QTemporaryDir settings;
    const QString queue = env("THERMIVO_QUEUE");
    const QString other = env("THERMIVO_QUEUE_LETTER");
};

}  // namespace

TEST_F(PrintQueue, CurvePagesAndTextPagesComeOutOfTheQueue) {
    auto rec = makeSawtoothRecording(130, KindTempHumi);
    QueueDlg dlg(*rec);
    dlg.answer = [this](QPrinter& printer) {
        printer.setPrinterName(queue);
        return true;
    };

    print(dlg);
    EXPECT_EQ(dlg.printStatus(), QStringLiteral("Sent 1 page to %1.").arg(queue));
    PdfInfo one = takeQueueOutput(queue);
    EXPECT_EQ(one.pages, 1);
    EXPECT_TRUE(one.landscape()) << one.width << " x " << one.height;

    control<QLineEdit>(dlg, CKvrcPrintDlg::IDC_PAGES)->setText(QStringLiteral("3"));
    QTest::mouseClick(control<QPushButton>(dlg, CKvrcPrintDlg::IDC_PREVIEW), Qt::LeftButton);
    print(dlg);
    EXPECT_EQ(dlg.printStatus(), QStringLiteral("Sent 3 pages to %1.").arg(queue));
    PdfInfo three = takeQueueOutput(queue);
    EXPECT_EQ(three.pages, 3);
    EXPECT_TRUE(three.landscape()) << three.width << " x " << three.height;

    // 130 rows: a summary page and three pages of at most 60 rows.
    QTest::mouseClick(control<QRadioButton>(dlg, CKvrcPrintDlg::IDC_TEXT), Qt::LeftButton);
    print(dlg);
    EXPECT_EQ(dlg.printStatus(), QStringLiteral("Sent 4 pages to %1.").arg(queue));
    PdfInfo text = takeQueueOutput(queue);
    EXPECT_EQ(text.pages, 4);
    EXPECT_FALSE(text.landscape()) << text.width << " x " << text.height;
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(QLatin1Char('\n')).toStdString();
    if (!env("THERMIVO_SHOTS").isEmpty())
        dlg.grab().save(env("THERMIVO_SHOTS") + QStringLiteral("/preview-sent.png"));
}

TEST_F(PrintQueue, TheSecondPrintStartsWithTheFirstOnesPrinterAndPaper) {
    auto rec = makeSawtoothRecording(100);
    QueueDlg dlg(*rec);
    dlg.answer = [this](QPrinter& printer) {
        printer.setPrinterName(other);
        printer.setPageSize(QPageSize(QPageSize::Letter));
        return true;
    };
    print(dlg);
    EXPECT_EQ(dlg.printStatus(), QStringLiteral("Sent 1 page to %1.").arg(other));
    const PdfInfo letter = takeQueueOutput(other);
    EXPECT_EQ(letter.pages, 1);
    EXPECT_NEAR(std::max(letter.width, letter.height), 792, 1);  // 11 inches
    EXPECT_NEAR(std::min(letter.width, letter.height), 612, 1);  // 8.5 inches
    EXPECT_NE(dlg.offeredPrinter, other);                        // the queue's default was offered first

    QueueDlg next(*rec);
    next.answer = [](QPrinter&) { return false; };
    print(next);
    EXPECT_EQ(next.offeredPrinter, other);
    EXPECT_EQ(next.offeredPaper.id(), QPageSize::Letter);

    // A remembered printer that has been removed since: the default queue is offered, and nothing is said.
    QSettings(settings.filePath(QStringLiteral("thermivo.ini")), QSettings::IniFormat)
        .setValue(QStringLiteral("print/printer"), QStringLiteral("removed-since"));
    QueueDlg after(*rec);
    after.answer = [](QPrinter&) { return false; };
    print(after);
    EXPECT_EQ(after.offeredPrinter, queue);
    EXPECT_TRUE(after.printStatus().isEmpty());
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(PrintQueue, ARefusedJobIsReportedAsSuchInTheStatusAndAMessage) {
    auto rec = makeSawtoothRecording(100);
    QueueDlg dlg(*rec);
    dlg.answer = [this](QPrinter& printer) {
        printer.setPrinterName(queue);
        return true;
    };
    ASSERT_TRUE(admin(QStringLiteral("cupsreject"), queue));
    print(dlg);
    ASSERT_TRUE(admin(QStringLiteral("cupsaccept"), queue));
    EXPECT_TRUE(dlg.printStatus().startsWith(QStringLiteral("The printer %1 refused the job.").arg(queue)))
        << dlg.printStatus().toStdString();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0], dlg.printStatus());
    if (!env("THERMIVO_SHOTS").isEmpty())
        dlg.grab().save(env("THERMIVO_SHOTS") + QStringLiteral("/preview-refused.png"));

    // A paused queue holds the job; it was sent all the same.
    ASSERT_TRUE(admin(QStringLiteral("cupsdisable"), queue));
    print(dlg);
    EXPECT_EQ(dlg.printStatus(), QStringLiteral("Sent 1 page to %1.").arg(queue));
    ASSERT_TRUE(admin(QStringLiteral("cupsenable"), queue));
    EXPECT_EQ(takeQueueOutput(queue).pages, 1);
}

// Run by run.sh a second time with CUPS_SERVER naming a socket nobody listens on: a print system that is not
// running. The real printer lookup then finds nothing, and Print offers the PDF instead.
TEST(NoPrintServer, PrintOffersAPdfWhenCupsIsNotRunning) {
    if (env("THERMIVO_NO_SERVER").isEmpty()) GTEST_SKIP() << "needs a CUPS_SERVER that does not answer";
    ScopedTimeZone tz{"UTC"};
    ScriptedPrompts prompts;
    QTemporaryDir dir;
    auto rec = makeSawtoothRecording(100);
    CKvrcPrintDlg dlg(*rec);
    prompts.yesNo = {true};
    prompts.fileNames = {dir.filePath(QStringLiteral("out.pdf"))};
    print(dlg);
    ASSERT_EQ(prompts.offers.size(), 1);
    EXPECT_TRUE(prompts.offers[0].endsWith(QStringLiteral("|Save as PDF…")));
    EXPECT_EQ(dlg.printStatus(),
              QStringLiteral("Saved 1 page to %1.").arg(dir.filePath(QStringLiteral("out.pdf"))));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("out.pdf"))));
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    AppSettings::instance().setLanguage(kLanguageEnglishUs);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
