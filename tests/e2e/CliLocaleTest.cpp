// The command-line tool under a comma-decimal locale: every number it writes keeps its decimal point.
#include <gtest/gtest.h>

#include <regex>

#include "CliRunner.h"
#include "TestSupport.h"

using namespace thermivo;
using namespace thermivo::testing;

namespace {

// A number with a comma where the point belongs, as "-4,25" or "[-25,00,8,00]" (not a CSV field after a
// time).
const std::regex kCommaNumber(R"((^|[^\d:])-?\d+,\d\d(?!\d))");

}  // namespace

TEST(CliLocale, ConvertUnderGermanLocaleWritesDecimalPoints) {
    if (commaLocaleDir().empty()) GTEST_SKIP() << "localedef could not generate de_DE.UTF-8";
    TempDir dir;
    writeText(dir.file("in.json"), R"({"kind": 1, "serial": "DI201400007", "startTime": 1393668000,
        "intervalSeconds": 60, "tempUpper": 8, "tempLower": -25, "temperature": [-4.25, 5.5, 12.75]})");
    const std::string lang = std::string(kCommaLocale) + " LOCPATH='" + commaLocaleDir() + "'";
    ASSERT_EQ(
        cli(dir, "create --from-json '" + dir.file("in.json") + "' -o '" + dir.file("r.kvlu") + "'", lang)
            .status,
        0);
    const CliRun r =
        cli(dir,
            "convert '" + dir.file("r.kvlu") + "' --unit C --xls '" + dir.file("r.xls") + "' --csv '" +
                dir.file("r.csv") + "' --pdf '" + dir.file("r.pdf") + "' --pages text",
            lang);
    ASSERT_EQ(r.status, 0) << r.err;

    const std::string pdf = commandOutput("pdftotext -layout '" + dir.file("r.pdf") + "' - 2>/dev/null");
    ASSERT_NE(pdf.find("-4.25"), std::string::npos) << pdf;
    EXPECT_NE(pdf.find("12.75"), std::string::npos) << pdf;
    EXPECT_FALSE(std::regex_search(pdf, kCommaNumber)) << pdf;

    const std::string csv = slurp(dir.file("r.csv"));
    EXPECT_NE(csv.find(",-4.25,\r\n"), std::string::npos) << csv;  // the alarm column follows
    EXPECT_FALSE(std::regex_search(csv, kCommaNumber)) << csv;

    const std::string cells = commandOutput(
        "/usr/bin/python3 -c \"import sys, xlrd\n"
        "for s in xlrd.open_workbook(sys.argv[1]).sheets():\n"
        "  for r in range(s.nrows): print('|'.join(str(v) for v in s.row_values(r)))\" '" +
        dir.file("r.xls") + "'");
    ASSERT_NE(cells.find("-4.25"), std::string::npos) << cells;
    EXPECT_FALSE(std::regex_search(cells, kCommaNumber)) << cells;
}
