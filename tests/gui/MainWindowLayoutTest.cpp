#include <QAbstractButton>
#include <QFontMetrics>
#include <QImage>
#include <QTabWidget>
#include <QTest>
#include <filesystem>

#include "HisDataView.h"
#include "MainWindowFixture.h"

namespace thermivo::testing {
namespace {

// Pictures of the window at two screen sizes in both languages, and checks that no caption or summary
// text is wider than its control at those sizes.
class MainWindowLayout : public MainWindowFixture,
                         public ::testing::WithParamInterface<std::tuple<std::uint16_t, QSize>> {};

// Room for a single-line text inside a widget: its contents minus the style's own margins, roughly.
int textRoom(const QWidget* w) {
    if (qobject_cast<const QAbstractButton*>(w) != nullptr) return w->width() - 6;
    return w->contentsRect().width();
}

void expectFits(const QWidget* w, const QString& shown) {
    if (w->isHidden() || shown.isEmpty()) return;
    const QFontMetrics fm(w->font());
    for (const QString& line : shown.split('\n')) {
        EXPECT_LE(fm.horizontalAdvance(line.trimmed()), textRoom(w))
            << w->objectName().toStdString() << ": '" << line.toStdString() << "'";
    }
    EXPECT_LE(fm.height(), w->height()) << w->objectName().toStdString();
}

TEST_P(MainWindowLayout, TextsFitAndWindowFitsTheScreen) {
    const auto [language, screen] = GetParam();
    ScopedLanguage lang(language);
    rec_ = std::make_unique<Recording>();
    auto dlg = makeWindow({}, screen);
    const QString tag = QString("%1_%2x%3")
                            .arg(language == kLanguageChinesePrc ? "zh" : "en")
                            .arg(screen.width())
                            .arg(screen.height());

    // Ninety percent of the screen, proportions kept.
    EXPECT_LE(dlg->width(), screen.width() * 9 / 10 + 1);
    EXPECT_LE(dlg->height(), screen.height() * 9 / 10 + 1);
    EXPECT_TRUE(dlg->width() >= screen.width() * 85 / 100 || dlg->height() >= screen.height() * 80 / 100);

    dlg->show();
    const QImage empty = dlg->grab().toImage();
    EXPECT_EQ(empty.size(), dlg->size());
    empty.save(QString(THERMIVO_BINARY_DIR "/mainwindow_%1_empty.png").arg(tag));

    for (std::int32_t kind : {KindTemp, KindTempHumi}) {
        dlg->OpenRecordFile(qs(writeRecordFile("shot.kvlu", kind, 600)), "shot.kvlu");
        for (int id : std::initializer_list<int>{IDC_SAVE, IDC_OPEN, IDC_PRINT, IDC_EXIT, IDC_CALIBRATION,
                                                 IDC_STATUS, IDC_POWER_LABEL})
            expectFits(dlg->Control(id), caption(*dlg, id).trimmed());
        CSummFormView* view = dlg->SummaryView();
        for (int row = 0; row < CSummFormView::kRows; ++row) {
            expectFits(view->Label(row), view->Label(row)->text());
            // The description wraps over its lines; every other value is one line.
            if (rec_->validMask & (1u << row) && row != 5)
                expectFits(view->Value(row), view->Value(row)->text());
            // Every row a user needs lies inside the visible band.
            if (!view->Label(row)->isHidden()) {
                EXPECT_TRUE(view->rect().contains(view->Label(row)->geometry())) << row;
                EXPECT_TRUE(view->rect().contains(view->Value(row)->geometry())) << row;
            }
        }
        EXPECT_EQ(view->Value(11)->isHidden(), kind != KindTempHumi);
    }
    // The chart view gets at least the room its own layout asks for.
    EXPECT_GE(dlg->ChartView()->height() + 1, dlg->ChartView()->sizeHint().height());
    EXPECT_GE(dlg->ChartView()->width() + 1, dlg->ChartView()->sizeHint().width());
    // The demo trip in the picture, also left in the build folder for trying the program.
    const std::string demo = writeDemoRecordFile("demo-trip.kvlu");
    std::filesystem::copy_file(demo, THERMIVO_BINARY_DIR "/demo-trip.kvlu",
                               std::filesystem::copy_options::overwrite_existing);
    dlg->OpenRecordFile(qs(demo), "demo-trip.kvlu");
    EXPECT_EQ(status(*dlg), qs(text(39)) + "demo-trip.kvlu");
    const QImage full = dlg->grab().toImage();
    full.save(QString(THERMIVO_BINARY_DIR "/mainwindow_%1_kind4.png").arg(tag));
    AppSettings::instance().setLanguage(kLanguageEnglishUs);
}

INSTANTIATE_TEST_SUITE_P(Screens, MainWindowLayout,
                         ::testing::Combine(::testing::Values(kLanguageEnglishUs, kLanguageChinesePrc),
                                            ::testing::Values(QSize(1280, 800), QSize(1920, 1080))));

}  // namespace
}  // namespace thermivo::testing

namespace thermivo::testing {
namespace {

using MainWindowPictures = MainWindowFixture;

// A full instrument memory in both units and zoomed in with the cursor set, in both languages; the pictures
// go to the build folder.
TEST_F(MainWindowPictures, FullRecordingBothUnitsZoomedWithCursor) {
    const std::string full = writeDemoRecordFile("full.kvlu", Recording::kCapacity);
    for (std::uint16_t language : {kLanguageEnglishUs, kLanguageChinesePrc}) {
        ScopedLanguage lang(language);
        rec_ = std::make_unique<Recording>();
        auto dlg = makeWindow({}, QSize(1920, 1080));
        dlg->show();
        dlg->OpenRecordFile(qs(full), "full.kvlu");
        ASSERT_EQ(rec_->samplesLoaded, Recording::kCapacity);
        const QString tag = language == kLanguageChinesePrc ? "zh" : "en";
        for (int unitButton : {IDC_CELSIUS, IDC_FAHRENHEIT}) {
            QTest::mouseClick(dlg->Control(unitButton), Qt::LeftButton);
            const QImage shot = dlg->grab().toImage();
            shot.save(QString(THERMIVO_BINARY_DIR "/mainwindow_%1_60000_%2.png")
                          .arg(tag, unitButton == IDC_CELSIUS ? "C" : "F"));
            const QString unit =
                unitButton == IDC_CELSIUS ? QString::fromUtf8("\u00B0C") : QString::fromUtf8("\u00B0F");
            EXPECT_TRUE(value(*dlg, 6).endsWith(unit));
        }
        CHisDataView* chart = dlg->ChartView();
        const QImage whole = chart->chartImage().copy();
        for (int k = 0; k < 3; ++k)
            QTest::mouseClick(chart->control(CHisDataView::IDC_ZOOM_IN), Qt::LeftButton);
        const QPoint middle =
            chart->chartOrigin() + QPoint(chart->chartImage().width() / 2, chart->chartImage().height() / 2);
        QTest::mouseClick(chart, Qt::LeftButton, Qt::NoModifier, middle);
        EXPECT_NE(chart->chartImage(), whole);
        dlg->grab().toImage().save(QString(THERMIVO_BINARY_DIR "/mainwindow_%1_60000_zoom.png").arg(tag));
    }
    AppSettings::instance().setLanguage(kLanguageEnglishUs);
}

}  // namespace
}  // namespace thermivo::testing
