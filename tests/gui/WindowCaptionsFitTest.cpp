#include <QFontMetrics>
#include <QProgressBar>
#include <QTest>

#include "FittedText.h"
#include "MainWindowFixture.h"

namespace thermivo::testing {
namespace {

class WindowCaptions : public MainWindowFixture,
                       public ::testing::WithParamInterface<std::tuple<std::uint16_t, QSize>> {};

// The message as painted must not be wider than the line it is painted in.
void expectPaintedWithin(const StatusLine& line) {
    EXPECT_LE(QFontMetrics(line.shownFont()).horizontalAdvance(line.shownText()), line.textRoom())
        << line.shownText().toStdString();
}

TEST_P(WindowCaptions, StatusLineKeepsTheLeadingWordsAndShortensALongFileNameInTheMiddle) {
    const auto [language, screen] = GetParam();
    ScopedLanguage lang(language);
    rec_ = std::make_unique<Recording>();
    auto dlg = makeWindow({}, screen);
    dlg->show();
    auto* line = static_cast<StatusLine*>(dlg->Control(IDC_STATUS));

    const std::string name = "cold_room_12_trip_from_the_harbour_to_the_warehous_day1.kvlu";
    ASSERT_EQ(name.size(), 60u);
    const std::string path = writeRecordFile(name, KindTemp, 120);
    dlg->OpenRecordFile(qs(path), qs(name));
    const QString lead = qs(text(39));
    const QString whole = lead + qs(name);
    EXPECT_EQ(line->text(), whole);
    EXPECT_EQ(line->toolTip(), whole.trimmed());
    EXPECT_EQ(StatusLine::fileNameStart(whole), lead.size());

    const QString shown = line->shownText();
    EXPECT_TRUE(shown.startsWith(lead)) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    // Both ends of the name survive: where it came from and what kind of file it is.
    EXPECT_TRUE(shown.mid(lead.size()).startsWith("cold_")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(".kvlu")) << shown.toStdString();
    EXPECT_GE(fontPixels(line->shownFont()), kMinCaptionPixels);
    expectPaintedWithin(*line);

    // A short name is shown as it is, in the window's font.
    dlg->SetStatusText(lead + "a.kvlu");
    EXPECT_EQ(line->shownText(), lead + "a.kvlu");
    EXPECT_EQ(line->shownFont().pixelSize(), line->font().pixelSize());

    // Any other message too long for the line takes a smaller font before it loses its end.
    const QString other = " Cannot open the instrument port /dev/ttyUSB0: it is in use by another program.";
    dlg->SetStatusText(other);
    EXPECT_EQ(StatusLine::fileNameStart(other), 0);
    EXPECT_LT(line->shownFont().pixelSize(), line->font().pixelSize());
    expectPaintedWithin(*line);
}

TEST_P(WindowCaptions, ConnectButtonShowsEveryStateWholeAndNamesAMissingInstrument) {
    const auto [language, screen] = GetParam();
    ScopedLanguage lang(language);
    rec_ = std::make_unique<Recording>();
    auto dlg = makeWindow({}, screen);
    dlg->show();
    auto* button = static_cast<FittedButton*>(dlg->Control(IDC_CONNECT));

    // No bridge: the caption stays empty, and the button says so instead of being a blank box.
    EXPECT_EQ(button->text(), QString());
    EXPECT_EQ(button->shownText(), qs(text(2200)));
    EXPECT_EQ(qs(text(2200)),
              language == kLanguageChinesePrc ? QString::fromUtf8("未连接记录仪") : QString("No instrument"));

    for (int state : {3, 4, 76, 77, 78, 142}) {
        const QString caption = "DI202612001\n" + qs(text(state));
        button->setText(caption);
        EXPECT_EQ(button->shownText(), caption);
        const QFont f = button->shownFont();
        EXPECT_LE(widestLine(f, caption), button->textRoom().width()) << caption.toStdString();
        EXPECT_GE(fontPixels(f), kMinCaptionPixels);
        const QFontMetrics fm(f);
        EXPECT_LE(fm.lineSpacing() + fm.height(), button->textRoom().height());
    }
    // The English Download caption, one letter per line, cannot stack in its button and reads on one line.
    auto* download = static_cast<FittedButton*>(dlg->Control(IDC_DOWNLOAD));
    if (language != kLanguageChinesePrc) {
        EXPECT_EQ(download->shownText(), "Download");
    }

    // Empty link and battery bars are drawn in the window's colours, not as white boxes.
    for (int id : {IDC_LINK_BAR, IDC_BATTERY_BAR}) {
        auto* bar = static_cast<QProgressBar*>(dlg->Control(id));
        EXPECT_EQ(bar->value(), 0);
        const QImage shot = bar->grab().toImage();
        const QColor inside = shot.pixelColor(shot.width() / 2, shot.height() / 2);
        EXPECT_NE(inside, QColor(Qt::white)) << id;
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, WindowCaptions,
                         ::testing::Combine(::testing::Values(kLanguageEnglishUs, kLanguageChinesePrc),
                                            ::testing::Values(QSize(800, 600), QSize(1024, 768),
                                                              QSize(1600, 1000), QSize(1920, 1080))));

}  // namespace
}  // namespace thermivo::testing
