#include "export/XlsxExport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "ExportTestSupport.h"
#include "app/AppSettings.h"
#include "app/Format.h"
#include "app/Provenance.h"
#include "data/LocalTime.h"

using namespace thermivo;
using namespace thermivo::exporttest;

namespace {

const std::string kChecker = THERMIVO_TEST_SUPPORT_DIR "/check_xlsx.py";

bool haveOpenpyxl() {
    return std::system("/usr/bin/python3 -c 'import openpyxl' >/dev/null 2>&1") == 0;
}

std::string run(const std::string& cmd) {
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (p == nullptr) return out;
    char buf[4096];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
    return out;
}

std::string shortest(float v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string minuteText(std::int64_t t) {
    const auto p = toLocal(t);
    return format("%.4d-%.2d-%.2d %.2d:%.2d", p->year, p->month, p->day, p->hour, p->minute);
}

// A kind-4 recording whose temperature and humidity leave their limits now and then, with gaps.
std::unique_ptr<Recording> fullKindFour() {
    auto rec = makeExportRecording(Recording::kCapacity, KindTempHumi);
    rec->intervalSeconds = 300;
    rec->buildSampleTimes();
    rec->humiAlarmOn = true;
    rec->humiLower = 30;
    rec->humiUpper = 70;
    for (int i = 0; i < Recording::kCapacity; ++i) {
        const auto k = static_cast<std::size_t>(i);
        rec->temperature[k] = static_cast<float>(std::round(500.0 + 450.0 * std::sin(i * 0.003)) / 100.0);
        rec->humidity[k] = static_cast<float>(std::round(500.0 + 250.0 * std::cos(i * 0.002)) / 10.0);
    }
    rec->temperature[10] = Recording::kNoValue;
    rec->humidity[11] = Recording::kNoValue;
    return rec;
}

std::string side(float v, bool on, float lo, float hi) {
    if (!on || !Recording::hasValue(v)) return "";
    return v > hi ? "high" : (v < lo ? "low" : "");
}

}  // namespace

TEST(XlsxExport, SixtyThousandKindFourSamplesReadBackAsNumbersAndDates) {
    if (!xlsxExportAvailable()) GTEST_SKIP() << "built without libxlsxwriter";
    if (!haveOpenpyxl()) GTEST_SKIP() << "/usr/bin/python3 has no openpyxl (Debian: python3-openpyxl)";
    thermivo::testing::ScopedTimeZone berlin("Europe/Berlin");  // the recording crosses the end of DST
    AppSettings celsius;
    celsius.setLanguage(kLanguageEnglishUs);
    celsius.currentUnit = celsius.unitCelsius;
    const auto rec = fullKindFour();
    TempDir dir;
    std::string error;
    ASSERT_TRUE(writeRecordingXlsx(*rec, dir.file("r.xlsx"), celsius, &error)) << error;
    EXPECT_EQ(entryCount(dir.path()), 1u);  // no temporary file left behind

    std::ofstream tsv(dir.file("expected.tsv"));
    tsv << "Num\tRecordTime\tTemperature (\u00B0C)\tHumidity (%RH)\tAlarm\tHumi Alarm\n";
    for (int i = 0; i < Recording::kCapacity; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const float t = rec->temperature[k], h = rec->humidity[k];
        tsv << i + 1 << '\t' << minuteText(rec->sampleTime[k]) << '\t'
            << (Recording::hasValue(t) ? shortest(t) : "") << '\t'
            << (Recording::hasValue(h) ? shortest(h) : "") << '\t'
            << side(t, true, rec->tempLower, rec->tempUpper) << '\t'
            << side(h, true, rec->humiLower, rec->humiUpper) << '\n';
    }
    tsv.close();
    const std::string out = run("/usr/bin/python3 '" + kChecker + "' '" + dir.file("r.xlsx") + "' '" +
                                dir.file("expected.tsv") + "' 2>&1");
    ASSERT_NE(out.find("done\n"), std::string::npos) << out;
    EXPECT_NE(out.find("sheets: Summary|Data|Chart\n"), std::string::npos) << out;
    EXPECT_NE(out.find("chartsheets: 1\n"), std::string::npos) << out;
    EXPECT_NE(out.find("rows: 60001 of 60001\n"), std::string::npos) << out;
    EXPECT_NE(out.find("mismatches: 0\n"), std::string::npos) << out;
    // Num int, RecordTime datetime, Temperature and Humidity numbers (a whole number reads back as int), the
    // alarms text: no number or date as text.
    EXPECT_NE(out.find("types: 0:int 1:datetime 2:float "), std::string::npos) << out;
    EXPECT_NE(out.find(" 3:float "), std::string::npos) << out;
    EXPECT_NE(out.find(" 4:str 5:str\n"), std::string::npos) << out;
    for (const char* wrong :
         {"0:float", "0:str", "1:str", "1:int", "1:float", "2:str", "3:str", "4:int", "5:int", "6:int"})
        EXPECT_EQ(out.find(wrong), std::string::npos) << wrong;
    // Against time: a scatter chart; both curves and the four limit lines.
    EXPECT_NE(out.find("line=False scatter=True series=6"), std::string::npos) << out;
    EXPECT_NE(out.find("ref: Data!$C$2:$C$60001"), std::string::npos) << out;
    EXPECT_NE(out.find("ref: Data!$D$2:$D$60001"), std::string::npos) << out;
}

TEST(XlsxExport, ChineseNamesFahrenheitAndFailuresLeaveNothing) {
    if (!xlsxExportAvailable()) GTEST_SKIP() << "built without libxlsxwriter";
    thermivo::testing::ScopedTimeZone utc("UTC");
    thermivo::testing::ScopedLanguage chinese(kLanguageChinesePrc);
    AppSettings settings = AppSettings::instance();
    settings.currentUnit = settings.unitFahrenheit;
    auto rec = makeExportRecording(3);
    rec->temperature[0] = 5.0f;
    TempDir dir;
    std::string error;
    ASSERT_TRUE(writeRecordingXlsx(*rec, dir.file("r.xlsx"), settings, &error)) << error;
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("r.xlsx").c_str(), &st), 0);
    EXPECT_NE(st.st_mode & 0044, 0u) << "readable like any file the user saves";

    if (haveOpenpyxl()) {
        std::ofstream(dir.file("expected.tsv"))
            << "\u5E8F\u53F7\t\u65F6\u95F4\t\u6E29\u5EA6 (\u00B0F)\t\u62A5\u8B66\n"
            << "1\t2014-05-13 16:53\t41\t\n2\t2014-05-13 16:54\t35.62\t\n"  // the two decimals shown
            << "3\t2014-05-13 16:55\t35.64\t\n";
        const std::string out = run("/usr/bin/python3 '" + kChecker + "' '" + dir.file("r.xlsx") + "' '" +
                                    dir.file("expected.tsv") + "' 2>&1");
        EXPECT_NE(out.find("sheets: \u6982\u8FF0|\u6570\u636E|\u66F2\u7EBF\u56FE\n"), std::string::npos)
            << out;
        EXPECT_NE(out.find("rows: 4 of 4\n"), std::string::npos) << out;
        EXPECT_NE(out.find("mismatches: 0\n"), std::string::npos) << out;
        EXPECT_NE(out.find("line=False scatter=True series=3"), std::string::npos)
            << out;  // curve, two limits
        // openpyxl reads a scatter chart whose x axis is a value axis showing dates.
        EXPECT_NE(out.find("openpyxl chart: scatterChart x=valAx format=yyyy-mm-dd hh:mm series=3"),
                  std::string::npos)
            << out;
    }

    // A folder that does not exist: a clear error and no file anywhere.
    EXPECT_FALSE(writeRecordingXlsx(*rec, dir.file("missing/r.xlsx"), settings, &error));
    EXPECT_NE(error.find("missing/r.xlsx"), std::string::npos) << error;
    // Replacing a file that cannot be replaced (a folder of that name) keeps it and leaves no temporary file.
    std::filesystem::create_directory(dir.file("taken.xlsx"));
    error.clear();
    EXPECT_FALSE(writeRecordingXlsx(*rec, dir.file("taken.xlsx"), settings, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken.xlsx")));
    EXPECT_EQ(entryCount(dir.path()), 3u);  // r.xlsx, expected.tsv or not, taken.xlsx

    // A link to the user's workbook: the workbook it points to is replaced, the link stays a link.
    const auto before = std::filesystem::file_size(dir.file("r.xlsx"));
    std::filesystem::create_symlink("r.xlsx", dir.file("link.xlsx"));
    auto longer = makeExportRecording(500);
    ASSERT_TRUE(writeRecordingXlsx(*longer, dir.file("link.xlsx"), settings, &error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.xlsx")));
    EXPECT_GT(std::filesystem::file_size(dir.file("r.xlsx")), before);
}

TEST(XlsxExport, NamesItsMakerTheZoneAndTheSourceDigest) {
    if (!xlsxExportAvailable()) GTEST_SKIP() << "built without libxlsxwriter";
    if (!haveOpenpyxl()) GTEST_SKIP() << "/usr/bin/python3 has no openpyxl (Debian: python3-openpyxl)";
    thermivo::testing::ScopedTimeZone berlin("Europe/Berlin");
    AppSettings celsius;
    celsius.setLanguage(kLanguageEnglishUs);
    celsius.currentUnit = celsius.unitCelsius;
    auto rec = makeExportRecording(5);
    rec->startTime = 1414281600;  // 2014-10-26 02:00 CEST; at 03:00 the clocks go back to 02:00 CET
    rec->intervalSeconds = 1800;
    rec->buildSampleTimes();
    TempDir dir;
    std::string error;
    const std::string digest(64, 'c');
    ASSERT_TRUE(writeRecordingXlsx(*rec, dir.file("r.xlsx"), celsius, &error, digest)) << error;
    const std::string out =
        run("/usr/bin/python3 -c \"import openpyxl,sys,zipfile\n"
            "z = zipfile.ZipFile(sys.argv[1])\n"
            "print('zip=' + str(z.testzip()))\n"
            "print(z.read('docProps/app.xml').decode())\n"
            "wb = openpyxl.load_workbook(sys.argv[1])\n"
            "print('creator=' + str(wb.properties.creator))\n"
            "for r in list(wb['Summary'].iter_rows(values_only=True)) + "
            "list(wb['Data'].iter_rows(values_only=True)):\n"
            "    print('|'.join('' if v is None else str(v) for v in r))\n"
            "\" '" +
            dir.file("r.xlsx") + "' 2>&1");
    EXPECT_NE(out.find("zip=None\n"), std::string::npos) << out;  // every entry's checksum is right
    EXPECT_NE(out.find("<Application>" + thermivoNameAndVersion() + "</Application>"), std::string::npos)
        << out;
    EXPECT_EQ(out.find("Microsoft"), std::string::npos) << out;
    EXPECT_NE(out.find("creator=" + systemUserName() + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Time zone|Europe/Berlin (UTC+02:00)"), std::string::npos) << out;
    EXPECT_NE(out.find("Source file SHA-256|" + digest), std::string::npos) << out;
    EXPECT_NE(out.find("Made with|Thermivo "), std::string::npos) << out;
    EXPECT_NE(out.find("Temp Upper Limit (\u00B0C)|2014-10-26 02:00:00|2014-10-26 03:00:00|8|8"),
              std::string::npos)
        << out;
    // The Data sheet's last column tells the repeated hour apart.
    EXPECT_NE(out.find("Num|RecordTime|Temperature (\u00B0C)|Alarm|UTC offset\n"), std::string::npos) << out;
    EXPECT_NE(out.find("2|2014-10-26 02:30:00|2.01||+02:00\n3|2014-10-26 02:00:00|2.02||+01:00\n"),
              std::string::npos)
        << out;
}
