#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <vector>

#include "app/AppSettings.h"
#include "core/print/PrintTestData.h"
#include "gui/ScriptedPrompts.h"
#include "print/KvrcPrintDlg.h"
#include "print/PrinterMemory.h"
#include "print/PrintoutPdf.h"

using namespace thermivo;
using thermivo::testing::makeSawtoothRecording;
using thermivo::testing::ScopedTimeZone;

namespace {

/// Pages of a PDF as pdfinfo counts them; -1 when it cannot tell.
int pdfPages(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {path});
    if (!p.waitForFinished(20000) || p.exitCode() != 0) return -1;
    const auto match =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(QString::fromUtf8(p.readAll()));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

/// A preview on a machine with the given print queues; the print dialog is answered by `answer`.
class QueueDlg : public CKvrcPrintDlg {
  public:
    using CKvrcPrintDlg::CKvrcPrintDlg;
    QStringList printers;
    std::function<bool(QPrinter&)> answer = [](QPrinter&) { return false; };
    int dialogs = 0;
    bool serviceRunning = true;

  protected:
    bool execPrintDialog(QPrinter& printer) override {
        ++dialogs;
        return answer(printer);
    }
    QStringList availablePrinters() const override { return printers; }
    bool printServiceAnswers() const override { return serviceRunning; }
};

template <typename T = QWidget>
T* control(QWidget& dialog, int id) {
    return dialog.findChild<T*>(QString::number(id));
}

void setCurvePages(CKvrcPrintDlg& dlg, int pages) {
    control<QLineEdit>(dlg, CKvrcPrintDlg::IDC_PAGES)->setText(QString::number(pages));
    QTest::mouseClick(control<QPushButton>(dlg, CKvrcPrintDlg::IDC_PREVIEW), Qt::LeftButton);
}

/// The printer settings go to a file of the test's own.
struct ScopedPrinterMemory {
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("thermivo.ini"));
    ScopedPrinterMemory() { PrinterMemory::useFile(file); }
    ~ScopedPrinterMemory() { PrinterMemory::useFile({}); }
};

}  // namespace

TEST(PrintOutcomeDlg, WithoutPrinterPrintOffersAPdfOfTheSamePages) {
    ScopedTimeZone tz("UTC");
    ScriptedPrompts prompts;
    QTemporaryDir dir;
    auto rec = makeSawtoothRecording(700, KindTempHumi);
    QueueDlg dlg(*rec);
    setCurvePages(dlg, 3);
    auto* print = control<QPushButton>(dlg, CKvrcPrintDlg::IDC_PRINT);
    // What the history is told: only printouts that were made.
    std::vector<PrintOutcome> printed;
    dlg.printed = [&printed](const PrintOutcome& o) { printed.push_back(o); };

    // Declined: the preview says why nothing was printed, and asks nothing more.
    QTest::mouseClick(print, Qt::LeftButton);
    EXPECT_TRUE(printed.empty());
    ASSERT_EQ(prompts.offers.size(), 1);
    EXPECT_EQ(prompts.offers[0], QStringLiteral("No printer is installed, so the pages cannot be printed.\n"
                                                "Save them as a PDF file instead?|Save as PDF…"));
    EXPECT_EQ(dlg.printStatus(), QStringLiteral("No printer is installed, so the pages cannot be printed."));
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(dlg.dialogs, 0);
    EXPECT_TRUE(print->isEnabled());

    // Accepted: the PDF holds the pages Print would send, the same as the command line writes.
    const QString curves = dir.filePath(QStringLiteral("curves"));  // the suffix is added
    prompts.yesNo = {true};
    prompts.fileNames = {curves};
    QTest::mouseClick(print, Qt::LeftButton);
    EXPECT_EQ(prompts.lastFilters, QStringLiteral("PDF files (*.pdf)"));
    EXPECT_TRUE(prompts.lastDirectory.endsWith(QString::fromStdString(rec->serialText()) +
                                               QStringLiteral("-curves.pdf")))
        << prompts.lastDirectory.toStdString();
    EXPECT_EQ(pdfPages(curves + QStringLiteral(".pdf")), 3);
    EXPECT_EQ(dlg.printStatus(), QStringLiteral("Saved 3 pages to %1.pdf.").arg(curves));
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(printed[0].result, PrintOutcome::Result::Saved);
    EXPECT_EQ(printed[0].target, (curves + QStringLiteral(".pdf")).toStdString());
    PdfPrintOptions cli;
    cli.curvePages = 3;
    const QString fromCli = dir.filePath(QStringLiteral("cli.pdf"));
    ASSERT_TRUE(writePrintoutPdf(*rec, cli, fromCli, nullptr));
    EXPECT_EQ(pdfPages(fromCli), 3);

    // Text pages: a summary page and one page per 60 rows.
    QTest::mouseClick(control<QRadioButton>(dlg, CKvrcPrintDlg::IDC_TEXT), Qt::LeftButton);
    const QString text = dir.filePath(QStringLiteral("text.pdf"));
    prompts.yesNo = {true};
    prompts.fileNames = {text};
    QTest::mouseClick(print, Qt::LeftButton);
    EXPECT_EQ(pdfPages(text), dlg.pageTotal());
    EXPECT_EQ(dlg.pageTotal(), 1 + 12);
    EXPECT_TRUE(prompts.messages.isEmpty());

    // Both languages.
    const thermivo::testing::ScopedLanguage chinese(kLanguageChinesePrc);
    prompts.yesNo = {true};
    prompts.fileNames = {dir.filePath(QStringLiteral("zh.pdf"))};
    QTest::mouseClick(print, Qt::LeftButton);
    EXPECT_EQ(prompts.offers.back(),
              QStringLiteral("未安装打印机，无法打印。\n是否将这些页另存为PDF文件？|另存为PDF…"));
    EXPECT_EQ(dlg.printStatus(),
              QStringLiteral("已将 13 页保存到 %1。").arg(dir.filePath(QStringLiteral("zh.pdf"))));
}

TEST(PrintOutcomeDlg, APrintServiceThatIsNotRunningIsNotCalledAMissingPrinter) {
    ScopedTimeZone tz("UTC");
    ScriptedPrompts prompts;
    auto rec = makeSawtoothRecording(100);
    QueueDlg dlg(*rec);
    dlg.serviceRunning = false;
    auto* print = control<QPushButton>(dlg, CKvrcPrintDlg::IDC_PRINT);
    QTest::mouseClick(print, Qt::LeftButton);
    ASSERT_EQ(prompts.offers.size(), 1);
    EXPECT_EQ(prompts.offers[0],
              QStringLiteral("The print service is not running, so the pages cannot be printed.\n"
                             "Save them as a PDF file instead?|Save as PDF…"));
    EXPECT_EQ(dlg.printStatus(), QStringLiteral("The print service is not running."));
    EXPECT_TRUE(prompts.messages.isEmpty());

    const thermivo::testing::ScopedLanguage chinese(kLanguageChinesePrc);
    QTest::mouseClick(print, Qt::LeftButton);
    EXPECT_EQ(prompts.offers.back(),
              QStringLiteral("打印服务没有运行，无法打印。\n是否将这些页另存为PDF文件？|另存为PDF…"));
    EXPECT_EQ(dlg.printStatus(), QStringLiteral("打印服务没有运行。"));
}

TEST(PrintOutcomeDlg, FailuresAreShownInTheStatusLineAndAMessage) {
    ScopedTimeZone tz("UTC");
    ScriptedPrompts prompts;
    auto rec = makeSawtoothRecording(100);
    QueueDlg dlg(*rec);
    dlg.printers = {QStringLiteral("office")};
    dlg.answer = [](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QStringLiteral("/nonexistent-dir/a.pdf"));
        return true;
    };
    QTest::mouseClick(control<QPushButton>(dlg, CKvrcPrintDlg::IDC_PRINT), Qt::LeftButton);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0], dlg.printStatus());
    EXPECT_TRUE(dlg.printStatus().startsWith(
        QStringLiteral("The PDF file /nonexistent-dir/a.pdf could not be written.")));
    auto* status = control<QLabel>(dlg, CKvrcPrintDlg::IDC_PRINT_STATUS);
    EXPECT_EQ(status->toolTip(), dlg.printStatus());
    EXPECT_EQ(status->palette().color(QPalette::WindowText), QColor(200, 0, 0));

    // A cancelled dialog changes nothing.
    dlg.answer = [](QPrinter&) { return false; };
    QTest::mouseClick(control<QPushButton>(dlg, CKvrcPrintDlg::IDC_PRINT), Qt::LeftButton);
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(dlg.printStatus().startsWith(QStringLiteral("The PDF file")));
}

TEST(PrintOutcomeDlg, TheSecondPrintStartsWithTheFirstOnesPaper) {
    ScopedTimeZone tz("UTC");
    ScriptedPrompts prompts;
    ScopedPrinterMemory memory;
    QTemporaryDir dir;
    auto rec = makeSawtoothRecording(100);
    QueueDlg dlg(*rec);
    dlg.printers = {QStringLiteral("office")};
    QPageSize offered;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    dlg.answer = [&](QPrinter& printer) {
        offered = printer.pageLayout().pageSize();
        orientation = printer.pageLayout().orientation();
        printer.setPageSize(QPageSize(QPageSize::Letter));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("a.pdf")));
        return true;
    };
    QTest::mouseClick(control<QPushButton>(dlg, CKvrcPrintDlg::IDC_PRINT), Qt::LeftButton);
    EXPECT_NE(offered.id(), QPageSize::Letter);
    EXPECT_EQ(dlg.printStatus(),
              QStringLiteral("Saved 1 page to %1.").arg(dir.filePath(QStringLiteral("a.pdf"))));

    // The next print, in this preview or a new one, starts on Letter; the orientation follows the pages.
    QTest::mouseClick(control<QPushButton>(dlg, CKvrcPrintDlg::IDC_PRINT), Qt::LeftButton);
    EXPECT_EQ(offered.id(), QPageSize::Letter);
    QueueDlg again(*rec);
    again.printers = dlg.printers;
    again.answer = dlg.answer;
    QTest::mouseClick(control<QRadioButton>(again, CKvrcPrintDlg::IDC_TEXT), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>(again, CKvrcPrintDlg::IDC_PRINT), Qt::LeftButton);
    EXPECT_EQ(offered.id(), QPageSize::Letter);
    EXPECT_EQ(orientation, QPageLayout::Portrait);
    QSettings stored(memory.file, QSettings::IniFormat);
    EXPECT_EQ(stored.value(QStringLiteral("print/paper")).toInt(), static_cast<int>(QPageSize::Letter));
}

TEST(PrintOutcomeDlg, APrinterThatIsGoneFallsBackToTheDefaultQuietly) {
    ScopedPrinterMemory memory;
    {
        QSettings stored(memory.file, QSettings::IniFormat);
        stored.setValue(QStringLiteral("print/printer"), QStringLiteral("removed-long-ago"));
        stored.setValue(QStringLiteral("print/paper"), static_cast<int>(QPageSize::A5));
    }
    QPrinter fresh(QPrinter::HighResolution);
    QPrinter restored(QPrinter::HighResolution);
    PrinterMemory::restore(restored);
    EXPECT_EQ(restored.printerName(), fresh.printerName());
    EXPECT_EQ(restored.pageLayout().pageSize().id(), QPageSize::A5);
}

TEST(PrintOutcomeDlg, ThePrintDialogOffersNoPageChoices) {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer);
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize |
                      QAbstractPrintDialog::PrintCollateCopies);
    hidePageChoices(dialog);
    dialog.show();
    // The options part is folded in at first, so "not hidden" is what the user meets on unfolding it.
    QStringList offered;
    for (const char* name : {"printRange", "from", "to", "pagesRadioButton", "pagesLineEdit",
                             "printSelection", "printCurrentPage"})
        for (QWidget* w : dialog.findChildren<QWidget*>(QLatin1String(name)))
            if (!w->isHidden()) offered << w->objectName();
    EXPECT_TRUE(offered.isEmpty()) << offered.join(QLatin1Char(',')).toStdString();
    auto* all = dialog.findChild<QRadioButton*>(QStringLiteral("printAll"));
    ASSERT_NE(all, nullptr);
    EXPECT_FALSE(all->isHidden());
    // No word is left over from the hidden range ("to" between the page numbers); the page set keeps its
    // label.
    QStringList labels;
    for (const QLabel* label : all->parentWidget()->findChildren<QLabel*>())
        if (!label->isHidden()) labels << label->text();
    EXPECT_EQ(labels, QStringList{QStringLiteral("Page Set:")});
    dialog.hide();
}

// 1001 text pages take about a second: the window keeps handling events meanwhile (a timer keeps firing,
// a progress dialog shows), and Cancel in that dialog stops the save with the old file left alone.
TEST(PrintOutcomeDlg, ALongPrintoutKeepsTheWindowAliveAndCanBeCancelled) {
    ScopedTimeZone tz("UTC");
    ScriptedPrompts prompts;
    QTemporaryDir dir;
    auto rec = makeSawtoothRecording(60000, KindTempHumi);
    QueueDlg dlg(*rec);
    QTest::mouseClick(control<QRadioButton>(dlg, CKvrcPrintDlg::IDC_TEXT), Qt::LeftButton);
    ASSERT_EQ(dlg.pageTotal(), 1001);
    const QString path = dir.filePath(QStringLiteral("long.pdf"));

    int ticks = 0;
    bool progressShown = false;
    bool cancel = false;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        auto* progress = dlg.findChild<QProgressDialog*>(QStringLiteral("printProgress"));
        if (progress == nullptr || !progress->isVisible()) return;
        progressShown = true;
        if (cancel) progress->cancel();
    });
    timer.start();
    prompts.yesNo = {true};
    prompts.fileNames = {path};
    QTest::mouseClick(control<QPushButton>(dlg, CKvrcPrintDlg::IDC_PRINT), Qt::LeftButton);
    EXPECT_EQ(dlg.printStatus(), QStringLiteral("Saved 1001 pages to %1.").arg(path));
    EXPECT_EQ(pdfPages(path), 1001);
    EXPECT_GT(ticks, 10);
    EXPECT_TRUE(progressShown);

    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("the file before");
    old.close();
    cancel = true;
    progressShown = false;
    prompts.yesNo = {true};
    prompts.fileNames = {path};
    QTest::mouseClick(control<QPushButton>(dlg, CKvrcPrintDlg::IDC_PRINT), Qt::LeftButton);
    EXPECT_TRUE(progressShown);
    EXPECT_EQ(dlg.printStatus(), QStringLiteral("Saving was cancelled; %1 was left as it was.").arg(path));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("the file before"));
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_TRUE(control<QPushButton>(dlg, CKvrcPrintDlg::IDC_PRINT)->isEnabled());
}
