#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "CliRunner.h"
#include "TestSupport.h"
#include "data/RecordFile.h"

using namespace thermivo;
using namespace thermivo::testing;

TEST(CliRecording, CreateThenInfoInBothLanguagesAndUnits) {
    TempDir dir;
    writeText(dir.file("in.json"),
              R"({"kind": 1, "serial": "DI201400007", "startTime": 1393668000, "stopTime": 1393668600,
                  "intervalSeconds": 300, "tempMax": 25.5, "tempMin": -5, "tempAvg": 10, "tempUpper": 8,
                  "tempLower": 2, "description": "Bob's freezer", "temperature": [25.5, -5, 9.5]})");
    CliRun r = cli(dir, "create --from-json '" + dir.file("in.json") + "' -o '" + dir.file("out.kvlu") + "'");
    ASSERT_EQ(r.status, 0) << r.err;

    r = cli(dir, "info '" + dir.file("out.kvlu") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Serial Number: DI201400007\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Start Time: 2014-3-1 10:00\n"), std::string::npos);
    EXPECT_NE(r.out.find("Temp Max.: 77.90°F\n"), std::string::npos);  // English defaults to °F
    EXPECT_NE(r.out.find("Description: Bob's freezer\n"), std::string::npos);

    r = cli(dir, "info '" + dir.file("out.kvlu") + "' --unit C");
    EXPECT_NE(r.out.find("Temp Max.: 25.50°C\n"), std::string::npos);
    r = cli(dir, "info '" + dir.file("out.kvlu") + "'", "zh_CN.UTF-8");
    EXPECT_NE(r.out.find("温度最大值: 25.50°C\n"), std::string::npos) << r.out;

    r = cli(dir, "info --json '" + dir.file("out.kvlu") + "'");
    ASSERT_EQ(r.status, 0);
    const auto json = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_FALSE(json.is_discarded()) << r.out;
    EXPECT_EQ(json["temperature"].size(), 3u);
    EXPECT_EQ(json["sampleTime"][2], 1393668600);
    EXPECT_EQ(json["humidity"].size(), 0u);
    EXPECT_TRUE(json["tempAlarmOn"].get<bool>());
}

TEST(CliRecording, BadFilesAndBadUsage) {
    TempDir dir;
    writeText(dir.file("junk.kvlu"), std::string(200, 'x'));
    CliRun r = cli(dir, "info '" + dir.file("junk.kvlu") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind(" Failure to open this file : " + dir.file("junk.kvlu"), 0), 0u) << r.err;
    r = cli(dir, "info '" + dir.file("nothing.kvlu") + "'");
    EXPECT_EQ(r.status, 1);

    writeText(dir.file("bad.json"), "{\"kind\": 1, \"temperature\": [1,");
    r = cli(dir, "create --from-json '" + dir.file("bad.json") + "' -o '" + dir.file("x.kvlu") + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("offset"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("line 1, column 31"), std::string::npos) << r.err;
    EXPECT_FALSE(std::ifstream(dir.file("x.kvlu")).good());

    writeText(dir.file("big.json"), R"({"kind": 1, "temperature": [123456.5]})");  // does not fit a field
    r = cli(dir, "create --from-json '" + dir.file("big.json") + "' -o '" + dir.file("x.kvlu") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(" Failure to save this file : "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("A value does not fit the 7 characters of its field in the data file."),
              std::string::npos)
        << r.err;

    for (const char* args : {"", "info", "info a b", "info a --unit K", "frobnicate", "create -o x"}) {
        r = cli(dir, args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << args;
    }
}

TEST(CliRecording, ConvertToWorkbookAndCsv) {
    TempDir dir;
    writeText(dir.file("in.json"), R"({"kind": 4, "serial": "UTH20140001", "startTime": 1393668000,
        "intervalSeconds": 300, "description": "Bob's freezer", "temperature": [5.5, -2, 1],
        "humidity": [40, 50, 60]})");
    ASSERT_EQ(
        cli(dir, "create --from-json '" + dir.file("in.json") + "' -o '" + dir.file("r.kvlu") + "'").status,
        0);
    CliRun r = cli(dir, "convert '" + dir.file("r.kvlu") + "' --unit C --csv '" + dir.file("r.csv") +
                            "' --xls '" + dir.file("r.xls") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string csv = slurp(dir.file("r.csv"));
    EXPECT_EQ(csv.rfind("\xEF\xBB\xBF", 0), 0u);
    EXPECT_NE(csv.find("2,2014-03-01T10:05:00+00:00,-2.00,50.00,,\r\n"), std::string::npos) << csv;

    r = cli(dir, "convert '" + dir.file("r.kvlu") + "' --xls '" + dir.file("r.xls") + "'");  // Summary exists
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(" Failure to save this file : "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Summary"), std::string::npos);

    EXPECT_EQ(cli(dir, "convert '" + dir.file("r.kvlu") + "'").status, 2);
    EXPECT_EQ(cli(dir, "convert '" + dir.file("nothing.kvlu") + "' --csv x.csv").status, 1);
}

TEST(CliRecording, ConvertToPdfPages) {
    TempDir dir;
    std::string temps;
    for (int i = 0; i < 130; ++i) temps += (i ? "," : "") + std::to_string(i % 17 - 3);
    writeText(dir.file("in.json"), R"({"kind": 1, "serial": "DI201400007", "startTime": 1393668000,
        "intervalSeconds": 60, "tempUpper": 8, "tempLower": 2, "temperature": [)" +
                                       temps + "]}");
    ASSERT_EQ(
        cli(dir, "create --from-json '" + dir.file("in.json") + "' -o '" + dir.file("r.kvlu") + "'").status,
        0);

    CliRun r =
        cli(dir, "convert '" + dir.file("r.kvlu") + "' --pdf '" + dir.file("t.pdf") + "' --pages text");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("XDG_RUNTIME_DIR"), std::string::npos) << r.err;
    EXPECT_EQ(slurp(dir.file("t.pdf")).rfind("%PDF", 0), 0u);
    // A summary page and 60 rows a page: 1 + 3 pages for 130 samples.
    r = cli(dir, "convert '" + dir.file("r.kvlu") + "' --pdf '" + dir.file("t.pdf") + "' --pages text");
    const std::string pages = "pdfinfo '" + dir.file("t.pdf") + "' | grep -q '^Pages: *4$'";
    EXPECT_EQ(std::system(pages.c_str()), 0);

    r = cli(dir, "convert '" + dir.file("r.kvlu") + "' --pdf '" + dir.file("c.pdf") +
                     "' --curve-pages 2 --from \"2014-03-01 10:30\" --to \"2014-03-01 11:00\"");
    ASSERT_EQ(r.status, 0) << r.err;
    r = cli(dir, "convert '" + dir.file("r.kvlu") + "' --pdf '" + dir.file("x.pdf") +
                     "' --from \"2014-03-01 11:00\" --to \"2014-03-01 10:30\"");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Time set wrong!"), std::string::npos) << r.err;
    EXPECT_FALSE(std::ifstream(dir.file("x.pdf")).good());
    for (const char* bad :
         {"--curve-pages 0", "--curve-pages 100", "--pages both", "--from yesterday",
          "--from \"2024-02-31 00:00\"", "--to \"2014-03-01 24:00\"", "--to \"2014-3-1 9:5\""}) {
        r = cli(dir, "convert '" + dir.file("r.kvlu") + "' --pdf x.pdf " + bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << bad;
    }
    // The printed pages' own form of a time is accepted too.
    r = cli(dir, "convert '" + dir.file("r.kvlu") + "' --pdf '" + dir.file("p.pdf") +
                     "' --from \"2014-3-1 10:30\" --to \"2014-3-1 11:00\"");
    EXPECT_EQ(r.status, 0) << r.err;
}
