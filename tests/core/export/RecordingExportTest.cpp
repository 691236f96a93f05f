#include <gtest/gtest.h>

#include "ExportTestSupport.h"
#include "app/AppSettings.h"
#include "export/RecordingExport.h"
#include "export/SaveTargets.h"

using namespace thermivo;
using namespace thermivo::exporttest;

TEST(RecordingCsv, TemperatureInTheChosenUnitAndHumidityForKind4) {
    thermivo::testing::ScopedTimeZone utc("UTC");
    AppSettings celsius;
    celsius.setLanguage(kLanguageEnglishUs);
    celsius.currentUnit = celsius.unitCelsius;
    auto rec = makeExportRecording(5);
    rec->temperature[1] = Recording::kNoValue;  // no value is never an alarm, though below the limit
    rec->temperature[3] = 8.0f;                 // equal to the limit: inside
    rec->temperature[4] = 1.5f;
    EXPECT_EQ(recordingCsv(*rec, celsius),
              "\xEF\xBB\xBFNum,RecordTime,Temperature (\u00B0C),Alarm\r\n"
              "1,2014-05-13T16:53:20+00:00,2.00,\r\n"
              "2,2014-05-13T16:54:20+00:00,,\r\n"
              "3,2014-05-13T16:55:20+00:00,2.02,\r\n"
              "4,2014-05-13T16:56:20+00:00,8.00,\r\n"
              "5,2014-05-13T16:57:20+00:00,1.50,low\r\n");

    AppSettings fahrenheit;
    fahrenheit.setLanguage(kLanguageEnglishUs);
    auto humid = makeExportRecording(1, KindTempHumi);
    humid->sampleTime[0] = 0;  // no time: the cell stays empty
    humid->temperature[0] = 9.0f;
    humid->humiAlarmOn = true;
    humid->humiLower = 45;
    humid->humiUpper = 60;
    EXPECT_EQ(recordingCsv(*humid, fahrenheit),
              "\xEF\xBB\xBFNum,RecordTime,Temperature (\u00B0F),Humidity (%RH),Alarm,Humi Alarm\r\n"
              "1,,48.20,40.00,high,low\r\n");

    AppSettings chinese;
    chinese.setLanguage(kLanguageChinesePrc);
    TempDir dir;
    std::string error;
    AppSettings saved = AppSettings::instance();
    AppSettings::instance() = chinese;
    ASSERT_TRUE(writeRecordingCsv(*rec, dir.file("out.csv"), chinese, &error)) << error;
    AppSettings::instance() = saved;
    const std::string csv = slurp(dir.file("out.csv"));
    EXPECT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(csv.find("\xE5\xBA\x8F\xE5\x8F\xB7,"), std::string::npos);  // header in Chinese
    EXPECT_FALSE(writeRecordingCsv(*rec, dir.file("missing/out.csv"), chinese, &error));
    EXPECT_NE(error.find("missing/out.csv"), std::string::npos);
}

TEST(SaveTargets, ExtensionAfterTheFirstDotAndTheFilterDecide) {
    SaveTargets t = saveTargets("/d/day1", "day1", kFilterWorksheet);
    EXPECT_FALSE(t.recordFile);
    EXPECT_EQ(t.workbookPath, "/d/day1.xls");
    EXPECT_EQ(t.statusName, "day1.xls");

    t = saveTargets("/d/a.kvlu", "a.kvlu", kFilterWorksheet);  // both: the record file and a.kvlu.xls
    EXPECT_EQ(t.recordPath, "/d/a.kvlu");
    EXPECT_EQ(t.workbookPath, "/d/a.kvlu.xls");
    EXPECT_EQ(t.statusName, "a.kvlu.xls");

    t = saveTargets("/d/my.data.kvlu", "my.data.kvlu", kFilterRecordFile);
    EXPECT_EQ(t.recordPath, "/d/my.data.kvlu.kvlu");
    EXPECT_FALSE(t.workbook);
    EXPECT_EQ(saveTargets("/d/x.KVLU", "x.KVLU", kFilterRecordFile).recordName, "x.KVLU.kvlu");

    t = saveTargets("/d/r.xls", "r.xls", kFilterRecordFile);  // the workbook never lands on the record file
    EXPECT_EQ(t.recordPath, "/d/r.xls.kvlu");
    EXPECT_EQ(t.workbookPath, "/d/r.xls");
    EXPECT_EQ(t.statusName, "r.xls");
    EXPECT_EQ(saveTargets("/d/r.xls", "r.xls", kFilterWorksheet).workbookPath, "/d/r.xls");
}

TEST(SaveTargets, XlsxByFilterOrByExtension) {
    SaveTargets t = saveTargets("/d/day1", "day1", kFilterXlsx);
    EXPECT_TRUE(t.xlsx);
    EXPECT_FALSE(t.recordFile);
    EXPECT_FALSE(t.workbook);
    EXPECT_EQ(t.xlsxPath, "/d/day1.xlsx");
    EXPECT_EQ(t.statusName, "day1.xlsx");

    // ".xlsx" is its own extension, not ".xls" with something after it.
    t = saveTargets("/d/r.xlsx", "r.xlsx", kFilterWorksheet);
    EXPECT_TRUE(t.xlsx);
    EXPECT_EQ(t.xlsxPath, "/d/r.xlsx");
    EXPECT_EQ(t.workbookPath, "/d/r.xlsx.xls");

    t = saveTargets("/d/r.xlsx", "r.xlsx", kFilterRecordFile);
    EXPECT_EQ(t.recordPath, "/d/r.xlsx.kvlu");
    EXPECT_EQ(t.xlsxPath, "/d/r.xlsx");
    EXPECT_EQ(t.statusName, "r.xlsx");

    t = saveTargets("/d/a.kvlu", "a.kvlu", kFilterXlsx);  // never onto the record file
    EXPECT_EQ(t.recordPath, "/d/a.kvlu");
    EXPECT_EQ(t.xlsxPath, "/d/a.kvlu.xlsx");
    EXPECT_FALSE(saveTargets("/d/a.xls", "a.xls", kFilterWorksheet).xlsx);
}
