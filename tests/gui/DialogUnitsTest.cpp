#include <QFontMetrics>

#include "DialogUnits.h"
#include "HisDataView.h"
#include "MainWindowFixture.h"
#include "core/print/PrintTestData.h"
#include "print/KvrcPrintDlg.h"

namespace thermivo::testing {
namespace {

TEST(DialogUnitConversion, ComesFromTheDialogFontAndRoundsEachValue) {
    const DialogUnits du;
    const DialogUnits measured(dialogFont());
    EXPECT_EQ(du.baseX(), measured.baseX());
    EXPECT_EQ(du.baseY(), measured.baseY());
    // An 8-point sans serif at 96 dpi: about six pixels across and thirteen down per character.
    RecordProperty("baseX", du.baseX());
    RecordProperty("baseY", du.baseY());
    EXPECT_GE(du.baseX(), 5);
    EXPECT_LE(du.baseX(), 7);
    EXPECT_GE(du.baseY(), 12);
    EXPECT_LE(du.baseY(), 15);

    const DialogUnits classic(6, 13);
    EXPECT_EQ(classic.x(119), 179);  // 178.5 rounds up
    EXPECT_EQ(classic.y(12), 20);    // 19.5 rounds up
    EXPECT_EQ(classic.y(11), 18);    // 17.875
    EXPECT_EQ(classic.x(1), 2);      // 1.5
    EXPECT_EQ(classic.x(-1), -2);
    // Edges convert: 619.5 .. 798 across, 58.5 .. 78 down.
    EXPECT_EQ(classic.toPixels(QRect(413, 36, 119, 12)), QRect(620, 59, 178, 19));
    // Neighbours stay neighbours: the right edge of one is the left edge of the next.
    EXPECT_EQ(classic.toPixels(QRect(9, 5, 27, 43)).right() + 1,
              classic.toPixels(QRect(36, 5, 96, 43)).left());
}

using DialogUnitsEverywhere = MainWindowFixture;

// The main window, its chart view and the print preview place their template numbers alike.
TEST_F(DialogUnitsEverywhere, EveryWindowPlacesItsTemplateThroughTheSameConversion) {
    const DialogUnits du;
    auto dlg = makeWindow({}, QSize(1366, 768));
    const float f = dlg->LayoutFactor();
    EXPECT_EQ(dlg->Control(IDC_STATUS)->geometry(),
              scaleAboutCentre(du.toPixels(QRect(413, 36, 119, 12)), f));
    EXPECT_EQ(dlg->Control(IDC_TAB)->geometry(), scaleAboutCentre(du.toPixels(QRect(17, 126, 516, 252)), f));
    CHisDataView* chart = dlg->ChartView();
    EXPECT_EQ(chart->control(CHisDataView::IDC_SAMPLE_LIST)->geometry(),
              scaleAboutCentre(du.toPixels(QRect(373, 0, 141, 234)), f));
    EXPECT_EQ(CHisDataView::dialogUnitsToPixels(34, 185, 332, 11), du.toPixels(QRect(34, 185, 332, 11)));

    auto rec = makeSawtoothRecording(130);
    CKvrcPrintDlg print(*rec, dlg.get(), f);
    QWidget* frame = print.findChild<QWidget*>(QStringLiteral("1108"));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->geometry(), scaleAboutCentre(du.toPixels(QRect(7, 7, 576, 321)), f));
    EXPECT_EQ(print.font().pixelSize(), dlg->font().pixelSize());

    // The preview keeps the template's proportions, dialog and frame alike.
    const double dialogRatio = static_cast<double>(du.x(601)) / du.y(416);
    EXPECT_NEAR(static_cast<double>(print.width()) / print.height(), dialogRatio, 0.01);
    const double frameRatio = static_cast<double>(du.x(576)) / du.y(321);
    EXPECT_NEAR(static_cast<double>(frame->width()) / frame->height(), frameRatio, 0.01);
}

}  // namespace
}  // namespace thermivo::testing
