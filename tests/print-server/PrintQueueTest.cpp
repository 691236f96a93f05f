// Prints through a real CUPS queue (a private cupsd started by run.sh) with the code behind the preview's
// Print button, and checks the PDFs that come out of the queue and what the preview tells the user.
#include <gtest/gtest.h>

#include <cups/cups.h>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <csignal>
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

/// Runs `action` on the next modal window of class `className` once it is active (a real Qt dialog
/// opened by the code under test), polling from the event loop the dialog runs.
void onModal(const char* className, std::function<void(QWidget&)> action) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, className, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->inherits(className) || !modal->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        action(*modal);
    });
    timer->start();
}

QString paperShown(QWidget& properties) {
    return properties.findChild<QComboBox*>(QStringLiteral("pageSizeCombo"))->currentText();
}

void clickOk(QWidget& dialog) {
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

/// Opens the print dialog's properties, lets `inProperties` act there and press OK, then prints.
void throughProperties(std::function<void(QWidget&)> inProperties) {
    onModal("QPrintDialog", [inProperties](QWidget& print) {
        onModal("QPrintPropertiesDialog", [inProperties, &print](QWidget& properties) {
            inProperties(properties);
            clickOk(properties);
            QTimer::singleShot(0, &print, [&print] { clickOk(print); });
        });
        print.findChild<QPushButton*>(QStringLiteral("properties"))->click();
    });
}

double longSide(const PdfInfo& info) {
    return std::max(info.width, info.height);
}

// The real print dialog, driven as a user would: Letter chosen under Properties must come out of the
// queue, and again on the next print and after a restart, although Qt's dialog starts every time on the
// queue's default paper (A4).
TEST_F(PrintQueue, TheRealPrintDialogKeepsTheChosenPaper) {
    auto rec = makeSawtoothRecording(100);
    {
        CKvrcPrintDlg dlg(*rec);
        onModal("QPrintDialog", [this](QWidget& print) {
            auto* printers = print.findChild<QComboBox*>(QStringLiteral("printers"));
            printers->setCurrentIndex(printers->findText(other));
            onModal("QPrintPropertiesDialog", [&print](QWidget& properties) {
                auto* paper = properties.findChild<QComboBox*>(QStringLiteral("pageSizeCombo"));
                paper->setCurrentIndex(paper->findText(QStringLiteral("Letter")));
                clickOk(properties);
                QTimer::singleShot(0, &print, [&print] { clickOk(print); });
            });
            print.findChild<QPushButton*>(QStringLiteral("properties"))->click();
        });
        print(dlg);
        EXPECT_EQ(dlg.printStatus(), QStringLiteral("Sent 1 page to %1.").arg(other));
        EXPECT_NEAR(longSide(takeQueueOutput(other)), 792, 1);  // Letter: 11 inches

        // Second print, the dialog accepted as it comes: the same printer and paper.
        onModal("QPrintDialog", [](QWidget& print) { clickOk(print); });
        print(dlg);
        EXPECT_EQ(dlg.printStatus(), QStringLiteral("Sent 1 page to %1.").arg(other));
        EXPECT_NEAR(longSide(takeQueueOutput(other)), 792, 1);
    }
    // After a restart (a new preview reading the stored settings) the properties show Letter, and Letter
    // comes out; text pages too.
    CKvrcPrintDlg restarted(*rec);
    QTest::mouseClick(control<QRadioButton>(restarted, CKvrcPrintDlg::IDC_TEXT), Qt::LeftButton);
    QString shown;
    throughProperties([&shown](QWidget& properties) { shown = paperShown(properties); });
    print(restarted);
    EXPECT_EQ(shown, QStringLiteral("Letter"));
    EXPECT_EQ(restarted.printStatus(), QStringLiteral("Sent 3 pages to %1.").arg(other));
    EXPECT_NEAR(longSide(takeQueueOutput(other)), 792, 1);
    EXPECT_EQ(PrinterMemory::rememberedPaper().id(), QPageSize::Letter);

    // A paper chosen under Properties replaces the remembered one.
    throughProperties([](QWidget& properties) {
        auto* paper = properties.findChild<QComboBox*>(QStringLiteral("pageSizeCombo"));
        paper->setCurrentIndex(paper->findText(QStringLiteral("A4")));
    });
    print(restarted);
    EXPECT_NEAR(longSide(takeQueueOutput(other)), 842, 1);  // A4: 297 mm
    EXPECT_EQ(PrinterMemory::rememberedPaper().id(), QPageSize::A4);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(QLatin1Char('\n')).toStdString();
}

// The queue disappears between the print dialog and the printout (lpadmin -x): the print service refuses
// the job and says why; the preview never claims it was sent.
TEST_F(PrintQueue, AQueueRemovedAfterTheDialogIsNotSent) {
    const QString gone = QStringLiteral("thermivo-gone");
    ASSERT_EQ(
        QProcess::execute(QStringLiteral("lpadmin"),
                          {QStringLiteral("-p"), gone, QStringLiteral("-E"), QStringLiteral("-v"),
                           QStringLiteral("file:///dev/null"), QStringLiteral("-m"), QStringLiteral("raw")}),
        0);
    auto rec = makeSawtoothRecording(100);
    QueueDlg dlg(*rec);
    dlg.answer = [&gone](QPrinter& printer) {
        printer.setPrinterName(gone);
        return QProcess::execute(QStringLiteral("lpadmin"), {QStringLiteral("-x"), gone}) == 0;
    };
    print(dlg);
    EXPECT_TRUE(dlg.printStatus().startsWith(QStringLiteral("The printer %1 refused the job. (").arg(gone)))
        << dlg.printStatus().toStdString();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0], dlg.printStatus());
}

// Cancel in the progress dialog of a long printout (1001 text pages): the job is aborted before it reaches
// the queue, and the preview says so.
TEST_F(PrintQueue, ACancelledPrintoutSendsNothing) {
    auto rec = makeSawtoothRecording(60000, KindTempHumi);
    QueueDlg dlg(*rec);
    dlg.answer = [this](QPrinter& printer) {
        printer.setPrinterName(queue);
        return true;
    };
    QTest::mouseClick(control<QRadioButton>(dlg, CKvrcPrintDlg::IDC_TEXT), Qt::LeftButton);
    ASSERT_EQ(dlg.pageTotal(), 1001);
    // Our jobs on the queue newer than `since` that were not cancelled, and the newest id.
    const auto jobsAfter = [this](int since, int* newest) {
        cups_job_t* jobs = nullptr;
        const int count =
            cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.toUtf8().constData(), 1, CUPS_WHICHJOBS_ALL);
        int live = 0;
        for (int i = 0; i < count; ++i) {
            if (jobs[i].id > since && jobs[i].state != IPP_JSTATE_CANCELED) ++live;
            if (newest != nullptr) *newest = std::max(*newest, jobs[i].id);
        }
        cupsFreeJobs(count, jobs);
        return live;
    };
    int newest = 0;
    jobsAfter(0, &newest);
    QTimer cancel;
    cancel.setInterval(10);
    QObject::connect(&cancel, &QTimer::timeout, [&dlg] {
        auto* progress = dlg.findChild<QProgressDialog*>(QStringLiteral("printProgress"));
        if (progress != nullptr && progress->isVisible()) progress->cancel();
    });
    cancel.start();
    print(dlg);
    EXPECT_EQ(dlg.printStatus(), QStringLiteral("Printing was cancelled; no job was left at %1.").arg(queue));
    EXPECT_EQ(jobsAfter(newest, nullptr), 0);
    EXPECT_TRUE(prompts.messages.isEmpty());
}

// Run by run.sh after the tests above, with THERMIVO_CUPSD_PID naming the private scheduler: it is stopped
// while the print dialog is open, so the printout meets no print service.
TEST(StoppedPrintServer, ASchedulerStoppedBeforePrintIsNamedAndNotSent) {
    const qint64 pid = env("THERMIVO_CUPSD_PID").toLongLong();
    if (pid <= 0) GTEST_SKIP() << "needs THERMIVO_CUPSD_PID: run me through run.sh";
    ScopedTimeZone tz{"UTC"};
    ScriptedPrompts prompts;
    auto rec = makeSawtoothRecording(100);
    QueueDlg dlg(*rec);
    dlg.answer = [pid](QPrinter& printer) {
        printer.setPrinterName(env("THERMIVO_QUEUE"));
        ::kill(static_cast<pid_t>(pid), SIGTERM);
        for (int i = 0; i < 100 && ::kill(static_cast<pid_t>(pid), 0) == 0; ++i) QThread::msleep(50);
        return true;
    };
    print(dlg);
    EXPECT_EQ(dlg.printStatus(), QStringLiteral("The print service is not running."));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0], dlg.printStatus());
}

// Run by run.sh with CUPS_SERVER naming a socket nobody listens on: a print system that was never
// running. The real printer lookup then finds nothing; Print says the service is not running (not that no
// printer is installed) and offers the PDF instead.
TEST(NoPrintServer, PrintNamesTheStoppedServiceAndOffersAPdf) {
    if (env("THERMIVO_NO_SERVER").isEmpty()) GTEST_SKIP() << "needs a CUPS_SERVER that does not answer";
    ScopedTimeZone tz{"UTC"};
    ScriptedPrompts prompts;
    QTemporaryDir dir;
    auto rec = makeSawtoothRecording(100);
    CKvrcPrintDlg dlg(*rec);
    print(dlg);
    ASSERT_EQ(prompts.offers.size(), 1);
    EXPECT_EQ(prompts.offers[0], QStringLiteral("The print service is not running, so the pages cannot be "
                                                "printed.\nSave them as a PDF file instead?|Save as PDF…"));
    EXPECT_EQ(dlg.printStatus(), QStringLiteral("The print service is not running."));

    prompts.yesNo = {true};
    prompts.fileNames = {dir.filePath(QStringLiteral("out.pdf"))};
    print(dlg);
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
