#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <set>
#include <string>

#include "CliRunner.h"
#include "TestSupport.h"

using namespace thermivo;
using namespace thermivo::testing;

namespace {

using nlohmann::json;

std::set<std::string> keysOf(const json& v) {
    std::set<std::string> keys;
    for (auto it = v.begin(); it != v.end(); ++it) keys.insert(it.key());
    return keys;
}

json parsed(const std::string& text) {
    return json::parse(text, nullptr, false);
}

// Three samples above 8 °C at five minutes, one below 2 °C; humidity leaves its band once on each side.
constexpr const char* kKindFour = R"({"kind": 4, "serial": "UTH20140001", "startTime": 1393668000,
    "intervalSeconds": 300, "tempUpper": 8, "tempLower": 2, "humiUpper": 70, "humiLower": 30,
    "temperature": [5, 5, 9, 10.5, 9.5, 5, 1, 5], "humidity": [50, 50, 50, 80, 50, 20, 50, 50]})";

}  // namespace

TEST(CliStatistics, JsonCarriesExactlyTheStatisticsKeys) {
    ScopedTimeZone utc("UTC");
    TempDir dir;
    writeText(dir.file("in.json"), kKindFour);
    ASSERT_EQ(
        cli(dir, "create --from-json '" + dir.file("in.json") + "' -o '" + dir.file("r.kvlu") + "'").status,
        0);
    CliRun r = cli(dir, "info --json '" + dir.file("r.kvlu") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const json doc = parsed(r.out);
    ASSERT_FALSE(doc.is_discarded()) << r.out;
    ASSERT_TRUE(doc.contains("statistics") && doc["statistics"].is_object()) << r.out;
    const json& stats = doc["statistics"];
    EXPECT_EQ(keysOf(stats),
              (std::set<std::string>{"mktCelsius", "activationEnergyKJPerMol", "timeAboveUpperSeconds",
                                     "timeBelowLowerSeconds", "excursions", "humidity"}));
    EXPECT_EQ(stats.at("activationEnergyKJPerMol").get<double>(), 83.144);
    EXPECT_EQ(stats.at("timeAboveUpperSeconds").get<double>(), 900);
    EXPECT_EQ(stats.at("timeBelowLowerSeconds").get<double>(), 300);
    const json& excursions = stats.at("excursions");
    ASSERT_EQ(excursions.size(), 2u);
    EXPECT_EQ(keysOf(excursions[0]),
              (std::set<std::string>{"side", "start", "end", "seconds", "extremeCelsius"}));
    EXPECT_EQ(excursions[0].at("side").get<std::string>(), "high");
    EXPECT_EQ(excursions[0].at("seconds").get<double>(), 900);
    EXPECT_EQ(excursions[0].at("start").get<double>(), 1393668000 + 600);
    EXPECT_EQ(excursions[0].at("end").get<double>(), 1393668000 + 1200);
    EXPECT_EQ(excursions[0].at("extremeCelsius").get<double>(), 10.5);
    EXPECT_EQ(excursions[1].at("side").get<std::string>(), "low");

    const json& humidity = stats.at("humidity");
    EXPECT_EQ(keysOf(humidity),
              (std::set<std::string>{"timeAboveUpperSeconds", "timeBelowLowerSeconds", "excursions"}));
    ASSERT_EQ(humidity.at("excursions").size(), 2u);
    EXPECT_EQ(humidity.at("excursions").at(0).at("extremePercent").get<double>(), 80);

    // A lower activation energy weighs the warm samples less; a range keeps only its samples.
    r = cli(dir, "info --json --mkt-kj 40 --from '2014-03-01 10:15' --to '2014-03-01 10:15' '" +
                     dir.file("r.kvlu") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const json ranged = parsed(r.out);
    ASSERT_FALSE(ranged.is_discarded());
    const json& s2 = ranged.at("statistics");
    EXPECT_EQ(s2.at("activationEnergyKJPerMol").get<double>(), 40);
    EXPECT_EQ(s2.at("timeAboveUpperSeconds").get<double>(), 300);
    EXPECT_EQ(s2.at("timeBelowLowerSeconds").get<double>(), 0);
    EXPECT_NEAR(s2.at("mktCelsius").get<double>(), 10.5, 0.005);
}

TEST(CliStatistics, AlarmOffGivesNullsAndKindOneHasNoHumidity) {
    TempDir dir;
    writeText(dir.file("in.json"), R"({"kind": 1, "serial": "DI201400007", "startTime": 1393668000,
        "intervalSeconds": 60, "temperature": [0, 20]})");
    ASSERT_EQ(
        cli(dir, "create --from-json '" + dir.file("in.json") + "' -o '" + dir.file("r.kvlu") + "'").status,
        0);
    CliRun r = cli(dir, "info --json '" + dir.file("r.kvlu") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const json doc = parsed(r.out);
    ASSERT_FALSE(doc.is_discarded()) << r.out;
    const json& stats = doc.at("statistics");
    EXPECT_NEAR(stats.at("mktCelsius").get<double>(), 14.82, 0.01);
    EXPECT_TRUE(stats.at("timeAboveUpperSeconds").is_null());
    EXPECT_TRUE(stats.at("timeBelowLowerSeconds").is_null());
    EXPECT_TRUE(stats.at("excursions").is_null());
    EXPECT_FALSE(stats.contains("humidity"));

    r = cli(dir, "info --unit C '" + dir.file("r.kvlu") + "'");
    EXPECT_NE(r.out.find("Mean kinetic temperature: 14.82°C\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Time above upper limit: Alarm off\n"), std::string::npos) << r.out;
    r = cli(dir, "info '" + dir.file("r.kvlu") + "'", "zh_CN.UTF-8");
    EXPECT_NE(r.out.find("平均动力学温度: 14.82°C\n"), std::string::npos) << r.out;
    r = cli(dir, "info '" + dir.file("r.kvlu") + "'");  // English defaults to °F
    EXPECT_NE(r.out.find("Mean kinetic temperature: 58.67°F\n"), std::string::npos) << r.out;

    for (const char* bad : {"--mkt-kj 0", "--mkt-kj abc", "--mkt-kj -3", "--from 2014-03-01", "--to 'x y'",
                            "--from '2014-03-02 00:00' --to '2014-03-01 00:00'"}) {
        r = cli(dir, std::string("info ") + bad + " '" + dir.file("r.kvlu") + "'");
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << bad;
        EXPECT_LT(r.err.size(), 400u) << r.err;  // no 309-digit limit in the message
    }
}
