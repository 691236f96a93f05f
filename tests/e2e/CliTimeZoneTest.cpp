#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "TestSupport.h"

using namespace thermivo::testing;

namespace {

// Half-hourly from 2014-10-26 00:00 CEST (22:00 UTC the day before) over the end of daylight saving at
// 03:00 CEST, when the clocks in Berlin go back to 02:00 CET.
constexpr const char* kAutumnNight = R"({"kind": 1, "serial": "DI20140001", "startTime": 1414274400,
    "intervalSeconds": 1800, "temperature": [4, 4.5, 5, 5.5, 6, 6.5, 7, 7.5, 8, 8.5, 99.99, 9.5]})";

CliRun berlin(const TempDir& dir, const std::string& args) {
    const std::string out = dir.file("stdout"), err = dir.file("stderr");
    const std::string cmd = "env -u LC_ALL -u LC_MESSAGES LANG=en_US.UTF-8 TZ=Europe/Berlin " THERMIVO_CLI
                            " " +
                            args + " >'" + out + "' 2>'" + err + "'";
    const int rc = std::system(cmd.c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, slurp(out), slurp(err)};
}

// "2014-10-26T02:30:00+01:00" as seconds since 1970; -1 when the text has another shape.
long long isoInstant(const std::string& s) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0, oh = 0, om = 0;
    char sign = 0;
    if (std::sscanf(s.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%2d:%2d", &y, &mo, &d, &h, &mi, &se, &sign, &oh,
                    &om) != 9 ||
        (sign != '+' && sign != '-'))
        return -1;
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = se;
    const long long offset = (sign == '+' ? 1 : -1) * (oh * 3600LL + om * 60LL);
    return static_cast<long long>(timegm(&tm)) - offset;
}

}  // namespace

TEST(CliTimeZone, AcrossTheAutumnChangeCsvTimesStayInOrderAndJsonNamesTheZone) {
    TempDir dir;
    writeText(dir.file("in.json"), kAutumnNight);
    // The record file holds local wall times, so it is written in the zone it is read in.
    ASSERT_EQ(berlin(dir, "create --from-json '" + dir.file("in.json") + "' -o '" + dir.file("r.kvlu") + "'")
                  .status,
              0);

    CliRun r = berlin(dir, "convert '" + dir.file("r.kvlu") + "' --unit C --csv '" + dir.file("r.csv") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream csv(slurp(dir.file("r.csv")));
    std::string line;
    std::getline(csv, line);  // header
    std::vector<long long> instants;
    std::vector<std::string> times;
    while (std::getline(csv, line)) {
        const auto a = line.find(','), b = line.find(',', a + 1);
        times.push_back(line.substr(a + 1, b - a - 1));
        instants.push_back(isoInstant(times.back()));
    }
    ASSERT_EQ(instants.size(), 12u);
    for (std::size_t i = 0; i < instants.size(); ++i) {
        EXPECT_EQ(instants[i], 1414274400LL + 1800LL * static_cast<long long>(i)) << times[i];
        if (i > 0) {
            EXPECT_GT(instants[i], instants[i - 1]) << times[i];
        }
    }
    // The repeated hour: 02:00 and 02:30 twice, told apart by the offset.
    EXPECT_EQ(times[4], "2014-10-26T02:00:00+02:00");
    EXPECT_EQ(times[6], "2014-10-26T02:00:00+01:00");

    r = berlin(dir, "info --json '" + dir.file("r.kvlu") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << r.out;
    EXPECT_EQ(doc.at("timeZone").at("name"), "Europe/Berlin");
    EXPECT_EQ(doc.at("timeZone").at("utcOffsetSeconds"), 7200);  // at the start, still summer time
    FILE* p = popen(("sha256sum '" + dir.file("r.kvlu") + "'").c_str(), "r");
    ASSERT_NE(p, nullptr);
    char digest[65] = {};
    ASSERT_EQ(std::fread(digest, 1, 64, p), 64u);
    pclose(p);
    EXPECT_EQ(doc.at("sha256"), std::string(digest));

    r = berlin(dir, "info '" + dir.file("r.kvlu") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Time zone: Europe/Berlin (UTC+02:00)\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Europe/Berlin"), r.out.rfind("Europe/Berlin"));  // named once
    EXPECT_NE(r.out.find(std::string("SHA-256: ") + digest), std::string::npos);
}

TEST(CliTimeZone, JsonNumbersHaveTheDigitsTheValuesHave) {
    TempDir dir;
    writeText(dir.file("in.json"), R"({"kind": 4, "serial": "UTH20140001", "startTime": 1393668000,
        "intervalSeconds": 300, "humiUpper": 70, "humiLower": 30, "temperature": [5, 5],
        "humidity": [50, 99.99]})");
    ASSERT_EQ(
        cli(dir, "create --from-json '" + dir.file("in.json") + "' -o '" + dir.file("r.kvlu") + "'").status,
        0);
    const CliRun r = cli(dir, "info --json '" + dir.file("r.kvlu") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"extremePercent\": 99.99}"), std::string::npos) << r.out;
}
