#include <gtest/gtest.h>

#include <QDateTimeEdit>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include "app/AppSettings.h"
#include "core/print/PrintTestData.h"
#include "gui/ScriptedPrompts.h"
#include "print/KvrcPrintDlg.h"
#include "print/PreviewNav.h"
#include "print/TextPage.h"

using namespace thermivo;
using thermivo::testing::makeSawtoothRecording;
using thermivo::testing::ScopedTimeZone;

namespace {

template <typename T = QWidget>
T* control(QWidget& dialog, int id) {
    return dialog.findChild<T*>(QString::number(id));
}

QString counterText(QWidget& d) {
    return control<QLabel>(d, CKvrcPrintDlg::IDC_COUNTER)->text();
}

bool enabled(QWidget& d, int id) {
    return control(d, id)->isEnabled();
}

/// A dialog whose print dialog is answered by the test: cancelled, or accepted with a PDF file as printer.
class TestPrintDlg : public CKvrcPrintDlg {
  public:
    using CKvrcPrintDlg::CKvrcPrintDlg;
    bool accept = false;
    QString outputFile;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QString docName;
    bool buttonsDisabledWhileAsked = false;

  protected:
    bool execPrintDialog(QPrinter& printer) override {
        orientation = printer.pageLayout().orientation();
        docName = printer.docName();
        buttonsDisabledWhileAsked = !control(*this, IDC_PRINT)->isEnabled() &&
                                    !control(*this, IDC_CURVER)->isEnabled() &&
                                    !control(*this, IDC_TEXT)->isEnabled();
        if (accept) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(outputFile);
        }
        return accept;
    }
    QStringList availablePrinters() const override { return {QStringLiteral("test-queue")}; }
};

void wheel(QWidget* target, int delta) {
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

QString outDir() {
    const QString dir = QStringLiteral(THERMIVO_BINARY_DIR "/print-output");
    QDir().mkpath(dir);
    return dir;
}

}  // namespace

TEST(PrintDlg, ControlsCaptionsAndInitialState) {
    ScopedTimeZone tz("UTC");
    auto rec = makeSawtoothRecording(130);
    CKvrcPrintDlg dlg(*rec);
    const int ids[] = {1,    1093, 1094, 1095, 1096, 1097, 1098, 1099, 1100, 1101, 1102,
                       1103, 1104, 1105, 1106, 1107, 1108, 1109, 1110, 1111, 1132};
    for (int id : ids) EXPECT_NE(control(dlg, id), nullptr) << id;
    EXPECT_EQ(control<QGroupBox>(dlg, 1105)->title(), QStringLiteral("Preview Setting:"));
    EXPECT_EQ(control<QPushButton>(dlg, 1093)->text(), QStringLiteral("Preview"));
    EXPECT_EQ(control<QLabel>(dlg, 1109)->text(), QStringLiteral("Print Pages:"));
    EXPECT_EQ(control<QRadioButton>(dlg, 1096)->text(), QStringLiteral("Curver"));
    EXPECT_EQ(control<QRadioButton>(dlg, 1097)->text(), QStringLiteral("Text"));
    EXPECT_EQ(control<QLabel>(dlg, 1110)->text(), QStringLiteral("Start Time:"));
    EXPECT_EQ(control<QLabel>(dlg, 1111)->text(), QStringLiteral("End Time:"));
    EXPECT_EQ(control<QPushButton>(dlg, 1100)->text(), QStringLiteral("Print"));
    EXPECT_EQ(control<QPushButton>(dlg, 1)->text(), QStringLiteral("Exit"));
    EXPECT_EQ(control<QDateTimeEdit>(dlg, 1098)->displayFormat(), QStringLiteral("yyyy-MM-dd HH:mm"));
    EXPECT_EQ(control<QDateTimeEdit>(dlg, 1098)->dateTime().toString(Qt::ISODate),
              QStringLiteral("2014-03-01T10:00:00"));
    EXPECT_EQ(control<QLineEdit>(dlg, 1094)->text(), QStringLiteral("1"));
    EXPECT_TRUE(control<QRadioButton>(dlg, 1096)->isChecked());

    EXPECT_EQ(counterText(dlg), QStringLiteral("1/1") + QString(11, ' '));
    EXPECT_FALSE(enabled(dlg, 1093));
    for (int id : {1101, 1102, 1103, 1104}) EXPECT_FALSE(enabled(dlg, id)) << id;
    EXPECT_TRUE(enabled(dlg, 1100));
    EXPECT_TRUE(control(dlg, 1106)->isHidden());
    EXPECT_TRUE(dlg.previewShown());
    EXPECT_EQ(dlg.selection().selCount, 130);
    EXPECT_EQ(dlg.screenPlotPixels(), 907);
    EXPECT_EQ(dlg.pageImage().size(), QSize(1096, 755));  // 290 x 200 mm at 96 dpi

    // Chinese captions come from the same table.
    const thermivo::testing::ScopedLanguage chinese(kLanguageChinesePrc);
    CKvrcPrintDlg zh(*rec);
    EXPECT_EQ(control<QPushButton>(zh, 1093)->text(), QStringLiteral("预览"));
    EXPECT_EQ(control<QRadioButton>(zh, 1096)->text(), QStringLiteral("曲线"));
}

TEST(PrintDlg, InvertedRangeIsRefusedAndPreviewRestoresThePickers) {
    ScopedTimeZone tz("UTC");
    ScriptedPrompts prompts;
    auto rec = makeSawtoothRecording(130);
    CKvrcPrintDlg dlg(*rec);
    auto* start = control<QDateTimeEdit>(dlg, 1098);
    auto* end = control<QDateTimeEdit>(dlg, 1099);
    const QDateTime oldStart = start->dateTime(), oldEnd = end->dateTime();
    start->setDateTime(oldEnd.addSecs(-60));
    end->setDateTime(oldStart.addSecs(600));
    EXPECT_FALSE(dlg.startInvalid());
    EXPECT_TRUE(dlg.endInvalid());  // the end now lies before the start
    EXPECT_EQ(control<QLabel>(dlg, 1111)->palette().color(QPalette::WindowText), QColor(200, 0, 0));
    ASSERT_TRUE(enabled(dlg, 1093));
    QTest::mouseClick(control<QPushButton>(dlg, 1093), Qt::LeftButton);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages.first(), QStringLiteral("Time set wrong!"));
    EXPECT_EQ(start->dateTime(), oldStart);
    EXPECT_EQ(end->dateTime(), oldEnd);
    EXPECT_EQ(dlg.selection().selCount, 130);
    EXPECT_FALSE(dlg.endInvalid());

    // A start after the recording's end is marked at once.
    start->setDateTime(oldEnd.addSecs(3600));
    EXPECT_TRUE(dlg.startInvalid());
}

TEST(PrintDlg, PreviewPagesCounterAndNavigation) {
    ScopedTimeZone tz("UTC");
    auto rec = makeSawtoothRecording(1200);
    CKvrcPrintDlg dlg(*rec);
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    auto* pages = control<QLineEdit>(dlg, 1094);
    pages->setText(QStringLiteral("3"));
    ASSERT_TRUE(enabled(dlg, 1093));
    QTest::mouseClick(control<QPushButton>(dlg, 1093), Qt::LeftButton);
    EXPECT_EQ(dlg.pageTotal(), 3);
    EXPECT_EQ(counterText(dlg), QStringLiteral("1/3") + QString(15, ' '));
    EXPECT_FALSE(enabled(dlg, 1093));
    EXPECT_FALSE(enabled(dlg, 1101));
    EXPECT_FALSE(enabled(dlg, 1102));
    EXPECT_TRUE(enabled(dlg, 1103));
    EXPECT_TRUE(enabled(dlg, 1104));

    QTest::mouseClick(control<QPushButton>(dlg, 1103), Qt::LeftButton);
    EXPECT_EQ(counterText(dlg), QStringLiteral("2/3") + QString(15, ' '));
    for (int id : {1101, 1102, 1103, 1104}) EXPECT_TRUE(enabled(dlg, id)) << id;
    QTest::mouseClick(control<QPushButton>(dlg, 1104), Qt::LeftButton);
    EXPECT_EQ(dlg.currentPage(), 3);
    EXPECT_FALSE(enabled(dlg, 1103));
    EXPECT_FALSE(enabled(dlg, 1104));
    EXPECT_TRUE(control(dlg, 1102)->hasFocus());  // the last page moves the focus to "previous"
    QTest::mouseClick(control<QPushButton>(dlg, 1101), Qt::LeftButton);
    EXPECT_EQ(dlg.currentPage(), 1);
    EXPECT_TRUE(control(dlg, 1103)->hasFocus());

    // Out-of-range counts are corrected in the edit; the up-down control stays within 1 .. 99.
    pages->setText(QStringLiteral("0"));
    QTest::mouseClick(control<QPushButton>(dlg, 1093), Qt::LeftButton);
    EXPECT_EQ(pages->text(), QStringLiteral("1"));
    EXPECT_EQ(dlg.pageTotal(), 1);
    for (int id : {1101, 1102, 1103, 1104}) EXPECT_FALSE(enabled(dlg, id)) << id;
    pages->setText(QStringLiteral("98"));
    auto* up = dlg.findChild<QToolButton*>(QStringLiteral("1095.up"));
    QTest::mouseClick(up, Qt::LeftButton);
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(pages->text(), QStringLiteral("99"));
    // Typing stops at two digits.
    pages->selectAll();
    QTest::keyClicks(pages, QStringLiteral("123"));
    EXPECT_EQ(pages->text(), QStringLiteral("12"));
}

TEST(PrintDlg, PageFieldShowsAFourDigitTextPageCountWhole) {
    ScopedTimeZone tz("UTC");
    // 60000 samples make 1 + 1000 text pages.
    auto rec = makeSawtoothRecording(60000);
    CKvrcPrintDlg dlg(*rec);
    dlg.show();
    QTest::mouseClick(control<QRadioButton>(dlg, 1097), Qt::LeftButton);
    ASSERT_EQ(dlg.pageTotal(), 1001);
    auto* pages = control<QLineEdit>(dlg, 1094);
    EXPECT_EQ(pages->text(), QStringLiteral("1001"));
    EXPECT_EQ(pages->displayText(), QStringLiteral("1001"));
    // The number fits inside the field's frame in the font it is shown in.
    EXPECT_LE(QFontMetrics(pages->font()).horizontalAdvance(pages->text()), pages->width() - 8);
    // Back to curves: the two-digit count returns in the dialog's font.
    QTest::mouseClick(control<QRadioButton>(dlg, 1096), Qt::LeftButton);
    EXPECT_EQ(pages->text(), QStringLiteral("1"));
    EXPECT_EQ(pages->font().pixelSize(), dlg.font().pixelSize());
}

TEST(PrintDlg, TextThenCurverRestoresTheCurvePageCount) {
    ScopedTimeZone tz("UTC");
    auto rec = makeSawtoothRecording(130);
    CKvrcPrintDlg dlg(*rec);
    control<QLineEdit>(dlg, 1094)->setText(QStringLiteral("5"));
    QTest::mouseClick(control<QPushButton>(dlg, 1093), Qt::LeftButton);
    ASSERT_EQ(dlg.pageTotal(), 5);
    QTest::mouseClick(control<QPushButton>(dlg, 1103), Qt::LeftButton);

    QTest::mouseClick(control<QRadioButton>(dlg, 1097), Qt::LeftButton);
    EXPECT_EQ(dlg.outputMode(), PrintMode::Text);
    EXPECT_EQ(dlg.pageTotal(), 4);
    EXPECT_EQ(dlg.currentPage(), 1);
    EXPECT_EQ(control<QLineEdit>(dlg, 1094)->text(), QStringLiteral("4"));
    EXPECT_FALSE(enabled(dlg, 1094));
    EXPECT_FALSE(enabled(dlg, 1093));
    EXPECT_EQ(counterText(dlg), QStringLiteral("1/4") + QString(15, ' '));
    EXPECT_FALSE(control(dlg, 1106)->isHidden());
    EXPECT_EQ(control<QScrollBar>(dlg, 1106)->maximum(), dlg.maxScroll());
    EXPECT_EQ(dlg.pageImage().size(), QSize(755, 1096));

    // Text again changes nothing but the two controls.
    QTest::mouseClick(control<QPushButton>(dlg, 1103), Qt::LeftButton);
    QTest::mouseClick(control<QRadioButton>(dlg, 1097), Qt::LeftButton);
    EXPECT_EQ(dlg.currentPage(), 2);

    QTest::mouseClick(control<QRadioButton>(dlg, 1096), Qt::LeftButton);
    EXPECT_EQ(dlg.outputMode(), PrintMode::Curve);
    EXPECT_EQ(dlg.pageTotal(), 5);
    EXPECT_EQ(dlg.currentPage(), 1);
    EXPECT_EQ(control<QLineEdit>(dlg, 1094)->text(), QStringLiteral("5"));
    EXPECT_EQ(counterText(dlg), QStringLiteral("1/5") + QString(11, ' '));
    EXPECT_TRUE(enabled(dlg, 1094));
    EXPECT_FALSE(enabled(dlg, 1093));
    EXPECT_TRUE(control(dlg, 1106)->isHidden());
}

TEST(PrintDlg, WheelScrollsATextPageAndTurnsItAtTheFourthNotch) {
    ScopedTimeZone tz("UTC");
    auto rec = makeSawtoothRecording(130);
    CKvrcPrintDlg dlg(*rec);
    dlg.show();
    QTest::mouseClick(control<QRadioButton>(dlg, 1097), Qt::LeftButton);
    QWidget* frame = control(dlg, 1108);
    auto* bar = control<QScrollBar>(dlg, 1106);
    wheel(frame, -120);
    EXPECT_EQ(dlg.scrollY(), 20);
    EXPECT_EQ(bar->value(), 20);
    bar->setValue(bar->maximum());
    EXPECT_EQ(dlg.scrollY(), dlg.maxScroll());
    wheel(frame, -120);
    wheel(frame, -120);
    wheel(frame, -120);
    EXPECT_EQ(dlg.currentPage(), 1);
    EXPECT_EQ(dlg.wheelOverscroll(), 3);
    wheel(frame, -120);
    EXPECT_EQ(dlg.currentPage(), 2);
    EXPECT_EQ(dlg.scrollY(), 0);
    EXPECT_EQ(counterText(dlg), QStringLiteral("2/4") + QString(15, ' '));
    wheel(frame, -120);
    EXPECT_EQ(dlg.currentPage(), 3);

    // Back up: the first notch stays on the page, the fourth beyond its top shows the previous page's bottom.
    for (int i = 0; i < 4; ++i) wheel(frame, 120);
    EXPECT_EQ(dlg.currentPage(), 2);
    EXPECT_EQ(dlg.scrollY(), dlg.maxScroll());
    EXPECT_EQ(bar->value(), dlg.maxScroll());

    // Curve pages ignore the wheel.
    QTest::mouseClick(control<QRadioButton>(dlg, 1096), Qt::LeftButton);
    wheel(frame, -120);
    EXPECT_EQ(dlg.scrollY(), 0);
}

TEST(PrintDlg, EscapeNeverClosesAndEnterOnlyPressesCommandButtons) {
    ScopedTimeZone tz("UTC");
    auto rec = makeSawtoothRecording(130);
    CKvrcPrintDlg dlg(*rec);
    dlg.show();
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_TRUE(dlg.isVisible());
    auto* pages = control<QLineEdit>(dlg, 1094);
    pages->setFocus();
    pages->setText(QStringLiteral("2"));
    QTest::keyClick(pages, Qt::Key_Return);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.pageTotal(), 1);  // Enter in the edit does not press Preview
    QTest::keyClick(pages, Qt::Key_Up);
    EXPECT_EQ(pages->text(), QStringLiteral("3"));
    auto* preview = control<QPushButton>(dlg, 1093);
    preview->setFocus();
    QTest::keyClick(preview, Qt::Key_Return);
    EXPECT_EQ(dlg.pageTotal(), 3);
    auto* exitButton = control<QPushButton>(dlg, 1);
    exitButton->setFocus();
    QTest::keyClick(exitButton, Qt::Key_Return);
    EXPECT_FALSE(dlg.isVisible());
}

TEST(PrintDlg, PrintingFreesTheButtonsAfterCancelFailureAndSuccess) {
    ScopedTimeZone tz("UTC");
    ScriptedPrompts prompts;
    auto rec = makeSawtoothRecording(300);
    TestPrintDlg dlg(*rec);
    auto* print = control<QPushButton>(dlg, 1100);
    QTest::mouseClick(print, Qt::LeftButton);
    EXPECT_TRUE(dlg.buttonsDisabledWhileAsked);
    EXPECT_EQ(dlg.orientation, QPageLayout::Landscape);
    EXPECT_EQ(dlg.docName, QStringLiteral("DI123456789"));
    for (int id : {1100, 1096, 1097}) EXPECT_TRUE(enabled(dlg, id)) << id;

    dlg.accept = true;
    dlg.outputFile = QStringLiteral("/nonexistent-dir/out.pdf");  // the document cannot be started
    QTest::mouseClick(print, Qt::LeftButton);
    for (int id : {1100, 1096, 1097}) EXPECT_TRUE(enabled(dlg, id)) << id;
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith(
        QStringLiteral("The PDF file /nonexistent-dir/out.pdf could not be written. (")))
        << prompts.messages[0].toStdString();

    QTest::mouseClick(control<QRadioButton>(dlg, 1097), Qt::LeftButton);
    dlg.outputFile = outDir() + QStringLiteral("/dialog-text.pdf");
    QFile::remove(dlg.outputFile);
    QTest::mouseClick(print, Qt::LeftButton);
    EXPECT_EQ(dlg.orientation, QPageLayout::Portrait);
    EXPECT_TRUE(QFile::exists(dlg.outputFile));
    for (int id : {1100, 1096, 1097}) EXPECT_TRUE(enabled(dlg, id)) << id;
}

TEST(PrintDlg, GrabsOfThePreview) {
    ScopedTimeZone tz("UTC");
    auto rec = makeSawtoothRecording(2000, KindTempHumi);
    CKvrcPrintDlg dlg(*rec);
    dlg.show();
    ASSERT_TRUE(dlg.grab().save(outDir() + QStringLiteral("/preview-curve.png")));
    QTest::mouseClick(control<QRadioButton>(dlg, 1097), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>(dlg, 1103), Qt::LeftButton);
    ASSERT_TRUE(dlg.grab().save(outDir() + QStringLiteral("/preview-text.png")));
    CKvrcPrintDlg small(*rec, nullptr, 0.8f);
    small.show();
    EXPECT_LT(small.width(), dlg.width());
    EXPECT_LT(control(small, 1108)->width(), control(dlg, 1108)->width());
    ASSERT_TRUE(small.grab().save(outDir() + QStringLiteral("/preview-small.png")));
}

TEST(PrintDlg, StretchKeepsThinLines) {
    QImage page(1000, 100, QImage::Format_RGB32);
    page.fill(Qt::white);
    for (int y = 0; y < 100; ++y) page.setPixel(501, y, qRgb(0, 0, 0));
    const QImage small = stretchBlackOnWhite(page, page.rect(), QSize(333, 50));
    int dark = 0;
    for (int x = 0; x < 333; ++x)
        if (qGray(small.pixel(x, 25)) == 0) ++dark;
    EXPECT_EQ(dark, 1);
}

TEST(PrintDlg, ARecordingWithoutSamplesShowsNoPage) {
    ScriptedPrompts prompts;
    auto rec = makeSawtoothRecording(10);
    rec->samplesLoaded = 0;
    CKvrcPrintDlg dlg(*rec);
    EXPECT_FALSE(dlg.rangeReady());
    EXPECT_FALSE(dlg.previewShown());
    EXPECT_TRUE(dlg.pageImage().isNull());
    control<QLineEdit>(dlg, 1094)->setText(QStringLiteral("4"));
    QTest::mouseClick(control<QPushButton>(dlg, 1093), Qt::LeftButton);
    EXPECT_EQ(dlg.pageTotal(), 1);
    EXPECT_TRUE(prompts.messages.isEmpty());
}

// Run a second time by ctest with QT_SCALE_FACTOR=2 (PrintPreviewAtTwiceTheScale): the page is drawn for
// the frame's device pixels, so one-pixel lines stay one device pixel wide instead of being doubled.
// The grab goes to print-output/preview-2x.png to be looked at.
TEST(PrintDlg, ThePreviewIsSharpAtTwiceTheScale) {
    ScopedTimeZone tz("UTC");
    auto rec = makeSawtoothRecording(2000, KindTempHumi);
    CKvrcPrintDlg dlg(*rec);
    dlg.show();
    QWidget* frame = control(dlg, CKvrcPrintDlg::IDC_FRAME);
    if (frame->devicePixelRatioF() < 2) GTEST_SKIP() << "run with QT_SCALE_FACTOR=2";
    EXPECT_EQ(dlg.pageImage().size(), QSize(2192, 1511));  // 290 x 200 mm at 192 dpi
    const QImage shot = frame->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_GE(shot.width(), 2 * frame->width());
    // Dark pixels with light neighbours left and right: thin vertical lines drawn at device resolution.
    int thin = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 1; x + 1 < shot.width(); ++x)
            if (qGray(shot.pixel(x, y)) < 100 && qGray(shot.pixel(x - 1, y)) > 180 &&
                qGray(shot.pixel(x + 1, y)) > 180)
                ++thin;
    EXPECT_GT(thin, 500);
    shot.save(outDir() + QStringLiteral("/preview-2x.png"));
    QTest::mouseClick(control<QRadioButton>(dlg, CKvrcPrintDlg::IDC_TEXT), Qt::LeftButton);
    dlg.grab().save(outDir() + QStringLiteral("/preview-2x-text.png"));
}
