#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "CliRunner.h"
#include "TestSupport.h"
#include "analysis/Statistics.h"
#include "analysis/StatisticsText.h"
#include "app/AppSettings.h"
#include "app/Format.h"
#include "data/RecordFile.h"
#include "data/Recording.h"

using namespace thermivo;
using namespace thermivo::testing;

namespace {

// Two temperature excursions (high 10:10-10:20, low 10:40) and one sample without value at 10:30.
constexpr const char* kTwoExcursionsOneGap = R"({"kind": 4, "serial": "UTH20140001", "startTime": 1393668000,
    "intervalSeconds": 300, "tempUpper": 8, "tempLower": 2, "humiUpper": 70, "humiLower": 30,
    "temperature": [5, 5.5, 9, 10.5, 9.5, 5, -1000, 5, 1, 5.25],
    "humidity": [50, 48, 52, 55, 61, 50, -1000, 45, 47, 50]})";

// pdftotext may break a long line; the checks look for the texts with all white space removed.
std::string squeezed(std::string s) {
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '\n' && c != '\t' && c != '\f') out += c;
    return out;
}

class CliReport : public ::testing::Test {
  protected:
    void SetUp() override {
        writeText(dir.file("in.json"), kTwoExcursionsOneGap);
        ASSERT_EQ(cli(dir, "create --from-json '" + dir.file("in.json") + "' -o '" + dir.file("r.kvlu") + "'")
                      .status,
                  0);
        ScopedTimeZone utc("UTC");
        rec = std::make_unique<Recording>();
        RecordFile file(dir.file("r.kvlu"), RecordFile::ModeRead);
        ASSERT_TRUE(file.isOpen() && file.read(*rec));
        rec->buildSampleTimes();
        stats = computeStatistics(*rec);
        const std::string sum = commandOutput("sha256sum '" + dir.file("r.kvlu") + "'");
        ASSERT_GE(sum.size(), 64u);
        digest = sum.substr(0, 64);
    }

    std::string report(const std::string& lang, const std::string& extra = "") {
        const CliRun r =
            cli(dir, "report '" + dir.file("r.kvlu") + "' -o '" + dir.file("r.pdf") + "' --unit C " + extra,
                lang);
        EXPECT_EQ(r.status, 0) << r.err;
        return squeezed(commandOutput("pdftotext -enc UTF-8 '" + dir.file("r.pdf") + "' -"));
    }

    TempDir dir;
    std::unique_ptr<Recording> rec;
    RecordingStatistics stats;
    std::string digest;
};

}  // namespace

TEST_F(CliReport, EveryFigureEqualsTheStatisticsModuleAndTheDigestEqualsSha256sum) {
    const std::string pdf = report("en_US.UTF-8", "--comment 'Truck 7, route B'");
    ASSERT_FALSE(pdf.empty());
    AppSettings celsius;
    celsius.currentUnit = celsius.unitCelsius;
    ASSERT_TRUE(stats.mktCelsius && stats.maxCelsius && stats.minCelsius && stats.avgCelsius &&
                stats.avgPercent);
    ASSERT_EQ(stats.temperature.excursions.size(), 2u);
    EXPECT_EQ(stats.samplesWithoutValue, 1);
    const auto has = [&](const std::string& what) {
        EXPECT_NE(pdf.find(squeezed(what)), std::string::npos) << what;
    };
    has("Cold-chain record report");
    has("SerialnumberUTH20140001");
    has("Start 2014-03-01 10:00:00 +00:00");
    has("Stop 2014-03-01 10:45:00 +00:00");
    has("Time zone UTC");
    has("Samples recorded 10");
    has("Samples without value 1");
    has("Completeness 90.00 %");
    has("Source file r.kvlu");
    has("SHA-256 " + digest);
    has("Made with Thermivo");
    has("Temperature: Result: Limits exceeded (excursions: 2, time outside the limits: " +
        durationText(stats.temperature.secondsAbove + stats.temperature.secondsBelow) + ")");
    has("Humidity: Result: Within limits");
    has(temperatureText(*stats.mktCelsius, celsius));
    has("Maximum " + temperatureText(*stats.maxCelsius, celsius) + " at 2014-03-01 10:15:00 +00:00");
    has("Minimum " + temperatureText(*stats.minCelsius, celsius) + " at 2014-03-01 10:40:00 +00:00");
    has("Average " + temperatureText(*stats.avgCelsius, celsius));
    has("Time above upper limit " + durationText(stats.temperature.secondsAbove));
    has("Time below lower limit " + durationText(stats.temperature.secondsBelow));
    has("Maximum " + humidityText(*stats.maxPercent, celsius));
    has("Minimum " + humidityText(*stats.minPercent, celsius));
    has("Average " + humidityText(*stats.avgPercent, celsius));
    for (const Excursion& e : stats.temperature.excursions) {
        const ExcursionRow row = excursionRow(e, false, celsius);
        has(row.duration + row.extreme);
    }
    has("1 Temperature High 2014-03-01 10:10:00 +00:00 2014-03-01 10:20:00 +00:00");
    has("2 Temperature Low 2014-03-01 10:40:00 +00:00 2014-03-01 10:40:00 +00:00");
    has("Truck 7, route B");
    has("Prepared by");
    has("Approved by");
    has("Page 1 of 2");
    has("Page 2 of 2");
    // The full digest once, the footer's first 16 digits on each of the two pages.
    int shortDigests = 0;
    for (auto at = pdf.find(digest.substr(0, 16)); at != std::string::npos;
         at = pdf.find(digest.substr(0, 16), at + 1))
        ++shortDigests;
    EXPECT_EQ(shortDigests, 3);
    // The gap is no reading: -1000 appears nowhere.
    EXPECT_EQ(pdf.find("-1000"), std::string::npos);
}

TEST_F(CliReport, ChineseReportCarriesTheSameFigures) {
    const std::string pdf = report("zh_CN.UTF-8");
    AppSettings celsius;
    celsius.currentUnit = celsius.unitCelsius;
    const auto has = [&](const std::string& what) {
        EXPECT_NE(pdf.find(squeezed(what)), std::string::npos) << what;
    };
    has("冷链记录报告");
    has("温度: 结果：超出限值（超限次数 2，超限时间共 " +
        durationText(stats.temperature.secondsAbove + stats.temperature.secondsBelow) + "）");
    has("湿度: 结果：未超出限值");
    has(temperatureText(*stats.mktCelsius, celsius));
    has("最大值 " + temperatureText(*stats.maxCelsius, celsius) + "，时间 2014-03-01 10:15:00 +00:00");
    has("SHA-256 " + digest);
    has("第 1 页，共 2 页");
}

TEST_F(CliReport, RefusesAnActivationEnergyThatIsNoFiniteNumber) {
    for (const char* bad : {"nan", "inf", "-5", "0", "2e6", "12kJ"}) {
        const CliRun r =
            cli(dir, "report '" + dir.file("r.kvlu") + "' -o '" + dir.file("x.pdf") + "' --mkt-kj " + bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("greater than 0 and at most 1000000"), std::string::npos) << r.err;
        const CliRun info = cli(dir, "info '" + dir.file("r.kvlu") + "' --mkt-kj " + bad);
        EXPECT_EQ(info.status, 2) << bad;
    }
    EXPECT_FALSE(std::ifstream(dir.file("x.pdf")).good());
}
