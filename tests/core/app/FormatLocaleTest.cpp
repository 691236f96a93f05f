// Every number the program writes has a decimal point, also after a library switched the process to a
// comma-decimal locale (Qt does so at start-up under de_DE).
#include <gtest/gtest.h>

#include <cstdio>
#include <future>

#include "TestSupport.h"
#include "app/AppSettings.h"
#include "app/Format.h"
#include "export/ListExport.h"
#include "export/RecordingExport.h"
#include "print/TextPage.h"

using namespace thermivo;
using namespace thermivo::testing;

namespace {

std::string cPrintf(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

}  // namespace

TEST(FormatLocale, NumbersKeepTheirPointUnderACommaLocale) {
    ScopedCommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no comma-decimal locale could be generated (localedef)";
    ASSERT_EQ(cPrintf(-4.25), "-4,25");  // the C library itself now writes commas

    EXPECT_EQ(format("%.2f", -4.25), "-4.25");
    EXPECT_EQ(format("%4.2f|%.1f|%g", 5.5, 12.25, 0.5), "5.50|12.2|0.5");
    // Other threads see the same, and the caller's locale is left as it was.
    EXPECT_EQ(std::async(std::launch::async, [] { return format("%.2f", 1.5); }).get(), "1.50");
    EXPECT_EQ(cPrintf(1.5), "1,50");
}

TEST(FormatLocale, SummaryPrintoutAndCsvUnderACommaLocale) {
    ScopedTimeZone utc("UTC");
    ScopedCommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no comma-decimal locale could be generated (localedef)";
    auto rec = makeRecording(KindTempHumi, 3);
    rec->tempLower = -25.0f;
    rec->tempUpper = 8.0f;
    rec->tempAlarmOn = true;
    rec->temperature[0] = -4.25f;
    rec->buildSampleTimes();
    AppSettings settings;
    settings.setLanguage(kLanguageChinesePrc);  // Celsius
    rec->formatTemperatureTexts(settings);
    EXPECT_EQ(rec->values[Recording::ValTempLower], "-25.00" + settings.unitCelsius);

    PrintJob job(*rec);
    EXPECT_EQ(textTemperatureCell(job, -4.25f), "-4.25\u00B0C");
    EXPECT_EQ(textTemperatureCell(job, -30.0f), "-30.00\u00B0C [<-25.00]");

    const std::string csv = recordingCsv(*rec, settings);
    EXPECT_NE(csv.find(",-4.25,"), std::string::npos) << csv;
    EXPECT_EQ(csv.find(",-4,25"), std::string::npos) << csv;

    const SampleListSource samples(*rec, settings);
    EXPECT_EQ(samples.cell(0, 2), "-4.25" + settings.unitCelsius);
}
